// The tag memory viewer and the command runner through the real main window
// against kx9sim over loopback TCP:
//   QT_QPA_PLATFORM=offscreen build/bench/runner/bench_runner [--poll MS] [--seconds S]
// prints the time from "Tag Data..." to the full grid of a 256-block x 4-byte
// tag (read block by block, and in 128-byte chunks), and the runner's
// continuous ReadSingleBlocks per second over S seconds (default 60). --poll
// sets the receive timer's period (default 100 ms, as the tool starts).
#include "e2e_fixture.h"

#include "runner/command_runner.h"
#include "runner/runner_actions.h"
#include "runner/tag_data_dialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

namespace {

class ViewerWatch : public QObject {
public:
    std::function<void(kx9::TDispTagDataDlg *)> onShow;
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Show)
            if (auto *v = qobject_cast<kx9::TDispTagDataDlg *>(o); v && onShow)
                onShow(v);
        return false;
    }
};

// Seconds from the menu item to the end of the read, and the blocks shown.
std::pair<double, int> timeViewer(e2e::Monitor &m, ViewerWatch &watch, const QString &tag)
{
    m.sim.control(QStringLiteral("tag remove all"));
    m.sim.control(QStringLiteral("tag add ") + tag);
    QElapsedTimer clock;
    double seconds = 0;
    int blocks = 0;
    watch.onShow = [&](kx9::TDispTagDataDlg *v) {
        QObject::connect(v, &kx9::TDispTagDataDlg::readFinished, v, [&, v] {
            seconds = double(clock.nsecsElapsed()) / 1e9;
            blocks = v->dump().readCount();
            v->accept();
        });
    };
    clock.start();
    m.item(QStringLiteral("MnTagData1"))->trigger();
    watch.onShow = nullptr;
    return {seconds, blocks};
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    int pollMs = 100;
    int runSeconds = 60;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (QByteArray(argv[i]) == "--poll")
            pollMs = std::max(1, atoi(argv[i + 1]));
        else if (QByteArray(argv[i]) == "--seconds")
            runSeconds = std::max(1, atoi(argv[i + 1]));
    }

    e2e::Monitor m({}, QStringLiteral("fMenuDisp=1\r\n"));
    if (!m.ok) {
        std::fprintf(stderr, "%s\n", qPrintable(m.error));
        return 1;
    }
    kx9::AttachRunnerActions(*m.window);
    m.window->receiveTimer()->setInterval(pollMs);
    m.window->appOptions().fTimeOut = 0;
    m.driver.tolerate(QStringLiteral("TDispTagDataDlg"));
    m.driver.tolerate(QStringLiteral("TGuage1Dlg"));
    m.driver.tolerate(QStringLiteral("TCoomandDlg1"));
    ViewerWatch watch;
    app.installEventFilter(&watch);

    std::printf("receive poll %d ms, kx9sim over loopback TCP\n", pollMs);
    const auto single = timeViewer(m, watch, QStringLiteral("E008010012345606 bs=4 blocks=256 text=BENCH"));
    std::printf("  viewer, 256 x 4 blocks one by one (Fujitsu): %.2f s to the full grid (%d blocks)\n",
                single.first, single.second);
    const auto chunked = timeViewer(m, watch, QStringLiteral("E004010012345678 bs=4 blocks=256 text=BENCH"));
    std::printf("  viewer, 256 x 4 blocks in 128-byte chunks (Philips): %.2f s to the full grid (%d blocks)\n",
                chunked.first, chunked.second);

    // The runner: continuous ReadSingleBlock for runSeconds.
    QElapsedTimer clock;
    int ok = 0, ng = 0;
    double elapsed = 0;
    m.driver.expect(QStringLiteral("TCoomandDlg1"))
        .setItem(QStringLiteral("CBCommand"), QStringLiteral("ReadSingleBlock"))
        .setChecked(QStringLiteral("CBfLoop"))
        .then([&](QWidget *w) {
            auto *dlg = qobject_cast<kx9::TCoomandDlg1 *>(w);
            QObject::connect(dlg, &kx9::TCoomandDlg1::outcomeLogged, dlg, [&, dlg] {
                if (ok + ng == 0 && dlg->okCount() + dlg->ngCount() == 1)
                    clock.start();
                ok = dlg->okCount();
                ng = dlg->ngCount();
                if (clock.isValid() && clock.elapsed() >= runSeconds * 1000) {
                    elapsed = double(clock.nsecsElapsed()) / 1e9;
                    dlg->progress()->Button1->click();
                    dlg->reject();
                }
            });
        })
        .press(QStringLiteral("OKBtn"));
    m.driver.expect(QStringLiteral("TInputIntDlg")).press(QStringLiteral("OKBtn"));
    m.item(QStringLiteral("N14"))->trigger();
    // The first outcome starts the clock: count the ones after it.
    const int counted = ok + ng - 1;
    std::printf("  runner, continuous ReadSingleBlock: %d OK, %d NG, %.1f commands/s over %.1f s\n", ok, ng,
                elapsed > 0 ? counted / elapsed : 0.0, elapsed);
    return m.driver.ok() ? 0 : 2;
}
