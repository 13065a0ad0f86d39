#include "simlan.h"

#include <QList>


namespace kx9sim {

namespace {
bool toInt(const QByteArray &v, int lo, int hi, int &out)
{
    bool ok = false;
    const int n = v.toInt(&ok);
    if (!ok || n < lo || n > hi)
        return false;
    out = n;
    return true;
}

bool isIpv4(const QByteArray &v)
{
    const QList<QByteArray> parts = v.split('.');
    if (parts.size() != 4)
        return false;
    for (const QByteArray &p : parts) {
        int n;
        if (p.isEmpty() || !toInt(p, 0, 255, n))
            return false;
    }
    return true;
}
} // namespace

QByteArray LanConsole::feed(const QByteArray &in)
{
    QByteArray out;
    for (char c : in) {
        // A line ends with CR or a bare LF. NULs carry nothing (Telnet sends
        // CR NUL for a bare CR) and an LF right after the CR is the same end.
        if (c == '\0')
            continue;
        if (c == '\n' && m_lastWasCr) {
            m_lastWasCr = false;
            continue;
        }
        m_lastWasCr = c == '\r';
        if (c == '\r' || c == '\n') {
            const QByteArray text = m_line;
            m_line.clear();
            if (!m_loggedIn) {
                if (text == "QZV") {
                    m_loggedIn = true;
                    out += "\r\n";
                } else {
                    out += "\r\nPASSWORD:";
                }
                continue;
            }
            out += "\r\n";
            out += line(text.trimmed());
            continue;
        }
        if (uint8_t(c) == 0x08 || uint8_t(c) == 0x7F) {
            if (!m_line.isEmpty()) {
                m_line.chop(1);
                if (m_loggedIn)
                    out += "\b \b";
            }
            continue;
        }
        if (uint8_t(c) < 0x20 || m_line.size() >= 200)
            continue;
        m_line.append(c);
        if (m_loggedIn)
            out.append(c); // the password is not echoed
    }
    return out;
}

QByteArray LanConsole::line(const QByteArray &text)
{
    if (text.isEmpty())
        return ">\r\n";
    const int eq = text.indexOf('=');
    const QByteArray key = (eq < 0 ? text : text.left(eq)).trimmed().toLower();
    const QByteArray value = eq < 0 ? QByteArray() : text.mid(eq + 1).trimmed();
    const bool set = eq >= 0;
    auto answer = [](const QByteArray &v) { return ">" + v + "\r\n"; };
    auto num = [&](int &field, int lo, int hi) {
        if (!set)
            return answer(QByteArray::number(field));
        return toInt(value, lo, hi, field) ? answer("OK") : answer("NG");
    };
    auto ip = [&](QString &field) {
        if (!set)
            return answer(field.toLatin1());
        if (!isIpv4(value))
            return answer("NG");
        field = QString::fromLatin1(value);
        return answer("OK");
    };
    if (key == "madr")
        return set ? answer("NG") : answer(m_s.madr.toLatin1());
    if (key == "l_ip")
        return ip(m_s.lIp);
    if (key == "f_ip")
        return ip(m_s.fIp);
    if (key == "l_pt")
        return num(m_s.lPt, 0, 65535);
    if (key == "f_pt")
        return num(m_s.fPt, 0, 65535);
    if (key == "mask")
        return num(m_s.mask, 0, 32);
    if (key == "conn")
        return num(m_s.conn, 0, 1);
    if (key == "bps")
        return num(m_s.bps, 15, 17);
    if (key == "timv")
        return num(m_s.timv, 0, 65535);
    if (key == "keep")
        return num(m_s.keep, 0, 1);
    if (key == "timr")
        return num(m_s.timr, 0, 65535);
    if (key == "save" && !set) {
        ++m_saves;
        return answer("OK");
    }
    return answer("NG");
}

} // namespace kx9sim
