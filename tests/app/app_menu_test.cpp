// The main menu: names, the profile, the feature switches, the idle rule,
// command-mode gating, the toolbar and the pop-up menu.
#include "app_fixture.h"

#include <QAction>
#include <QApplication>
#include <QActionGroup>
#include <QEventLoop>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

using namespace kx9test;
using kx9::TKX9AppForm;

namespace {

// Lets the event loop go idle for a moment (a real loop, so it blocks and idles).
void runIdle(int ms = 50)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool shown(TKX9AppForm &w, const QString &name)
{
    QAction *a = w.findAction(name);
    return a && a->isVisible();
}

} // namespace

class AppMenuTest : public QObject {
    Q_OBJECT
private slots:
    void menuNamesCaptionsAndShortcuts()
    {
        AppFixture f;
        f.create(AppFixture::TcpServerOptions());
        TKX9AppForm &w = *f.window;
        // Every named menu item is unique, so an action finds exactly its item.
        QSet<QString> seen;
        const QList<QAction *> all = w.findChildren<QAction *>();
        for (QAction *a : all) {
            if (a->objectName().isEmpty() || a->isSeparator())
                continue;
            QVERIFY2(!seen.contains(a->objectName()), qPrintable(a->objectName()));
            seen.insert(a->objectName());
        }
        const QList<QAction *> top = w.menuBar()->actions();
        QStringList captions;
        for (QAction *a : top)
            captions << a->text();
        QCOMPARE(captions, (QStringList{"ファイル(&F)", "コマンド", "汎用コマンド", "ISO15693コマンド", "my-dコマンド",
                                        "カスタムコマンド", "TAG-ITコマンド", "ゲート用コマンド", "W30用コマンド", "設定",
                                        "ヘルプ(&H)"}));
        const struct {
            const char *name, *caption, *key;
        } items[] = {
            {"MnInventory1Slot1", "1 Slot", "Ctrl+F1"},    {"Inventory21", "Inventory2", "Ctrl+F2"},
            {"MnReadSingleBlock", "ReadSingleBlock", "Ctrl+F4"}, {"MnWrietDSFID", "WrietDSFID", "Ctrl+F9"},
            {"MnGetMBlockSecSt", "GetMBlockSecSt", "Ctrl+F11"}, {"MnDataWrite", "データ書き込み...", "Ctrl+W"},
            {"MnSelRy", "アンテナの選択...", "Ctrl+Alt+A"}, {"MnSetPara3", "R/Wのパラメータ設定...", "Ctrl+Alt+P"},
            {"MnClear1", "クリア", "F9"}, {"MnSetCmd1", "コマンドモード", "F5"}, {"MnSetAuto1", "オートスキャン", "F6"},
            {"MnSetInv1", "連続インベントリ", "F8"}, {"MnCopy1", "Copy", ""}, {"N14", "コマンドダイアログの実行...", ""},
            {"MnLEDBuz1", "LED&&BUZ", ""}, {"MnAbout", "バージョン情報(&A)...", ""},
        };
        for (const auto &it : items) {
            QAction *a = w.findAction(QLatin1String(it.name));
            QVERIFY2(a, it.name);
            QCOMPARE(a->text(), QString::fromUtf8(it.caption));
            QCOMPARE(a->shortcut(), QKeySequence(QLatin1String(it.key)));
        }
        // A submenu is found by its name too, and sits where the table puts it.
        QAction *tiLight = w.findAction(QStringLiteral("MnTILight"));
        QVERIFY(tiLight && tiLight->menu());
        QCOMPARE(tiLight->menu()->actions().first()->objectName(), QStringLiteral("MnWrLightPass"));
    }

    void profileWithDefaultOptions()
    {
        AppFixture f;
        f.create(AppFixture::TcpServerOptions());
        TKX9AppForm &w = *f.window;
        for (const QString &n : TKX9AppForm::ProfileHiddenNames())
            QVERIFY2(w.findAction(n) && !w.findAction(n)->isVisible(), qPrintable(n));
        QVERIFY(shown(w, QStringLiteral("MnTILight")));
        for (const QString &n : TKX9AppForm::CommandModeGatedNames())
            QVERIFY2(w.findAction(n) && !w.findAction(n)->isEnabled(), qPrintable(n));
        // The mode buttons, the pop-up and the plain menus stay enabled.
        for (const char *n : {"TBtSetCmdMode", "TBtSetATRMD", "MnSetCmd1", "MnClear1", "MnFile", "MnHelp"})
            QVERIFY2(w.findAction(QLatin1String(n))->isEnabled(), n);

        w.ApplyCommandModeGating(true);
        for (const QString &n : TKX9AppForm::CommandModeGatedNames()) {
            QAction *a = w.findAction(n);
            QVERIFY2(!a->isVisible() || a->isEnabled(), qPrintable(n));   // a hidden action reports itself disabled
        }
        QVERIFY(w.findAction(QStringLiteral("MnISO15693"))->isEnabled());
        w.ApplyCommandModeGating(false);
        QVERIFY(!w.findAction(QStringLiteral("MnISO15693"))->isEnabled());

        // Applied again (after the R/W parameter dialog left the reader in
        // another mode), the profile disables the command menus even when
        // they were enabled by command mode.
        w.ApplyCommandModeGating(true);
        w.ApplyMenuProfile();
        for (const QString &n : TKX9AppForm::CommandModeGatedNames())
            QVERIFY2(!w.findAction(n)->isEnabled(), qPrintable(n));
        QVERIFY(shown(w, QStringLiteral("MnTILight")));
        QVERIFY(!shown(w, QStringLiteral("MnCommand")));
    }

    void gateMenusStayEnabled()
    {
        AppFixture f;
        f.create(AppFixture::TcpServerOptions() + "fGateCmd=1\r\nfW30=1\r\n");
        TKX9AppForm &w = *f.window;
        for (const char *n : {"MnGateCmd", "W301", "MnDispCountDlg", "MnMelodyLEDCmd", "MnW30GCount"})
            QVERIFY2(w.findAction(QLatin1String(n))->isEnabled(), n);
        for (const char *n : {"MnGateMode", "MnSensorState", "MnContTimgRes", "MnW30outinfo", "MnW30ROM1"})
            QVERIFY2(!w.findAction(QLatin1String(n))->isEnabled(), n);
    }

    void menuDispKeepsCommandMenusEnabled()
    {
        AppFixture f;
        f.create(AppFixture::TcpServerOptions() + "fMenuDisp=1\r\n");
        QVERIFY(f.window->findAction(QStringLiteral("MnISO15693"))->isEnabled());
        f.window->ApplyCommandModeGating(false);
        QVERIFY(f.window->findAction(QStringLiteral("MnSetting"))->isEnabled());
        QVERIFY(f.window->findAction(QStringLiteral("TBtDataWrite"))->isEnabled());
        f.window->ApplyMenuProfile();
        QVERIFY(f.window->findAction(QStringLiteral("MnISO15693"))->isEnabled());
    }

    void switchDependentItems_data()
    {
        QTest::addColumn<QByteArray>("options");
        QTest::addColumn<QStringList>("visible");
        QTest::addColumn<QStringList>("hidden");
        QTest::newRow("defaults") << QByteArray()
                                  << QStringList{"MnSetSpeed", "MnTILight"}
                                  << QStringList{"MnGateCmd", "W301", "ReadLoopPolling1", "Inventory16Slots1",
                                                 "MnCmdOutp", "MnCmdOutpSepa", "MnCommCommand", "MnTagTest1",
                                                 "MnBuzFreq", "MnSetAnci", "MnSetRWIDNUM", "MnW30ReStart",
                                                 "MnLockBlock", "MnLockEAS1"};
        QTest::newRow("gate without W30") << QByteArray("fGateCmd=1\r\n") << QStringList{"MnGateCmd"}
                                          << QStringList{"W301"};
        QTest::newRow("W30 without maintenance") << QByteArray("fGateCmd=1\r\nfW30=1\r\n")
                                                 << QStringList{"MnGateCmd", "W301", "MnW30GCount"}
                                                 << QStringList{"MnW30_Sepa", "MnW30ReStart", "MnW30Bps", "MnW30ProgMode"};
        QTest::newRow("W30 maintenance") << QByteArray("fGateCmd=1\r\nfW30=1\r\nfW30Cmd=1\r\n")
                                         << QStringList{"W301", "MnW30_Sepa", "MnW30ReStart", "MnW30Bps", "MnW30ProgMode"}
                                         << QStringList{"IOBEEPROMCmd"};
        QTest::newRow("W30 needs the gate switch") << QByteArray("fW30=1\r\nfW30Cmd=1\r\n") << QStringList{}
                                                   << QStringList{"MnGateCmd", "W301"};
        QTest::newRow("single switches")
            << QByteArray("fCustomCmd1=1\r\nfUseInv16SlotsCmd=1\r\nfCmdOutpStr=1\r\nfCommComand=1\r\nfSetBuzFreq=1\r\nfVER121=0\r\n")
            << QStringList{"ReadLoopPolling1", "Inventory16Slots1", "MnCmdOutp", "MnCmdOutpSepa", "MnCommCommand",
                           "MnBuzFreq"}
            << QStringList{"MnSetSpeed"};
        QTest::newRow("extended settings") << QByteArray("fDispEXTSet1=1\r\n")
                                           << QStringList{"MnInventoryAFI1", "MnSetBuz", "MnNoReadCmd", "MnSetRetry",
                                                          "MnRDLoop1", "MnSetAnci", "MnSetAFI", "MnAFI1", "MnSetRWIDNUM"}
                                           << QStringList{};
        QTest::newRow("lock commands") << QByteArray("EnabLockBlock=1\r\n")
                                       << QStringList{"MnLockBlock", "MnLockAFI", "MNLockDSFID", "MnLock2Blocks", "MnLockEAS1"}
                                       << QStringList{"MnWrite2Blocks"};
    }
    void switchDependentItems()
    {
        QFETCH(QByteArray, options);
        QFETCH(QStringList, visible);
        QFETCH(QStringList, hidden);
        AppFixture f;
        f.create(AppFixture::TcpServerOptions() + options);
        runIdle();   // MnLock2Blocks is hidden by the profile and comes back with the idle rule
        for (const QString &n : visible)
            QVERIFY2(shown(*f.window, n), qPrintable(n));
        for (const QString &n : hidden)
            QVERIFY2(f.window->findAction(n) && !shown(*f.window, n), qPrintable(n));
    }

    void environmentRowsReappliedInOrder()
    {
        AppFixture f;
        f.create(AppFixture::TcpServerOptions());
        kx9::AppOptions &o = f.window->appOptions();
        o.fVER121 = 1;
        o.fDispEXTSet1 = 0;
        o.fGateCmd = 1;
        f.window->ApplyEnvironmentSwitches();
        // fVER121 shows MnSetAnci first, then the extended-settings row hides it again.
        QVERIFY(!shown(*f.window, QStringLiteral("MnSetAnci")));
        QVERIFY(shown(*f.window, QStringLiteral("MnSetSpeed")));
        QVERIFY(shown(*f.window, QStringLiteral("MnGateCmd")));
    }

    void lockItemsFollowTheOptionAtIdle()
    {
        AppFixture f;
        f.create(AppFixture::TcpServerOptions());
        TKX9AppForm &w = *f.window;
        QVERIFY(!shown(w, QStringLiteral("MnLockAFI")));
        w.appOptions().EnabLockBlock = 1;
        runIdle();
        for (const char *n : {"MnLockBlock", "MnLockAFI", "MNLockDSFID", "MnLock2Blocks", "MnLockEAS1"})
            QVERIFY2(shown(w, QLatin1String(n)), n);
        w.appOptions().EnabLockBlock = 0;
        runIdle();
        QVERIFY(!shown(w, QStringLiteral("MnLockBlock")));
    }

    void runningWindowShortcutsFollowGating()
    {
        AppFixture f;
        QVERIFY(f.start());
        TKX9AppForm &w = *f.window;
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        int reads = 0, clears = 0;
        connect(w.findAction(QStringLiteral("MnReadSingleBlock")), &QAction::triggered, this, [&] { ++reads; });
        connect(w.findAction(QStringLiteral("MnClear1")), &QAction::triggered, this, [&] { ++clears; });
        QTest::keyClick(&w, Qt::Key_F4, Qt::ControlModifier);
        QTest::keyClick(&w, Qt::Key_F9);
        QCOMPARE(reads, 0);   // ISO 15693 menu disabled outside command mode
        QCOMPARE(clears, 1);  // the pop-up's keys always work
        w.ApplyCommandModeGating(true);
        f.driver.expect().pressCancel();   // whatever the action asks first, the operator cancels
        QTest::keyClick(&w, Qt::Key_F4, Qt::ControlModifier);
        QCOMPARE(reads, 1);
        QVERIFY(f.driver.waitAllAnswered(5000));
        QVERIFY2(f.driver.ok(), qPrintable(f.driver.report()));
    }

    void toolbarButtonsAndGesture()
    {
        AppFixture f;
        QVERIFY(f.start());
        TKX9AppForm &w = *f.window;
        auto *bar = w.findChild<QToolBar *>(QStringLiteral("ToolBar1"));
        QCOMPARE(bar->height(), 30);
        QAction *cmd = w.findAction(QStringLiteral("TBtSetCmdMode"));
        QAction *autoScan = w.findAction(QStringLiteral("TBtSetATRMD"));
        QAction *inv = w.findAction(QStringLiteral("TBtSetTest1Mode"));
        QCOMPARE(cmd->toolTip(), QStringLiteral("コマンドモードへ"));
        QCOMPARE(w.findAction(QStringLiteral("TBtModeSet"))->toolTip(), QStringLiteral("タグの動作モードの設定"));
        QVERIFY(cmd->actionGroup() && cmd->actionGroup() == inv->actionGroup() && cmd->actionGroup()->isExclusive());
        // The pop-up mode items press their toolbar button.
        int autoRuns = 0;
        connect(autoScan, &QAction::triggered, this, [&] { ++autoRuns; });
        w.findAction(QStringLiteral("MnSetAuto1"))->trigger();
        QVERIFY(autoScan->isChecked());
        QCOMPARE(autoRuns, 1);
        w.findAction(QStringLiteral("MnSetInv1"))->trigger();
        QVERIFY(inv->isChecked() && !autoScan->isChecked());
        // A forwarding button runs its menu item's action.
        w.ApplyCommandModeGating(true);
        int writes = 0;
        connect(w.findAction(QStringLiteral("MnDataWrite")), &QAction::triggered, this, [&] { ++writes; });
        w.findAction(QStringLiteral("TBtDataWrite"))->trigger();
        QCOMPARE(writes, 1);

        const QPoint spot(bar->width() / 2, bar->height() / 2);
        const Qt::KeyboardModifiers both = Qt::ShiftModifier | Qt::ControlModifier;
        QTest::mouseDClick(bar, Qt::LeftButton, both, spot);
        QVERIFY(shown(w, QStringLiteral("MnEEPROM1")));
        QTest::mouseDClick(bar, Qt::LeftButton, both, spot);
        QVERIFY(!shown(w, QStringLiteral("MnEEPROM1")));
        QTest::mouseDClick(bar, Qt::LeftButton, both, spot);
        QTest::mouseDClick(bar, Qt::LeftButton, Qt::ShiftModifier, spot);
        QVERIFY(!shown(w, QStringLiteral("MnEEPROM1")));
    }

    void hintsGoToStatusPanel()
    {
        AppFixture f;
        f.create(AppFixture::TcpServerOptions());
        f.window->findAction(QStringLiteral("TBtSetConf"))->showStatusText(f.window.get());
        QCOMPARE(f.window->statusHint(), QStringLiteral("動作モードの設定"));
    }

    void aboutBoxFromVersionRecord()
    {
        AppFixture f;
        f.create(AppFixture::TcpServerOptions());
        QString version, product;
        f.driver.expect(QStringLiteral("TAboutBox"))
            .then([&](QWidget *d) {
                version = d->findChild<QLabel *>(QStringLiteral("Version"))->text();
                product = d->findChild<QLabel *>(QStringLiteral("ProductName"))->text();
            })
            .press(QStringLiteral("OKButton"));
        f.window->findAction(QStringLiteral("MnAbout"))->trigger();
        QVERIFY2(f.driver.ok(), qPrintable(f.driver.report()));
        QVERIFY(version.startsWith(QStringLiteral("     Version ")));
        QVERIFY(version.size() > 13);
        QVERIFY(!product.isEmpty());
    }
};

QTEST_MAIN(AppMenuTest)
#include "app_menu_test.moc"
