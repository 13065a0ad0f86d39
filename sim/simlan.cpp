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

bool isMac(const QByteArray &v)
{
    const QList<QByteArray> parts = v.split('-');
    if (parts.size() != 6)
        return false;
    for (const QByteArray &p : parts) {
        bool ok = false;
        if (p.size() != 2 || (p.toUInt(&ok, 16), !ok))
            return false;
    }
    return true;
}
} // namespace

bool LanSettings::set(const QByteArray &key, const QByteArray &value)
{
    auto ip = [&](QString &field) {
        if (!isIpv4(value))
            return false;
        field = QString::fromLatin1(value);
        return true;
    };
    if (key == "madr") {
        if (!isMac(value))
            return false;
        madr = QString::fromLatin1(value);
        return true;
    }
    if (key == "l_ip")
        return ip(lIp);
    if (key == "f_ip")
        return ip(fIp);
    if (key == "l_pt")
        return toInt(value, 0, 65535, lPt);
    if (key == "f_pt")
        return toInt(value, 0, 65535, fPt);
    if (key == "mask")
        return toInt(value, 0, 32, mask);
    if (key == "conn")
        return toInt(value, 0, 1, conn);
    if (key == "bps")
        return toInt(value, 15, 17, bps);
    if (key == "timv")
        return toInt(value, 0, 65535, timv);
    if (key == "keep")
        return toInt(value, 0, 1, keep);
    if (key == "timr")
        return toInt(value, 0, 65535, timr);
    return false;
}

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
                    out += "\r\n" + m_s.prompt;
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

bool LanConsole::forcedAnswer(const QByteArray &key, bool set, QByteArray &answer)
{
    auto it = set ? m_s.forced.find(key + '=') : m_s.forced.end();
    if (it == m_s.forced.end())
        it = m_s.forced.find(key);
    if (it == m_s.forced.end())
        return false;
    answer = it.value().answer;
    if (it.value().lines > 0 && --it.value().lines == 0)
        m_s.forced.erase(it);
    return true;
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
    QByteArray forced;
    if (forcedAnswer(key, set, forced))
        return answer(forced);
    if (key == "save") {
        if (set)
            return answer("NG");
        ++m_s.saves;
        return answer("OK");
    }
    if (set) {
        // The MAC address is the module's own: it is only read.
        if (key == "madr")
            return answer("NG");
        return answer(m_s.set(key, value) ? "OK" : "NG");
    }
    if (key == "madr")
        return answer(m_s.madr.toLatin1());
    if (key == "l_ip")
        return answer(m_s.lIp.toLatin1());
    if (key == "f_ip")
        return answer(m_s.fIp.toLatin1());
    const QHash<QByteArray, int> numbers = {{"l_pt", m_s.lPt}, {"f_pt", m_s.fPt}, {"mask", m_s.mask},
                                            {"conn", m_s.conn}, {"bps", m_s.bps},  {"timv", m_s.timv},
                                            {"keep", m_s.keep}, {"timr", m_s.timr}};
    const auto it = numbers.find(key);
    if (it != numbers.end())
        return answer(QByteArray::number(it.value()));
    return answer("NG");
}

} // namespace kx9sim
