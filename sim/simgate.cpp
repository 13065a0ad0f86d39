#include "simgate.h"

#include <QTimer>

#include <limits>

namespace kx9sim {

int baudFromGateSpeed(uint8_t code)
{
    return code == 0 ? 9600 : code == 2 ? 38400 : 19200;
}

Gate::Gate(bool w30, QObject *parent) : QObject(parent), m_w30(w30), m_interval(new QTimer(this))
{
    connect(m_interval, &QTimer::timeout, this, &Gate::intervalTick);
    resetEeprom();
}

void Gate::resetEeprom()
{
    for (uint16_t &w : eeprom)
        w = 0;
    // Memory switches 1-7 as a gate leaves the factory: buzzer sounds at
    // middle volume, lamps blinking, 1 s base times, voice output once.
    eeprom[1] = 0x5151;
    eeprom[2] = 0x2824;
    eeprom[3] = 0x1002;
    eeprom[4] = 0x2341;
    eeprom[5] = 0x2453;
    eeprom[6] = 0x1424;
    eeprom[7] = 0x0004;
}

void Gate::ack(uint8_t sub, const QByteArray &data)
{
    m_send('0', QByteArray(1, char(sub)) + data);
}

void Gate::nack(uint8_t code)
{
    m_send('1', QByteArray(1, char(code)));
}

QByteArray Gate::record(int lane) const
{
    QByteArray b;
    for (int s = 0; s < 2; ++s)
        for (int i = 0; i < 4; ++i)
            b.append(char((people[lane * 2 + s] >> (8 * i)) & 0xFF));
    for (int s = 0; s < 2; ++s)
        for (int i = 0; i < 2; ++i)
            b.append(char((alarms[lane * 2 + s] >> (8 * i)) & 0xFF));
    return b;
}

void Gate::setRecord(int lane, const QByteArray &b)
{
    auto u = [&](int i) { return uint32_t(uint8_t(b.at(i))); };
    for (int s = 0; s < 2; ++s) {
        people[lane * 2 + s] = u(4 * s) | (u(4 * s + 1) << 8) | (u(4 * s + 2) << 16) | (u(4 * s + 3) << 24);
        alarms[lane * 2 + s] = uint16_t(u(8 + 2 * s) | (u(9 + 2 * s) << 8));
    }
}

bool Gate::countsPeople(int s) const
{
    // Word 1 covers sensors 1 and 2, word 3 (W30) sensors 3 to 6.
    switch (s) {
    case 1: return countMode[0] & 0x01;
    case 2: return countMode[0] & 0x02;
    case 3: return countMode[2] & 0x01;
    case 4: return countMode[2] & 0x02;
    case 5: return countMode[2] & 0x10;
    case 6: return countMode[2] & 0x20;
    }
    return false;
}

bool Gate::countsAlarms(int s) const
{
    switch (s) {
    case 1: return countMode[0] & 0x10;
    case 2: return countMode[0] & 0x20;
    case 3: return countMode[2] & 0x04;
    case 4: return countMode[2] & 0x08;
    case 5: return countMode[2] & 0x40;
    case 6: return countMode[2] & 0x80;
    }
    return false;
}

bool Gate::pass(int sensor, int n, int alarmN)
{
    if (sensor < 1 || sensor > (m_w30 ? 6 : 2) || n < 0 || alarmN < 0)
        return false;
    if (countsPeople(sensor)) {
        int counted = n;
        if (countMode[0] & 0x0100) {
            const int total = halfCarry[sensor - 1] + n;
            counted = total / 2;
            halfCarry[sensor - 1] = total % 2;
        }
        people[sensor - 1] += uint32_t(counted);
    }
    if (countsAlarms(sensor))
        alarms[sensor - 1] = uint16_t(alarms[sensor - 1] + alarmN);
    // The sensors are interrupted only while the person passes.
    const uint8_t io = ioSensor, person = personSensor;
    ioSensor |= uint8_t(1 << (sensor - 1));
    personSensor |= 1;
    if ((countMode[1] & 0x0F) == 1)
        sendReport();
    ioSensor = io;
    personSensor = person;
    return true;
}

void Gate::sendReport()
{
    if (m_w30)
        m_send('G', QByteArray(1, char(0x81)) + record(0) + record(1) + record(2));
    else
        m_send('G', QByteArray(1, char(0x80)) + record(0));
}

void Gate::restartTimer()
{
    const int kind = countMode[1] & 0x0F;
    const int base = (countMode[1] >> 4) & 0x03;
    const int count = countMode[1] >> 8;
    if ((kind == 2 || kind == 3) && count > 0)
        m_interval->start(count * (base == 1 ? 3600000 : 60000));
    else
        m_interval->stop();
}

void Gate::intervalTick()
{
    sendReport();
    if ((countMode[1] & 0x0F) == 3) {
        for (auto &p : people)
            p = 0;
        for (auto &a : alarms)
            a = 0;
    }
}

bool Gate::lenIs(const QByteArray &d, int n)
{
    if (d.size() == n)
        return true;
    nack(0x41);
    return false;
}

void Gate::handle(const QByteArray &d)
{
    if (d.isEmpty())
        return nack(0x41);
    const uint8_t sub = uint8_t(d.at(0));
    auto word = [&](int i) { return uint16_t(uint8_t(d.at(i)) | (uint8_t(d.at(i + 1)) << 8)); };
    switch (sub) {
    case 0x00:
        if (lenIs(d, 1))
            ack(sub, QByteArray(1, char(mode)));
        return;
    case 0x20:
        if (!lenIs(d, 2))
            return;
        mode = uint8_t(d.at(1));
        ack(sub);
        return;
    case 0x01:
    case 0x21: {
        if (d.size() < 3)
            return nack(0x41);
        const int addr = uint8_t(d.at(1)), c = uint8_t(d.at(2));
        if (addr + c > 32 || (sub == 0x21 && d.size() != 3 + 2 * c) || (sub == 0x01 && d.size() != 3))
            return nack(0x41);
        if (sub == 0x21) {
            for (int i = 0; i < c; ++i)
                eeprom[addr + i] = word(3 + 2 * i);
            return ack(sub);
        }
        QByteArray out;
        out.append(char(addr)).append(char(c));
        for (int i = 0; i < c; ++i)
            out.append(char(eeprom[addr + i] & 0xFF)).append(char(eeprom[addr + i] >> 8));
        return ack(sub, out);
    }
    case 0x02:
        if (lenIs(d, 1))
            ack(sub, QByteArray() + char(dispOut[0]) + char(dispOut[1]));
        return;
    case 0x22:
        if (!lenIs(d, 3))
            return;
        dispOut[0] = uint8_t(d.at(1));
        dispOut[1] = uint8_t(d.at(2));
        ack(sub);
        return;
    case 0x08:
    case 0x26:
        if (!m_w30)
            return nack(0x44);
        if (sub == 0x08) {
            if (lenIs(d, 1))
                ack(sub, QByteArray() + char(dispOut[0]) + char(dispOut[1]) + char(dispOut[2]));
            return;
        }
        if (!lenIs(d, 4))
            return;
        for (int i = 0; i < 3; ++i)
            dispOut[i] = uint8_t(d.at(1 + i));
        ack(sub);
        return;
    case 0x03:
        if (lenIs(d, 1))
            ack(sub, QByteArray() + char(swSensor[0]) + char(swSensor[1]));
        return;
    case 0x04:
        if (lenIs(d, 1))
            ack(sub, QByteArray(1, char(ioSensor)));
        return;
    case 0x05:
        if (lenIs(d, 1))
            ack(sub, QByteArray(1, char(personSensor)));
        return;
    case 0x06: {
        if (!lenIs(d, 1))
            return;
        QByteArray out;
        for (uint16_t w : countMode)
            out.append(char(w & 0xFF)).append(char(w >> 8));
        ack(sub, out);
        return;
    }
    case 0x23:
        if (!lenIs(d, 7))
            return;
        for (int i = 0; i < 3; ++i)
            countMode[i] = word(1 + 2 * i);
        restartTimer();
        ack(sub);
        return;
    case 0x07:
        if (lenIs(d, 1))
            ack(sub, record(0));
        return;
    case 0x24:
        if (!lenIs(d, 13))
            return;
        setRecord(0, d.mid(1, 12));
        ack(sub);
        return;
    case 0x0B:
        if (!m_w30)
            return nack(0x44);
        if (lenIs(d, 1))
            ack(sub, record(0) + record(1) + record(2));
        return;
    case 0x28:
        if (!m_w30)
            return nack(0x44);
        if (!lenIs(d, 37))
            return;
        for (int lane = 0; lane < 3; ++lane)
            setRecord(lane, d.mid(1 + 12 * lane, 12));
        ack(sub);
        return;
    case 0x0C:
        if (lenIs(d, 1))
            ack(sub, QByteArray(1, char(volume)));
        return;
    case 0x29:
        if (!lenIs(d, 2))
            return;
        volume = uint8_t(d.at(1));
        eeprom[7] = uint16_t((eeprom[7] & 0xFFF0) | (volume & 0x0F));
        ack(sub);
        return;
    case 0x25:
        if (!lenIs(d, 1))
            return;
        restartTimer();
        ack(sub);
        return;
    case 0x90:
        if (lenIs(d, 2))
            ack(sub, QByteArray(m_w30 ? "130 W30" : "110 W20"));
        return;
    case 0x93:
        if (lenIs(d, 1))
            ack(sub, QByteArray(m_w30 ? "KX9-W30" : "KX9-W20"));
        return;
    case 0x9B:
        if (!lenIs(d, 10))
            return; // the access code itself is checked with the other field values
        progMode = true;
        ack(sub);
        return;
    case 0x9D:
        if (!lenIs(d, 1))
            return;
        ack(sub);
        speedCode = pendingSpeed;
        progMode = false;
        emit restarted(baudFromGateSpeed(speedCode));
        return;
    case 0x9E:
        if (lenIs(d, 1))
            ack(sub, QByteArray(1, char(speedCode)));
        return;
    case 0x9C:
        if (!lenIs(d, 2))
            return;
        pendingSpeed = uint8_t(d.at(1));
        ack(sub);
        return;
    case 0x2A:
        if (!lenIs(d, 7))
            return;
        lastMelody = d;
        ack(sub);
        return;
    case 0x91:
        if (!lenIs(d, 1))
            return;
        resetEeprom();
        ack(sub);
        return;
    default:
        nack(0x44);
        return;
    }
}

namespace {

QString hex(const QByteArray &b) { return QString::fromLatin1(b.toHex().toUpper()); }
QString hex4(uint16_t w) { return QString::number(w, 16).toUpper().rightJustified(4, u'0'); }

bool number(const QString &s, int base, long long lo, long long hi, long long &out)
{
    bool ok = false;
    out = s.toLongLong(&ok, base);
    return ok && out >= lo && out <= hi;
}

} // namespace

QString Gate::control(const QStringList &a)
{
    const QString sub = a.value(0).toLower();
    long long v[4] = {};
    if (sub == QLatin1String("pass")) {
        v[1] = 1;
        if (a.size() < 2 || a.size() > 4 || !number(a[1], 10, 1, 6, v[0]) ||
            (a.size() > 2 && !number(a[2], 10, 0, 100000, v[1])) || (a.size() > 3 && !number(a[3], 10, 0, 100000, v[2])))
            return QStringLiteral("ERR usage: gate pass <sensor> [<people>] [<alarms>]");
        return pass(int(v[0]), int(v[1]), int(v[2])) ? QStringLiteral("OK") : QStringLiteral("ERR no such sensor");
    }
    if (sub == QLatin1String("report") && a.size() == 1) {
        sendReport();
        return QStringLiteral("OK");
    }
    if (sub == QLatin1String("sensors")) {
        for (int i = 0; i < 4; ++i)
            if (a.size() != 5 || !number(a[1 + i], 16, 0, 255, v[i]))
                return QStringLiteral("ERR usage: gate sensors <switch> <dipsw> <io> <person> (hex)");
        swSensor[0] = uint8_t(v[0]);
        swSensor[1] = uint8_t(v[1]);
        ioSensor = uint8_t(v[2]);
        personSensor = uint8_t(v[3]);
        return QStringLiteral("OK");
    }
    if (sub == QLatin1String("get") && a.size() == 1) {
        QStringList p, al, words, modes;
        for (int i = 0; i < (m_w30 ? 6 : 2); ++i) {
            p << QString::number(people[i]);
            al << QString::number(alarms[i]);
        }
        for (int i = 1; i <= 7; ++i)
            words << hex4(eeprom[i]);
        for (uint16_t w : countMode)
            modes << hex4(w);
        return QStringLiteral("OK model=%1 mode=%2 people=%3 alarms=%4 volume=%5 out=%6 words=%7 countmode=%8 "
                              "speed=%9 nextspeed=%10 prog=%11 melody=%12")
            .arg(m_w30 ? QStringLiteral("W30") : QStringLiteral("W20"), hex(QByteArray(1, char(mode))), p.join(u','),
                 al.join(u','), QString::number(volume), hex(QByteArray(reinterpret_cast<const char *>(dispOut), 3)),
                 words.join(u','), modes.join(u','), QString::number(speedCode))
            .arg(pendingSpeed)
            .arg(progMode ? 1 : 0)
            .arg(lastMelody.isEmpty() ? QStringLiteral("-") : hex(lastMelody));
    }
    if (sub == QLatin1String("set") && a.size() >= 3) {
        const QString what = a[1].toLower();
        const int n = int(a.size()) - 2;
        auto numbers = [&](int count, int base, long long hi) {
            if (n != count)
                return false;
            for (int i = 0; i < count; ++i)
                if (!number(a[2 + i], base, 0, hi, v[i]))
                    return false;
            return true;
        };
        if (what == QLatin1String("mode") && numbers(1, 16, 0xFF)) {
            mode = uint8_t(v[0]);
        } else if (what == QLatin1String("word") && n == 2 && number(a[2], 10, 0, 31, v[0]) &&
                   number(a[3], 16, 0, 0xFFFF, v[1])) {
            eeprom[v[0]] = uint16_t(v[1]);
        } else if (what == QLatin1String("countmode") && numbers(3, 16, 0xFFFF)) {
            for (int i = 0; i < 3; ++i)
                countMode[i] = uint16_t(v[i]);
            restartTimer();
        } else if (what == QLatin1String("out") && numbers(3, 16, 0xFF)) {
            for (int i = 0; i < 3; ++i)
                dispOut[i] = uint8_t(v[i]);
        } else if (what == QLatin1String("volume") && numbers(1, 10, 0xFF)) {
            volume = uint8_t(v[0]);
        } else if ((what == QLatin1String("people") || what == QLatin1String("alarms")) &&
                   numbers(2, 10, std::numeric_limits<uint32_t>::max()) && v[0] >= 1 && v[0] <= (m_w30 ? 6 : 2)) {
            if (what == QLatin1String("people"))
                people[v[0] - 1] = uint32_t(v[1]);
            else
                alarms[v[0] - 1] = uint16_t(v[1]);
        } else {
            return QStringLiteral("ERR usage: gate set mode <hex> | word <n> <hex> | countmode <hex> <hex> <hex> | "
                                  "out <hex> <hex> <hex> | volume <n> | people|alarms <sensor> <n>");
        }
        return QStringLiteral("OK");
    }
    return QStringLiteral("ERR usage: gate model|pass|report|sensors|get|set ...");
}

} // namespace kx9sim
