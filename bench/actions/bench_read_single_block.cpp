// ReadSingleBlock from the menu item to the end of its reply wait, against
// kx9sim over loopback TCP (or over a pty at 19200 bit/s with --serial), N
// times (default 200):
//   QT_QPA_PLATFORM=offscreen build/bench/actions/bench_read_single_block [--serial] [N]
// Prints the median and 95th percentile of the whole action (dialog shown and
// confirmed at once) and of OK-to-end-of-wait, and the monitor's CPU time per
// action. The receive path is the 100 ms Timer1 poll, so about 50 ms median
// and under 100 ms p95 is what nothing-on-top-of-the-poll looks like.
#include "e2e_fixture.h"

#include "ui/input_dialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}

// Presses OK on every block-number dialog as soon as it is shown.
class AutoOk : public QObject {
public:
    QElapsedTimer *clock = nullptr;
    qint64 okAt = 0;
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Show) {
            if (auto *dlg = qobject_cast<kx9::TInputIntDlg *>(o)) {
                QTimer::singleShot(0, dlg, [this, dlg] {
                    okAt = clock->nsecsElapsed();
                    dlg->OKBtn->click();
                });
            }
        }
        return false;
    }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    bool serial = false;
    int n = 200;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--serial")
            serial = true;
        else
            n = std::max(1, atoi(argv[i]));
    }

    e2e::Monitor m({}, {}, serial ? e2e::Monitor::Link::Serial : e2e::Monitor::Link::Tcp);
    if (!m.ok) {
        std::fprintf(stderr, "%s\n", qPrintable(m.error));
        return 1;
    }
    if (m.sim.control(QStringLiteral("tag add E004010012345678 bs=4 blocks=28")).left(2) != QLatin1String("OK")) {
        std::fprintf(stderr, "kx9sim refused the tag\n");
        return 1;
    }
    m.item(QStringLiteral("TBtSetCmdMode"))->trigger();
    QTest::qWait(300);
    m.window->appOptions().fTimeOut = 0;

    QElapsedTimer clock;
    clock.start();
    AutoOk autoOk;
    autoOk.clock = &clock;
    app.installEventFilter(&autoOk);
    QAction *item = m.item(QStringLiteral("MnReadSingleBlock"));

    std::vector<double> whole, afterOk;
    int acked = 0;
    double cpuInAction = 0;
    const double cpu0 = cpuSeconds();
    for (int i = 0; i < n; ++i) {
        m.clearLog();
        const double c0 = cpuSeconds();
        const qint64 t0 = clock.nsecsElapsed();
        item->trigger();
        const qint64 t1 = clock.nsecsElapsed();
        cpuInAction += cpuSeconds() - c0;
        whole.push_back(double(t1 - t0) / 1e6);
        afterOk.push_back(double(t1 - autoOk.okAt) / 1e6);
        if (m.log().contains(QStringLiteral("ISO15693_ReadSingleBlock受信")))
            ++acked;
        // An operator starts at any phase of the 100 ms poll: spread the starts
        // evenly over it (an action ends right after a poll tick, so a fixed
        // short pause would always start just after one).
        QTest::qWait(5 + (i * 37) % 100);
    }
    const double cpu = cpuSeconds() - cpu0;
    std::printf("ReadSingleBlock x %d against kx9sim (%s), %d acknowledged\n", n,
                serial ? "pty at 19200 bit/s" : "loopback TCP", acked);
    std::printf("  menu action to end of wait: median %.1f ms, p95 %.1f ms, max %.1f ms\n", percentile(whole, 0.5),
                percentile(whole, 0.95), *std::max_element(whole.begin(), whole.end()));
    std::printf("  OK pressed to end of wait:  median %.1f ms, p95 %.1f ms\n", percentile(afterOk, 0.5),
                percentile(afterOk, 0.95));
    std::printf("  monitor CPU per action: %.2f ms inside the action, %.2f ms with the pauses between actions\n",
                cpuInAction * 1000.0 / n, cpu * 1000.0 / n);
    return acked == n ? 0 : 2;
}
