// The command runner "コマンドの実行" against kx9sim: continuous runs counted
// and cancelled, a run that survives dropped replies, the request flags
// composed bit by bit on the wire, the refusals, and the main window closing
// in the middle of a run.
#include "runner_fixture.h"

#include "link/main_state.h"
#include "link/options.h"
#include "runner/command_runner.h"
#include "runner/runner_widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

using e2e::requestFrame;
using runner_test::Hex;

namespace {

const QByteArray kUidWire = QByteArray::fromHex("78563412000104E0");

// What the runner showed when it closed.
struct Probe {
    QStringList lines;
    QString counts;
    int ok = 0;
    int ng = 0;
    bool finished = false;
};

// Watches the runner: after each outcome `onOutcome` runs (in the run's own
// pass, before the next command goes out); the log and counts are kept when
// the runner closes.
void watch(QWidget *w, Probe &probe, std::function<void(kx9::TCoomandDlg1 *)> onOutcome = {})
{
    auto *dlg = qobject_cast<kx9::TCoomandDlg1 *>(w);
    if (!dlg)
        return;
    if (onOutcome)
        QObject::connect(dlg, &kx9::TCoomandDlg1::outcomeLogged, dlg, [dlg, onOutcome] { onOutcome(dlg); });
    QObject::connect(dlg, &QDialog::finished, dlg, [dlg, &probe] {
        probe.lines = dlg->log()->lines();
        probe.counts = dlg->STCount->text();
        probe.ok = dlg->okCount();
        probe.ng = dlg->ngCount();
        probe.finished = true;
    });
}

// Ends a continuous run after `total` outcomes: Cancel in the progress box,
// then the runner's own Cancel (which waits for the run to end).
void stopAfter(kx9::TCoomandDlg1 *dlg, int total)
{
    if (dlg->okCount() + dlg->ngCount() != total)
        return;
    if (kx9::TGuage1Dlg *g = dlg->progress())
        g->Button1->click();
    dlg->reject();
}

} // namespace

class TestCommandRunner : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void fiftyReadsCountedAndCancelled();
    void droppedRepliesCountAsNg();
    void continuousWriteSendsTheSameBytes();
    void flagsBitByBit_data();
    void flagsBitByBit();
    void unknownCommandSendsNothing();
    void oversizeWriteMultiBlockIsRefused();
    void closingTheMainWindowEndsTheRun();

private:
    std::unique_ptr<e2e::Monitor> m_;
};

void TestCommandRunner::initTestCase()
{
    m_ = runner_test::StartMonitor();
    QVERIFY2(m_->ok, qPrintable(m_->error));
    // The runner stays open between its runs and behind its own input dialogs.
    m_->driver.tolerate("TCoomandDlg1");
    m_->driver.tolerate("TGuage1Dlg");
    QCOMPARE(m_->sim.control("tag add E004010012345678 bs=4 blocks=28 text=HELLOWORLD").left(2), QString("OK"));
    // The current UID for the runs that address the tag.
    memcpy(m_->window->mainState().CurrentUid, kUidWire.constData(), 8);
}

void TestCommandRunner::cleanupTestCase() { m_.reset(); }

void TestCommandRunner::init()
{
    m_->sim.control("fault clear");
    m_->window->comm()->setLogTx(1);
    m_->window->comm()->setLogRx(1);
}

void TestCommandRunner::fiftyReadsCountedAndCancelled()
{
    // Without the frame lines the 250-line rule never empties the runner's log.
    m_->window->comm()->setLogTx(0);
    m_->window->comm()->setLogRx(0);
    Probe probe;
    m_->driver.expect("TCoomandDlg1")
        .setItem("CBCommand", "ReadSingleBlock")
        .setChecked("CBfLoop")
        .then([&probe](QWidget *w) { watch(w, probe, [](kx9::TCoomandDlg1 *d) { stopAfter(d, 50); }); })
        .press("OKBtn");
    m_->driver.expect("TInputIntDlg").setText("IntEd", "3").press("OKBtn");
    const int before = m_->received();
    m_->item("N14")->trigger();
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
    QVERIFY(probe.finished);

    QCOMPARE(probe.counts, QString("OK: 50  NG: 0"));
    QCOMPARE(probe.lines.first(), QString("ReadSingleBlock"));
    QCOMPARE(probe.lines.count("command OK"), 50);
    QCOMPARE(probe.lines.count("ISO15693_ReadSingleBlock受信"), 50);
    // Cancel ended it: exactly the fifty requests went out, all the same.
    QTest::qWait(300);
    const QList<QByteArray> sent = m_->receivedSince(before);
    QCOMPARE(sent.size(), 50);
    for (const QByteArray &f : sent)
        QCOMPARE(f.toHex(' '), requestFrame('x', Hex("200300")).toHex(' '));
    // The module's log is the main window's again.
    QCOMPARE(m_->window->comm()->logTarget(), m_->window->mainLog());
    QVERIFY(!runner_test::OpenWidget<QDialog>("TGuage1Dlg"));
}

void TestCommandRunner::droppedRepliesCountAsNg()
{
    Probe probe;
    SimProcess &sim = m_->sim;
    m_->driver.expect("TCoomandDlg1")
        .setItem("CBCommand", "ReadSingleBlock")
        .setChecked("CBfLoop")
        .then([&](QWidget *w) {
            watch(w, probe, [&sim](kx9::TCoomandDlg1 *d) {
                // Every fifth reply is dropped: the fault is armed before the
                // run sends its next request.
                if ((d->okCount() + d->ngCount()) % 5 == 4)
                    sim.control("fault drop 1");
                stopAfter(d, 15);
            });
        })
        .press("OKBtn");
    m_->driver.expect("TInputIntDlg").setText("IntEd", "1").press("OKBtn");
    m_->item("N14")->trigger();
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
    QCOMPARE(probe.ok, 12);
    QCOMPARE(probe.ng, 3);
    QCOMPARE(probe.counts, QString("OK: 12  NG: 3"));
    // Each NG follows the wait's own time-out line, and the run went on after it.
    const int firstNg = int(probe.lines.indexOf("command NG"));
    QVERIFY(firstNg > 0);
    QCOMPARE(probe.lines.at(firstNg - 1), QString("レスポンス待ち　タイムオーバー"));
    QVERIFY(probe.lines.indexOf("command OK", firstNg) > firstNg);
    QCOMPARE(probe.lines.count("command NG"), 3);
}

void TestCommandRunner::continuousWriteSendsTheSameBytes()
{
    Probe probe;
    m_->driver.expect("TCoomandDlg1")
        .setItem("CBCommand", "WriteSingleBlock")
        .setChecked("CBfLoop")
        .then([&probe](QWidget *w) { watch(w, probe, [](kx9::TCoomandDlg1 *d) { stopAfter(d, 3); }); })
        .press("OKBtn");
    m_->driver.expect("TInp3Data2Dlg")
        .expectShown("EdString", "TEST")   // the runner's own memory, not the menu action's
        .setText("IntEd1", "2")
        .setText("EdString", "AB")
        .press("OKBtn");
    const int before = m_->received();
    m_->item("N14")->trigger();
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
    QCOMPARE(probe.counts, QString("OK: 3  NG: 0"));
    const QList<QByteArray> sent = m_->receivedSince(before);
    QCOMPARE(sent.size(), 3);
    for (const QByteArray &f : sent)
        QCOMPARE(f.toHex(' '), requestFrame('x', Hex("21024142000000")).toHex(' '));
    QCOMPARE(m_->sim.control("block get E004010012345678 2"), QString("OK 41420000"));
}

void TestCommandRunner::flagsBitByBit_data()
{
    QTest::addColumn<int>("uidMode");
    QTest::addColumn<QList<int>>("groups");   // select, address, option, AFI, Nb_slots, unused
    QTest::addColumn<int>("flags");
    QTest::newRow("UID in command, select, option") << 1 << QList<int>{1, 0, 1, 0, 0, 0} << 0x15;
    QTest::newRow("option only") << 0 << QList<int>{0, 0, 1, 0, 0, 0} << 0x10;
    QTest::newRow("current UID, address") << 2 << QList<int>{0, 1, 0, 0, 0, 0} << 0x0A;
    QTest::newRow("AFI and Nb_slots") << 0 << QList<int>{0, 0, 0, 1, 1, 0} << 0x60;
    QTest::newRow("unused bit") << 0 << QList<int>{0, 0, 0, 0, 0, 1} << 0x80;
}

void TestCommandRunner::flagsBitByBit()
{
    QFETCH(int, uidMode);
    QFETCH(QList<int>, groups);
    QFETCH(int, flags);
    Probe probe;
    auto &answer = m_->driver.expect("TCoomandDlg1").setIndex("CBUidFlag", uidMode);
    const char *names[] = {"RGSelect", "RGAddress", "RGOption", "RGAFI", "RGNBSlots", "RBDummy1"};
    for (int i = 0; i < 6; ++i)
        answer.setIndex(names[i], groups.at(i));
    answer.setItem("CBCommand", "ReadSingleBlock")
        .then([&probe](QWidget *w) { watch(w, probe); })
        .press("OKBtn");
    m_->driver.expect("TInputIntDlg").setText("IntEd", "5").press("OKBtn");
    m_->driver.expect("TCoomandDlg1").again().press("CancelBtn");
    const int before = m_->received();
    m_->item("N14")->trigger();
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
    const QList<QByteArray> sent = m_->receivedSince(before);
    QCOMPARE(sent.size(), 1);
    QByteArray data = Hex("2005") + char(flags);
    if (uidMode == 1)
        data += kUidWire;
    QCOMPARE(sent.first().toHex(' '), requestFrame('x', data).toHex(' '));
    // A single run logs its outcome once, whatever the reader said.
    QCOMPARE(probe.lines.count("command OK") + probe.lines.count("command NG"), 1);
}

void TestCommandRunner::unknownCommandSendsNothing()
{
    Probe probe;
    m_->driver.expect("TCoomandDlg1")
        .setText("CBCommand", "ReadEverything")
        .then([&probe](QWidget *w) { watch(w, probe); })
        .press("OKBtn");
    m_->driver.expect("TCoomandDlg1").again().setText("CBCommand", "").press("OKBtn");
    m_->driver.expect("TCoomandDlg1").again().press("CancelBtn");
    const int before = m_->received();
    m_->item("N14")->trigger();
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
    QCOMPARE(probe.lines, QStringList({"no command", "no command"}));
    QTest::qWait(200);
    QCOMPARE(m_->received(), before);
}

void TestCommandRunner::oversizeWriteMultiBlockIsRefused()
{
    Probe probe;
    m_->driver.expect("TCoomandDlg1")
        .setItem("CBCommand", "WriteMultiBlock")
        .then([&probe](QWidget *w) { watch(w, probe); })
        .press("OKBtn");
    // 64 blocks of 4 bytes: more than the 256-byte buffer and the frame hold.
    m_->driver.expect("TInp3Data2Dlg").setText("IntEd1", "0").setText("IntEd2", "63").press("OKBtn");
    m_->driver.expectMessage("バイトまでです").pressStandard(QDialogButtonBox::Ok);
    m_->driver.expect("TCoomandDlg1").again().press("CancelBtn");
    const int before = m_->received();
    m_->item("N14")->trigger();
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
    QCOMPARE(probe.lines, QStringList({"WriteMultiBlock"}));
    QTest::qWait(200);
    QCOMPARE(m_->received(), before);
}

void TestCommandRunner::closingTheMainWindowEndsTheRun()
{
    auto m = runner_test::StartMonitor();
    QVERIFY2(m->ok, qPrintable(m->error));
    QCOMPARE(m->sim.control("tag add E004010012345678 bs=4 blocks=28").left(2), QString("OK"));
    Probe probe;
    e2e::Monitor *mon = m.get();
    m->driver.tolerate("TGuage1Dlg");
    m->driver.tolerate("TCoomandDlg1");
    m->driver.expect("TCoomandDlg1")
        .setItem("CBCommand", "Inventory")
        .setChecked("CBfLoop")
        .then([&probe, mon](QWidget *w) {
            watch(w, probe, [mon](kx9::TCoomandDlg1 *d) {
                if (d->okCount() == 5)
                    mon->window->close();
            });
        })
        .press("OKBtn");
    const int before = m->received();
    m->item("N14")->trigger();
    QVERIFY2(m->driver.ok(), qPrintable(m->driver.report()));
    // The run ended with the window, the runner closed, and nothing more went out.
    QVERIFY(probe.finished);
    QCOMPARE(probe.ok, 5);
    QTest::qWait(300);
    QCOMPARE(m->received() - before, 5);
    QVERIFY(!runner_test::OpenWidget<QDialog>("TCoomandDlg1"));
    QVERIFY(!runner_test::OpenWidget<QDialog>("TGuage1Dlg"));
}

QTEST_MAIN(TestCommandRunner)
#include "test_command_runner_e2e.moc"
