#include "sim_process.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#ifndef KX9_SIM_PATH
#define KX9_SIM_PATH "kx9sim"
#endif

SimProcess::SimProcess() = default;

SimProcess::~SimProcess() { stop(); }

bool SimProcess::isRunning() const
{
    return m_proc && m_proc->state() != QProcess::NotRunning;
}

bool SimProcess::readLine(QByteArray &line, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        int nl = m_stdoutBuf.indexOf('\n');
        if (nl >= 0) {
            line = m_stdoutBuf.left(nl);
            if (line.endsWith('\r'))
                line.chop(1);
            m_stdoutBuf.remove(0, nl + 1);
            return true;
        }
        if (!isRunning() || deadline.hasExpired())
            return false;
        if (m_proc->waitForReadyRead(int(qMin<qint64>(deadline.remainingTime(), 100))))
            m_stdoutBuf += m_proc->readAllStandardOutput();
        m_stderr += m_proc->readAllStandardError();
    }
}

bool SimProcess::start(const QStringList &args, int readyTimeoutMs, const QString &program)
{
    stop();
    m_error.clear();
    m_stdoutBuf.clear();
    m_stderr.clear();
    m_listenPort = m_telnetPort = 0;
    m_ptyPath.clear();

    QStringList all = args;
    if (!all.contains(QStringLiteral("--control")))
        all << QStringLiteral("--control");
    if (!all.contains(QStringLiteral("--log"))) {
        m_log = std::make_unique<QTemporaryFile>();
        if (m_log->open()) {
            all << QStringLiteral("--log") << m_log->fileName();
            m_log->close();
        }
    }
    m_proc = std::make_unique<QProcess>();
    m_proc->setProcessChannelMode(QProcess::SeparateChannels);
    m_proc->start(program.isEmpty() ? QStringLiteral(KX9_SIM_PATH) : program, all);
    if (!m_proc->waitForStarted(readyTimeoutMs)) {
        m_error = QStringLiteral("kx9sim did not start: ") + m_proc->errorString();
        m_proc.reset();
        return false;
    }
    QByteArray line;
    while (readLine(line, readyTimeoutMs)) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.value(0) == "READY")
            return true;
        if (parts.value(0) == "LISTEN")
            m_listenPort = quint16(parts.value(1).toUInt());
        else if (parts.value(0) == "TELNET")
            m_telnetPort = quint16(parts.value(1).toUInt());
        else if (parts.value(0) == "PTY")
            m_ptyPath = QString::fromLocal8Bit(parts.value(1));
    }
    if (m_proc)
        m_stderr += m_proc->readAllStandardError();
    m_error = QStringLiteral("kx9sim gave no READY line within %1 ms (args: %2); stderr: %3")
                  .arg(readyTimeoutMs)
                  .arg(all.join(' '), QString::fromLocal8Bit(m_stderr));
    stop();
    return false;
}

QString SimProcess::control(const QString &cmd, int timeoutMs)
{
    if (!isRunning())
        return QStringLiteral("ERR not running");
    m_proc->write(cmd.toUtf8() + '\n');
    m_proc->waitForBytesWritten(timeoutMs);
    QByteArray line;
    QDeadlineTimer deadline(timeoutMs);
    while (readLine(line, int(qMax<qint64>(deadline.remainingTime(), 0)))) {
        if (line.startsWith("OK") || line.startsWith("ERR"))
            return QString::fromUtf8(line);
    }
    return QStringLiteral("ERR timeout");
}

QByteArray SimProcess::frameLog() const
{
    if (!m_log)
        return {};
    QFile f(m_log->fileName());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QList<QByteArray> SimProcess::receivedFrames() const
{
    QList<QByteArray> frames;
    static const QRegularExpression rx(QStringLiteral("^\\S+ RX ([0-9A-F ]+)$"));
    for (const QByteArray &line : frameLog().split('\n')) {
        const auto m = rx.match(QString::fromLatin1(line));
        if (m.hasMatch())
            frames << QByteArray::fromHex(m.captured(1).toLatin1());
    }
    return frames;
}

QByteArray SimProcess::stderrText()
{
    if (m_proc)
        m_stderr += m_proc->readAllStandardError();
    return m_stderr;
}

void SimProcess::stop()
{
    if (!m_proc)
        return;
    if (m_proc->state() != QProcess::NotRunning) {
        m_proc->write("quit\n");
        m_proc->closeWriteChannel();
        if (!m_proc->waitForFinished(2000)) {
            m_proc->kill();
            m_proc->waitForFinished(2000);
        }
    }
    m_stderr += m_proc->readAllStandardError();
    m_proc.reset();
}
