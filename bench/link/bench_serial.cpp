// CPU of an open, idle serial port: TCommX alone, then the communication
// module's serial link with the 100 ms receive timer the main window runs,
// each on a pty for N seconds (default 10). Its threads must block in the
// kernel, so the figure should be near zero. Prints one line per figure.
//
//   build-dir/bench/link/bench_serial [seconds]
#include "link/comm_module.h"
#include "link/commx.h"
#include "link/main_state.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

using namespace kx9;

namespace {

double cpuSeconds()
{
    rusage r{};
    getrusage(RUSAGE_SELF, &r);   // every thread of the process
    return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) + double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop for `seconds` and returns the CPU used meanwhile as a
// percentage of one core.
double idleCpuPercent(int seconds)
{
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(seconds * 1000, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    const double cpu = cpuSeconds() - cpu0;
    return 100.0 * cpu / (double(wall.elapsed()) / 1000.0);
}

struct Pty {
    int master = -1, slave = -1;
    QString path;
    Pty()
    {
        char name[128] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) == 0)
            path = QString::fromLocal8Bit(name);
    }
    ~Pty()
    {
        if (slave >= 0)
            close(slave);
        if (master >= 0)
            close(master);
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;

    {
        Pty pty;
        if (pty.path.isEmpty()) {
            std::fprintf(stderr, "no pty\n");
            return 1;
        }
        TCommX port;
        port.setDeviceResolver([&](int) { return pty.path; });
        port.SetBitRate(19200);
        port.SetFlowCtrl(cfcNone);
        int events = 0;
        port.OnReceive = [&](TCustomCommX *, int) { ++events; };
        port.PortOpen();
        const double pct = idleCpuPercent(seconds);
        std::printf("serial idle, TCommX open on a pty, %d s: %.3f %% of a core (%d receive events)\n", seconds, pct,
                    events);
    }
    {
        Pty pty;
        QTemporaryDir dir;
        const QString ini = dir.filePath("bench.ini");
        QFile f(ini);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        f.write("[ComPorts]\nCOM21=" + pty.path.toLocal8Bit() + "\n");
        f.close();
        AppOptions opts;
        MainState state;
        LinkConfig cfg;
        cfg.LinkMode = 0;
        cfg.ComPort = 21;
        CommModule m(cfg, ini, opts, state, nullptr);
        m.Open();
        if (!m.IsLinkOpen()) {
            std::fprintf(stderr, "serial link did not open\n");
            return 1;
        }
        QTimer timer1;
        QObject::connect(&timer1, &QTimer::timeout, &m, [&m] { m.DrainReceiver(); });
        timer1.start(100);
        const double pct = idleCpuPercent(seconds);
        std::printf("serial idle, communication module with its 100 ms receive timer, %d s: %.3f %% of a core\n",
                    seconds, pct);
    }
    return 0;
}
