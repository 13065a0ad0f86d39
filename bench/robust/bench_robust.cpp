// Load and soak, through the real main window against kx9sim over loopback TCP:
//   QT_QPA_PLATFORM=offscreen build/bench/robust/bench_robust [--rate N] [--seconds S] [--soak N]
// Load: kx9sim sends N (default 2000) 'd' reports per second, each with a UID
// of its own, for S seconds (default 10). Prints how many reached the tag
// list and the grid (all of them is the goal) and the lateness of a 10 ms
// timer on the GUI thread (p50/p99/max; the goal is p99 under 100 ms).
// Soak: the command runner's continuous ReadSingleBlock for N commands
// (default 10000) at a 10 ms receive poll, with a fault injected on 1 % of
// them (drop, bad SUM, NACK, garbage, 1-byte chunks in turn); prints OK/NG and
// the resident set size after the first 500 commands and at the end.
#include "robust_fixture.h"

#include "runner/command_runner.h"
#include "runner/runner_actions.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

long RssKb()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> v = f.readAll().split(' ');
    return v.size() > 1 ? v[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

qint64 Percentile(std::vector<qint64> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

QByteArray Uid(int n)
{
    // Wire order, least significant byte first; E0 last as on ISO tags.
    QByteArray u(8, '\0');
    for (int i = 0; i < 4; ++i)
        u[i] = char((n >> (8 * i)) & 0xFF);
    u[6] = char(0x07);
    u[7] = char(0xE0);
    return u;
}

int Load(int rate, int seconds)
{
    robust::Monitor m(robust::Link::TcpClient, {}, {}, QStringLiteral("MAX_REC_NO=65535\r\n"));
    if (!m.ok) {
        std::fprintf(stderr, "%s\n", qPrintable(m.error));
        return 1;
    }
    const int total = rate * seconds;
    std::vector<qint64> lateness;
    lateness.reserve(size_t(seconds) * 200);
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        lateness.push_back(std::max<qint64>(0, now - last - 10));
        last = now;
    });
    // kx9sim sends a tenth of a second's reports every 100 ms.
    int sent = 0;
    QTimer feeder;
    QObject::connect(&feeder, &QTimer::timeout, [&] {
        const int due = std::min(total, int(clock.elapsed() * rate / 1000));
        QByteArray burst;
        for (; sent < due; ++sent)
            burst += kx9test::WireFrame('d', Uid(sent) + QByteArray("LOAD") + QByteArray::number(sent));
        if (!burst.isEmpty())
            m.sim.control(QStringLiteral("send ") + QString::fromLatin1(burst.toHex()));
        if (sent >= total)
            feeder.stop();
    });
    last = clock.elapsed();
    probe.start(10);
    feeder.start(100);
    (void)QTest::qWaitFor([&] { return sent >= total && m.tags().count() >= total; }, (seconds + 20) * 1000);
    QTest::qWait(500);
    probe.stop();
    const int tags = m.tags().count();
    const int rows = m.filledGridRows();
    std::printf("load: %d 'd' reports at %d/s for %d s: tag list %d, grid rows %d, lost %d\n", total, rate, seconds,
                tags, rows, total - std::min(tags, rows));
    std::printf("  10 ms timer lateness: p50 %lld ms, p99 %lld ms, max %lld ms (%zu ticks)\n",
                Percentile(lateness, 0.5), Percentile(lateness, 0.99), Percentile(lateness, 1.0), lateness.size());
    return tags == total && rows == total && Percentile(lateness, 0.99) < 100 ? 0 : 3;
}

int Soak(int commands)
{
    robust::Monitor m(robust::Link::TcpClient, {}, QStringLiteral("fMenuDisp=1\r\n"), QStringLiteral("RxPollMs=10\r\n"));
    if (!m.ok) {
        std::fprintf(stderr, "%s\n", qPrintable(m.error));
        return 1;
    }
    m.sim.control(QStringLiteral("tag add E004010012345678 bs=4 blocks=28"));
    kx9::AttachRunnerActions(*m.window);
    m.window->appOptions().fTimeOut = 0;
    m.driver.tolerate(QStringLiteral("TGuage1Dlg"));
    m.driver.tolerate(QStringLiteral("TCoomandDlg1"));
    const QStringList faults = {QStringLiteral("fault drop"), QStringLiteral("fault sum"), QStringLiteral("fault nack 05,12"),
                                QStringLiteral("fault garbage FF02"), QStringLiteral("fault split 1 2")};
    int ok = 0, ng = 0, injected = 0;
    long rssStart = 0;
    QElapsedTimer clock;
    clock.start();
    m.driver.expect(QStringLiteral("TCoomandDlg1"))
        .setItem(QStringLiteral("CBCommand"), QStringLiteral("ReadSingleBlock"))
        .setChecked(QStringLiteral("CBfLoop"))
        .then([&](QWidget *w) {
            auto *dlg = qobject_cast<kx9::TCoomandDlg1 *>(w);
            QObject::connect(dlg, &kx9::TCoomandDlg1::outcomeLogged, dlg, [&, dlg] {
                ok = dlg->okCount();
                ng = dlg->ngCount();
                const int done = ok + ng;
                if (done == 500)
                    rssStart = RssKb();
                // One command in a hundred meets a fault.
                if (done % 100 == 50) {
                    m.sim.control(faults[injected % faults.size()]);
                    ++injected;
                }
                if (done >= commands) {
                    dlg->progress()->Button1->click();
                    dlg->reject();
                }
            });
        })
        .press(QStringLiteral("OKBtn"));
    m.driver.expect(QStringLiteral("TInputIntDlg")).press(QStringLiteral("OKBtn"));
    m.item(QStringLiteral("N14"))->trigger();
    const long rssEnd = RssKb();
    std::printf("soak: %d runner commands in %.0f s, %d OK, %d NG, %d faults injected\n", ok + ng,
                double(clock.elapsed()) / 1000, ok, ng, injected);
    std::printf("  RSS after 500 commands %ld kB, at the end %ld kB (%+ld kB)\n", rssStart, rssEnd, rssEnd - rssStart);
    return m.driver.ok() ? 0 : 2;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    int rate = 2000, seconds = 10, soak = 0;
    bool load = true;
    for (int i = 1; i + 1 < argc; i += 2) {
        const QByteArray a(argv[i]);
        if (a == "--rate")
            rate = std::max(1, atoi(argv[i + 1]));
        else if (a == "--seconds")
            seconds = std::max(1, atoi(argv[i + 1]));
        else if (a == "--soak") {
            soak = std::max(1, atoi(argv[i + 1]));
            load = false;
        }
    }
    int rc = 0;
    if (load)
        rc = Load(rate, seconds);
    if (soak)
        rc = std::max(rc, Soak(soak));
    return rc;
}
