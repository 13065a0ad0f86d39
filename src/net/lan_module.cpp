#include "net/lan_module.h"

#include "net/telnet_link.h"

#include <QStringList>

#include <algorithm>
#include <limits>

namespace kx9 {

namespace {

const QString kOk = QStringLiteral("　OK!!");
const QString kNg = QStringLiteral("　NG!!");

// Cuts `text` into `n` groups at the last '.' or '-', from the right. Every
// separator needs a group in front of it, and no group may be empty.
bool splitGroups(const QString &text, int n, QStringList &groups)
{
    groups = QStringList(n, QString());
    QString rest = text.trimmed();
    for (int g = n - 1; g >= 1; --g) {
        const int p = std::max(rest.lastIndexOf(QLatin1Char('.')), rest.lastIndexOf(QLatin1Char('-')));
        if (p < 1)
            return false;
        groups[g] = rest.mid(p + 1);
        rest = rest.left(p);
    }
    groups[0] = rest;
    for (const QString &g : std::as_const(groups)) {
        if (g.isEmpty())
            return false;
    }
    return true;
}

// A decimal number and nothing else.
bool decimal(const QString &text, int lo, int hi, int &out)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 9)
        return false;
    for (QChar c : t) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    const int v = t.toInt();
    if (v < lo || v > hi)
        return false;
    out = v;
    return true;
}

QByteArray dotted(const std::array<int, 4> &a)
{
    return QByteArray::number(a[0]) + '.' + QByteArray::number(a[1]) + '.' + QByteArray::number(a[2]) + '.' +
           QByteArray::number(a[3]);
}

} // namespace

QByteArray LanKeyText(LanKey key)
{
    static const char *const texts[] = {"madr", "l_ip", "l_pt", "f_ip", "f_pt", "mask",
                                        "conn", "bps",  "timv", "keep", "timr", "save"};
    return texts[int(key)];
}

QString LanKeyName(LanKey key)
{
    switch (key) {
    case LanKey::Madr: return QStringLiteral("MACアドレス");
    case LanKey::LIp: return QStringLiteral("IPアドレス");
    case LanKey::LPt: return QStringLiteral("Port値");
    case LanKey::FIp: return QStringLiteral("IPアドレス(接続先)");
    case LanKey::FPt: return QStringLiteral("Port値(接続先)");
    case LanKey::Mask: return QStringLiteral("マスク長");
    case LanKey::Conn: return QStringLiteral("自動接続");
    case LanKey::Bps: return QStringLiteral("通信スピード(RS232C)");
    case LanKey::Timv: return QStringLiteral("送信タイミング");
    case LanKey::Keep: return QStringLiteral("Keep");
    case LanKey::Timr: return QStringLiteral("timr");
    case LanKey::Save: return QStringLiteral("SAVE");
    }
    return {};
}

QString LanKeyMessage(LanKey key, bool ok) { return LanKeyName(key) + (ok ? kOk : kNg); }

int HexGroupToInt(const QString &text)
{
    // Long texts would leave int: the value stops growing at its maximum.
    constexpr qint64 kCap = std::numeric_limits<int>::max();
    qint64 value = 0;
    qint64 weight = 1;
    for (int i = int(text.size()) - 1; i >= 0; --i) {
        const char16_t c = text.at(i).unicode();
        int digit = -1;
        if (c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else if (c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        if (digit > 0)
            value = std::min(kCap, value + digit * weight);
        weight = std::min(kCap + 1, weight * 16);
    }
    return int(value);
}

bool ParseIPv4(const QString &text, std::array<int, 4> &out)
{
    out = {};
    QStringList groups;
    if (!splitGroups(text, 4, groups))
        return false;
    std::array<int, 4> r{};
    for (int i = 0; i < 4; ++i) {
        if (!decimal(groups[i], 0, 255, r[i]))
            return false;
    }
    out = r;
    return true;
}

bool ParseMac(const QString &text, std::array<int, 6> &out)
{
    out = {};
    QStringList groups;
    if (!splitGroups(text, 6, groups))
        return false;
    std::array<int, 6> r{};
    for (int i = 0; i < 6; ++i) {
        r[i] = HexGroupToInt(groups[i]);
        // A box shows one byte: a longer group is not an address.
        if (r[i] > 0xFF)
            return false;
    }
    out = r;
    return true;
}

int LanBpsValue(int code) { return code == 2 ? 17 : code == 1 ? 16 : 15; }

int LanSpeedCodeOfBps(int bps) { return bps == 9600 ? 0 : bps == 19200 ? 1 : bps == 38400 ? 2 : -1; }

int LanBitsPerSecond(int code) { return code == 2 ? 38400 : code == 1 ? 19200 : 9600; }

QString LanSpeedText(int code)
{
    return code == 2 ? QStringLiteral("38.4kbps") : code == 1 ? QStringLiteral("19.2kbps") : QStringLiteral("9600bps");
}

bool LanModuleWake(TTelNetCont1Dlg &link)
{
    link.TelnetClear();
    link.TelnetSend("\r\n");
    link.Pause(100);
    return link.TelnetWaitFor(2, ">");
}

LanKeys LanModuleRead(TTelNetCont1Dlg &link, LanModuleSettings &into, const AppLogFn &appLog)
{
    LanKeys read = 0;
    auto step = [&](LanKey key, const std::function<bool(const QString &value)> &take) {
        bool ok;
        if (key == LanKey::Madr) {
            const QByteArray query = LanKeyText(key) + "\r\n";
            link.TelnetClear();
            link.TelnetSend(query);
            ok = link.TelnetReadMac(int(query.size()));
        } else {
            ok = link.TelnetQuery(LanKeyText(key));
        }
        ok = ok && take(link.valueText());
        appLog(LanKeyMessage(key, ok));
        if (ok)
            read |= Bit(key);
        return ok;
    };
    auto number = [](int lo, int hi, int &field) {
        return [lo, hi, &field](const QString &v) { return decimal(v, lo, hi, field); };
    };
    auto address = [](std::array<int, 4> &field) {
        return [&field](const QString &v) {
            std::array<int, 4> a;
            if (!ParseIPv4(v, a))
                return false;
            field = a;
            return true;
        };
    };
    LanModuleSettings s = into;
    const bool all =
        step(LanKey::Madr,
             [&](const QString &v) {
                 std::array<int, 6> m;
                 if (!ParseMac(v, m))
                     return false;
                 s.mac = m;
                 return true;
             }) &&
        step(LanKey::LIp, address(s.ownAddress)) && step(LanKey::LPt, number(0, 65535, s.ownPort)) &&
        step(LanKey::FIp, address(s.destAddress)) && step(LanKey::FPt, number(0, 65535, s.destPort)) &&
        step(LanKey::Mask, number(0, 32, s.mask)) &&
        step(LanKey::Conn,
             [&](const QString &v) {
                 int n = 0;
                 if (!decimal(v, 0, 999999999, n))
                     return false;
                 s.autoConnect = n != 0;
                 return true;
             }) &&
        step(LanKey::Bps,
             [&](const QString &v) {
                 int n = 0;
                 if (!decimal(v, 0, 999999999, n))
                     return false;
                 s.speedIndex = n == 17 ? 2 : n == 16 ? 1 : 0;
                 return true;
             }) &&
        step(LanKey::Timv, number(0, 65535, s.txTiming)) && step(LanKey::Keep, number(0, 1, s.keepAlive)) &&
        step(LanKey::Timr, number(0, 65535, s.chkTimer));
    (void)all;
    into = s;
    return read;
}

bool LanModuleWrite(TTelNetCont1Dlg &link, const LanModuleSettings &s, const AppLogFn &appLog, LanKeys keys)
{
    if (!LanModuleWake(link))
        return false;
    struct Step {
        LanKey key;
        QByteArray text;
    };
    const Step steps[] = {
        {LanKey::LIp, "l_ip=" + dotted(s.ownAddress)},
        {LanKey::LPt, "l_pt=" + QByteArray::number(s.ownPort)},
        {LanKey::FIp, "f_ip=" + dotted(s.destAddress)},
        {LanKey::FPt, "f_pt=" + QByteArray::number(s.destPort)},
        {LanKey::Mask, "mask=" + QByteArray::number(s.mask)},
        // Auto connect is only ever switched on from here.
        {LanKey::Conn, s.autoConnect ? QByteArray("conn=1") : QByteArray()},
        {LanKey::Bps, "bps=" + QByteArray::number(LanBpsValue(s.speedIndex))},
        {LanKey::Timv, "timv=" + QByteArray::number(s.txTiming)},
        {LanKey::Keep, "keep=" + QByteArray::number(s.keepAlive)},
        {LanKey::Timr, "timr=" + QByteArray::number(s.chkTimer)},
        {LanKey::Save, "save"},
    };
    for (const Step &st : steps) {
        if (st.text.isEmpty() || (st.key != LanKey::Save && !(keys & Bit(st.key))))
            continue;
        const bool ok = link.TelnetCommand(st.text + "\r\n", ">OK");
        appLog(LanKeyMessage(st.key, ok));
        if (!ok)
            return false;
    }
    return true;
}

bool LanModuleSetSpeed(LogTarget *logPane, int logRx, const QString &address, int code, const AppLogFn &appLog)
{
    TTelNetCont1Dlg link;
    link.TelnetOpen(logPane, logRx, address);
    if (!LanModuleWake(link))
        return false;
    const QString speedName = LanKeyName(LanKey::Bps);
    int value = 0;
    // "NG", or anything but a number, is no speed.
    const bool got = link.TelnetQuery("bps") && decimal(link.valueText(), 0, 999999999, value);
    appLog(QStringLiteral("Get ") + speedName + (got ? kOk : kNg));
    if (!got)
        return false;
    const int wanted = LanBpsValue(code);
    if (value == wanted)
        return true;
    const bool set = link.TelnetCommand("bps=" + QByteArray::number(wanted) + "\r\n", ">OK");
    appLog(QStringLiteral("Set ") + speedName + (set ? kOk : kNg));
    if (!set)
        return false;
    const bool saved = link.TelnetCommand("save\r\n", ">OK");
    appLog(LanKeyMessage(LanKey::Save, saved));
    return saved;
}

} // namespace kx9
