// The people-count dialogs end to end against kx9sim's gate: polling, the
// "オート" mode with the gate's pushed reports, reports nobody shows, and the
// count logs on disk.
#include "gate_e2e.h"
#include "read_only_folder.h"

#include <QFile>
#include <QLabel>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>

using gate_e2e::GateMonitor;

namespace {

const QByteArray kW20Header = QByteArray::fromHex(
    "93FA95742C8E9E8D8F2C906C909482502C83418389815B838082502C906C909482512C83418389815B83808251") + "\r\n";
const QByteArray kW30Header = QByteArray::fromHex(
    "93FA95742C8E9E8D8F2C906C90948250816993FC816A2C83418389815B83808250816993FC816A2C906C9094825081698F6F816A2C"
    "83418389815B8380825081698F6F816A2C906C90948251816993FC816A2C83418389815B83808251816993FC816A2C906C90948251"
    "81698F6F816A2C83418389815B8380825181698F6F816A2C906C90948252816993FC816A2C83418389815B83808252816993FC816A"
    "2C906C9094825281698F6F816A2C83418389815B8380825281698F6F816A") + "\r\n";
const QString kPollW20 = QStringLiteral("020147010703550D");
const QString kPollW30 = QStringLiteral("020147010B03590D");

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QString field(QWidget *dlg, const char *name)
{
    auto *l = dlg->findChild<QLabel *>(QLatin1String(name));
    return l ? l->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
}

// Waits (running the dialog's polls and reports) until every field shows its value.
bool waitFields(QWidget *dlg, const QList<std::pair<const char *, QString>> &want, int ms = 4000)
{
    return QTest::qWaitFor([&] {
        for (const auto &[name, value] : want)
            if (field(dlg, name) != value)
                return false;
        return true;
    }, ms);
}

void chooseMode(QWidget *dlg, int index)
{
    auto *group = dlg->findChild<QWidget *>(QStringLiteral("RadioGroup1"));
    QTest::mouseClick(group->findChildren<QRadioButton *>().at(index), Qt::LeftButton);
}

QString lastLine(const QByteArray &file)
{
    const QList<QByteArray> lines = file.split('\n');
    return lines.size() >= 2 ? QString::fromLatin1(lines[lines.size() - 2]) : QString();
}

// A record line: date, time, then the values.
bool isRecord(const QString &line, const QString &values)
{
    static const QRegularExpression rx(QStringLiteral("^\\d{4}/\\d\\d/\\d\\d,\\d\\d:\\d\\d:\\d\\d,(.*)\r$"));
    const auto m = rx.match(line);
    return m.hasMatch() && m.captured(1) == values;
}

} // namespace

class TestCountE2e : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void pollShowsTheCountsAndSaveAppendsThem();
    void saveBeforeAnyPollAppendsZeros();
    void autoStopsPollingWhilePushedReportsUpdate();
    void reportsNoDialogTakesGoToTheLog();
    void w30LogDeletedWhileOpenIsRecreatedOnSave();
    void logInReadOnlyFolder();

private:
    bool driverOk() const { return m_->driver.failures().size() == failuresBefore_ && m_->driver.pendingAnswers() == 0; }
    QString driverReport() const { return m_->driver.report() + QStringLiteral("\nlog:\n") + m_->log().join(u'\n'); }
    QStringList pollsSince(int from) const
    {
        QStringList out;
        for (const QByteArray &f : m_->receivedSince(from))
            out << QString::fromLatin1(f.toHex().toUpper());
        return out;
    }

    std::unique_ptr<GateMonitor> m_;
    std::unique_ptr<QTemporaryDir> dir_;
    qsizetype failuresBefore_ = 0;
};

void TestCountE2e::initTestCase()
{
    m_ = std::make_unique<GateMonitor>();
    QVERIFY2(m_->ok, qPrintable(m_->error));
}

void TestCountE2e::init()
{
    QVERIFY(m_->freshGate(false));
    dir_ = std::make_unique<QTemporaryDir>();
    m_->options().W20LogFile = dir_->filePath("W20LogFile.csv");
    m_->options().W30LogFile = dir_->filePath("W30LogFile.csv");
    m_->clearLog();
    failuresBefore_ = m_->driver.failures().size();
}

void TestCountE2e::cleanupTestCase() { m_.reset(); }

void TestCountE2e::pollShowsTheCountsAndSaveAppendsThem()
{
    // The gate's counters make the poll reply 05 00 00 00 0A 00 00 00 01 00 02 00.
    QCOMPARE(m_->sim.control("gate pass 1 5 1"), QString("OK"));
    QCOMPARE(m_->sim.control("gate pass 2 10 2"), QString("OK"));
    const QString path = m_->options().W20LogFile;
    const int before = m_->received();
    m_->driver.expect("TGateCountDlg")
        .then([&](QWidget *dlg) {
            // Opening the dialog made the log with exactly its header line.
            QCOMPARE(readAll(path), kW20Header);
            QVERIFY2(waitFields(dlg, {{"EdPeople1", "5"}, {"EdAlarm1", "1"}, {"EdPeople2", "10"}, {"EdAlarm2", "2"}}),
                     qPrintable(driverReport()));
        })
        .press("OKBtn");
    m_->driver.expect("TGateCountDlg").again().then([&](QWidget *) {
        const QByteArray file = readAll(path);
        QVERIFY(file.startsWith(kW20Header));
        QCOMPARE(file.count("\r\n"), 2);
        QVERIFY2(isRecord(lastLine(file), "5,1,10,2"), file.constData());
    }).press("CancelBtn");
    m_->item("MnDispCountDlg")->trigger();
    QVERIFY2(driverOk(), qPrintable(driverReport()));
    const QStringList polls = pollsSince(before);
    QVERIFY(!polls.isEmpty());
    QCOMPARE(polls.count(kPollW20), polls.size());
    QVERIFY(m_->log().contains("RX:02 01 30 0D 07 05 00 00 00 0A 00 00 00 01 00 02 00 03 5C 0D "));
    // Closed: no more polls.
    const int after = m_->received();
    QTest::qWait(1500);
    QCOMPARE(m_->received(), after);
}

void TestCountE2e::saveBeforeAnyPollAppendsZeros()
{
    QCOMPARE(m_->sim.control("gate pass 1 5 1"), QString("OK"));
    // Every poll fails, so nothing was ever read; polling goes on regardless.
    QCOMPARE(m_->sim.control("fault nack 44 100"), QString("OK"));
    const QString path = m_->options().W20LogFile;
    const int before = m_->received();
    m_->driver.expect("TGateCountDlg")
        .then([&](QWidget *) {
            QVERIFY(QTest::qWaitFor([&] { return m_->received() >= before + 2; }, 4000));
        })
        .press("OKBtn");
    m_->driver.expect("TGateCountDlg").again().then([&](QWidget *dlg) {
        QCOMPARE(field(dlg, "EdPeople1"), QString("0"));
        const QByteArray file = readAll(path);
        QCOMPARE(file.count("\r\n"), 2);
        QVERIFY2(isRecord(lastLine(file), "0,0,0,0"), file.constData());
    }).press("CancelBtn");
    m_->item("MnDispCountDlg")->trigger();
    QVERIFY2(driverOk(), qPrintable(driverReport()));
    QVERIFY(m_->log().contains("NACK 受信"));
}

void TestCountE2e::autoStopsPollingWhilePushedReportsUpdate()
{
    // Counting-mode word 2: report at every interruption.
    QVERIFY(m_->comm().GateWmcountmodeCmd(0x0033, 0x0001, 0x00FF));
    m_->driver.expect("TGateCountDlg")
        .then([&](QWidget *dlg) {
            QVERIFY(QTest::qWaitFor([&] { return m_->log().contains("GateRmcountvaluCmd: "); }, 3000));
            chooseMode(dlg, 1);    // "オート"
            QTest::qWait(300);     // a poll under way finishes
            const int quiet = m_->received();
            QTest::qWait(2500);
            QCOMPARE(pollsSince(quiet), QStringList());
            // The gate's own reports still show.
            QCOMPARE(m_->sim.control("gate pass 1 3 1"), QString("OK"));
            QVERIFY(waitFields(dlg, {{"EdPeople1", "3"}, {"EdAlarm1", "1"}}));
            QCOMPARE(m_->sim.control("gate pass 2 4"), QString("OK"));
            QVERIFY(waitFields(dlg, {{"EdPeople1", "3"}, {"EdPeople2", "4"}}));
            QCOMPARE(pollsSince(quiet), QStringList());
            // A report of 11 count bytes is too short: nothing changes, nothing is logged.
            m_->clearLog();
            QCOMPARE(m_->sim.control("report G 806300000063000000630063"), QString("OK"));
            QTest::qWait(500);
            QCOMPARE(field(dlg, "EdPeople1"), QString("3"));
            QVERIFY2(m_->log().size() == 1 && m_->log()[0].startsWith("RX:"), qPrintable(m_->log().join('\n')));
            // "マニュアル" polls again.
            const int manual = m_->received();
            chooseMode(dlg, 0);
            QVERIFY(QTest::qWaitFor([&] { return pollsSince(manual).contains(kPollW20); }, 3000));
        })
        .press("CancelBtn");
    m_->item("MnDispCountDlg")->trigger();
    QVERIFY2(driverOk(), qPrintable(driverReport()));
}

void TestCountE2e::reportsNoDialogTakesGoToTheLog()
{
    // No count dialog open: the bytes up to the first zero, as text.
    QCOMPARE(m_->sim.control("report G 80414243440000000000000000"), QString("OK"));
    QVERIFY2(QTest::qWaitFor([&] { return m_->log().contains("ABCD"); }, 3000), qPrintable(m_->log().join('\n')));
    // A W30 report while only the W20 dialog is open goes to the log as well.
    m_->clearLog();
    m_->driver.expect("TGateCountDlg")
        .then([&](QWidget *dlg) {
            QCOMPARE(m_->sim.control(QStringLiteral("report G 81") + QString::fromLatin1(QByteArray("W30 report").toHex()) +
                                     QString(52, u'0')),
                     QString("OK"));
            QVERIFY(QTest::qWaitFor([&] { return m_->log().contains("W30 report"); }, 3000));
            QCOMPARE(field(dlg, "EdPeople1"), QString("0"));
        })
        .press("CancelBtn");
    m_->item("MnDispCountDlg")->trigger();
    QVERIFY2(driverOk(), qPrintable(driverReport()));
}

void TestCountE2e::w30LogDeletedWhileOpenIsRecreatedOnSave()
{
    QVERIFY(m_->freshGate(true));
    QCOMPARE(m_->sim.control("gate pass 6 7 2"), QString("OK"));
    const QString path = m_->options().W30LogFile;
    const int before = m_->received();
    m_->driver.expect("TGateCount2Dlg")
        .then([&](QWidget *dlg) {
            QCOMPARE(readAll(path), kW30Header);
            QVERIFY(QFile::remove(path));
            QVERIFY(waitFields(dlg, {{"EdPeople6", "7"}, {"EdAlarm6", "2"}}));
        })
        .press("OKBtn");
    m_->driver.expect("TGateCount2Dlg").again().then([&](QWidget *) {
        const QByteArray file = readAll(path);
        QVERIFY(file.startsWith(kW30Header));
        QCOMPARE(file.count("\r\n"), 2);
        QVERIFY2(isRecord(lastLine(file), "0,0,0,0,0,0,0,0,0,0,7,2"), file.constData());
    }).press("CancelBtn");
    m_->item("MnW30GCount")->trigger();
    QVERIFY2(driverOk(), qPrintable(driverReport()));
    const QStringList polls = pollsSince(before);
    QVERIFY(!polls.isEmpty());
    QCOMPARE(polls.count(kPollW30), polls.size());
}

void TestCountE2e::logInReadOnlyFolder()
{
    kx9test::ReadOnlyFolder folder(dir_->filePath("ro"));
    QVERIFY2(folder.holds(), "the folder could not be made read-only");
    m_->options().W20LogFile = folder.filePath("W20LogFile.csv");
    QCOMPARE(m_->sim.control("gate pass 1 2"), QString("OK"));
    m_->driver.expectMessage("ログファイルが作成できません").pressStandard(QDialogButtonBox::Ok);
    m_->driver.expect("TGateCountDlg")
        .then([&](QWidget *dlg) { QVERIFY(waitFields(dlg, {{"EdPeople1", "2"}})); })
        .press("OKBtn");
    m_->driver.expectMessage("ログファイルが作成できません").pressStandard(QDialogButtonBox::Ok);
    m_->driver.expect("TGateCountDlg").again().then([&](QWidget *dlg) {
        // Still polling and showing.
        QVERIFY(dlg->isVisible());
        QCOMPARE(m_->sim.control("gate pass 1 3"), QString("OK"));
        QVERIFY(waitFields(dlg, {{"EdPeople1", "5"}}));
    }).press("CancelBtn");
    m_->item("MnDispCountDlg")->trigger();
    QVERIFY2(driverOk(), qPrintable(driverReport()));
    QVERIFY(!QFile::exists(m_->options().W20LogFile));
}

QTEST_MAIN(TestCountE2e)
#include "test_count_e2e.moc"
