// kx9sim: a simulated KX9 reader/writer, with an optional gate and LAN module,
// reached over TCP, a pseudo-terminal and Telnet. See the kx9sim section of README.md.
#include "simcontrol.h"
#include "simcontrolsocket.h"
#include "simdevice.h"
#include "simgate.h"
#include "simlinks.h"
#include "simreader.h"
#include "simreplay.h"
#include "kx9_version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QLocalServer>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

using namespace kx9sim;

namespace {
void say(const QByteArray &line)
{
    std::fputs(line.constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int fail(const QString &msg)
{
    std::fprintf(stderr, "kx9sim: %s\n", qPrintable(msg));
    return 2;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kx9sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KX9_VERSION));

    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Simulated KX9 reader/writer, gate and LAN module"));
    const QCommandLineOption helpOpt = p.addHelpOption();
    const QCommandLineOption versionOpt = p.addVersionOption();
    const QCommandLineOption connectOpt(QStringLiteral("connect"), QStringLiteral("Connect to the monitor's server port."), QStringLiteral("HOST:PORT"));
    const QCommandLineOption listenOpt(QStringLiteral("listen"), QStringLiteral("Accept the monitor on this loopback port (0: any)."), QStringLiteral("PORT"));
    const QCommandLineOption ptyOpt(QStringLiteral("pty"), QStringLiteral("Serve the reader on a pseudo-terminal."));
    const QCommandLineOption telnetOpt(QStringLiteral("telnet"), QStringLiteral("LAN module Telnet console on this loopback port (0: any)."), QStringLiteral("PORT"));
    const QCommandLineOption bindOpt(QStringLiteral("bind"), QStringLiteral("Loopback address --listen and --telnet bind to (default 127.0.0.1)."), QStringLiteral("ADDR"));
    const QCommandLineOption tagsOpt(QStringLiteral("tags"), QStringLiteral("Tag population file."), QStringLiteral("FILE"));
    const QCommandLineOption demoOpt(QStringLiteral("demo"), QStringLiteral("A populated field and a W20 gate."));
    const QCommandLineOption gateOpt(QStringLiteral("gate"), QStringLiteral("Gate on the line: W20 or W30."), QStringLiteral("MODEL"));
    const QCommandLineOption romOpt(QStringLiteral("rom"), QStringLiteral("ROM version text."), QStringLiteral("TEXT"));
    const QCommandLineOption idOpt(QStringLiteral("id"), QStringLiteral("Reader ID (R/W ID of the parameter record)."), QStringLiteral("N"));
    const QCommandLineOption baudOpt(QStringLiteral("baud"), QStringLiteral("Serial speed at power-up: 9600, 19200 or 38400."), QStringLiteral("BPS"));
    const QCommandLineOption logOpt(QStringLiteral("log"), QStringLiteral("Frame log file, - for stdout (default: stderr)."), QStringLiteral("FILE"));
    const QCommandLineOption controlOpt(QStringLiteral("control"), QStringLiteral("Read control commands from stdin."));
    const QCommandLineOption socketOpt(QStringLiteral("control-socket"), QStringLiteral("Read control commands from this local socket."), QStringLiteral("PATH"));
    const QCommandLineOption replayOpt(QStringLiteral("replay"), QStringLiteral("Answer each command with the reply recorded for it in this capture (pcapng from kx9monitor)."), QStringLiteral("FILE"));
    p.addOptions({connectOpt, listenOpt, ptyOpt, telnetOpt, bindOpt, tagsOpt, demoOpt, gateOpt, romOpt, idOpt, baudOpt, logOpt,
                  controlOpt, socketOpt, replayOpt});
    if (!p.parse(app.arguments()))
        return fail(p.errorText() + QStringLiteral("\nTry 'kx9sim --help'."));
    if (p.isSet(helpOpt)) {
        // "Usage: kx9sim", not the path it was started by (the man page is made from this).
        QString help = p.helpText();
        help.replace(QStringLiteral("Usage: ") + app.arguments().constFirst(), QStringLiteral("Usage: kx9sim"));
        std::fputs(qPrintable(help), stdout);
        return 0;
    }
    if (p.isSet(versionOpt)) {
        say("kx9sim " KX9_VERSION);
        return 0;
    }
    if (!p.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument '%1'\nTry 'kx9sim --help'.").arg(p.positionalArguments().first()));

    Device dev;
    QFile logFile;
    if (p.isSet(logOpt)) {
        logFile.setFileName(p.value(logOpt));
        const bool toStdout = p.value(logOpt) == QLatin1String("-");
        if (toStdout ? !logFile.open(stdout, QIODevice::WriteOnly) : !logFile.open(QIODevice::WriteOnly | QIODevice::Append))
            return fail(QStringLiteral("cannot write %1: %2").arg(logFile.fileName(), logFile.errorString()));
        dev.setLog(&logFile);
    }
    Reader *reader = dev.reader();
    if (p.isSet(idOpt)) {
        bool ok = false;
        const uint id = p.value(idOpt).toUInt(&ok, 0);
        if (!ok || id > 255)
            return fail(QStringLiteral("--id wants 0..255"));
        reader->setReaderId(uint8_t(id));
    }
    reader->setRomText(p.isSet(romOpt) ? p.value(romOpt).toLatin1()
                                       : QByteArray("121 kx9sim " __DATE__));
    if (p.isSet(baudOpt)) {
        const int b = p.value(baudOpt).toInt();
        uint8_t flags = uint8_t(reader->area1.at(8)) & 0x3F;
        if (b == 9600)
            flags |= 0x40;
        else if (b == 38400)
            flags |= 0x80;
        else if (b != 19200)
            return fail(QStringLiteral("--baud wants 9600, 19200 or 38400"));
        reader->area1[8] = char(flags);
    }
    if (p.isSet(demoOpt)) {
        addDemoTags(dev);
        dev.setGate(20);
    }
    if (p.isSet(gateOpt)) {
        const QString g = p.value(gateOpt).toUpper();
        if (g != QLatin1String("W20") && g != QLatin1String("W30"))
            return fail(QStringLiteral("--gate wants W20 or W30"));
        dev.setGate(g == QLatin1String("W30") ? 30 : 20);
    }
    if (p.isSet(tagsOpt)) {
        const QString err = loadTagFile(p.value(tagsOpt), dev);
        if (!err.isEmpty())
            return fail(err);
    }
    reader->restart(); // power-up: mode and speed from the EEPROM

    // A replay takes the unit over: the capture's replies instead of the model's.
    Replay replay;
    if (p.isSet(replayOpt)) {
        QString err;
        if (!replay.load(p.value(replayOpt), &err))
            return fail(QStringLiteral("--replay: ") + err);
        replay.attach(dev, logFile.isOpen() ? &logFile : nullptr);
    }

    // The servers stay on loopback: a test gives each simulator an address of
    // its own (127.x.y.z) so that the console can sit on its real port 23.
    QHostAddress bindAddress(QHostAddress::LocalHost);
    if (p.isSet(bindOpt)) {
        if (!bindAddress.setAddress(p.value(bindOpt)) || !bindAddress.isLoopback())
            return fail(QStringLiteral("--bind wants a loopback address (127.0.0.0/8 or ::1)"));
    }

    QString err;
    auto portOf = [](const QString &s, bool &ok) {
        const uint v = s.toUInt(&ok);
        ok = ok && v <= 65535;
        return quint16(v);
    };
    if (p.isSet(listenOpt)) {
        bool ok;
        const quint16 port = portOf(p.value(listenOpt), ok);
        if (!ok)
            return fail(QStringLiteral("bad --listen port"));
        auto *srv = new TcpServerLink(dev, &app);
        if (!srv->listen(bindAddress, port, &err))
            return fail(QStringLiteral("--listen: ") + err);
        say("LISTEN " + QByteArray::number(srv->port()));
    }
    if (p.isSet(ptyOpt)) {
        auto *pty = new PtyLink(dev, &app);
        if (!pty->open(&err))
            return fail(QStringLiteral("--pty: ") + err);
        say("PTY " + pty->path().toLocal8Bit());
    }
    if (p.isSet(telnetOpt)) {
        bool ok;
        const quint16 port = portOf(p.value(telnetOpt), ok);
        if (!ok)
            return fail(QStringLiteral("bad --telnet port"));
        auto *tn = new TelnetConsoleServer(dev, &app);
        if (!tn->listen(bindAddress, port, &err))
            return fail(QStringLiteral("--telnet: ") + err);
        dev.lanPresent = true;
        say("TELNET " + QByteArray::number(tn->port()));
    }
    if (p.isSet(connectOpt)) {
        const QString hp = p.value(connectOpt);
        const int colon = hp.lastIndexOf(':');
        bool ok = colon > 0;
        const quint16 port = ok ? portOf(hp.mid(colon + 1), ok) : 0;
        if (!ok)
            return fail(QStringLiteral("--connect wants HOST:PORT"));
        auto *cl = new TcpClientLink(dev, hp.left(colon), port, &app);
        cl->start();
    }

    Control control(dev);
    auto run = [&](const QByteArray &line) -> QByteArray {
        const QByteArray reply = control.exec(QString::fromUtf8(line).trimmed()).toUtf8();
        if (control.quitRequested())
            QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
        return reply;
    };

    QByteArray stdinBuf;
    if (p.isSet(controlOpt)) {
        auto *n = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &app);
        QObject::connect(n, &QSocketNotifier::activated, &app, [&, n] {
            char buf[4096];
            const ssize_t got = ::read(STDIN_FILENO, buf, sizeof buf);
            if (got <= 0) {
                // The controlling side is gone: a test that died takes its simulator along.
                n->setEnabled(false);
                QCoreApplication::quit();
                return;
            }
            stdinBuf.append(buf, int(got));
            int nl;
            while ((nl = stdinBuf.indexOf('\n')) >= 0) {
                const QByteArray line = stdinBuf.left(nl);
                stdinBuf.remove(0, nl + 1);
                if (!line.trimmed().isEmpty())
                    say(run(line));
            }
        });
    }
    if (p.isSet(socketOpt)) {
        auto *ls = new ControlSocketServer(run, &app);
        QLocalServer::removeServer(p.value(socketOpt));
        if (!ls->listen(p.value(socketOpt)))
            return fail(QStringLiteral("--control-socket: ") + ls->errorString());
    }
    say("READY");
    return app.exec();
}
