#pragma once
// The LAN module's console as its Telnet session sees it, without the Telnet
// layer: a password prompt, then one line per command. Every line typed is
// echoed; the answer follows as ">" + text + CR LF: the value of a query,
// "OK" for an accepted setting or "save", "NG" for anything refused.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <functional>

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

    // The module beside its settings: what the tests steer and read back.
    int saves = 0;                              // accepted "save" commands
    QByteArray prompt = "PASSWORD:";            // login prompt of new sessions
    // Answers forced on a key ("NG", or any text): "key" takes queries and
    // settings, "key=" settings only. `lines` left, 0 = every line until cleared.
    struct Forced {
        QByteArray answer;
        int lines = 1;
    };
    QHash<QByteArray, Forced> forced;
    // Set by the console server: hang up every session / count the open ones.
    std::function<int()> hangUp;
    std::function<int()> sessions;

    // key=value as the console takes it (madr included); false when refused.
    bool set(const QByteArray &key, const QByteArray &value);
};

class LanConsole {
public:
    explicit LanConsole(LanSettings &settings) : m_s(settings) {}
    QByteArray greeting() const { return m_s.prompt; }
    QByteArray feed(const QByteArray &in);
    bool loggedIn() const { return m_loggedIn; }

private:
    QByteArray line(const QByteArray &text);
    bool forcedAnswer(const QByteArray &key, bool set, QByteArray &answer);
    LanSettings &m_s;
    QByteArray m_line;
    bool m_loggedIn = false;
    bool m_lastWasCr = false;
};

} // namespace kx9sim
