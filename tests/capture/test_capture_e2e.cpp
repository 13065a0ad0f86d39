// The capture end to end: the real main window against kx9sim with the
// capture switched on from "ファイル(&F)" > "通信キャプチャの開始...". The file
// it writes dissects into the expected fields with tshark, replays through a
// second kx9sim into the same log lines, and holds every frame of a
// ten-second report flood.
#include "capture_test_util.h"
#include "../e2e/e2e_fixture.h"

#include "capture/capture_actions.h"
#include "capture/link_capture.h"
#include "commands/ttcomxdlg.h"
#include "link/comm_module.h"
#include "link/link_tap.h"
#include "link/options.h"

#include <QApplication>
#include <QMenu>
#include <QRegularExpression>
#include <QtTest>

using namespace captest;

namespace {

const char *kTag = "tag add E004010012345678 dsfid=3A afi=07 ic=01 bs=4 blocks=28 text=HELLOKX9";

struct Step {
    QString item;
    QString blockNo;        // for the block-number dialog; empty: no dialog
    QString simControl;     // sent to kx9sim before the item (a fault knob)
};

} // namespace

class TestCaptureE2e : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void menuItemSitsInTheFileMenu();
    void captureDissects();
    void replayRoundTrip();
    void reportFloodHoldsEveryFrame();

private:
    std::unique_ptr<e2e::Monitor> start(const QStringList &simArgs = {});
    bool startCapture(e2e::Monitor &m, const QString &path);
    bool stopCapture(e2e::Monitor &m);
    QStringList run(e2e::Monitor &m, const QList<Step> &steps, bool useFaults);
    QTemporaryDir dir_;
};

void TestCaptureE2e::initTestCase()
{
    QVERIFY2(!tsharkPath().isEmpty(), "tshark is not installed (Debian package tshark)");
    QVERIFY(dir_.isValid());
}

std::unique_ptr<e2e::Monitor> TestCaptureE2e::start(const QStringList &simArgs)
{
    auto m = std::make_unique<e2e::Monitor>(simArgs);
    if (!m->ok)
        return m;
    // The main window attaches the capture item itself once it calls this;
    // a second call does nothing.
    kx9::AttachCaptureActions(*m->window);
    m->window->appOptions().fTimeOut = 0;   // no execution times: the logs of two runs must match
    return m;
}

bool TestCaptureE2e::startCapture(e2e::Monitor &m, const QString &path)
{
    QAction *item = m.item(QStringLiteral("MnCapture"));
    if (!item)
        return false;
    m.driver.expect(QStringLiteral("SaveCaptureDialog")).chooseFile(path);
    item->trigger();
    return item->isChecked() && item->text() == QStringLiteral("通信キャプチャの停止");
}

bool TestCaptureE2e::stopCapture(e2e::Monitor &m)
{
    QAction *item = m.item(QStringLiteral("MnCapture"));
    item->trigger();
    return !item->isChecked() && item->text() == QStringLiteral("通信キャプチャの開始...");
}

QStringList TestCaptureE2e::run(e2e::Monitor &m, const QList<Step> &steps, bool useFaults)
{
    m.clearLog();
    for (const Step &s : steps) {
        if (useFaults && !s.simControl.isEmpty())
            m.sim.control(s.simControl);
        if (!s.blockNo.isEmpty())
            m.driver.expect(QStringLiteral("TInputIntDlg")).setText(QStringLiteral("IntEd"), s.blockNo).press(QStringLiteral("OKBtn"));
        m.item(s.item)->trigger();
        // The reply waits run inside trigger(); what comes after them lands in the next polls.
        QTest::qWait(400);
    }
    return m.log();
}

void TestCaptureE2e::menuItemSitsInTheFileMenu()
{
    auto m = start();
    QVERIFY2(m->ok, qPrintable(m->error));
    kx9::AttachCaptureActions(*m->window);   // again: still one item
    auto *file = m->window->findChild<QMenu *>(QStringLiteral("MnFile"));
    QVERIFY(file);
    QStringList names;
    for (QAction *a : file->actions())
        names << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
    QCOMPARE(names, (QStringList{"MnSaveFile", "MnCapture", "-", "MnExit"}));
    QCOMPARE(m->item(QStringLiteral("MnCapture"))->text(), QStringLiteral("通信キャプチャの開始..."));
    // Cancel in the file dialog starts nothing.
    m->driver.expect(QStringLiteral("SaveCaptureDialog")).pressCancel();
    m->item(QStringLiteral("MnCapture"))->trigger();
    QVERIFY(!m->item(QStringLiteral("MnCapture"))->isChecked());
    QVERIFY2(m->driver.ok(), qPrintable(m->driver.report()));
}

void TestCaptureE2e::captureDissects()
{
    auto m = start();
    QVERIFY2(m->ok, qPrintable(m->error));
    QVERIFY(m->sim.control(QString::fromLatin1(kTag)).startsWith(QLatin1String("OK")));
    // The log page is switched off for received bytes: the capture does not care.
    m->window->comm()->setLogRx(0);
    const QString path = dir_.filePath(QStringLiteral("dissect.pcapng"));
    QVERIFY(startCapture(*m, path));
    run(*m, {{QStringLiteral("TBtSetCmdMode"), {}, {}},
             {QStringLiteral("MnInventory1Slot1"), {}, {}},
             {QStringLiteral("MnReadSingleBlock"), QStringLiteral("1"), {}},
             {QStringLiteral("MnReadSingleBlock"), QStringLiteral("40"), {}},
             {QStringLiteral("MnReadSingleBlock"), QStringLiteral("2"), QStringLiteral("fault sum")}},
        true);
    QVERIFY(stopCapture(*m));
    QVERIFY2(m->driver.ok(), qPrintable(m->driver.report()));
    QVERIFY(QFile::exists(path));
    const QStringList log = m->log();
    QVERIFY(log.contains(QStringLiteral("SUM EEROR")));
    QVERIFY(std::any_of(log.begin(), log.end(), [](const QString &l) { return l.startsWith(QStringLiteral("キャプチャ終了: ")); }));

    const Tshark t = runTshark(path, {"frame.packet_flags_direction", "kx9.name", "kx9.sum.status", "kx9.uid.text",
                                      "kx9.tag_data", "kx9.nack.code", "kx9.nack.iso_error", "_ws.expert.message"});
    QVERIFY2(t.ok, qPrintable(t.error));
    // Frames, in order, as "direction name [fields]"; parts of frames are left out.
    QStringList seen;
    for (const QStringList &r : t.rows) {
        if (r.value(1).isEmpty())
            continue;
        seen << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
                    .arg(r.value(0) == QLatin1String("0x00000002") ? "TX" : "RX", r.value(1), r.value(2), r.value(3),
                         r.value(4), r.value(5), r.value(6), r.value(7))
                    .simplified();
    }
    const QStringList want{
        "TX DousaModeSet / DousaModeSet(N) Good",
        "RX ACK DousaModeSet / DousaModeSet(N) Good",
        "TX DousaModeSet Good",
        "RX ACK DousaModeSet Good",
        "TX ISO15693_Inventory Good",
        "RX ACK ISO15693_Inventory Good E0 04 01 00 12 34 56 78",
        "TX ISO15693_ReadSingleBlock Good",
        "RX ACK ISO15693_ReadSingleBlock Good 4f4b5839",   // block 1 of HELLOKX9: "OKX9"
        "TX ISO15693_ReadSingleBlock Good",
        "RX NACK ISO15693_ReadSingleBlock Good 0x05 0x10 NACK 05: block not available",
        "TX ISO15693_ReadSingleBlock Good",
    };
    QCOMPARE(seen.mid(0, want.size()), want);
    QCOMPARE(seen.size(), want.size() + 1);
    QVERIFY2(seen.last().startsWith(QLatin1String("RX ACK ISO15693_ReadSingleBlock Bad"))
                 && seen.last().contains(QLatin1String("bad SUM: 0x")),
             qPrintable(seen.last()));
}

void TestCaptureE2e::replayRoundTrip()
{
    const QList<Step> steps{{QStringLiteral("TBtSetCmdMode"), {}, {}},
                            {QStringLiteral("MnInventory1Slot1"), {}, {}},
                            {QStringLiteral("MnReadSingleBlock"), QStringLiteral("0"), {}},
                            {QStringLiteral("MnReadSingleBlock"), QStringLiteral("0"), QStringLiteral("fault split 3 30")},
                            {QStringLiteral("MnReadSingleBlock"), QStringLiteral("50"), {}},
                            {QStringLiteral("MnGetRomVer"), {}, {}},
                            {QStringLiteral("MnReadSingleBlock"), QStringLiteral("3"), QStringLiteral("fault nocr")}};
    const QString path = dir_.filePath(QStringLiteral("site.pcapng"));
    QStringList recorded;
    {
        auto m = start();
        QVERIFY2(m->ok, qPrintable(m->error));
        QVERIFY(m->sim.control(QString::fromLatin1(kTag)).startsWith(QLatin1String("OK")));
        QVERIFY(startCapture(*m, path));
        recorded = run(*m, steps, true);
        QVERIFY(stopCapture(*m));
        QVERIFY2(m->driver.ok(), qPrintable(m->driver.report()));
    }
    QStringList replayed;
    {
        // The second simulator has no tags and no faults: every answer comes from the capture.
        auto m = start({QStringLiteral("--replay"), path});
        QVERIFY2(m->ok, qPrintable(m->error));
        replayed = run(*m, steps, false);
        QVERIFY2(m->driver.ok(), qPrintable(m->driver.report()));
        QVERIFY(m->sim.frameLog().contains("REPLAY exact"));
    }
    // The frame without its CR leaves the monitor waiting for it: a time-out.
    QVERIFY(recorded.contains(QStringLiteral("レスポンス待ち　タイムオーバー")));
    QVERIFY(recorded.contains(QStringLiteral("ISO15693_Inventory受信")));
    // Every line the same, in the same order, except that the received bytes
    // may be cut into "RX:" lines elsewhere: one line per 100 ms poll, and the
    // polls fall differently in two runs. Their bytes must be the same.
    const auto split = [](const QStringList &log, QString &rx) {
        QStringList rest;
        for (const QString &l : log) {
            if (l.startsWith(QLatin1String("RX:")))
                rx += l.mid(3);
            else
                rest << l;
        }
        return rest;
    };
    QString rxRecorded, rxReplayed;
    const QStringList linesRecorded = split(recorded, rxRecorded), linesReplayed = split(replayed, rxReplayed);
    if (linesReplayed != linesRecorded || rxReplayed != rxRecorded)
        qWarning("recorded:\n%s\nreplayed:\n%s", qPrintable(recorded.join(QLatin1Char('\n'))),
                 qPrintable(replayed.join(QLatin1Char('\n'))));
    QCOMPARE(linesReplayed, linesRecorded);
    QCOMPARE(rxReplayed, rxRecorded);
}

void TestCaptureE2e::reportFloodHoldsEveryFrame()
{
    auto m = start();
    QVERIFY2(m->ok, qPrintable(m->error));
    for (int i = 0; i < 40; ++i)
        QVERIFY(m->sim.control(QStringLiteral("tag add E0040100AB0000%1").arg(i, 2, 16, QLatin1Char('0')).toUpper())
                    .startsWith(QLatin1String("OK")));
    const QString path = dir_.filePath(QStringLiteral("flood.pcapng"));
    QVERIFY(startCapture(*m, path));
    const int logBefore = int(m->sim.frameLog().count('\n'));
    // Continuous inventory, every tag every 200 ms: 40 reports five times a second.
    QVERIFY(m->sim.control(QStringLiteral("mode 50 1C")).startsWith(QLatin1String("OK")));
    QTest::qWait(10000);
    QVERIFY(m->sim.control(QStringLiteral("mode 00")).startsWith(QLatin1String("OK")));
    QTest::qWait(500);
    QVERIFY(stopCapture(*m));

    int sent = 0;
    static const QRegularExpression txReport(QStringLiteral("^\\S+ TX 02 [0-9A-F]{2} 49 "));
    const QList<QByteArray> lines = m->sim.frameLog().split('\n');
    for (int i = logBefore; i < lines.size(); ++i)
        sent += txReport.match(QString::fromLatin1(lines[i])).hasMatch() ? 1 : 0;
    QVERIFY2(sent >= 1500, qPrintable(QString::number(sent)));

    const Tshark t = runTshark(path, {"kx9.kind", "kx9.sum.status"});
    QVERIFY2(t.ok, qPrintable(t.error));
    int captured = 0, good = 0;
    for (const QStringList &r : t.rows) {
        const QStringList kinds = r.value(0).split(QLatin1Char('|'));
        const QStringList sums = r.value(1).split(QLatin1Char('|'));
        for (int k = 0; k < kinds.size(); ++k) {
            if (kinds[k] == QLatin1String("0x49")) {
                ++captured;
                good += sums.value(k) == QLatin1String("Good") ? 1 : 0;
            }
        }
    }
    QCOMPARE(captured, sent);
    QCOMPARE(good, sent);
}

QTEST_MAIN(TestCaptureE2e)
#include "test_capture_e2e.moc"
