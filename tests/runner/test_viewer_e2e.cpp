// The tag memory viewer "タグのデータ" against kx9sim tags of every maker: the
// grid against kx9sim's own memory and lock state, the maker name, the
// chunked plan's requests as literal hex, the reader's block size parameter
// set and put back, Cancel and closing in the middle of a read, the saved
// dump files, the read-twice comparison and the display direction option.
#include "runner_fixture.h"

#include "link/ini_file.h"
#include "runner/tag_data.h"
#include "runner/tag_data_dialog.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

using e2e::requestFrame;
using runner_test::Hex;

namespace {

// Calls `onShow` for every viewer that is shown.
class ViewerWatch : public QObject {
public:
    std::function<void(kx9::TDispTagDataDlg *)> onShow;
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Show)
            if (auto *v = qobject_cast<kx9::TDispTagDataDlg *>(o); v && onShow)
                onShow(v);
        return false;
    }
};

struct Shown {
    QString uid, dsfid, afi, blocks, size, maker, dataHeading;
    QList<QStringList> rows;   // every grid row: block, data, security
    bool finished = false;
};

Shown capture(kx9::TDispTagDataDlg *v)
{
    Shown s;
    s.uid = v->EdUID->text();
    s.dsfid = v->EdDSFID->text();
    s.afi = v->EdAFI->text();
    s.blocks = v->EdBlockNum->text();
    s.size = v->EdBlockSize->text();
    s.maker = v->EdManufacturer->text();
    s.dataHeading = v->StringGrid1->horizontalHeaderItem(1)->text();
    for (int r = 0; r < v->StringGrid1->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < 3; ++c)
            row << (v->StringGrid1->item(r, c) ? v->StringGrid1->item(r, c)->text() : QString());
        s.rows << row;
    }
    s.finished = true;
    return s;
}

QString shownHex(const QString &simHex, bool msbFirst)
{
    return kx9::BlockHexText(QByteArray::fromHex(simHex.toLatin1()), msbFirst);
}

} // namespace

class TestViewer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void eachMaker_data();
    void eachMaker();
    void noTagAnswers();
    void cancelKeepsWhatWasRead();
    void closingTheViewerEndsTheRead();
    void savedDumpEqualsTheTag();
    void readTwiceMarksTheDifference();
    void displayDirectionOption();
    void closingTheMainWindowEndsTheRead();

private:
    // Opens the viewer with `tag` alone in the field (none when empty) and
    // returns what it showed after its read; `whenShown` replaces that default
    // (capture and close) with the test's own handling of the viewer.
    Shown view(const QString &tag, QList<QByteArray> *sent = nullptr,
               std::function<void(kx9::TDispTagDataDlg *)> whenShown = {});
    std::unique_ptr<e2e::Monitor> m_;
    ViewerWatch watch_;
};

void TestViewer::initTestCase()
{
    m_ = runner_test::StartMonitor();
    QVERIFY2(m_->ok, qPrintable(m_->error));
    m_->driver.tolerate("TDispTagDataDlg");
    m_->driver.tolerate("TGuage1Dlg");
    qApp->installEventFilter(&watch_);
    // The reader's own block size parameter (3): the viewer sets the tag's and puts 3 back.
    QVERIFY(m_->sim.control("eeprom set area1 19 0304").startsWith("OK"));
}

void TestViewer::cleanupTestCase()
{
    qApp->removeEventFilter(&watch_);
    m_.reset();
}

Shown TestViewer::view(const QString &tag, QList<QByteArray> *sent, std::function<void(kx9::TDispTagDataDlg *)> whenShown)
{
    m_->sim.control("tag remove all");
    if (!tag.isEmpty() && !m_->sim.control("tag add " + tag).startsWith("OK"))
        qWarning("kx9sim refused %s", qPrintable(tag));
    Shown shown;
    watch_.onShow = [&shown, whenShown](kx9::TDispTagDataDlg *v) {
        if (whenShown) {
            whenShown(v);
            return;
        }
        QObject::connect(v, &kx9::TDispTagDataDlg::readFinished, v, [v, &shown] {
            shown = capture(v);
            v->accept();
        });
    };
    const int before = m_->received();
    m_->item("MnTagData1")->trigger();
    watch_.onShow = nullptr;
    if (sent)
        *sent = m_->receivedSince(before);
    return shown;
}

void TestViewer::eachMaker_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("maker");
    QTest::addColumn<int>("blocks");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("security");
    QTest::addColumn<bool>("param");        // block size parameter set and put back
    QTest::addColumn<QStringList>("reads");  // the plan's read requests (DATA in hex), when checked

    QTest::newRow("Philips 28x4, chunks")
        << "E004010012345678 dsfid=3A afi=07 bs=4 blocks=28 text=PHILIPS_MEMORY_DUMP lock=1,5"
        << "Philips" << 28 << 4 << 28 << true << true << QStringList{"a0007000", "2c001b00"};
    QTest::newRow("TI 0x80 64x4, chunks")
        << "E007800012345601 bs=4 blocks=64 text=TEXAS lock=63" << "Texas Instruments" << 64 << 4 << 64 << true << true
        << QStringList{"a0008000", "a0208000", "2c003f00"};
    QTest::newRow("TI 0xC4 12x4, blocks") << "E007C40012345602 bs=4 blocks=12 text=TAGIT_HF_I lock=3"
                                          << "Texas Instruments" << 12 << 4 << 12 << true << true << QStringList{};
    QTest::newRow("Infineon 15x4 and block 17") << "E005010012345603 bs=4 blocks=18 text=MYD_LIGHT_MEMORY"
                                                << "Infineon Technologies" << 15 << 4 << 18 << false << false
                                                << QStringList{};
    QTest::newRow("Infineon 128x8, chunks")
        << "E005100012345604 bs=8 blocks=128 text=MYD_VICINITY lock=127" << "Infineon Technologies" << 128 << 8 << 128
        << true << false
        << QStringList{"a0008000", "a0108000", "a0208000", "a0308000", "a0408000", "a0508000", "a0608000", "a0708000",
                       "2c007f00"};
    QTest::newRow("ST 16x4") << "E002000012345605 bs=4 blocks=16 text=STM lock=0" << "STMicroelectronics" << 16 << 4
                             << 16 << true << true << QStringList{};
    QTest::newRow("Fujitsu 32x8") << "E008010012345606 bs=8 blocks=32 text=FUJITSU_EIGHT_BYTE lock=2" << "Fujitsu" << 32
                                  << 8 << 32 << true << true << QStringList{};
    QTest::newRow("maker 0x16") << "E016000012345607 bs=4 blocks=8 text=OTHER" << "Unknown" << 8 << 4 << 8 << true
                                << true << QStringList{};
}

void TestViewer::eachMaker()
{
    QFETCH(QString, tag);
    QFETCH(QString, maker);
    QFETCH(int, blocks);
    QFETCH(int, size);
    QFETCH(int, rows);
    QFETCH(bool, security);
    QFETCH(bool, param);
    QFETCH(QStringList, reads);
    const QString id = tag.section(' ', 0, 0);
    QList<QByteArray> sent;
    const Shown s = view(tag, &sent);
    QVERIFY(s.finished);
    QCOMPARE(s.maker, maker);
    QCOMPARE(s.blocks, QString::number(blocks));
    QCOMPARE(s.size, QString::number(size));
    QByteArray uid = QByteArray::fromHex(id.toLatin1());
    QCOMPARE(s.uid, QString::fromLatin1(uid.toHex(' ').toUpper() + ' '));
    QCOMPARE(s.dataHeading, QString("data(MSB --- LSB)"));
    QCOMPARE(s.rows.size(), rows);

    // Every block shown as kx9sim holds it, with its lock state.
    for (int b = 0; b < rows; ++b) {
        const bool beyond = b >= blocks && !(b == 17 && rows == 18);
        if (beyond) {
            QCOMPARE(s.rows.at(b), (QStringList{"", "", ""}));
            continue;
        }
        const QString reply = m_->sim.control(QStringLiteral("block get %1 %2").arg(id).arg(b));
        QVERIFY2(reply.startsWith("OK "), qPrintable(reply));
        const QString hex = reply.mid(3).section(' ', 0, 0);
        QCOMPARE(s.rows.at(b).at(0), QString::number(b));
        QCOMPARE(s.rows.at(b).at(1), shownHex(hex, true));
        QCOMPARE(s.rows.at(b).at(2), security ? QString(reply.endsWith("locked") ? "01" : "00") : QString());
    }

    // The requests: inventory first, then the plan's reads as literal hex.
    QVERIFY(!sent.isEmpty());
    QCOMPARE(sent.first().toHex(' '), requestFrame('x', Hex("0140")).toHex(' '));
    QStringList tagReads;
    for (const QByteArray &f : sent)
        if (f.at(2) == 'x' && (uint8_t(f.at(4)) == 0xA0 || uint8_t(f.at(4)) == 0x2C))
            tagReads << QString::fromLatin1(f.mid(4, uint8_t(f.at(3))).toHex());
    if (!reads.isEmpty())
        QCOMPARE(tagReads, reads);
    // The reader's block size: read, set to the tag's, put back.
    const QByteArray getParam = requestFrame('O', Hex("AC"));
    const QByteArray setParam = requestFrame('N', Hex("AC") + char(size));
    if (param) {
        QVERIFY(sent.contains(getParam));
        QVERIFY(sent.contains(setParam));
        QCOMPARE(sent.last().mid(2, 4).toHex(' '), QByteArray("4e 02 ac 03"));
    } else {
        QVERIFY(!sent.contains(getParam));
    }
}

void TestViewer::noTagAnswers()
{
    m_->driver.expectMessage("タグのデータが読み込めません!!").pressStandard(QDialogButtonBox::Ok);
    QList<QByteArray> sent;
    const Shown s = view(QString(), &sent);
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
    QCOMPARE(s.maker, QString("Unknown"));
    QCOMPARE(s.uid, QString("00 00 00 00 00 00 00 00 "));
    QCOMPARE(s.rows.size(), 0);
    QCOMPARE(sent.size(), 1);   // the inventory alone
}

void TestViewer::cancelKeepsWhatWasRead()
{
    Shown shown;
    QList<QByteArray> sent;
    view("E008010012345606 bs=4 blocks=64 text=CANCEL_ME", &sent, [&shown](kx9::TDispTagDataDlg *v) {
        auto *poll = new QTimer(v);
        QObject::connect(poll, &QTimer::timeout, v, [v, poll] {
            if (v->dump().readCount() >= 5 && v->progress()) {
                poll->stop();
                v->progress()->Button1->click();
            }
        });
        poll->start(5);
        QObject::connect(v, &kx9::TDispTagDataDlg::readFinished, v, [v, &shown] {
            shown = capture(v);
            v->accept();
        });
    });
    QVERIFY(shown.finished);
    int read = 0;
    while (read < shown.rows.size() && !shown.rows.at(read).at(0).isEmpty())
        ++read;
    QVERIFY2(read >= 5 && read < 10, qPrintable(QString::number(read)));
    for (int b = read; b < shown.rows.size(); ++b)
        QCOMPARE(shown.rows.at(b), (QStringList{"", "", ""}));
    for (int b = 0; b < read; ++b) {
        const QString hex = m_->sim.control(QStringLiteral("block get E008010012345606 %1").arg(b)).mid(3).section(' ', 0, 0);
        QCOMPARE(shown.rows.at(b).at(1), shownHex(hex, true));
    }
    // The block size parameter was put back after the cancelled read.
    QCOMPARE(sent.last().mid(2, 4).toHex(' '), QByteArray("4e 02 ac 03"));
}

void TestViewer::closingTheViewerEndsTheRead()
{
    QList<QByteArray> sent;
    bool closed = false;
    view("E008010012345606 bs=4 blocks=64", &sent, [&closed](kx9::TDispTagDataDlg *v) {
        QTimer::singleShot(600, v, [v] { v->reject(); });
        QObject::connect(v, &QDialog::finished, v, [&closed] { closed = true; });
    });
    QVERIFY(closed);
    QVERIFY(!runner_test::OpenWidget<QDialog>("TGuage1Dlg"));
    int blockReads = 0;
    for (const QByteArray &f : sent)
        blockReads += (f.at(2) == 'x' && uint8_t(f.at(4)) == 0x20) ? 1 : 0;
    QVERIFY2(blockReads > 0 && blockReads < 20, qPrintable(QString::number(blockReads)));
    QCOMPARE(sent.last().mid(2, 4).toHex(' '), QByteArray("4e 02 ac 03"));
    // Nothing more goes out once the viewer has closed.
    const int after = m_->received();
    QTest::qWait(400);
    QCOMPARE(m_->received(), after);
}

void TestViewer::savedDumpEqualsTheTag()
{
    const QString csv = m_->dir.filePath("dump.csv");
    const QString txt = m_->dir.filePath("dump.txt");
    m_->driver.expect("SaveDialog1").chooseFile(csv, "CSVファイル (*.csv)");
    m_->driver.expect("SaveDialog1").chooseFile(txt, "ダンプファイル (*.txt)");
    const QString id = "E004010012345678";
    view(id + " bs=4 blocks=28 text=SAVED_TO_A_FILE lock=2", nullptr, [](kx9::TDispTagDataDlg *v) {
        QObject::connect(v, &kx9::TDispTagDataDlg::readFinished, v, [v] {
            QTimer::singleShot(0, v, [v] {
                v->BtSave->click();
                v->BtSave->click();
                v->accept();
            });
        });
    });
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
    QFile f(csv);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    QCOMPARE(lines.first(), QByteArray("Block,Data(Hex),Security\r"));
    QCOMPARE(lines.size(), 1 + 28 + 1);   // heading, 28 blocks, the empty rest after the last CR LF
    for (int b = 0; b < 28; ++b) {
        const QString reply = m_->sim.control(QStringLiteral("block get %1 %2").arg(id).arg(b));
        const QByteArray expected = QStringLiteral("%1,%2,%3\r")
                                        .arg(b)
                                        .arg(reply.mid(3).section(' ', 0, 0).toUpper())
                                        .arg(reply.endsWith("locked") ? "01" : "00")
                                        .toLatin1();
        QCOMPARE(lines.at(1 + b), expected);
    }
    QFile h(txt);
    QVERIFY(h.open(QIODevice::ReadOnly));
    const QByteArray dump = h.readAll();
    QVERIFY(dump.startsWith("UID: E0 04 01 00 12 34 56 78\r\n"));
    QVERIFY(dump.contains("0000: 53 41 56 45 44 5F 54 4F 5F 41 5F 46 49 4C 45 00  SAVED_TO_A_FILE.\r\n"));
}

void TestViewer::readTwiceMarksTheDifference()
{
    const QString id = "E004010012345678";
    SimProcess &sim = m_->sim;
    QList<int> diff;
    QString verdict;
    QColor marked, unmarked;
    view(id + " bs=4 blocks=28 text=COMPARE_ME", nullptr, [&](kx9::TDispTagDataDlg *v) {
        auto reads = std::make_shared<int>(0);
        QObject::connect(v, &kx9::TDispTagDataDlg::readFinished, v, [&, v, reads] {
            if (++*reads == 1) {
                // The tag changes between the two reads.
                sim.control(QStringLiteral("block set %1 2 AABBCCDD").arg(id));
                QTimer::singleShot(0, v, [v] { v->BtCompare->click(); });
                return;
            }
            QTimer::singleShot(0, v, [&, v] {
                diff = v->differences();
                verdict = v->LbCompare->text();
                marked = v->StringGrid1->item(2, 1)->background().color();
                unmarked = v->StringGrid1->item(3, 1)->background().color();
                v->accept();
            });
        });
    });
    QCOMPARE(diff, QList<int>{2});
    QCOMPARE(verdict, QString("比較: 1 ブロックが一致しません（ブロック 2）"));
    QVERIFY(marked != unmarked);
}

void TestViewer::displayDirectionOption()
{
    kx9::IniFile ini;
    ini.load(m_->iniPath);
    ini.writeInteger("DispTagData", "dispdir", 0);
    QVERIFY(ini.save(m_->iniPath));
    const Shown s = view("E004010012345678 bs=4 blocks=4 data=01020304");
    QCOMPARE(s.dataHeading, QString("data(LSB --- MSB)"));
    QCOMPARE(s.rows.at(0).at(1), QString("01 02 03 04 "));
    // Written back (unchanged) when the viewer closed.
    kx9::IniFile after;
    after.load(m_->iniPath);
    QCOMPARE(after.readInteger("DispTagData", "dispdir", -1), 0);
    ini.writeInteger("DispTagData", "dispdir", 1);
    QVERIFY(ini.save(m_->iniPath));
    QCOMPARE(view("E004010012345678 bs=4 blocks=4 data=01020304").rows.at(0).at(1), QString("04 03 02 01 "));
}

void TestViewer::closingTheMainWindowEndsTheRead()
{
    auto m = runner_test::StartMonitor();
    QVERIFY2(m->ok, qPrintable(m->error));
    m->driver.tolerate("TDispTagDataDlg");
    m->driver.tolerate("TGuage1Dlg");
    QVERIFY(m->sim.control("tag add E008010012345606 bs=4 blocks=64").startsWith("OK"));
    bool closed = false;
    kx9::TKX9AppForm *window = m->window.get();
    watch_.onShow = [&closed, window](kx9::TDispTagDataDlg *v) {
        QTimer::singleShot(600, window, [window] { window->close(); });
        QObject::connect(v, &QDialog::finished, v, [&closed] { closed = true; });
    };
    const int before = m->received();
    m->item("MnTagData1")->trigger();
    watch_.onShow = nullptr;
    QVERIFY(closed);
    QVERIFY(!runner_test::OpenWidget<QDialog>("TGuage1Dlg"));
    const int sent = m->received() - before;
    QTest::qWait(500);
    QCOMPARE(m->received() - before, sent);
    QVERIFY(sent < 20);
}

QTEST_MAIN(TestViewer)
#include "test_viewer_e2e.moc"
