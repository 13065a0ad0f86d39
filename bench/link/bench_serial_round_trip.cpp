// ReadSingleBlock round trip on the communication module's serial link, over
// a pty against kx9sim at 19200 bit/s, N times (default 200): from the call of
// the command operation to the end of its reply wait, with the 100 ms receive
// timer the main window runs. Prints the median and 95th percentile. (The
// menu action around it adds the input dialog; see bench/actions.)
// Between two commands it pauses a random 0-150 ms, as an operator does:
// commands sent back to back would all start just after a timer tick and
// measure the tick period instead of the link.
//
//   build-dir/bench/link/bench_serial_round_trip [N]
#include "commands/ttcomxdlg.h"
#include "link/main_state.h"
#include "sim_process.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QEventLoop>
#include <algorithm>
#include <cstdio>
#include <random>

using namespace kx9;

namespace {

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? std::max(1, atoi(argv[1])) : 200;

    SimProcess sim;
    if (!sim.start({"--pty", "--id", "0"})) {
        std::fprintf(stderr, "kx9sim: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    sim.control("tag add E004010012345678 blocks=8 bs=4 text=HELLOSIM");
    QTemporaryDir dir;
    const QString ini = dir.filePath("bench.ini");
    {
        QFile f(ini);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        f.write("[ComPorts]\nCOM21=" + sim.ptyPath().toLocal8Bit() + "\n");
    }
    AppOptions opts;
    MainState state;
    LinkConfig cfg;
    cfg.LinkMode = 0;
    cfg.ComPort = 21;
    cfg.ComSpeed = 0;   // 19200
    TTComXDlg module(cfg, ini, opts, state, nullptr);
    module.comDebug().IDNo = 0;
    module.Open();
    if (!module.IsLinkOpen()) {
        std::fprintf(stderr, "serial link did not open\n");
        return 1;
    }
    QTimer timer1;
    QObject::connect(&timer1, &QTimer::timeout, &module, &CommModule::DrainReceiver);
    timer1.start(100);

    std::vector<double> ms;
    int failures = 0;
    QElapsedTimer clock;
    std::mt19937 rng(12);
    std::uniform_int_distribution<int> pause(0, 150);
    for (int i = 0; i < n; ++i) {
        QEventLoop idle;
        QTimer::singleShot(pause(rng), &idle, &QEventLoop::quit);
        idle.exec();
        clock.start();
        const bool ok = module.ISO15693_ReadSingleBlock(1, 0x00) && module.WaitAck();
        ms.push_back(double(clock.nsecsElapsed()) / 1e6);
        if (!ok)
            ++failures;
    }
    std::printf("ReadSingleBlock over a pty at 19200, %d times: median %.1f ms, p95 %.1f ms, %d failed\n", n,
                percentile(ms, 0.5), percentile(ms, 0.95), failures);
    return failures == 0 ? 0 : 1;
}
