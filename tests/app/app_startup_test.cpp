// Start-up and closing of the real window against a loopback peer.
#include "app_fixture.h"

#include "app/app_setup.h"
#include "app/log_pane.h"
#include "app/tag_grid.h"
#include "commands/ttcomxdlg.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QPointer>
#include <QTimer>

using namespace kx9test;
using kx9::TKX9AppForm;

class AppStartupTest : public QObject {
    Q_OBJECT
private slots:
    void tcpServerStartUpAndClose()
    {
        AppFixture f;
        QString waitLabel, statusDuringWait;
        QStringList dialogFields;
        const QByteArray options = AppFixture::TcpServerOptions();
        const QString port = QString::fromLatin1(options.mid(options.indexOf("TCPPort=") + 8).split('\r').first());
        f.create(options + "SomethingElse=keep me\r\n[Unknown]\r\na=1\r\n");
        f.driver.expect(QStringLiteral("TSetTCPIPDlg"))
            .then([&](QWidget *d) {
                for (const char *n : {"EdTCPPort", "EdTCPServPort", "EdTCPIP1_1", "EdTCPIP1_4"})
                    dialogFields << d->findChild<QLineEdit *>(QLatin1String(n))->text();
            })
            .press(QStringLiteral("接続"));
        f.driver.expect(QStringLiteral("WaitBox")).then([&](QWidget *box) {
            waitLabel = box->findChild<QLabel *>(QStringLiteral("LbMessage"))->text();
            statusDuringWait = f.window->statusHint();
            f.peer.connectToHost(QHostAddress::LocalHost, f.window->comm()->ListeningPort());
        });
        f.window->show();
        QTRY_VERIFY_WITH_TIMEOUT(f.window->startState() == TKX9AppForm::StartState::Running, 15000);
        QVERIFY2(f.driver.ok(), qPrintable(f.driver.report()));
        QCOMPARE(f.driver.answered(), (QStringList{QStringLiteral("LAN接続の設定"), QStringLiteral("しばらくお待ちください")}));
        QCOMPARE(dialogFields, (QStringList{port, QStringLiteral("10777"), QStringLiteral("127"),
                                            QStringLiteral("1")}));
        QCOMPARE(waitLabel, QStringLiteral("TCP/IP 接続中..."));
        QCOMPARE(statusDuringWait, QStringLiteral("TCP/IP 接続中..."));

        TKX9AppForm &w = *f.window;
        QCOMPARE(w.windowTitle(), QStringLiteral("ＫＸ９シリーズ　デモプログラム"));
        QVERIFY(w.comm() && w.comm()->Connected());
        auto *notebook = w.findChild<QStackedWidget *>(QStringLiteral("Notebook1"));
        QCOMPARE(notebook->currentWidget()->objectName(), QStringLiteral("TCP_IP"));
        QVERIFY(!w.findChild<QLabel *>(QStringLiteral("ST_TCPAddress"))->isVisible());   // server: no address
        QVERIFY(w.findChild<QLabel *>(QStringLiteral("ST_TCPPORT"))->text().contains(port));
        QTimer *timer = w.findChild<QTimer *>(QStringLiteral("Timer1"));
        QVERIFY(timer && timer->isActive());
        QCOMPARE(timer->interval(), 100);
        QCOMPARE(w.width(), TKX9AppForm::kDesignWidth + TKX9AppForm::kInOutExtraWidth);
        QCOMPARE(w.findChild<QTabWidget *>(QStringLiteral("PageControl1"))->currentIndex(), 1);
        QVERIFY(w.findAction(QStringLiteral("MnPing"))->isVisible());
        QVERIFY(w.findAction(QStringLiteral("MnTelnet1"))->isVisible());
        QVERIFY(w.findAction(QStringLiteral("MnSetTCPIP1"))->isVisible());
        QVERIFY(!w.findAction(QStringLiteral("MnSetCOMPort"))->isVisible());
        QVERIFY(!w.findAction(QStringLiteral("MnComPara"))->isVisible());

        // Timer1 drains what the peer sends: a text report lands in the grid.
        f.peer.write(AppFixture::Frame('D', "TAG-1"));
        QTRY_COMPARE(w.grid()->cell(1, 2), QStringLiteral("TAG-1"));

        w.close();
        const QByteArray file = ReadFileBytes(f.ini);
        const QStringList option = SectionLines(file, QStringLiteral("Option"));
        QVERIFY(option.contains(QStringLiteral("TCPServAddr=127.0.0.1")));
        QVERIFY(option.contains(QStringLiteral("SomethingElse=keep me")));
        QVERIFY(option.contains(QStringLiteral("OkColor=-2147483633")));
        const QStringList comDebug = SectionLines(file, QStringLiteral("ComDebug"));
        QVERIFY(comDebug.contains(QStringLiteral("MAX_REC_NO=200")));
        QVERIFY(comDebug.contains(QStringLiteral("IDNo=0")));
        QCOMPARE(SectionLines(file, QStringLiteral("Unknown")), QStringList{QStringLiteral("a=1")});
        // Options are written before the module's section.
        QVERIFY(file.indexOf("[Option]") >= 0 && file.indexOf("[ComDebug]") > 0);
    }

    // The receive poll runs at the option file's RxPollMs, held to 5-100 ms.
    void receivePollFromTheOptionFile_data()
    {
        QTest::addColumn<QByteArray>("comDebug");
        QTest::addColumn<int>("interval");
        QTest::newRow("default") << QByteArray() << 100;
        QTest::newRow("10 ms") << QByteArray("[ComDebug]\r\nRxPollMs=10\r\n") << 10;
        QTest::newRow("below the range") << QByteArray("[ComDebug]\r\nRxPollMs=1\r\n") << 5;
        QTest::newRow("above the range") << QByteArray("[ComDebug]\r\nRxPollMs=500\r\n") << 100;
    }
    void receivePollFromTheOptionFile()
    {
        QFETCH(QByteArray, comDebug);
        QFETCH(int, interval);
        AppFixture f;
        f.create(AppFixture::TcpServerOptions() + comDebug);
        f.driver.expect(QStringLiteral("TSetTCPIPDlg")).press(QStringLiteral("接続"));
        f.driver.expect(QStringLiteral("WaitBox")).then([&](QWidget *) {
            f.peer.connectToHost(QHostAddress::LocalHost, f.window->comm()->ListeningPort());
        });
        f.window->show();
        QTRY_VERIFY_WITH_TIMEOUT(f.window->startState() == TKX9AppForm::StartState::Running, 15000);
        QCOMPARE(f.window->receiveTimer()->interval(), interval);
        QVERIFY(f.window->receiveTimer()->isActive());
    }

    void startEndsEarly_data()
    {
        QTest::addColumn<QByteArray>("options");
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<bool>("message");
        QTest::addColumn<bool>("comDebugWritten");
        QTest::newRow("LAN dialog cancelled") << AppFixture::TcpServerOptions() << QStringLiteral("TSetTCPIPDlg")
                                              << false << false;
        QTest::newRow("IP setup dialog cancelled")
            << QByteArray("[Option]\r\nUseUSB=2\r\nfTCPServer=1\r\nTCPPort=0\r\nTCPServAddr=127.0.0.1\r\nfUseGrobalIP=0\r\n")
            << QStringLiteral("TSetIPAddr1Dlg") << false << false;
        QTest::newRow("serial opening dialog cancelled")
            << QByteArray("[Option]\r\nUseUSB=0\r\n[ComPorts]\r\nSystemPorts=0\r\n") << QStringLiteral("TOpenCom1Dlg")
            << false << false;
        // USB goes through the PC-side TCP/IP dialog first, as the network links do.
        QTest::newRow("USB: IP setup dialog cancelled") << QByteArray("[Option]\r\nUseUSB=1\r\n")
                                                        << QStringLiteral("TSetIPAddr1Dlg") << false << false;
        QTest::newRow("UseUSB out of range") << QByteArray("[Option]\r\nUseUSB=7\r\n")
                                             << QStringLiteral("UseUSB=7 では接続できません") << true << false;
        QTest::newRow("UseUSB negative") << QByteArray("[Option]\r\nUseUSB=-1\r\n")
                                         << QStringLiteral("UseUSB=-1 では接続できません") << true << false;
        QTest::newRow("listening port 0")
            << QByteArray("[Option]\r\nUseUSB=2\r\nfTCPServer=1\r\nTCPPort=0\r\nfUseGrobalIP=1\r\n")
            << QStringLiteral("TCPPort=0 では接続できません") << true << false;
        QTest::newRow("reader port 0")
            << QByteArray("[Option]\r\nUseUSB=2\r\nfTCPServer=0\r\nTCPServPort=0\r\nTCPServAddr=127.0.0.1\r\nfUseGrobalIP=1\r\n")
            << QStringLiteral("TCPServPort=0 では接続できません") << true << false;
        QTest::newRow("wait box cancelled") << AppFixture::TcpServerOptions() << QStringLiteral("WaitBox") << false
                                            << true;
    }
    void startEndsEarly()
    {
        QFETCH(QByteArray, options);
        QFETCH(QString, dialog);
        QFETCH(bool, message);
        QFETCH(bool, comDebugWritten);
        AppFixture f;
        f.create(options);
        if (message) {
            if (options.contains("UseUSB=2"))
                f.driver.expect(QStringLiteral("TSetTCPIPDlg")).press(QStringLiteral("接続"));
            f.driver.expectMessage(dialog).pressOk();
        } else if (dialog == QLatin1String("WaitBox")) {
            f.driver.expect(QStringLiteral("TSetTCPIPDlg")).press(QStringLiteral("接続"));
            f.driver.expect(dialog).pressCancel();
        } else {
            f.driver.expect(dialog).pressCancel();
        }
        f.window->show();
        QTRY_VERIFY_WITH_TIMEOUT(f.window->startState() == TKX9AppForm::StartState::Ended, 15000);
        QVERIFY2(f.driver.ok(), qPrintable(f.driver.report()));
        QVERIFY(!f.window->isVisible());
        const QByteArray file = ReadFileBytes(f.ini);
        QVERIFY(!SectionLines(file, QStringLiteral("Option")).isEmpty());
        QCOMPARE(file.contains("[ComDebug]"), comDebugWritten);
    }

    // A listening port already taken: the operator is told which port and
    // why, and start-up ends instead of waiting for a reader that cannot come.
    void portTakenEndsStartUp()
    {
        QTcpServer blocker;
        QVERIFY(blocker.listen(QHostAddress::Any, 0));
        AppFixture f;
        f.create("[Option]\r\nUseUSB=2\r\nfTCPServer=1\r\nTCPPort=" + QByteArray::number(blocker.serverPort())
                 + "\r\nfUseGrobalIP=1\r\n");
        QString text;
        f.driver.expect(QStringLiteral("TSetTCPIPDlg")).press(QStringLiteral("接続"));
        f.driver.expectMessage(QStringLiteral("TCPポート%1で").arg(blocker.serverPort()))
            .then([&](QWidget *box) { text = qobject_cast<QMessageBox *>(box)->text(); })
            .pressOk();
        f.window->show();
        QTRY_VERIFY_WITH_TIMEOUT(f.window->startState() == TKX9AppForm::StartState::Ended, 15000);
        QVERIFY2(f.driver.ok(), qPrintable(f.driver.report()));
        QVERIFY2(text.contains(QStringLiteral("address is already in use"), Qt::CaseInsensitive), qPrintable(text));
        QVERIFY(!f.window->isVisible());
    }

    void closeDuringStartUpEndsAtTheNextStep()
    {
        AppFixture f;
        f.create(AppFixture::TcpServerOptions());
        f.driver.expect(QStringLiteral("TSetTCPIPDlg"))
            .then([&](QWidget *) { f.window->close(); })
            .press(QStringLiteral("接続"));
        f.window->show();
        QTRY_VERIFY_WITH_TIMEOUT(f.window->startState() == TKX9AppForm::StartState::Ended, 15000);
        QVERIFY2(f.driver.ok(), qPrintable(f.driver.report()));
        QVERIFY(!f.window->isVisible());
        QVERIFY(!f.window->comm());
        const QByteArray file = ReadFileBytes(f.ini);
        QVERIFY(!SectionLines(file, QStringLiteral("Option")).isEmpty());
        QVERIFY(!file.contains("[ComDebug]"));
    }

    void closeDuringReplyWaitEndsCleanly()
    {
        // The operator closes the window while a command waits for a reader
        // that never answers: the options are saved, the link closes, and the
        // module goes away only after the waiting action has let go of it.
        AppFixture f;
        QVERIFY(f.start(AppFixture::TcpServerOptions() + "fMenuDisp=1\r\nfTimeOut=1\r\n"));
        TKX9AppForm &w = *f.window;
        QPointer<kx9::TTComXDlg> module = w.comm();
        QVERIFY(module);
        QTimer::singleShot(200, &w, [&w] { w.close(); });
        w.findAction(QStringLiteral("MnGetSystemInfo"))->trigger();   // returns after its wait
        QVERIFY(!w.isVisible());
        QVERIFY(module);   // the action still had it until the end of its wait
        QVERIFY(w.logPane()->toPlainText().contains(QStringLiteral("レスポンス待ち　タイムオーバー")));
        QVERIFY(w.logPane()->toPlainText().contains(QStringLiteral("実行時間: ")));
        QVERIFY(ReadFileBytes(f.ini).contains("[ComDebug]"));
        QTRY_VERIFY(module.isNull());
    }

    void handSetTagTestSwitchShowsItemAndSurvives()
    {
        AppFixture f;
        f.create(AppFixture::TcpServerOptions() + "fTagTest1=0x01\r\nfMenuDisp=1\r\n");
        QVERIFY(f.window->findAction(QStringLiteral("MnTagTest1"))->isVisible());
        f.window->close();
        const QStringList option = SectionLines(ReadFileBytes(f.ini), QStringLiteral("Option"));
        // Not saved by the tool: left exactly as written by hand.
        QCOMPARE(option.filter(QStringLiteral("fTagTest1")), QStringList{QStringLiteral("fTagTest1=0x01")});
        QCOMPARE(option.filter(QStringLiteral("fMenuDisp")), QStringList{QStringLiteral("fMenuDisp=1")});
    }

    void missingFileGivesDefaults()
    {
        AppFixture f;
        f.create(QByteArray());
        QVERIFY(!QFile::exists(f.ini));
        TKX9AppForm &w = *f.window;
        QCOMPARE(w.grid()->columnCount(), 5);
        QCOMPARE(w.grid()->cell(0, 0), QStringLiteral("No."));
        QCOMPARE(w.grid()->cell(0, 1), QStringLiteral("データ数"));
        QCOMPARE(w.grid()->cell(0, 2), QStringLiteral("受信データ"));
        QCOMPARE(w.grid()->cell(0, 3), QStringLiteral("ＵＩＤ"));
        QCOMPARE(w.grid()->cell(0, 4), QStringLiteral("入／出"));
        QCOMPARE(w.grid()->rowCount(), 20);
        const int widths[] = {41, 69, 288, 181};
        for (int c = 0; c < 4; ++c)
            QCOMPARE(w.grid()->columnWidth(c), widths[c]);
        QCOMPARE(w.findChild<QTabWidget *>(QStringLiteral("PageControl1"))->currentIndex(), 1);
        QCOMPARE(w.appOptions().UseUSB, 0);
        QCOMPARE(w.appOptions().ComPort, 1);
        QCOMPARE(w.size(), QSize(TKX9AppForm::kDesignWidth, TKX9AppForm::kDesignHeight));
        // The default serial start ends the tool for now, and the file is created on the way out.
        f.driver.expectMessage(QStringLiteral("シリアルポート")).pressOk();
        w.show();
        QTRY_VERIFY_WITH_TIMEOUT(w.startState() == TKX9AppForm::StartState::Ended, 15000);
        QVERIFY(!w.findAction(QStringLiteral("MnPing"))->isVisible());
        const QStringList option = SectionLines(ReadFileBytes(f.ini), QStringLiteral("Option"));
        QVERIFY(option.contains(QStringLiteral("ComPort=1")));
        QVERIFY(option.contains(QStringLiteral("fDufaultTab=1")));
        QVERIFY(option.filter(QStringLiteral("fTagTest1")).isEmpty());
    }

    void inOutOffGivesFourColumnsAndGridPage()
    {
        AppFixture f;
        QVERIFY(f.start(AppFixture::TcpServerOptions() + "fUseInOutFormat=0\r\nfDufaultTab=0\r\n"));
        TKX9AppForm &w = *f.window;
        QVERIFY(f.waitBoxSeen);
        QCOMPARE(w.grid()->columnCount(), 4);
        QCOMPARE(w.width(), TKX9AppForm::kDesignWidth);
        QCOMPARE(w.findChild<QTabWidget *>(QStringLiteral("PageControl1"))->currentIndex(), 0);
        // The connection panel fits beside the buttons at the designed width.
        QVERIFY(w.findChild<QWidget *>(QStringLiteral("Panel1"))->isVisible());
    }

    // Last: the translation stays installed for the rest of the process.
    void qtButtonsInJapanese()
    {
        QVERIFY(kx9::InstallQtJapanese());
        QMessageBox box(QMessageBox::Question, QStringLiteral("確認"), QStringLiteral("?"),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Yes)->text().remove(QLatin1Char('&')).left(2), QStringLiteral("はい"));
        QCOMPARE(box.button(QMessageBox::No)->text().remove(QLatin1Char('&')).left(3), QStringLiteral("いいえ"));
        QCOMPARE(box.button(QMessageBox::Cancel)->text().remove(QLatin1Char('&')).left(5), QStringLiteral("キャンセル"));
    }
};

QTEST_MAIN(AppStartupTest)
#include "app_startup_test.moc"
