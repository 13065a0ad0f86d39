// "環境設定..." on the real main window: the dialog filled from the options,
// its presets, hidden pages and the Shift+Ctrl panel gesture, and what "OK"
// changes at once (menus, the result grid); the module's switches against
// kx9sim over loopback TCP.
#include "../app/app_fixture.h"
#include "rw_fixture.h"

#include "app/tag_grid.h"
#include "config/settings_actions.h"
#include "link/options.h"

#include <QCheckBox>
#include <QTabWidget>
#include <QTest>

using kx9test::AppFixture;
using kx9test::DialogDriver;
using kx9test::ReadFileBytes;
using kx9test::RwHost;

namespace {

const QStringList kExtendedMenus{"MnInventoryAFI1", "MnSetBuz", "MnNoReadCmd", "MnSetRetry", "MnRDLoop1",
                                 "MnSetAnci", "MnSetAFI", "MnAFI1", "MnSetRWIDNUM"};

QByteArray options(const QByteArray &extra) { return "[Option]\r\nUseUSB=2\r\n" + extra; }

} // namespace

class TestRwEnvironment : public QObject {
    Q_OBJECT
private slots:
    void okWithoutChangesKeepsEveryOption();
    void panelGestureRevealsTheExtendedSwitches();
    void romVersionRowThenTheExtendedRow();
    void inOutFormatDecidesTheGridColumns();
    void presetsAndCancel();
    void blockSizeBelowOneBecomesOne();
    void moduleSwitchesTakeEffect();

private:
    void open(AppFixture &fx, const QByteArray &extra)
    {
        fx.create(options(extra));
        kx9::AttachSettingsActions(*fx.window);
    }
    void trigger(AppFixture &fx) { fx.window->findAction(QStringLiteral("MnConfig1"))->trigger(); }
};

// Every option whose value the dialog can show, the hidden pages and
// controls included, comes back as it was (compared as option files).
void TestRwEnvironment::okWithoutChangesKeepsEveryOption()
{
    AppFixture fx;
    open(fx, "UidFlag=2\r\nReadOptionFlag=1\r\nReadUidFlag=1\r\nWriteOptionFlag=0\r\nWriteUidFlag=2\r\nEnabLockBlock=1\r\n"
             "fInventory2=0\r\nfUseInOutFormat=1\r\nInOutMode=0\r\nfBinaryWrite=1\r\nTagBlockSize=8\r\nfVER121=0\r\n"
             "fGateCmd=1\r\nfW30=1\r\nfDispEXTSet1=1\r\nfInvTxOff=1\r\nfUSESetOption=1\r\nProg15693FLAG=167\r\n"
             "EAS_ON_VALUE=64\r\nEAS_OFF_VALUE=65\r\n");
    const QString before = fx.dir.filePath(QStringLiteral("before.ini"));
    const QString after = fx.dir.filePath(QStringLiteral("after.ini"));
    QVERIFY(kx9::SaveAppOptions(before, fx.window->appOptions()));
    fx.driver.expect(QStringLiteral("TConfig1Dlg"))
        .expectShown(QStringLiteral("IntEdEASON"), QStringLiteral("40"))
        .expectShown(QStringLiteral("CBProgSetFlag"), QStringLiteral("1"))
        .expectShown(QStringLiteral("RGChannelMode"), QStringLiteral("0"))
        .then([](QWidget *dlg) {
            QCOMPARE(dlg->windowTitle(), QStringLiteral("環境設定"));
            auto *tabs = dlg->findChild<QTabWidget *>(QStringLiteral("PageControl1"));
            QStringList shown;
            for (int i = 0; i < tabs->count(); ++i)
                if (tabs->isTabVisible(i))
                    shown << tabs->tabText(i);
            QCOMPARE(shown, (QStringList{"動作環境", "デバッグ"}));
            QVERIFY(dlg->findChild<QWidget *>(QStringLiteral("CBProgSetFlag"))->isHidden());
            QVERIFY(dlg->findChild<QWidget *>(QStringLiteral("CBGateCmd"))->isHidden());
            QVERIFY(!dlg->findChild<QWidget *>(QStringLiteral("CBDispEXTSet1"))->isHidden());
            QVERIFY(!dlg->findChild<QWidget *>(QStringLiteral("CBInvTxOff"))->isHidden());
        })
        .pressOk();
    trigger(fx);
    QVERIFY2(fx.driver.ok(), qPrintable(fx.driver.report()));
    QVERIFY(kx9::SaveAppOptions(after, fx.window->appOptions()));
    QCOMPARE(ReadFileBytes(after), ReadFileBytes(before));
    // The rows "OK" applies: gate menus with the gate switches, the extended menus.
    QVERIFY(fx.window->findAction(QStringLiteral("MnGateCmd"))->isVisible());
    QVERIFY(fx.window->findAction(QStringLiteral("W301"))->isVisible());
    QVERIFY(!fx.window->findAction(QStringLiteral("MnSetSpeed"))->isVisible());
    for (const QString &m : kExtendedMenus)
        QVERIFY2(fx.window->findAction(m)->isVisible(), qPrintable(m));
}

void TestRwEnvironment::panelGestureRevealsTheExtendedSwitches()
{
    AppFixture fx;
    open(fx, "fDispEXTSet1=0\r\nfInvTxOff=0\r\n");
    for (const QString &m : kExtendedMenus)
        QVERIFY2(!fx.window->findAction(m)->isVisible(), qPrintable(m));
    const auto hidden = [](QWidget *dlg, const char *name) { return dlg->findChild<QWidget *>(QLatin1String(name))->isHidden(); };
    fx.driver.expect(QStringLiteral("TConfig1Dlg"))
        .then([&](QWidget *dlg) {
            QVERIFY(hidden(dlg, "CBDispEXTSet1") && hidden(dlg, "CBInvTxOff"));
            // The operator turns to the page "デバッグ" first.
            auto *tabs = dlg->findChild<QTabWidget *>(QStringLiteral("PageControl1"));
            tabs->setCurrentWidget(dlg->findChild<QWidget *>(QStringLiteral("Panel2"))->parentWidget());
        })
        .click(QStringLiteral("Panel2"), Qt::ShiftModifier | Qt::ControlModifier)
        .then([&](QWidget *dlg) { QVERIFY(!hidden(dlg, "CBDispEXTSet1") && !hidden(dlg, "CBInvTxOff")); })
        .click(QStringLiteral("Panel2"), Qt::ControlModifier)   // not both keys: both hidden again
        .then([&](QWidget *dlg) { QVERIFY(hidden(dlg, "CBDispEXTSet1") && hidden(dlg, "CBInvTxOff")); })
        .click(QStringLiteral("Panel2"), Qt::ShiftModifier | Qt::ControlModifier)
        .setChecked(QStringLiteral("CBDispEXTSet1"), true)
        .pressOk();
    trigger(fx);
    QVERIFY2(fx.driver.ok(), qPrintable(fx.driver.report()));
    QCOMPARE(fx.window->appOptions().fDispEXTSet1, 1);
    QCOMPARE(fx.window->appOptions().fInvTxOff, 0);
    for (const QString &m : kExtendedMenus)
        QVERIFY2(fx.window->findAction(m)->isVisible(), qPrintable(m));
}

// "アンチコリジョン設定" follows the extended row, which comes after the ROM row.
void TestRwEnvironment::romVersionRowThenTheExtendedRow()
{
    AppFixture fx;
    open(fx, "fVER121=1\r\nfDispEXTSet1=0\r\n");
    fx.window->findAction(QStringLiteral("MnSetSpeed"))->setVisible(false);
    fx.driver.expect(QStringLiteral("TConfig1Dlg")).expectShown(QStringLiteral("CBROMVer200"), QStringLiteral("1")).pressOk();
    trigger(fx);
    QVERIFY2(fx.driver.ok(), qPrintable(fx.driver.report()));
    QVERIFY(!fx.window->findAction(QStringLiteral("MnSetAnci"))->isVisible());
    QVERIFY(fx.window->findAction(QStringLiteral("MnSetSpeed"))->isVisible());
}

void TestRwEnvironment::inOutFormatDecidesTheGridColumns()
{
    AppFixture fx;
    open(fx, kx9::EncodeCp932(QStringLiteral("fUseInOutFormat=1\r\nInOutTitle=方向\r\n")));
    QCOMPARE(fx.window->grid()->columnCount(), 5);
    fx.driver.expect(QStringLiteral("TConfig1Dlg"))
        .then([](QWidget *dlg) { QVERIFY(dlg->findChild<QWidget *>(QStringLiteral("RGChannelMode"))->isEnabled()); })
        .setChecked(QStringLiteral("CBUseInOutFormat"), false)
        .then([](QWidget *dlg) { QVERIFY(!dlg->findChild<QWidget *>(QStringLiteral("RGChannelMode"))->isEnabled()); })
        .pressOk();
    trigger(fx);
    QCOMPARE(fx.window->grid()->columnCount(), 4);
    QCOMPARE(fx.window->appOptions().fUseInOutFormat, 0);
    // And back: the fifth column headed by InOutTitle.
    fx.driver.expect(QStringLiteral("TConfig1Dlg"))
        .then([](QWidget *dlg) { QVERIFY(!dlg->findChild<QWidget *>(QStringLiteral("RGChannelMode"))->isEnabled()); })
        .setChecked(QStringLiteral("CBUseInOutFormat"), true)
        .pressOk();
    trigger(fx);
    QVERIFY2(fx.driver.ok(), qPrintable(fx.driver.report()));
    QCOMPARE(fx.window->grid()->columnCount(), 5);
    QCOMPARE(fx.window->grid()->cell(0, 4), QStringLiteral("方向"));
}

void TestRwEnvironment::presetsAndCancel()
{
    AppFixture fx;
    open(fx, "ReadOptionFlag=1\r\nWriteOptionFlag=0\r\nReadUidFlag=2\r\n");
    // "キャンセル" after a preset changes nothing.
    fx.driver.expect(QStringLiteral("TConfig1Dlg")).press(QStringLiteral("BtSetTagit"));
    fx.driver.expect(QStringLiteral("TConfig1Dlg")).again().pressCancel();
    trigger(fx);
    QCOMPARE(fx.window->appOptions().ReadOptionFlag, 1);
    QCOMPARE(fx.window->appOptions().WriteOptionFlag, 0);
    fx.driver.expect(QStringLiteral("TConfig1Dlg")).press(QStringLiteral("BtSetTagit"));
    fx.driver.expect(QStringLiteral("TConfig1Dlg"))
        .again()
        .expectShown(QStringLiteral("RGReadOption"), QStringLiteral("0"))
        .expectShown(QStringLiteral("RGWriteOption"), QStringLiteral("1"))
        .pressOk();
    trigger(fx);
    QCOMPARE(fx.window->appOptions().ReadOptionFlag, 0);
    QCOMPARE(fx.window->appOptions().WriteOptionFlag, 1);
    QCOMPARE(fx.window->appOptions().ReadUidFlag, 2);   // the UID selections are not touched
    fx.driver.expect(QStringLiteral("TConfig1Dlg")).press(QStringLiteral("BtSetICode2"));
    fx.driver.expect(QStringLiteral("TConfig1Dlg")).again().pressOk();
    trigger(fx);
    QVERIFY2(fx.driver.ok(), qPrintable(fx.driver.report()));
    QCOMPARE(fx.window->appOptions().ReadOptionFlag, 0);
    QCOMPARE(fx.window->appOptions().WriteOptionFlag, 0);
}

void TestRwEnvironment::blockSizeBelowOneBecomesOne()
{
    AppFixture fx;
    open(fx, "TagBlockSize=0\r\n");
    fx.driver.expect(QStringLiteral("TConfig1Dlg")).expectShown(QStringLiteral("EdBlockSize"), QStringLiteral("1")).pressOk();
    trigger(fx);
    QVERIFY2(fx.driver.ok(), qPrintable(fx.driver.report()));
    QCOMPARE(fx.window->appOptions().TagBlockSize, 1);
}

// The module's switches change with "OK": the transmit log goes quiet and the
// next frame carries the new reader ID.
void TestRwEnvironment::moduleSwitchesTakeEffect()
{
    SimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("--listen"), QStringLiteral("0")}), qPrintable(sim.errorString()));
    RwHost host(sim.listenPort());
    QVERIFY(QTest::qWaitFor([&] { return host.connected(); }, 5000));
    DialogDriver driver;
    driver.expect(QStringLiteral("TConfig1Dlg"))
        .expectShown(QStringLiteral("CBfDispTxInfo"), QStringLiteral("1"))
        .expectShown(QStringLiteral("EdRWID"), QStringLiteral("0"))
        .setChecked(QStringLiteral("CBfDispTxInfo"), false)
        .setText(QStringLiteral("EdRWID"), QStringLiteral("3"))
        .pressOk();
    host.trigger("MnConfig1");
    QVERIFY2(driver.ok(), qPrintable(driver.report()));
    QCOMPARE(host.module->LogTx(), 0);
    QCOMPARE(host.module->comDebug().fDispTxInfo, 0);
    QCOMPARE(int(host.module->comDebug().IDNo), 3);
    const int lines = int(host.all.size());
    const int from = int(sim.receivedFrames().size());
    host.trigger("MnGetRomVer");
    QVERIFY(QTest::qWaitFor([&] { return sim.receivedFrames().size() > from; }, 3000));
    QCOMPARE(int(uint8_t(sim.receivedFrames().at(from).at(1))), 3);
    for (const QString &l : host.linesSince(lines))
        QVERIFY2(!l.contains(QStringLiteral("ＲＯＭのバージョン情報")), qPrintable(l));
}

QTEST_MAIN(TestRwEnvironment)
#include "test_rw_environment.moc"
