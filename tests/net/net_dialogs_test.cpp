// The start-up network dialogs and the wait box on their real widgets.
#include "actions/action_host.h"
#include "dialog_driver.h"
#include "link/main_state.h"
#include "link/options.h"
#include "net/ip_address_setup_dialog.h"
#include "net/lan_connection_dialog.h"
#include "net/local_addresses.h"
#include "net/net_actions.h"
#include "net/wait_box.h"
#include "ui/int_edit.h"

#include <QAction>
#include <QPushButton>
#include <QTemporaryDir>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

using namespace kx9;
using kx9test::DialogDriver;

namespace {

LocalAddress entry(std::array<uint8_t, 4> a, std::array<uint8_t, 4> m) { return {a, m}; }

// The state of the IP setup dialog as the operator sees it.
struct IpView {
    int row = -1;
    QStringList boxes;
    QList<bool> enabled;
    bool serverPortEnabled = false;
    bool clientPortEnabled = false;
};

IpView readIpDialog(QWidget *d)
{
    IpView v;
    v.row = d->findChild<QTableWidget *>(QStringLiteral("StringGrid1"))->currentRow();
    for (int i = 1; i <= 4; ++i) {
        auto *e = d->findChild<IntEdit *>(QStringLiteral("Ed_CIP%1").arg(i));
        v.boxes << e->text();
        v.enabled << e->isEnabled();
    }
    v.serverPortEnabled = d->findChild<IntEdit *>(QStringLiteral("Ed_SPortNum"))->isEnabled();
    v.clientPortEnabled = d->findChild<IntEdit *>(QStringLiteral("Ed_CPortNum"))->isEnabled();
    return v;
}

// A main window before the communication module exists: only its menu items.
class BareHost : public ActionHost {
public:
    BareHost()
    {
        for (const char *name : {"MnSetTCPIP1", "MnPing", "MnTelnet1"}) {
            auto *a = new QAction(&window);
            a->setObjectName(QLatin1String(name));
            window.addAction(a);
        }
    }
    QWidget *hostWindow() override { return &window; }
    AppOptions &appOptions() override { return options; }
    MainState &mainState() override { return state; }
    TTComXDlg *comm() override { return nullptr; }
    void AppLog(const QString &) override {}
    void SuspendLogging() override {}
    void ResumeLogging() override {}
    QAction *findAction(const QString &name) override
    {
        for (QAction *a : window.actions())
            if (a->objectName() == name)
                return a;
        return nullptr;
    }
    void ApplyCommandModeGating(bool) override {}
    void ApplyMenuProfile() override {}

    QWidget window;
    AppOptions options;
    MainState state;
};

} // namespace

class NetDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { SetLocalAddressProvider(nullptr); }

    void lanDialogAtStartEditsTheOptions()
    {
        AppOptions o;
        o.fTCPServer = 0;
        o.TCPServAddr = QStringLiteral("127.0.0.9");
        o.TCPServPort = 10777;
        o.TCPPort = 3335;
        DialogDriver driver;
        bool listenPortEnabledAsClient = true, addressEnabledAsServer = true;
        QString caption;
        driver.expect(QStringLiteral("TSetTCPIPDlg"))
            .then([&](QWidget *d) {
                caption = d->findChild<QPushButton *>(QStringLiteral("OKBtn"))->text();
                listenPortEnabledAsClient = d->findChild<IntEdit *>(QStringLiteral("EdTCPPort"))->isEnabled();
            })
            .setText(QStringLiteral("EdTCPIP1_4"), QStringLiteral("2"))
            .setText(QStringLiteral("EdTCPServPort"), QStringLiteral("4001"))
            .setIndex(QStringLiteral("RadioGroup1"), 1)
            .then([&](QWidget *d) {
                addressEnabledAsServer = d->findChild<IntEdit *>(QStringLiteral("EdTCPIP1_1"))->isEnabled();
            })
            .setText(QStringLiteral("EdTCPPort"), QStringLiteral("4000"))
            .press(QStringLiteral("接続"));
        QVERIFY(LanConnectionDialogAtStart(nullptr, o));
        QVERIFY2(driver.ok(), qPrintable(driver.report()));
        QCOMPARE(caption, QStringLiteral("接続"));
        QVERIFY(!listenPortEnabledAsClient);
        QVERIFY(!addressEnabledAsServer);
        QCOMPARE(o.fTCPServer, 1);
        QCOMPARE(o.TCPPort, 4000);
        QCOMPARE(o.TCPServPort, 4001);
        QCOMPARE(o.TCPServAddr, QStringLiteral("127.0.0.2"));
    }

    void lanDialogCancelLeavesOptions()
    {
        AppOptions o;
        o.TCPServAddr = QStringLiteral("127.0.0.1");
        DialogDriver driver;
        driver.expect(QStringLiteral("TSetTCPIPDlg")).setText(QStringLiteral("EdTCPPort"), QStringLiteral("9")).pressCancel();
        QVERIFY(!LanConnectionDialogAtStart(nullptr, o));
        QCOMPARE(o.TCPPort, 3335);
    }

    void lanDialogSplitsTheAddress_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("joined");
        QTest::newRow("dotted") << QStringLiteral("127.0.0.1") << QStringLiteral("127.0.0.1");
        QTest::newRow("short") << QStringLiteral("10.1") << QStringLiteral("10.1.0.0");
        QTest::newRow("too large") << QStringLiteral("300.1.2.3") << QStringLiteral("255.1.2.3");
        QTest::newRow("empty") << QString() << QStringLiteral("0.0.0.0");
    }
    void lanDialogSplitsTheAddress()
    {
        QFETCH(QString, address);
        QFETCH(QString, joined);
        TSetTCPIPDlg dlg;
        dlg.setAddressText(address);
        QCOMPARE(dlg.addressText(), joined);
    }

    void lanDialogCheckModeFixesClientRole()
    {
        TSetTCPIPDlg dlg;
        dlg.showValues({1, 3335, 10777, QStringLiteral("127.0.0.1")});
        dlg.setCheckMode(true);
        QCOMPARE(dlg.takeValues().serverMode, 0);
        QVERIFY(!dlg.findChild<QWidget *>(QStringLiteral("RadioGroup1"))->isEnabled());
        QVERIFY(dlg.findChild<IntEdit *>(QStringLiteral("EdTCPServPort"))->isEnabled());
    }

    void ipDialogPreselection_data()
    {
        QTest::addColumn<QString>("configured");
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QList<bool>>("enabled");
        // Both entries match 198.18.1.x; the last match wins.
        QTest::newRow("last matching entry") << QStringLiteral("198.18.1.77") << 1
                                             << QStringList{"198", "18", "1", "77"} << QList<bool>{false, true, true, true};
        QTest::newRow("only the wide network") << QStringLiteral("198.19.7.9") << 1
                                               << QStringList{"198", "19", "7", "9"} << QList<bool>{false, true, true, true};
        QTest::newRow("no network: first entry") << QStringLiteral("203.0.113.5") << 0
                                                 << QStringList{"198", "18", "1", "20"}
                                                 << QList<bool>{false, false, false, true};
    }
    void ipDialogPreselection()
    {
        QFETCH(QString, configured);
        QFETCH(int, row);
        QFETCH(QStringList, boxes);
        QFETCH(QList<bool>, enabled);
        SetLocalAddressProvider([] {
            return QList<LocalAddress>{entry({198, 18, 1, 20}, {255, 255, 255, 0}), entry({198, 19, 0, 5}, {255, 0, 0, 0})};
        });
        TSetIPAddr1Dlg dlg;
        dlg.showValues(LocalAddressList(), 3335, 0, 10777, configured);
        const IpView v = readIpDialog(&dlg);
        QCOMPARE(v.row, row);
        QCOMPARE(dlg.selectedRow(), row);
        QCOMPARE(v.boxes, boxes);
        QCOMPARE(v.enabled, enabled);
        // Client mode: the client port is editable, the server port is not.
        QVERIFY(v.clientPortEnabled);
        QVERIFY(!v.serverPortEnabled);
        auto *grid = dlg.findChild<QTableWidget *>(QStringLiteral("StringGrid1"));
        QCOMPARE(grid->horizontalHeaderItem(0)->text(), QStringLiteral("IP Address"));
        QCOMPARE(grid->horizontalHeaderItem(1)->text(), QStringLiteral("NET MASK"));
        QCOMPARE(grid->item(1, 1)->text(), QStringLiteral("255.0.0.0"));
    }

    void ipDialogRowClickAndModes()
    {
        // Confirmed only in server mode with a loopback row: nothing in a test connects elsewhere.
        SetLocalAddressProvider([] {
            return QList<LocalAddress>{entry({198, 18, 1, 20}, {255, 255, 255, 0}), entry({127, 0, 0, 2}, {255, 0, 0, 0})};
        });
        int port = 3335, server = 0, remotePort = 10777;
        QString address = QStringLiteral("198.18.1.50");
        IpView sameRowClick, afterClick, asServer;
        DialogDriver driver;
        driver.expect(QStringLiteral("TSetIPAddr1Dlg"))
            .then([&](QWidget *d) {
                auto *grid = d->findChild<QTableWidget *>(QStringLiteral("StringGrid1"));
                // The preselected row shows the configured address; a click on it takes the row's own.
                QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualItemRect(grid->item(0, 0)).center());
                sameRowClick = readIpDialog(d);
                const QRect r = grid->visualItemRect(grid->item(1, 0));
                QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, r.center());
                afterClick = readIpDialog(d);
            })
            .setText(QStringLiteral("Ed_CIP4"), QStringLiteral("7"))
            .setIndex(QStringLiteral("RGIPMode"), 1)
            .then([&](QWidget *d) { asServer = readIpDialog(d); })
            .setText(QStringLiteral("Ed_SPortNum"), QStringLiteral("4100"))
            .press(QStringLiteral("接続"));
        QVERIFY(IpAddressSetupDialog(nullptr, port, server, remotePort, address));
        QVERIFY2(driver.ok(), qPrintable(driver.report()));
        QCOMPARE(sameRowClick.row, 0);
        QCOMPARE(sameRowClick.boxes, (QStringList{"198", "18", "1", "20"}));
        QCOMPARE(afterClick.row, 1);
        QCOMPARE(afterClick.boxes, (QStringList{"127", "0", "0", "2"}));
        QCOMPARE(afterClick.enabled, (QList<bool>{false, true, true, true}));
        QVERIFY(asServer.serverPortEnabled);
        QVERIFY(!asServer.clientPortEnabled);
        QCOMPARE(asServer.boxes, (QStringList{"127", "0", "0", "7"}));   // the mode leaves the address alone
        QCOMPARE(server, 1);
        QCOMPARE(port, 4100);
        QCOMPARE(remotePort, 10777);
        QCOMPARE(address, QStringLiteral("127.0.0.7"));
    }

    void ipDialogCancelChangesNothing()
    {
        SetLocalAddressProvider([] { return QList<LocalAddress>{entry({198, 18, 1, 20}, {255, 255, 255, 0})}; });
        int port = 3335, server = 0, remotePort = 10777;
        QString address = QStringLiteral("198.18.1.50");
        DialogDriver driver;
        driver.expect(QStringLiteral("TSetIPAddr1Dlg")).setText(QStringLiteral("Ed_CIP4"), QStringLiteral("9")).pressCancel();
        QVERIFY(!IpAddressSetupDialog(nullptr, port, server, remotePort, address));
        QCOMPARE(address, QStringLiteral("198.18.1.50"));
    }

    void ipDialogWithoutLocalAddresses()
    {
        TSetIPAddr1Dlg dlg;
        dlg.showValues({}, 3335, 1, 10777, QStringLiteral("198.18.0.9"));
        const IpView v = readIpDialog(&dlg);
        QCOMPARE(dlg.selectedRow(), -1);
        QCOMPARE(v.boxes, (QStringList{"198", "18", "0", "9"}));
        QCOMPARE(v.enabled, (QList<bool>{true, true, true, true}));
    }

    // Without a desktop network editor the button says where to look instead.
    void networkButtonWithoutAnEditor()
    {
        QTemporaryDir empty;
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", empty.path().toLocal8Bit());
        DialogDriver driver;
        driver.expectMessage(QStringLiteral("ネットワーク接続の設定画面が見つかりません")).pressOk();
        TSetIPAddr1Dlg dlg;
        dlg.findChild<QPushButton *>(QStringLiteral("BtNetwork"))->click();
        qputenv("PATH", path);
        QVERIFY2(driver.ok(), qPrintable(driver.report()));
    }

    // The menu items reach their dialogs; without a module the LAN items wait for one.
    void menuItems()
    {
        BareHost host;
        AttachNetActions(host);
        DialogDriver driver;
        driver.setUnexpectedTimeout(200);
        driver.expect(QStringLiteral("TPingDlg")).expectShown(QStringLiteral("EdTCPIP1_1"), QStringLiteral("192")).pressCancel();
        host.findAction(QStringLiteral("MnPing"))->trigger();
        host.findAction(QStringLiteral("MnTelnet1"))->trigger();
        host.findAction(QStringLiteral("MnSetTCPIP1"))->trigger();
        QTest::qWait(300);
        QVERIFY2(driver.ok(), qPrintable(driver.report()));
        QCOMPARE(driver.answered(), QStringList{QStringLiteral("Pingの実行")});
    }

    void systemListLeavesOutLoopbackHost()
    {
        const QList<LocalAddress> list = LocalAddressList();
        for (const LocalAddress &a : list)
            QVERIFY(a.addressText() != QLatin1String("127.0.0.1"));
    }

    void waitBox_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("condition comes true") << false;
        QTest::newRow("operator cancels") << true;
    }
    void waitBox()
    {
        QFETCH(bool, cancel);
        DialogDriver driver;
        bool done = false;
        QString title;
        if (cancel) {
            driver.expect(QStringLiteral("WaitBox")).then([&](QWidget *d) { title = d->windowTitle(); }).pressCancel();
        } else {
            driver.tolerate(QStringLiteral("WaitBox"));
            QTimer::singleShot(200, [&] { done = true; });
        }
        WaitBox box(nullptr, QStringLiteral("TCP/IP 接続中..."));
        QCOMPARE(box.waitFor([&] { return done; }), !cancel);
        QCOMPARE(box.cancelled(), cancel);
        QVERIFY2(driver.ok(), qPrintable(driver.report()));
        if (cancel)
            QCOMPARE(title, QStringLiteral("しばらくお待ちください"));
    }

    // A repeated Enter from the dialog before it must not press Cancel.
    void waitBoxIgnoresEnter()
    {
        DialogDriver driver;
        driver.tolerate(QStringLiteral("WaitBox"));
        bool done = false;
        WaitBox box(nullptr, QStringLiteral("TCP/IP 接続中..."));
        QTimer::singleShot(100, &box, [&] {
            QWidget *focus = box.focusWidget() ? box.focusWidget() : &box;
            QTest::keyClick(focus, Qt::Key_Return);
            QTest::keyClick(focus, Qt::Key_Enter);
        });
        QTimer::singleShot(400, &box, [&] { done = true; });
        QVERIFY(box.waitFor([&] { return done; }));
        QVERIFY(!box.cancelled());
    }

    void waitBoxNotShownWhenAlreadyDone()
    {
        DialogDriver driver;
        driver.setUnexpectedTimeout(50);
        WaitBox box;
        QVERIFY(box.waitFor([] { return true; }));
        QVERIFY(!box.isVisible());
        QTest::qWait(100);
        QVERIFY(driver.ok());
    }
};

QTEST_MAIN(NetDialogsTest)
#include "net_dialogs_test.moc"
