// Every fault kx9sim can put on a reply, against a ReadSingleBlock and an
// Inventory2 from the menu, on one link per run (tcp-client, tcp-server or
// serial as the first argument): the fault gives its log line, the command
// after it is answered normally, and the grid and tag list hold no row the
// reader did not report.
#include "robust_fixture.h"

#include <QApplication>
#include <QElapsedTimer>

namespace {

// The one tag in the field: UID E0 04 01 00 12 34 56 78 (shown last byte first).
const char *kTagLine = "tag add E004010012345678 dsfid=3A afi=07 ic=01 bs=4 blocks=28";
const QString kUidText = QStringLiteral("E0 04 01 00 12 34 56 78 ");
const QString kTimeout = QStringLiteral("レスポンス待ち　タイムオーバー");

robust::Link g_link = robust::Link::TcpClient;

struct Command {
    QString item;
    QString block;     // answer of the block-number dialog (empty: none)
    QString answered;  // the line a normal reply gives
    int frames;        // frames of one reply (Inventory2: the ACK, then the UID report)
};

Command readSingleBlock() { return {QStringLiteral("MnReadSingleBlock"), QStringLiteral("5"), QStringLiteral("ISO15693_ReadSingleBlock受信"), 1}; }
Command inventory2() { return {QStringLiteral("Inventory21"), QString(), QStringLiteral("受信UID数: 1"), 2}; }

} // namespace

Q_DECLARE_METATYPE(Command)

class TestFaultTable : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void faults_data();
    void faults();

private:
    QString logText() const { return m_->log().join(QLatin1Char('\n')); }
    // Waits until the log has not grown for 600 ms (at most `ms`): whatever
    // the simulator still had queued or held back has arrived.
    void settle(int ms = 9000);
    void checkNoInventedRows();
    std::unique_ptr<robust::Monitor> m_;
};

void TestFaultTable::initTestCase()
{
    m_ = std::make_unique<robust::Monitor>(g_link);
    QVERIFY2(m_->ok, qPrintable(m_->error));
    QCOMPARE(m_->sim.control(QString::fromLatin1(kTagLine)).left(2), QString("OK"));
    // Command mode, so the tag commands are on the menu.
    m_->item(QStringLiteral("TBtSetCmdMode"))->trigger();
    QTest::qWait(300);
}

void TestFaultTable::cleanupTestCase() { m_.reset(); }

void TestFaultTable::settle(int ms)
{
    QElapsedTimer total;
    total.start();
    int lines = int(m_->log().size());
    QElapsedTimer quiet;
    quiet.start();
    while (quiet.elapsed() < 600 && total.elapsed() < ms) {
        QTest::qWait(50);
        const int now = int(m_->log().size());
        if (now != lines) {
            lines = now;
            quiet.restart();
        }
    }
}

void TestFaultTable::checkNoInventedRows()
{
    // At most the one tag in the field, under its own UID.
    QVERIFY2(m_->tags().count() <= 1, qPrintable(QString::number(m_->tags().count())));
    for (int i = 0; i < m_->tags().count(); ++i)
        QCOMPARE(m_->tags().entry(i).uidText.trimmed(), kUidText.trimmed());
    QVERIFY(m_->filledGridRows() <= 1);
}

void TestFaultTable::faults_data()
{
    QTest::addColumn<Command>("command");
    QTest::addColumn<QString>("fault");      // kx9sim control line ("" = none)
    QTest::addColumn<QString>("logLine");    // the line the fault gives
    QTest::addColumn<bool>("answered");      // the faulty reply is still understood
    QTest::addColumn<QString>("late");       // a reply sent once the command has ended

    // A second reply after the wait: an ACK of the same kind.
    const QString lateAck = QString::fromLatin1(kx9test::WireFrame('0', QByteArray::fromHex("2000AABBCCDD")).toHex());
    // The NACK decoder's text for ISO error 0x12.
    const QString locked = QStringLiteral("The specified block is locked and its content cannot be changed.");
    for (const Command &c : {readSingleBlock(), inventory2()}) {
        const QByteArray n = c.item.toLatin1();
        const QString k = QStringLiteral(" %1").arg(c.frames);   // every frame of the reply
        QTest::newRow(n + " drop") << c << "fault drop" + k << kTimeout << false << "";
        QTest::newRow(n + " delay past the wait") << c << "fault delay 2600" + k << kTimeout << false << "";
        QTest::newRow(n + " 1-byte chunks") << c << "fault split 1 40" + k << c.answered << true << "";
        QTest::newRow(n + " bad SUM") << c << "fault sum" + k << "SUM EEROR" << false << "";
        // The CR's place is only judged when the next byte comes: here the
        // next reply's STX, which must still start that reply.
        QTest::newRow(n + " no CR") << c << "fault nocr" + k << kTimeout << false << "";
        QTest::newRow(n + " garbage before STX") << c << "fault garbage FF0D0341" + k << c.answered << true << "";
        QTest::newRow(n + " NACK") << c << "fault nack 05,12" + k << locked << false << "";
        const QString dropped = g_link == robust::Link::TcpClient   ? QStringLiteral("ClientSocket1Disconnect")
                                : g_link == robust::Link::TcpServer ? QStringLiteral("ServerSocket1ClientDisconnect")
                                                                    : kTimeout;   // a pty cannot hang up: the frames are lost
        QTest::newRow(n + " disconnect") << c << "fault disconnect" + (g_link == robust::Link::Serial ? k : QString()) << dropped << false << "";
        QTest::newRow(n + " second reply after the wait") << c << "" << c.answered << true << lateAck;
    }
}

void TestFaultTable::faults()
{
    QFETCH(Command, command);
    QFETCH(QString, fault);
    QFETCH(QString, logLine);
    QFETCH(bool, answered);
    QFETCH(QString, late);

    QVERIFY(m_->waitConnected());
    m_->tags().ClearTagList();
    m_->clearLog();
    if (!fault.isEmpty())
        QCOMPARE(m_->sim.control(fault).left(2), QString("OK"));
    QVERIFY2(m_->runAndWait(command.item, command.block), qPrintable(logText()));
    // A reply held back past the wait arrives afterwards and is dropped or decoded
    // without effect on the next command.
    if (fault.startsWith(QLatin1String("fault delay")))
        (void)QTest::qWaitFor([&] { return m_->log().contains(command.answered); }, 4000 * command.frames);
    settle();
    if (!late.isEmpty()) {
        QCOMPARE(m_->sim.control(QStringLiteral("send ") + late).left(2), QString("OK"));
        QTest::qWait(400);
    }
    const QString all = logText();
    if (qEnvironmentVariableIsSet("KX9_ROBUST_VERBOSE"))
        qInfo("%s", qPrintable(all));
    QVERIFY2(m_->log().contains(logLine), qPrintable(all));
    // What the command itself reported, up to its time line (a reply held
    // back may still be decoded after it).
    const QStringList lines = m_->log();
    qsizetype end = 0;
    while (end < lines.size() && !lines[end].startsWith(QStringLiteral("実行時間: ")))
        ++end;
    const QStringList during = lines.mid(0, end);
    QVERIFY2(during.contains(command.answered) == answered, qPrintable(all));
    checkNoInventedRows();
    QCOMPARE(m_->sim.control(QStringLiteral("fault clear")).left(2), QString("OK"));
    settle();

    // The next command is answered as if nothing had happened. A client whose
    // connection was dropped is reconnected the way the LAN connection
    // dialog's OK does it; a server gets kx9sim's new connection by itself.
    if (g_link == robust::Link::TcpClient && !m_->window->comm()->Connected())
        m_->window->comm()->LinkReopenOnPort(0);
    QVERIFY2(m_->waitConnected(), qPrintable(logText()));
    m_->clearLog();
    QVERIFY2(m_->runAndWait(command.item, command.block), qPrintable(logText()));
    const QStringList after = m_->log();
    QVERIFY2(after.contains(command.answered), qPrintable(after.join('\n')));
    QVERIFY2(!after.contains(kTimeout) && !after.contains(QStringLiteral("SUM EEROR")), qPrintable(after.join('\n')));
    checkNoInventedRows();
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
}

int main(int argc, char **argv)
{
    g_link = robust::LinkFromArgs(argc, argv);
    QApplication app(argc, argv);
    TestFaultTable t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_fault_table.moc"
