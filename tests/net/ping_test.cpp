// The ping sweep on a network of the test's own: two network namespaces
// joined by a veth pair, 198.18.0.254 on our side and one host at 198.18.0.2
// on the other, nobody at .1 and .3. The test's GUI thread enters our side for
// the sweep (a network namespace is per thread), so nothing reaches the
// machine's own networks; both namespaces go again at the end.
#include "dialog_driver.h"
#include "net/icmp_echo.h"
#include "net/ping_dialog.h"
#include "ui/int_edit.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace kx9;

namespace {

bool run(const QStringList &args, QString *output = nullptr)
{
    QProcess p;
    p.start(QStringLiteral("ip"), args);
    if (!p.waitForFinished(10000))
        return false;
    if (output)
        *output = QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

class TestNetwork {
public:
    ~TestNetwork() { remove(); }

    QString create()
    {
        const QString id = QString::number(::getpid());
        us_ = QStringLiteral("kx9ping%1us").arg(id);
        peer_ = QStringLiteral("kx9ping%1peer").arg(id);
        const QString vUs = QStringLiteral("kx9p%1a").arg(id), vPeer = QStringLiteral("kx9p%1b").arg(id);
        QString out;
        const QList<QStringList> steps = {
            {"netns", "add", us_},
            {"netns", "add", peer_},
            {"link", "add", vUs, "netns", us_, "type", "veth", "peer", "name", vPeer, "netns", peer_},
            {"-n", us_, "addr", "add", "198.18.0.254/24", "dev", vUs},
            {"-n", peer_, "addr", "add", "198.18.0.2/24", "dev", vPeer},
            {"-n", us_, "link", "set", "lo", "up"},
            {"-n", us_, "link", "set", vUs, "up"},
            {"-n", peer_, "link", "set", vPeer, "up"},
        };
        for (const QStringList &s : steps) {
            if (!run(s, &out))
                return QStringLiteral("ip %1: %2").arg(s.join(' '), out.trimmed());
            made_ = true;
        }
        return {};
    }

    // The calling thread (the GUI thread) into our side, and back.
    bool enter()
    {
        home_ = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        const int ns = ::open(QStringLiteral("/run/netns/%1").arg(us_).toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
        const bool ok = home_ >= 0 && ns >= 0 && ::setns(ns, CLONE_NEWNET) == 0;
        if (ns >= 0)
            ::close(ns);
        return ok;
    }
    void leave()
    {
        if (home_ >= 0) {
            ::setns(home_, CLONE_NEWNET);
            ::close(home_);
            home_ = -1;
        }
    }

    // Whether our side admits every group to ICMP datagram sockets.
    bool openDatagramSockets(bool open)
    {
        return run({"netns", "exec", us_, "sh", "-c",
                    QStringLiteral("echo '%1' > /proc/sys/net/ipv4/ping_group_range").arg(open ? "0 2147483647" : "1 0")});
    }

    // Echo requests the host on the other side has received.
    int peerEchoRequests()
    {
        QString out;
        if (!run({"netns", "exec", peer_, "cat", "/proc/net/snmp"}, &out))
            return -1;
        QStringList names, values;
        for (const QString &line : out.split('\n')) {
            if (!line.startsWith(QLatin1String("Icmp:")))
                continue;
            (names.isEmpty() ? names : values) = line.split(' ', Qt::SkipEmptyParts);
        }
        const int at = int(names.indexOf(QStringLiteral("InEchos")));
        return at < 0 ? -1 : values.value(at).toInt();
    }

    void remove()
    {
        leave();
        if (!made_)
            return;
        run({"netns", "del", us_});
        run({"netns", "del", peer_});
        made_ = false;
    }

private:
    QString us_, peer_;
    int home_ = -1;
    bool made_ = false;
};

// Takes CAP_NET_RAW out of the calling thread's effective set while it lives.
class WithoutRawSockets {
public:
    WithoutRawSockets()
    {
        if (::syscall(SYS_capget, &header_, saved_) != 0)
            return;
        __user_cap_data_struct less[2] = {saved_[0], saved_[1]};
        less[CAP_NET_RAW / 32].effective &= ~(1u << (CAP_NET_RAW % 32));
        ok_ = ::syscall(SYS_capset, &header_, less) == 0;
    }
    ~WithoutRawSockets()
    {
        if (ok_)
            ::syscall(SYS_capset, &header_, saved_);
    }
    bool ok() const { return ok_; }

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool ok_ = false;
};

struct Sweep {
    QStringList lines;
    QString captionDuring;
    QString captionAfter;
    QColor listDuring, listAfter;
};

void setUp(TPingDlg &dlg, const QList<int> &prefix, int first, int last, int waitMs)
{
    for (int i = 0; i < 3; ++i)
        dlg.findChild<IntEdit *>(QStringLiteral("EdTCPIP1_%1").arg(i + 1))->setValue(prefix[i]);
    dlg.findChild<IntEdit *>(QStringLiteral("EdSTART"))->setValue(first);
    dlg.findChild<IntEdit *>(QStringLiteral("EdEnd"))->setValue(last);
    dlg.findChild<IntEdit *>(QStringLiteral("EdTime"))->setValue(waitMs);
}

QStringList memoLines(TPingDlg &dlg)
{
    const QString text = dlg.findChild<QPlainTextEdit *>(QStringLiteral("Memo1"))->toPlainText();
    return text.isEmpty() ? QStringList() : text.split('\n');
}

} // namespace

class PingTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        if (::geteuid() != 0)
            QSKIP("the ping tests make network namespaces of their own, which needs root");
        net = std::make_unique<TestNetwork>();
        const QString why = net->create();
        if (!why.isEmpty())
            QSKIP(qPrintable(QStringLiteral("cannot make a network namespace: ") + why));
        QVERIFY(net->enter());
    }
    void cleanup() { net.reset(); }

    void presets()
    {
        TPingDlg dlg;
        auto box = [&](int i) { return dlg.findChild<IntEdit *>(QStringLiteral("EdTCPIP1_%1").arg(i))->value(); };
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Pingの実行"));
        QCOMPARE((QList<int>{box(1), box(2), box(3)}), (QList<int>{192, 168, 0}));
        dlg.findChild<QPushButton *>(QStringLiteral("BtDefault2"))->click();
        QCOMPARE((QList<int>{box(1), box(2), box(3)}), (QList<int>{192, 168, 10}));
        dlg.findChild<QPushButton *>(QStringLiteral("BtDefault1"))->click();
        QCOMPARE((QList<int>{box(1), box(2), box(3)}), (QList<int>{192, 168, 0}));
        QCOMPARE(dlg.findChild<IntEdit *>(QStringLiteral("EdTime"))->value(), 200);
        QVERIFY(!dlg.findChild<QWidget *>(QStringLiteral("CBDetail"))->isVisibleTo(&dlg));
    }

    void sweep_data()
    {
        QTest::addColumn<bool>("datagram");
        QTest::addColumn<QList<int>>("prefix");
        QTest::addColumn<QStringList>("lines");
        const QStringList segment = {"  No Find : 198.18.0.1", "  Find : 198.18.0.2", "  No Find : 198.18.0.3"};
        QTest::newRow("raw socket") << false << QList<int>{198, 18, 0} << segment;
        QTest::newRow("datagram socket") << true << QList<int>{198, 18, 0} << segment;
        // On lo a raw socket also sees our own requests: they are no answer.
        QTest::newRow("raw socket on loopback") << false << QList<int>{127, 0, 0}
                                                << QStringList{"  Find : 127.0.0.1", "  Find : 127.0.0.2", "  Find : 127.0.0.3"};
    }
    void sweep()
    {
        QFETCH(bool, datagram);
        QFETCH(QList<int>, prefix);
        QFETCH(QStringList, lines);
        QVERIFY(net->openDatagramSockets(datagram));
        QString why;
        const std::unique_ptr<IcmpEcho> probe = OpenSystemIcmpEcho(&why);
        QVERIFY2(probe, qPrintable(why));
        QCOMPARE(probe->kind(), datagram ? QStringLiteral("datagram") : QStringLiteral("raw"));

        TPingDlg dlg;
        dlg.show();
        setUp(dlg, prefix, 1, 3, 200);
        auto *memo = dlg.findChild<QPlainTextEdit *>(QStringLiteral("Memo1"));
        Sweep seen;
        connect(memo, &QPlainTextEdit::textChanged, this, [&] {
            seen.captionDuring = dlg.windowTitle();
            seen.listDuring = memo->palette().color(QPalette::Base);
        });
        dlg.findChild<QPushButton *>(QStringLiteral("BtSearch"))->click();
        QCOMPARE(memoLines(dlg), lines);
        QCOMPARE(seen.captionDuring, QStringLiteral("検索中..."));
        QCOMPARE(seen.listDuring, QColor(Qt::yellow));
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Pingの実行..."));
        QCOMPARE(memo->palette().color(QPalette::Base), dlg.palette().color(QPalette::Button));
        // The list is never cleared: a second sweep adds its lines.
        setUp(dlg, prefix, 2, 2, 200);
        dlg.findChild<QPushButton *>(QStringLiteral("BtSearch"))->click();
        QCOMPARE(memoLines(dlg), lines + QStringList{lines.at(1)});
    }

    // "キャンセル" during a sweep: the host under way is finished, then it stops.
    void cancelStopsAfterTheCurrentHost()
    {
        TPingDlg dlg;
        dlg.show();
        setUp(dlg, {198, 18, 0}, 1, 3, 200);
        auto *memo = dlg.findChild<QPlainTextEdit *>(QStringLiteral("Memo1"));
        auto *cancel = dlg.findChild<QPushButton *>(QStringLiteral("CancelBtn"));
        // Pressed once the first line is there: taken while the second host is asked.
        connect(memo, &QPlainTextEdit::textChanged, this, [&] {
            if (memoLines(dlg).size() == 1)
                QTimer::singleShot(0, cancel, [cancel] { QTest::mouseClick(cancel, Qt::LeftButton); });
        });
        dlg.findChild<QPushButton *>(QStringLiteral("BtSearch"))->click();
        QCOMPARE(memoLines(dlg), (QStringList{"  No Find : 198.18.0.1", "  Find : 198.18.0.2"}));
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Pingの実行..."));
    }

    void waitTimeZeroStillSends()
    {
        const int before = net->peerEchoRequests();
        QVERIFY(before >= 0);
        TPingDlg dlg;
        setUp(dlg, {198, 18, 0}, 2, 2, 0);
        dlg.Search();
        QCOMPARE(memoLines(dlg).size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(net->peerEchoRequests(), before + 1, 4000);
    }

    void firstHostAboveTheLast()
    {
        const int before = net->peerEchoRequests();
        TPingDlg dlg;
        setUp(dlg, {198, 18, 0}, 3, 1, 200);
        dlg.Search();
        QVERIFY(memoLines(dlg).isEmpty());
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Pingの実行..."));
        QTest::qWait(300);
        QCOMPARE(net->peerEchoRequests(), before);
    }

    // Neither socket allowed: the operator is told what would allow it, and nothing is listed.
    void notPermitted()
    {
        QVERIFY(net->openDatagramSockets(false));
        WithoutRawSockets noRaw;
        QVERIFY(noRaw.ok());
        QString why;
        QVERIFY(!OpenSystemIcmpEcho(&why));
        kx9test::DialogDriver driver;
        QString text;
        driver.expectMessage(QStringLiteral("ping_group_range"))
            .then([&](QWidget *box) { text = box->property("text").toString(); })
            .pressOk();
        TPingDlg dlg;
        setUp(dlg, {198, 18, 0}, 1, 3, 200);
        dlg.Search();
        QVERIFY2(driver.ok(), qPrintable(driver.report()));
        QVERIFY(text.contains(QStringLiteral("sysctl -w net.ipv4.ping_group_range")));
        QVERIFY(text.contains(QStringLiteral("setcap cap_net_raw+ep")));
        QVERIFY(memoLines(dlg).isEmpty());
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Pingの実行..."));
    }

private:
    std::unique_ptr<TestNetwork> net;
};

QTEST_MAIN(PingTest)
#include "ping_test.moc"
