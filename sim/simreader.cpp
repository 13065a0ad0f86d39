#include "simreader.h"

#include "simframe.h"
#include "simrules.h"

#include <QTimer>

namespace kx9sim {

QByteArray defaultArea1(uint8_t readerId)
{
    static const uint8_t def[40] = {0x00, 0x00, 0x00, 0x00, 0xD5, 0x00, 0x00, 0x30, 0x18, 0x00,
                                    0x17, 0x11, 0x00, 0x00, 0x1A, 0x06, 0x00, 0x00, 0x1A, 0x06,
                                    0x00, 0x00, 0x01, 0x00, 0x05, 0x00, 0x05, 0x0A, 0x00, 0x0A,
                                    0x30, 0x1E, 0x00, 0xFF, 0x1E, 0x18, 0x04, 0x08, 0x01, 0x00};
    QByteArray a(reinterpret_cast<const char *>(def), 40);
    a[28] = char(readerId);
    return a;
}

QByteArray defaultArea2()
{
    QByteArray a(20, '\0');
    a[6] = 1;
    a[7] = 4;
    return a;
}

int baudFromModeFlags(uint8_t flags)
{
    if (flags & 0x80)
        return 38400;
    if (flags & 0x40)
        return 9600;
    return 19200;
}

namespace {
// Parameter numbers and the record byte each one is kept in.
int paramByte(uint8_t number)
{
    switch (number) {
    case 0xA0: return 0;
    case 0xA1: return 1;
    case 0xA2: return 5;
    case 0xA3: return 28;
    case 0xA4: return 6;
    case 0xA5: return 7;
    case 0xA6: return 22;
    case 0xA7: return 24;
    case 0xA8: return 26;
    case 0xA9: return 27;
    case 0xAA: return 29;
    case 0xAB: return 31;
    case 0xAC: return 36;
    case 0xAD: return 37;
    case 0xAE: return 35;
    case 0xAF: return 23;
    case 0xB0: return 38;
    case 0xB1: return 39;
    default: return -1;
    }
}

int u8(const QByteArray &d, int i) { return i < d.size() ? uint8_t(d.at(i)) : 0; }
} // namespace

Reader::Reader(Field &field, QObject *parent) : QObject(parent), m_field(field), m_timer(new QTimer(this))
{
    m_clock.start();
    m_timer->setInterval(100);
    connect(m_timer, &QTimer::timeout, this, &Reader::scanTick);
    m_s6700 = uint8_t(area1.at(4));
}

void Reader::setReaderId(uint8_t id)
{
    m_factoryId = id;
    area1[28] = char(id);
}

void Reader::ack(uint8_t sub, const QByteArray &data)
{
    m_acked = true;
    m_send('0', QByteArray(1, char(sub)) + data);
}

void Reader::ackRaw(const QByteArray &data)
{
    m_send('0', data);
}

void Reader::nack(uint8_t code, int sub)
{
    QByteArray d(1, char(code));
    if (sub >= 0)
        d.append(char(sub));
    if (code >= 0x01 && code <= 0x05)
        ++failCount;
    errorStatus = code;
    m_send('1', d);
}

void Reader::handle(const RxFrame &f)
{
    if (powerDown && !(f.cmd == 'O' && u8(f.data, 0) == 0x52))
        powerDown = false; // any request wakes the reader
    m_acked = false;
    switch (f.cmd) {
    case 'O': cmdO(f.data); break;
    case 'N': cmdN(f.data); break;
    case 'x':
    case 'u':
        // The error-rate counters count tag transactions: an ACK is a success,
        // NACK 01-05 (counted in nack()) a failure.
        f.cmd == 'x' ? cmdX(f.data) : cmdU(f.data);
        if (m_acked)
            ++okCount;
        break;
    case 'Q': cmdQ(f.data); break;
    case 'B':
        if (f.data.size() != 2)
            return nack(0x41);
        lastBuzzer = uint8_t(f.data.at(1));
        ackRaw({});
        break;
    case 'R':
        if (!f.data.isEmpty())
            return nack(0x41);
        cmdR();
        break;
    case 'J': cmdJ(f.data); break;
    default: nack(0x44); break;
    }
}

bool Reader::lenIs(const QByteArray &d, int n)
{
    if (d.size() == n)
        return true;
    nack(0x41);
    return false;
}

// [0] 0x70 (area 1) or 0x72 (area 2), [1] first word (from 1), [2] word count,
// then for a write the words themselves.
void Reader::eeprom(const QByteArray &d, bool write)
{
    if (d.size() < 3)
        return nack(0x41);
    const uint8_t sub = uint8_t(d.at(0));
    QByteArray &area = sub == 0x70 ? area1 : area2;
    const int words = int(area.size() / 2);
    const int addr = uint8_t(d.at(1)), count = uint8_t(d.at(2));
    if ((write && d.size() != 3 + 2 * count) || addr < 1 || count < 1 || addr + count - 1 > words)
        return nack(0x41);
    if (!write) {
        if (m_eepromReadNackIn > 0 && --m_eepromReadNackIn == 0)
            return nack(m_eepromReadNackCode);
        return ack(sub, d.mid(1, 2) + area.mid((addr - 1) * 2, count * 2));
    }
    ++m_eepromWrites;
    if (m_eepromNackIn > 0 && --m_eepromNackIn == 0)
        return nack(m_eepromNackCode); // a refused write leaves the EEPROM as it was
    area.replace((addr - 1) * 2, count * 2, d.mid(3, count * 2));
    ack(sub);
}

// ---------------------------------------------------------------- 'O' queries

void Reader::cmdO(const QByteArray &d)
{
    if (d.isEmpty())
        return nack(0x41);
    const uint8_t sub = uint8_t(d.at(0));
    switch (sub) {
    case 0x00:
        if (lenIs(d, 1))
            ack(0x00, QByteArray() + char(m_mode) + char(m_modeByte2) + char(m_flags));
        return;
    case 0x09:
        if (lenIs(d, 1))
            ack(0x09, QByteArray(1, char(m_s6700)));
        return;
    case 0x50:
        if (lenIs(d, 1))
            ack(0x50, currentUid);
        return;
    case 0x51:
        if (lenIs(d, 1))
            ack(0x51, QByteArray(1, area1.at(5)));
        return;
    case 0x52:
        if (lenIs(d, 1)) {
            ack(0x52, QByteArray(1, char(powerDown ? 1 : 0)));
            powerDown = false;
        }
        return;
    case 0x53:
        if (lenIs(d, 1))
            ack(0x53, QByteArray(1, char(uidList.size())));
        return;
    case 0x54: {
        if (!lenIs(d, 2))
            return;
        const int idx = uint8_t(d.at(1));
        if (idx < 1 || idx > uidList.size())
            return nack(0x04);
        const QByteArray uid = uidList.at(idx - 1);
        const Tag *t = m_field.find(uid);
        currentUid = uid;
        ack(0x54, QByteArray() + char(idx) + char(t ? t->dsfid : 0) + uid);
        return;
    }
    case 0x56:
        if (lenIs(d, 1))
            ack(0x56, QByteArray(1, char(extPort)));
        return;
    case 0x60: {
        if (!lenIs(d, 1))
            return;
        QByteArray b;
        for (uint32_t v : {okCount, failCount})
            for (int i = 0; i < 4; ++i)
                b.append(char((v >> (8 * i)) & 0xFF));
        m_send('0', QByteArray(1, char(0x60)) + b);
        return;
    }
    case 0x70:
    case 0x72:
        if (lenIs(d, 3))
            eeprom(d, false);
        return;
    case 0x80:
        if (lenIs(d, 1))
            ack(0x80, QByteArray(1, char(errorStatus)));
        return;
    case 0x90:
        if (lenIs(d, 2))
            ack(0x90, m_rom);
        return;
    case 0x91: {
        if (!lenIs(d, 10))
            return;
        const int addr = (uint8_t(d.at(1)) << 8) | uint8_t(d.at(2));
        const int n = qMin<int>(uint8_t(d.at(3)), 250);
        QByteArray out;
        for (int i = 0; i < n; ++i)
            out.append(ram.at((addr + i) & 0xFFFF));
        ack(0x91, d.mid(1, 3) + out);
        return;
    }
    case 0x93:
        if (lenIs(d, 1))
            ack(0x93, QByteArray("KX9-RW1"));
        return;
    case 0x9C:
        if (lenIs(d, 1))
            ack(0x9C, QByteArray(1, char(antenna)));
        return;
    case 0x9F:
        if (lenIs(d, 1))
            ack(0x9F, QByteArray(1, char(ioPort)));
        return;
    default: {
        const int b = paramByte(sub);
        if (b < 0)
            return nack(0x44);
        if (lenIs(d, 1))
            ack(sub, QByteArray(1, area1.at(b)));
        return;
    }
    }
}

// --------------------------------------------------------------- 'N' settings

void Reader::cmdN(const QByteArray &d)
{
    if (d.isEmpty())
        return nack(0x41);
    const uint8_t sub = uint8_t(d.at(0));
    if (sub == 0x00 || sub == 0x10)
        return modeSetting(d);
    if (sub == 0x70 || sub == 0x72)
        return eeprom(d, true);
    int len;
    switch (sub) {
    case 0x52: case 0x60: case 0x71: case 0x9D: len = 1; break;
    case 0x9F: len = 3; break;
    case 0x55: len = 4; break;
    case 0x57: len = 6; break;
    case 0x50: len = 9; break;
    case 0x92: len = 10; break;
    case 0x09: case 0x19: case 0x51: case 0x56: case 0x9C: case 0x9E: len = 2; break;
    default:
        if (paramByte(sub) < 0)
            return nack(0x44);
        len = 2;
        break;
    }
    if (!lenIs(d, len))
        return;
    const uint8_t v = uint8_t(u8(d, 1));
    switch (sub) {
    case 0x09:
    case 0x19:
        m_s6700 = v;
        if (sub == 0x19)
            area1[4] = char(v);
        break;
    case 0x50: currentUid = d.mid(1, 8); break;
    case 0x51: area1[5] = char(v); break;
    case 0x52: break; // sleeps once the ACK is out
    case 0x55: ledState[v ? 1 : 0] = uint8_t(u8(d, 2)); break;
    case 0x56: extPort = v; break;
    case 0x57: lastBuzzer = uint8_t(u8(d, 4)); break;
    case 0x60: okCount = failCount = 0; break;
    case 0x71:
        area1 = defaultArea1(m_factoryId);
        area2 = defaultArea2();
        break;
    case 0x92: {
        const int addr = (v << 8) | u8(d, 2);
        const int n = qBound(0, u8(d, 3), 4);
        for (int i = 0; i < n; ++i)
            ram[(addr + i) & 0xFFFF] = d.at(4 + i);
        break;
    }
    case 0x9C: antenna = v; break;
    case 0x9D: break; // restarts once the ACK is out
    case 0x9E:
        // Switching the carrier off takes the power from every tag.
        if (v != 1)
            m_field.resetStates();
        txOn = v != 0;
        break;
    case 0x9F: ioPort = uint8_t((ioPort & ~v) | (u8(d, 2) & v)); break;
    default: area1[paramByte(sub)] = char(v); break;
    }
    ack(sub); // 0x19 is answered as 0x19: the echo is the sub-command as received
    if (sub == 0x52)
        powerDown = true;
    else if (sub == 0x9D)
        restart();
}

// [0] store flag, [1] mode, [2] mode byte 2, [3] flags, [4] 0x01, [5..6]
// polling time (mode 0x51: the block number); polling write carries more.
void Reader::modeSetting(const QByteArray &d)
{
    if (d.size() < 7)
        return nack(0x41);
    const uint8_t mode = uint8_t(d.at(1));
    if (mode == 0x23) {
        // Polling write: block, count, data, flags and perhaps the UID follow.
        const int c = u8(d, 8);
        const int flagsAt = 9 + c;
        if (d.size() < flagsAt + 1)
            return nack(0x41);
        const bool withUid = (uint8_t(d.at(flagsAt)) & 3) == 1;
        if (d.size() != flagsAt + 1 + (withUid ? 8 : 0))
            return nack(0x41);
        m_polWrite = d.mid(7);
    } else if (d.size() != 7) {
        return nack(0x41);
    }
    const uint16_t pt = mode == 0x51 ? m_pollTime : uint16_t((uint8_t(d.at(5)) << 8) | uint8_t(d.at(6)));
    if (uint8_t(d.at(0)) == 0x10) {
        area1[8] = d.at(3);
        area1[9] = char(mode);
    }
    ack(uint8_t(d.at(0))); // the store flag as received: 0x00 or 0x10
    setMode(mode, uint8_t(d.at(2)), uint8_t(d.at(3)), pt, uint8_t(d.at(5)));
}

// -------------------------------------------------------------- tag helpers

bool Reader::isoOn() const
{
    const int proto = (m_s6700 >> 1) & 7;
    return txOn && !powerDown && (proto == 2 || proto == 6);
}

bool Reader::tagitOn() const
{
    return txOn && !powerDown && tagitProtocol();
}

bool Reader::parseAddr(const QByteArray &d, int p, Addr &a)
{
    if (d.size() <= p) {
        nack(0x41);
        return false;
    }
    a.flags = uint8_t(d.at(p));
    if (const uint8_t refusal = flagsRefusal(a.flags, FlagsUse::Addressed)) {
        nack(refusal);
        return false;
    }
    const int uidMode = a.flags & 3;
    const int idLen = 8;
    if (uidMode == 1) {
        if (d.size() != p + 1 + idLen) {
            nack(0x41);
            return false;
        }
        a.uid = d.mid(p + 1, idLen);
        a.addressed = true;
    } else {
        if (d.size() != p + 1) {
            nack(0x41);
            return false;
        }
        // UID mode 2 addresses the reader's current UID, as does the
        // address flag on its own.
        if (uidMode == 2 || (a.flags & 0x08)) {
            a.addressed = true;
            a.uid = currentUid;
        }
    }
    a.select = a.flags & 0x04;
    a.option = a.flags & 0x10;
    return true;
}

Tag *Reader::target(const Addr &a, int maker)
{
    if (!isoOn()) {
        nack(0x04);
        return nullptr;
    }
    // Never both: flagsRefusal() turns away a select flag with addressing.
    const QVector<Tag *> r = m_field.responders(a.select, a.addressed, a.uid);
    if (r.isEmpty()) {
        nack(0x04);
        return nullptr;
    }
    if (r.size() > 1) {
        // Several tags answered at once: the reader receives a garbled reply.
        nack(0x03);
        return nullptr;
    }
    if (maker >= 0 && r.first()->maker() != maker) {
        tagFail(IsoNotSupported);
        return nullptr;
    }
    return r.first();
}

void Reader::tagOp(uint8_t code, const TagResult &r)
{
    if (r.error != IsoOk)
        return tagFail(r.error);
    ack(code, r.data);
}

// --------------------------------------------------------------- 'x' commands

void Reader::cmdX(const QByteArray &d)
{
    if (d.isEmpty())
        return nack(0x41);
    const uint8_t code = uint8_t(d.at(0));
    const int B = qMax(1, int(uint8_t(area1.at(36))));
    const int mydB = qMax(1, int(uint8_t(area1.at(37))));
    Addr a;
    Tag *t = nullptr;
    switch (code) {
    case 0x00: { // transparent request: [1] reply kind, [2] reply length, raw request
        if (d.size() < 4)
            return nack(0x41);
        const QVector<QByteArray> replies = isoOn() ? m_field.rawRequest(d.mid(3)) : QVector<QByteArray>{};
        if (uint8_t(d.at(1)) == 0)
            return ack(0x00);
        if (replies.isEmpty())
            return nack(0x04);
        if (replies.size() > 1)
            return nack(0x03);
        return ack(0x00, replies.first());
    }
    case 0x01: {
        if (d.size() != 2)
            return nack(0x41);
        if (!isoOn())
            return nack(0x04);
        const uint8_t f = uint8_t(d.at(1));
        const bool afiFlag = f & 0x20;
        const uint8_t afi = uint8_t(area1.at(5));
        QVector<Tag *> r;
        bool collided = false;
        if (f & 0x40) {
            r = m_field.inventorySlot(afiFlag, afi, 0, 0, -1);
            collided = r.size() > 1;
        } else {
            for (int slot = 0; slot < 16 && r.size() != 1; ++slot) {
                r = m_field.inventorySlot(afiFlag, afi, 0, 0, slot);
                collided |= r.size() > 1;
            }
        }
        if (r.size() != 1)
            return nack(collided ? 0x03 : 0x04);
        currentUid = r.first()->uid;
        return ack(0x01, QByteArray(1, char(r.first()->dsfid)) + r.first()->uid);
    }
    case 0xF0: {
        if (d.size() != 3)
            return nack(0x41);
        const uint8_t f = uint8_t(d.at(1));
        uidList.clear();
        if (isoOn())
            for (Tag *tag : m_field.inventoryAll(f & 0x20, uint8_t(area1.at(5))))
                uidList.append(tag->uid);
        ack(0xF0, QByteArray(1, char(uidList.size())));
        if (uint8_t(d.at(2)) == 1) {
            for (int i = 0; i < uidList.size(); i += 31) {
                const int n = qMin(31, int(uidList.size()) - i);
                QByteArray rep;
                rep.append(char(n)).append(char(0)).append(char(0));
                for (int k = 0; k < n; ++k)
                    rep.append(uidList.at(i + k));
                m_send('i', rep);
            }
        }
        return;
    }
    case 0x02:
    case 0x25: {
        if (d.size() != 10)
            return nack(0x41);
        const QByteArray uid = d.mid(2, 8);
        Tag *tag = isoOn() ? m_field.find(uid) : nullptr;
        if (code == 0x02) {
            // Stay quiet has no answer on the air; the reader acknowledges the sending.
            if (tag && !tag->killed)
                tag->state = Tag::State::Quiet;
            return ack(0x02);
        }
        if (!tag || tag->killed)
            return nack(0x04);
        for (Tag &o : m_field.tags)
            if (o.state == Tag::State::Selected)
                o.state = Tag::State::Ready;
        tag->state = Tag::State::Selected;
        currentUid = uid;
        return ack(0x25);
    }
    case 0x20:
        if (!parseAddr(d, 2, a) || !(t = target(a)))
            return;
        return tagOp(code, t->readBlock(uint8_t(d.at(1)), a.option));
    case 0x21:
        if (d.size() < B + 3)
            return nack(0x41);
        if (!parseAddr(d, B + 2, a) || !(t = target(a)))
            return;
        return tagOp(code, t->writeBlock(uint8_t(d.at(1)), d.mid(2, B)));
    case 0x22:
        if (!parseAddr(d, 2, a) || !(t = target(a)))
            return;
        return tagOp(code, t->lockBlock(uint8_t(d.at(1))));
    case 0x23: {
        if (!parseAddr(d, 3, a) || !(t = target(a)))
            return;
        TagResult r = t->readMulti(uint8_t(d.at(1)), uint8_t(d.at(2)) + 1, a.option);
        if (r.error == IsoOk && r.data.size() > 254)
            return nack(0x41);
        return tagOp(code, r);
    }
    case 0x24: {
        if (d.size() < 3)
            return nack(0x41);
        const int n = uint8_t(d.at(2)) + 1;
        const int D = n * B;
        if (d.size() < D + 4)
            return nack(0x41);
        if (!parseAddr(d, D + 3, a) || !(t = target(a)))
            return;
        return tagOp(code, t->writeMulti(uint8_t(d.at(1)), n, d.mid(3, D)));
    }
    case 0x26:
        if (!parseAddr(d, 1, a) || !(t = target(a)))
            return;
        t->state = Tag::State::Ready;
        return ack(code);
    case 0x27:
    case 0x29:
        if (!parseAddr(d, 2, a) || !(t = target(a)))
            return;
        return tagOp(code, code == 0x27 ? t->writeAfi(uint8_t(d.at(1))) : t->writeDsfid(uint8_t(d.at(1))));
    case 0x28:
    case 0x2A:
        if (!parseAddr(d, 1, a) || !(t = target(a)))
            return;
        return tagOp(code, code == 0x28 ? t->lockAfi() : t->lockDsfid());
    case 0x2B:
        if (!parseAddr(d, 1, a) || !(t = target(a)))
            return;
        return tagOp(code, t->systemInfo());
    case 0x2C:
        if (!parseAddr(d, 3, a) || !(t = target(a)))
            return;
        return tagOp(code, t->securityStatus(uint8_t(d.at(1)), uint8_t(d.at(2)) + 1));
    case 0xA0: {
        if (!parseAddr(d, 3, a) || !(t = target(a)))
            return;
        return tagOp(code, t->readBytes(uint8_t(d.at(1)), uint8_t(d.at(2))));
    }
    case 0xA1: {
        if (d.size() < 3)
            return nack(0x41);
        const int n = uint8_t(d.at(2));
        if (d.size() < n + 4)
            return nack(0x41);
        if (!parseAddr(d, n + 3, a) || !(t = target(a)))
            return;
        return tagOp(code, t->writeBytes(uint8_t(d.at(1)), d.mid(3, n)));
    }
    case 0xF3: {
        if (!parseAddr(d, 3, a) || !(t = target(a)))
            return;
        const int first = uint8_t(d.at(1)), n = uint8_t(d.at(2));
        if (n < 1 || first + n > t->blockCount)
            return tagFail(IsoNoBlock);
        for (int b = first; b < first + n; ++b) {
            TagResult r = t->lockBlock(b);
            if (r.error != IsoOk)
                return tagFail(r.error);
        }
        return ack(code);
    }
    case 0xA2:
    case 0xA3: { // two-block write / lock of the TI chips
        const bool write = code == 0xA2;
        if (!parseAddr(d, write ? 10 : 2, a) || !(t = target(a, MakerTI)))
            return;
        const int first = uint8_t(d.at(1));
        if (write) {
            if (t->blockSize != 4)
                return tagFail(IsoOptionNotSupported);
            return tagOp(code, t->writeMulti(first, 2, d.mid(2, 8)));
        }
        for (int b = first; b < first + 2; ++b) {
            TagResult r = t->lockBlock(b);
            if (r.error != IsoOk)
                return tagFail(r.error);
        }
        return ack(code);
    }
    case 0xA4:
    case 0xA5:
    case 0xA6:
    case 0xA7:
        return cmdVendorInventory(d, MakerTI);
    case 0xC0:
    case 0xC1:
        return cmdVendorInventory(d, MakerNXP);
    case 0xA8:
    case 0xA9: {
        if (d.size() != (code == 0xA8 ? 14 : 19))
            return nack(0x41);
        if (!isoOn())
            return nack(0x04);
        Tag *tag = m_field.find(d.mid(2, 8));
        if (!tag || tag->killed)
            return nack(0x04);
        if (tag->maker() != MakerTI)
            return tagFail(IsoNotSupported);
        if (d.mid(10, 4) != tag->password)
            return tagFail(IsoUnknown);
        if (code == 0xA8) {
            tag->killed = true;
            return ack(code);
        }
        return tagOp(code, tag->writeBlock(uint8_t(d.at(14)), d.mid(15, 4)));
    }
    case 0xB0:
    case 0xB3:
    case 0xB1:
    case 0xB2: {
        const int flagsAt = (code == 0xB0) ? 3 : (code == 0xB2 ? 5 : 11);
        if (d.size() <= flagsAt)
            return nack(0x41);
        if (!parseAddr(d, flagsAt, a) || !(t = target(a, MakerInfineon)))
            return;
        const int start = uint8_t(d.at(1)) * mydB;
        if (start + mydB > t->mem.size())
            return tagFail(IsoNoBlock);
        const int lockBlk = start / t->blockSize;
        if (code == 0xB0)
            return ack(code, t->mem.mid(start, mydB));
        if (t->locked.at(lockBlk))
            return tagFail(IsoLocked);
        if (code == 0xB2) {
            const int pos = uint8_t(d.at(3));
            if (pos >= mydB)
                return tagFail(IsoNoBlock);
            t->mem[start + pos] = d.at(4);
            return ack(code);
        }
        t->mem.replace(start, qMin(8, mydB), d.mid(3, qMin(8, mydB)));
        return code == 0xB3 ? ack(code, t->mem.mid(start, mydB)) : ack(code);
    }
    case 0xB8:
    case 0xB9:
    case 0xBA:
        if (!parseAddr(d, 1, a) || !(t = target(a, MakerST)))
            return;
        if (code == 0xBA)
            return ack(code, QByteArray(1, char(t->eas ? 1 : 0)));
        t->eas = code == 0xB8;
        return ack(code);
    case 0xC2:
    case 0xC3:
    case 0xC4:
    case 0xC5:
        if (!parseAddr(d, 1, a) || !(t = target(a, MakerNXP)))
            return;
        if (code == 0xC5) {
            // The alarm is answered only by a tag whose EAS bit is set.
            if (!t->eas)
                return nack(0x04);
            return ack(code, QByteArray::fromHex("1F8A5C3E7B0D29A6C4E8F21B5D937E04AB6C10F3D7294E8B56E1A03FC82B9D47"));
        }
        if (code == 0xC4) {
            if (t->easLocked)
                return tagFail(IsoAlreadyLocked);
            t->easLocked = true;
            return ack(code);
        }
        if (t->easLocked)
            return tagFail(IsoLocked);
        t->eas = code == 0xC2;
        return ack(code);
    case 0xC8:
    case 0xCA:
        if (!parseAddr(d, 1, a) || !(t = target(a, MakerFujitsu)))
            return;
        if (code == 0xC8 && !t->eas)
            return nack(0x04);
        return ack(code);
    case 0xC9:
        if (!parseAddr(d, 2, a) || !(t = target(a, MakerFujitsu)))
            return;
        t->eas = uint8_t(d.at(1)) != 0;
        return ack(code);
    case 0xCB:
        if (!parseAddr(d, 3, a) || !(t = target(a, MakerFujitsu)))
            return;
        return tagOp(code, t->readMulti(uint8_t(d.at(1)), qMax(1, int(uint8_t(d.at(2)))), false));
    case 0xF1:
    case 0xF2:
    case 0xF4:
    case 0xF5:
        return cmdLoop(d);
    default:
        return nack(0x44);
    }
}

// Inventory-read style custom commands: an inventory of the chips of one
// maker, each found tag answering with its UID and what was asked for.
void Reader::cmdVendorInventory(const QByteArray &d, uint8_t maker)
{
    const uint8_t code = uint8_t(d.at(0));
    const int flagsAt = (code == 0xA4) ? 2 : (code == 0xA6 ? 1 : 3);
    if (d.size() != flagsAt + 2)
        return nack(0x41);
    const uint8_t f = uint8_t(d.at(flagsAt));
    const uint8_t afi = uint8_t(d.at(flagsAt + 1));
    const bool option = f & 0x10;
    if (!isoOn())
        return nack(0x04);
    QVector<Tag *> found;
    bool collided = false;
    auto ofMaker = [&](QVector<Tag *> v) {
        v.erase(std::remove_if(v.begin(), v.end(), [&](Tag *t) { return t->maker() != maker; }), v.end());
        return v;
    };
    if (f & 0x40) {
        found = ofMaker(m_field.inventorySlot(f & 0x20, afi, 0, 0, -1));
        collided = found.size() > 1;
    } else {
        for (int slot = 0; slot < 16; ++slot) {
            const QVector<Tag *> r = ofMaker(m_field.inventorySlot(f & 0x20, afi, 0, 0, slot));
            if (r.size() == 1)
                found += r;
            collided |= r.size() > 1;
        }
    }
    if (collided && (f & 0x40))
        return nack(0x03);
    if (found.isEmpty())
        return nack(collided ? 0x03 : 0x04);
    QByteArray out(1, char(found.size()));
    for (Tag *t : found) {
        TagResult r;
        switch (code) {
        case 0xA4: r = t->readBlock(uint8_t(d.at(1)), option); break;
        case 0xA6: r = t->systemInfo(); r.data.remove(1, 8); break; // UID already in front
        case 0xA7: r = t->securityStatus(uint8_t(d.at(1)), qMax(1, int(uint8_t(d.at(2))))); break;
        default: r = t->readMulti(uint8_t(d.at(1)), qMax(1, int(uint8_t(d.at(2)))), option); break;
        }
        if (r.error != IsoOk)
            return tagFail(r.error);
        out += t->uid + r.data;
    }
    if (out.size() > 254)
        return nack(0x41);
    ack(code, out);
}

// --------------------------------------------------------------- 'u' Tag-it

void Reader::cmdU(const QByteArray &d)
{
    if (d.isEmpty())
        return nack(0x41);
    const uint8_t code = uint8_t(d.at(0));
    int flagsAt;
    switch (code) {
    case 0x01: case 0x08: flagsAt = 2; break;
    case 0x03: case 0x0B: flagsAt = 1; break;
    case 0x05: case 0x07: flagsAt = 6; break;
    case 0x0A: {
        if (d.size() != 7)
            return nack(0x41);
        if (!tagitOn())
            return nack(0x04);
        const int len = qMin(32, int(uint8_t(d.at(2))));
        quint32 mask = 0;
        for (int i = 0; i < 4; ++i)
            mask |= quint32(uint8_t(d.at(3 + i))) << (8 * i);
        const quint32 m = len >= 32 ? 0xFFFFFFFFu : ((quint32(1) << len) - 1);
        QByteArray out;
        int n = 0;
        for (Tag *t : m_field.tagitResponders(false, {})) {
            quint32 sid = 0;
            for (int i = 0; i < 4; ++i)
                sid |= quint32(uint8_t(t->sid.at(i))) << (8 * i);
            if ((sid & m) == (mask & m)) {
                out += t->sid;
                ++n;
            }
        }
        if (n == 0)
            return nack(0x04);
        return ack(code, QByteArray(1, char(n)) + out);
    }
    default:
        return nack(0x44);
    }
    if (d.size() <= flagsAt)
        return nack(0x41);
    const uint8_t f = uint8_t(d.at(flagsAt));
    const bool addressed = (f & 3) == 1;
    if (d.size() != flagsAt + 1 + (addressed ? 4 : 0))
        return nack(0x41);
    if (!tagitOn())
        return nack(0x04);
    const QVector<Tag *> r = m_field.tagitResponders(addressed, d.mid(flagsAt + 1, 4));
    if (r.isEmpty())
        return nack(0x04);
    if (r.size() > 1)
        return nack(0x03);
    Tag *t = r.first();
    const int blk = u8(d, 1);
    switch (code) {
    case 0x01: return tagOp(code, t->readBlock(blk, false));
    case 0x03:
        return ack(code, t->sid + char(MakerTI) + char(0x01) + char(t->blockCount - 1) + char(t->blockSize - 1));
    case 0x05: return tagOp(code, t->writeBlock(blk, d.mid(2, 4)));
    case 0x07: {
        TagResult w = t->writeBlock(blk, d.mid(2, 4));
        if (w.error != IsoOk)
            return tagFail(w.error);
        return tagOp(code, t->lockBlock(blk));
    }
    case 0x08: return tagOp(code, t->lockBlock(blk));
    case 0x0B:
        t->state = Tag::State::Quiet;
        return ack(code);
    }
}

// ------------------------------------------------------- cancel, read, write

void Reader::cmdQ(const QByteArray &d)
{
    if (d.size() != 1)
        return nack(0x41);
    const uint8_t replyMode = uint8_t(d.at(0));
    const bool wasRunning = m_mode != 0 || m_loop != Loop::None;
    stopAll();
    if (replyMode == 1 || (replyMode == 2 && wasRunning))
        ackRaw({});
    else if (replyMode == 2)
        nack(0x02); // nothing was running that could be cancelled
}

QByteArray Reader::userData(const Tag &t, bool &ok) const
{
    const int first = uint8_t(area2.at(6));
    const int len = uint8_t(area2.at(7));
    const TagResult r = t.readBytes(first, len);
    ok = r.error == IsoOk;
    return r.data;
}

void Reader::cmdR()
{
    QVector<Tag *> r;
    if (tagitProtocol())
        r = tagitOn() ? m_field.tagitResponders(false, {}) : QVector<Tag *>{};
    else if (isoOn())
        r = m_field.inventorySlot(false, 0, 0, 0, -1);
    if (r.isEmpty())
        return nack(0x04);
    if (r.size() > 1)
        return nack(0x03);
    bool ok = false;
    const QByteArray data = userData(*r.first(), ok);
    if (!ok)
        return tagFail(IsoNoBlock);
    ++okCount;
    if (m_flags & 0x20)
        m_send('d', (r.first()->tagit ? r.first()->sid : r.first()->uid) + data);
    else
        m_send('D', data);
}

void Reader::cmdJ(const QByteArray &d)
{
    if (d.size() < 4)
        return nack(0x41);
    QVector<Tag *> r;
    if (tagitProtocol())
        r = tagitOn() ? m_field.tagitResponders(false, {}) : QVector<Tag *>{};
    else if (isoOn())
        r = m_field.inventorySlot(false, 0, 0, 0, -1);
    if (r.isEmpty())
        return nack(0x04);
    if (r.size() > 1)
        return nack(0x03);
    const TagResult w = r.first()->writeBytes(uint8_t(area2.at(6)), d.mid(4));
    if (w.error != IsoOk)
        return tagFail(w.error);
    ++okCount;
    ackRaw({});
}

// --------------------------------------------------- modes and read loops

void Reader::setMode(uint8_t mode, uint8_t modeByte2, uint8_t flags, uint16_t pollTime, uint8_t block)
{
    m_mode = mode;
    m_modeByte2 = modeByte2;
    m_flags = flags;
    m_pollTime = pollTime;
    m_testBlock = block;
    m_loop = Loop::None;
    m_seen.clear();
    m_lastRead.clear();
    m_lastPoll = m_clock.elapsed();
    if (mode == 0x00)
        m_timer->stop();
    else
        m_timer->start();
}

void Reader::stopAll()
{
    m_mode = 0;
    m_loop = Loop::None;
    m_timer->stop();
}

void Reader::trigger()
{
    if (m_mode == 0x02) {
        m_seen.clear();
        modeCycle();
    }
}

void Reader::restart()
{
    m_loop = Loop::None;
    m_s6700 = uint8_t(area1.at(4));
    m_field.resetStates();
    txOn = true;
    powerDown = false;
    const uint8_t flags = uint8_t(area1.at(8));
    // A stored code the reader does not have starts nothing: command mode.
    const uint8_t stored = uint8_t(area1.at(9));
    setMode(isModeCode(stored) ? stored : 0x00, 0, flags, m_pollTime, m_testBlock);
    m_baud = baudFromModeFlags(flags);
    emit restarted(m_baud);
}

bool Reader::inhibited(const QByteArray &id)
{
    const qint64 now = m_clock.elapsed();
    const qint64 hold = qint64(uint8_t(area1.at(29))) * 200;
    auto it = m_lastRead.find(id);
    if (it != m_lastRead.end() && now - it.value() < hold)
        return true;
    m_lastRead[id] = now;
    return false;
}

void Reader::reportTag(Tag &t)
{
    bool ok = false;
    const QByteArray data = userData(t, ok);
    if (!ok)
        return;
    const QByteArray &id = t.tagit ? t.sid : t.uid;
    if (m_mode == 0x58 || m_mode == 0x59)
        m_send('L', id + data);
    else if (m_flags & 0x20)
        m_send('d', id + data);
    else
        m_send('D', data);
}

void Reader::scanTick()
{
    if (m_loop != Loop::None)
        return loopCycle();
    if (m_mode == 0x00 || m_mode == 0x02 || m_mode == 0x52)
        return;
    const qint64 now = m_clock.elapsed();
    qint64 period = 200;
    if (m_mode == 0x03 || m_mode == 0x23)
        period = qMax<qint64>(200, qint64(m_pollTime) * 200);
    if (now - m_lastPoll < period)
        return;
    m_lastPoll = now;
    modeCycle();
}

void Reader::modeCycle()
{
    const bool multi = m_flags & 0x04;
    const bool continuous = m_flags & 0x08;
    QVector<Tag *> tags;
    if (tagitProtocol())
        tags = tagitOn() ? m_field.tagitResponders(false, {}) : QVector<Tag *>{};
    else if (isoOn())
        tags = multi ? m_field.inventoryAll(false, 0) : m_field.inventorySlot(false, 0, 0, 0, -1);
    if (!multi && tags.size() > 1)
        tags.clear(); // a collision reads nothing without anticollision
    QSet<QByteArray> present;
    for (Tag *t : tags)
        present.insert(t->tagit ? t->sid : t->uid);
    // Once a tag has left the field it is reported again when it comes back.
    for (auto it = m_seen.begin(); it != m_seen.end();)
        it = present.contains(*it) ? std::next(it) : m_seen.erase(it);

    auto fresh = [&](Tag *t) {
        const QByteArray id = t->tagit ? t->sid : t->uid;
        if (!continuous) {
            if (m_seen.contains(id))
                return false;
            m_seen.insert(id);
            return true;
        }
        return !inhibited(id);
    };

    switch (m_mode) {
    case 0x50:
    case 0x53:
    case 0x54:
        for (Tag *t : tags)
            if (!t->tagit)
                m_send('I', QByteArray(1, char(t->dsfid)) + t->uid);
        return;
    case 0x24: // EAS: tags carrying the reader's AFI raise a report
        for (Tag *t : tags)
            if (!t->tagit && t->afi == uint8_t(area1.at(5)) && fresh(t))
                m_send('I', QByteArray(1, char(t->dsfid)) + t->uid);
        return;
    case 0x56:
    case 0x57: {
        QVector<Tag *> all = isoOn() ? m_field.inventoryAll(false, 0) : QVector<Tag *>{};
        if (all.isEmpty())
            return;
        QByteArray rep;
        const int n = qMin(31, int(all.size()));
        rep.append(char(n)).append(char(0)).append(char(0));
        for (int i = 0; i < n; ++i)
            rep.append(all[i]->uid);
        m_send('i', rep);
        return;
    }
    case 0x51: { // continuous write test on one block
        if (tags.size() != 1 || tags.first()->tagit)
            return;
        Tag *t = tags.first();
        QByteArray v(t->blockSize, '\0');
        ++m_writeCounter;
        for (int i = 0; i < qMin(4, int(v.size())); ++i)
            v[i] = char((m_writeCounter >> (8 * i)) & 0xFF);
        if (t->writeBlock(m_testBlock, v).error == IsoOk)
            m_send('d', t->uid + t->readBlock(m_testBlock, false).data);
        return;
    }
    case 0x23: { // polling write
        const int blk = u8(m_polWrite, 0), c = u8(m_polWrite, 1);
        const QByteArray data = m_polWrite.mid(2, c);
        const uint8_t f = uint8_t(u8(m_polWrite, 2 + c));
        for (Tag *t : tags) {
            if (t->tagit || ((f & 3) == 1 && t->uid != m_polWrite.mid(3 + c, 8)))
                continue;
            if (fresh(t) && t->writeBytes(blk, data).error == IsoOk)
                m_send('d', t->uid + data);
        }
        return;
    }
    default:
        for (Tag *t : tags)
            if (fresh(t))
                reportTag(*t);
        return;
    }
}

void Reader::cmdLoop(const QByteArray &d)
{
    const uint8_t code = uint8_t(d.at(0));
    switch (code) {
    case 0xF1:
        if (d.size() != 13)
            return nack(0x41);
        ack(code);
        m_loop = Loop::Inv16;
        break;
    case 0xF2:
        if (d.size() != 14)
            return nack(0x41);
        ack(code);
        m_loop = Loop::ReadLoop;
        break;
    case 0xF4: {
        if (d.size() < 8)
            return nack(0x41);
        const bool withUid = (uint8_t(d.at(1)) & 3) == 1;
        if (d.size() != (withUid ? 16 : 8))
            return nack(0x41);
        ack(code);
        m_loop = Loop::RdLoopPol;
        m_loopCollected.clear();
        break;
    }
    case 0xF5:
        if (d.size() != 1)
            return nack(0x41);
        ack(code, QByteArray(1, char(m_loopCollected.size())));
        for (const QByteArray &rep : std::as_const(m_loopCollected))
            m_send('L', rep);
        m_loopCollected.clear();
        return;
    }
    m_loopArgs = d;
    m_loopStart = m_clock.elapsed();
    m_seen.clear();
    m_lastPoll = 0;
    m_timer->start();
}

void Reader::loopCycle()
{
    const qint64 now = m_clock.elapsed();
    if (now - m_lastPoll < 200)
        return;
    m_lastPoll = now;
    const QByteArray &d = m_loopArgs;
    if (m_loop == Loop::Inv16) {
        const uint8_t loopMode = u8(d, 1);
        const int maskLen = qMin(64, u8(d, 4));
        quint64 mask = 0;
        for (int i = 0; i < 8; ++i)
            mask |= quint64(u8(d, 5 + i)) << (8 * i);
        const QVector<Tag *> all = isoOn() ? m_field.inventoryAll(u8(d, 2) & 0x20, uint8_t(u8(d, 3)), maskLen, mask)
                                           : QVector<Tag *>{};
        if (all.isEmpty() && !(loopMode & 0x02))
            return;
        QByteArray rep;
        const int n = qMin(31, int(all.size()));
        rep.append(char(n)).append(char(0)).append(char(0));
        for (int i = 0; i < n; ++i) {
            rep.append(all[i]->uid);
            if (loopMode & 0x08)
                all[i]->state = Tag::State::Quiet;
        }
        m_send('i', rep);
        if ((loopMode & 0x01) && !all.isEmpty())
            stopAll();
        return;
    }
    // Block read loops: [2] flags, then first block / length / AFI at their
    // positions, the UID last.
    const bool pol = m_loop == Loop::RdLoopPol;
    const uint8_t f = uint8_t(u8(d, pol ? 1 : 2));
    const int first = u8(d, pol ? 5 : 3), len = u8(d, pol ? 6 : 4);
    const uint8_t afi = uint8_t(u8(d, pol ? 7 : 5));
    const QByteArray uid = d.mid(pol ? 8 : 6, 8);
    QVector<Tag *> tags;
    if (isoOn()) {
        if ((f & 3) == 1)
            tags = m_field.responders(false, true, uid);
        else
            tags = m_field.inventorySlot(f & 0x20, afi, 0, 0, -1);
    }
    if (tags.size() > 1)
        tags.clear();
    QByteArray body;
    if (!tags.isEmpty()) {
        const TagResult r = tags.first()->readBytes(first, len);
        if (r.error == IsoOk)
            body = tags.first()->uid + r.data;
    }
    if (!pol) {
        const uint8_t loopMode = u8(d, 1);
        if (!body.isEmpty())
            m_send('L', body);
        else if (loopMode & 0x02)
            nack(0x04);
        if ((loopMode & 0x01) && !body.isEmpty())
            stopAll();
        return;
    }
    const uint8_t param = u8(d, 2);
    const qint64 limit = qint64(u8(d, 3) | (u8(d, 4) << 8)) * 10;
    if (!body.isEmpty()) {
        if (param & 0x04)
            m_send('L', body);
        else if (!m_loopCollected.contains(body))
            m_loopCollected.append(body);
    }
    if (now - m_loopStart >= limit) {
        if (!(param & 0x02)) {
            for (const QByteArray &rep : std::as_const(m_loopCollected))
                m_send('L', rep);
            m_loopCollected.clear();
        }
        stopAll();
    }
}

} // namespace kx9sim
