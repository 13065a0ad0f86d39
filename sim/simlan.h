#pragma once
// The LAN module's console as its Telnet session sees it, without the Telnet
// layer: a password prompt, then one line per command. Every line typed is
// echoed; the answer follows as ">" + text + CR LF: the value of a query,
// "OK" for an accepted setting or "save", "NG" for anything refused.
#include <QByteArray>
#include <QString>

namespace kx9sim {

struct LanSettings {
    QString madr = QStringLiteral("02-4B-58-00-00-01");
    QString lIp = QStringLiteral("127.0.0.1");
    int lPt = 10777;
    QString fIp = QStringLiteral("127.0.0.1");
    int fPt = 3335;
    int mask = 8;
    int conn = 0;
    int bps = 16;      // 15 9600, 16 19200, 17 38400 bit/s
    int timv = 10;
    int keep = 0;
    int timr = 0;
    int baud() const { return bps == 15 ? 9600 : bps == 17 ? 38400 : 19200; }
};

class LanConsole {
public:
    explicit LanConsole(LanSettings &settings) : m_s(settings) {}
    QByteArray greeting() const { return "PASSWORD:"; }
    QByteArray feed(const QByteArray &in);
    bool loggedIn() const { return m_loggedIn; }
    int saves() const { return m_saves; }

private:
    QByteArray line(const QByteArray &text);
    LanSettings &m_s;
    QByteArray m_line;
    bool m_loggedIn = false;
    bool m_lastWasCr = false;
    int m_saves = 0;
};

} // namespace kx9sim
