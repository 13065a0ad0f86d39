#pragma once
// SimProcess: runs the kx9sim simulator as a child process for a test.
//
//   SimProcess sim;                                   // nothing started yet
//   QVERIFY2(sim.start({"--listen", "0", "--demo"}), qPrintable(sim.errorString()));
//   QTcpSocket s; s.connectToHost(QHostAddress::LocalHost, sim.listenPort());
//   QCOMPARE(sim.control("tag add E004010012345678"), QString("OK"));
//
// start() always adds "--control" (control commands on the child's stdin) and,
// unless the arguments already carry "--log", "--log <temp file>" so that
// frameLog() can return the simulator's frame log. It waits for the "READY"
// line; on a time-out or an early exit it returns false, kills the child and
// errorString() says why (with the child's stderr). The machine-readable start
// lines "LISTEN <port>", "PTY <path>" and "TELNET <port>" are parsed into
// listenPort(), ptyPath() and telnetPort() (0 / empty when not printed).
//
// control(cmd) writes one line to the child's stdin and returns the first
// reply line that starts with "OK" or "ERR" (without the line end); on a
// time-out it returns "ERR timeout". The destructor (or stop()) sends "quit",
// waits briefly and kills the child if it is still running.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>
#include <memory>

class QProcess;

class SimProcess {
public:
    SimProcess();
    ~SimProcess();
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    // Starts KX9_SIM_PATH (or `program` when not empty) with `args`.
    bool start(const QStringList &args, int readyTimeoutMs = 10000, const QString &program = {});
    void stop();
    bool isRunning() const;

    QString errorString() const { return m_error; }
    quint16 listenPort() const { return m_listenPort; }
    quint16 telnetPort() const { return m_telnetPort; }
    QString ptyPath() const { return m_ptyPath; }

    // One control command; returns its reply line ("OK ...", "ERR ...").
    QString control(const QString &cmd, int timeoutMs = 5000);

    // Everything the simulator wrote to its frame log so far (when start()
    // chose the log file), and its stderr so far.
    QByteArray frameLog() const;
    // The frames the simulator received so far, in order, as raw bytes.
    QList<QByteArray> receivedFrames() const;
    QByteArray stderrText();

    QProcess *process() const { return m_proc.get(); }

private:
    bool readLine(QByteArray &line, int timeoutMs);

    std::unique_ptr<QProcess> m_proc;
    std::unique_ptr<QTemporaryFile> m_log;
    QByteArray m_stdoutBuf;
    QByteArray m_stderr;
    QString m_error;
    quint16 m_listenPort = 0;
    quint16 m_telnetPort = 0;
    QString m_ptyPath;
};
