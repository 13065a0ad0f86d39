// The window as a TCP client of the simulated reader: start-up through the
// LAN dialog, reports into the grid, a command answered over the link.
#include "app_fixture.h"

#include "app/log_pane.h"
#include "app/tag_grid.h"
#include "sim_process.h"

#include <QLabel>
#include <QStackedWidget>

using namespace kx9test;
using kx9::TKX9AppForm;

class AppSimE2eTest : public QObject {
    Q_OBJECT
private slots:
    void clientStartUpAgainstSimulator()
    {
        SimProcess sim;
        QVERIFY2(sim.start({QStringLiteral("--listen"), QStringLiteral("0"), QStringLiteral("--demo")}),
                 qPrintable(sim.errorString()));
        AppFixture f;
        // The configured address is a loopback one; the operator picks client mode and the port.
        f.create("[Option]\r\nUseUSB=2\r\nfTCPServer=1\r\nTCPServAddr=127.0.0.1\r\nfUseGrobalIP=1\r\n");
        f.driver.expect(QStringLiteral("TSetTCPIPDlg"))
            .setIndex(QStringLiteral("RadioGroup1"), 0)
            .setText(QStringLiteral("EdTCPServPort"), QString::number(sim.listenPort()))
            .press(QStringLiteral("接続"));
        f.window->show();
        QTRY_VERIFY_WITH_TIMEOUT(f.window->startState() != TKX9AppForm::StartState::NotStarted
                                     && f.window->startState() != TKX9AppForm::StartState::Starting,
                                 15000);
        QVERIFY2(f.driver.ok(), qPrintable(f.driver.report()));
        TKX9AppForm &w = *f.window;
        QCOMPARE(w.startState(), TKX9AppForm::StartState::Running);
        QCOMPARE(w.appOptions().fTCPServer, 0);
        QCOMPARE(w.appOptions().TCPServPort, int(sim.listenPort()));
        auto *notebook = w.findChild<QStackedWidget *>(QStringLiteral("Notebook1"));
        QCOMPARE(notebook->currentWidget()->objectName(), QStringLiteral("TCP_IP"));
        auto *address = w.findChild<QLabel *>(QStringLiteral("ST_TCPAddress"));
        QWidget *panel = w.findChild<QWidget *>(QStringLiteral("Panel1"));
        QVERIFY(panel->isVisible());   // beside the buttons, not pushed into the toolbar's overflow
        QVERIFY(address->isVisible());
        QVERIFY(address->text().contains(QStringLiteral("127.0.0.1")));
        QVERIFY(w.findChild<QLabel *>(QStringLiteral("ST_TCPPORT"))->text().contains(QString::number(sim.listenPort())));

        // A text report from the reader reaches the grid through Timer1.
        QCOMPARE(sim.control(QStringLiteral("report D 54414731")).left(2), QStringLiteral("OK"));
        QTRY_COMPARE_WITH_TIMEOUT(w.grid()->cell(1, 2), QStringLiteral("TAG1"), 5000);
        QCOMPARE(w.grid()->cell(1, 1), QStringLiteral("1"));

        // A command and its ACK over the same link, logged in the log page.
        QVERIFY(w.comm()->SendCommand(QStringLiteral("ＲＯＭのバージョン情報"), 'O', QByteArray("\x90\x00", 2)));
        QVERIFY(w.comm()->WaitAck());
        const QStringList log = w.logPane()->lines();
        QVERIFY(!log.filter(QStringLiteral("RX:")).isEmpty());
        QVERIFY(!log.filter(QStringLiteral("ＲＯＭのバージョン情報")).isEmpty());

        w.close();
        const QByteArray file = ReadFileBytes(f.ini);
        QVERIFY(SectionLines(file, QStringLiteral("Option")).contains(QStringLiteral("fTCPServer=0")));
        QVERIFY(!SectionLines(file, QStringLiteral("ComDebug")).isEmpty());
    }
};

QTEST_MAIN(AppSimE2eTest)
#include "app_sim_e2e_test.moc"
