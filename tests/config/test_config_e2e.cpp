// "EEPROMの設定..." end to end: the real communication module against kx9sim
// over loopback TCP, the real dialogs answered by the dialog driver. What the
// reader got is read from the simulator's frame log, what it holds from its
// control interface.
#include "config_fixture.h"
#include "dialog_driver.h"

#include "config/param_io.h"
#include "config/settings_file.h"
#include "link/text_codec.h"
#include "script/dialog_answerer.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>

using kx9test::ConfigHost;
using kx9test::DialogDriver;
using kx9test::WireFrame;
using kx9::ReaderParamBlock;

namespace {

// A reader record unlike the defaults in every byte the dialogs show: byte 4
// with a proper parity, byte 8 with bits 0-1 clear (the tests' SysMode 0)
// and one speed bit, byte 9 a listed mode code.
const QByteArray kArea1 = QByteArray::fromHex("0C2A3412D4A5A45798500F0140000A0000001403000003A50600050A"
                                              "0032B99AC35A281A1008A55B");
const QByteArray kArea2 = QByteArray::fromHex("7703214365870204A55A3412785634121000BEEF");

QString hexWords(const QByteArray &b) { return QString::fromLatin1(b.toHex().toUpper()); }

QByteArray simArea(SimProcess &sim, const char *which)
{
    const QString r = sim.control(QStringLiteral("eeprom get %1").arg(QLatin1String(which)));
    return r.startsWith(QLatin1String("OK ")) ? QByteArray::fromHex(r.mid(3).toLatin1()) : QByteArray();
}

QByteArray rx(uint8_t sub, uint8_t first, uint8_t count)
{
    return WireFrame('O', QByteArray() + char(sub) + char(first) + char(count));
}

QByteArray tx(uint8_t sub, uint8_t first, uint8_t count, const QByteArray &area)
{
    return WireFrame('N', QByteArray() + char(sub) + char(first) + char(count) + area.mid((first - 1) * 2, 2 * count));
}

ReaderParamBlock blockOf(const QByteArray &a1, const QByteArray &a2)
{
    ReaderParamBlock b;
    std::copy(a1.begin(), a1.begin() + 40, reinterpret_cast<char *>(b.area1.data()));
    std::copy(a2.begin(), a2.begin() + 20, reinterpret_cast<char *>(b.area2.data()));
    return b;
}

QString backgroundOf(QWidget *dlg, const QString &name)
{
    for (const kx9::ControlState &c : kx9::ReadControls(dlg))
        if (c.name == name)
            return c.background;
    return QStringLiteral("<none>");
}

} // namespace

class TestConfigE2e : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void fullDialogWritesWhatWasChanged();
    void halfWritesStopAtTheFirstRefusal();
    void failedReadShowsNoDialog_data();
    void failedReadShowsNoDialog();
    void reducedDialogReadsAndWritesItsWords();
    void checkAgainstASettingsFile();
    void checkWithATypedNameAndAFailedRead();
    void saveFromTheDialog();
    void exportToTheFixedFile();

private:
    void trigger() { host_->findAction(QStringLiteral("MnSetEEPROM"))->trigger(); }
    int received() const { return int(sim_->receivedFrames().size()); }
    QList<QByteArray> receivedSince(int from) const { return sim_->receivedFrames().mid(from); }

    std::unique_ptr<SimProcess> sim_;
    std::unique_ptr<ConfigHost> host_;
    std::unique_ptr<DialogDriver> driver_;
};

void TestConfigE2e::init()
{
    sim_ = std::make_unique<SimProcess>();
    QVERIFY2(sim_->start({QStringLiteral("--listen"), QStringLiteral("0")}), qPrintable(sim_->errorString()));
    QCOMPARE(sim_->control(QStringLiteral("eeprom set area1 1 ") + hexWords(kArea1)), QString("OK"));
    QCOMPARE(sim_->control(QStringLiteral("eeprom set area2 1 ") + hexWords(kArea2)), QString("OK"));
    host_ = std::make_unique<ConfigHost>(sim_->listenPort());
    QVERIFY(QTest::qWaitFor([this] { return host_->connected(); }, 5000));
    host_->options.fAllEEPROMSet = 1;
    host_->options.fVER121 = 1;
    host_->options.fP15 = 0;
    host_->options.SysMode = 0;
    driver_ = std::make_unique<DialogDriver>();
}

void TestConfigE2e::cleanup()
{
    if (driver_)
        QVERIFY2(driver_->ok(), qPrintable(driver_->report()));
    driver_.reset();
    host_.reset();
    sim_.reset();
}

void TestConfigE2e::fullDialogWritesWhatWasChanged()
{
    bool windowWasDisabled = false;
    driver_->expect(QStringLiteral("TAllSetRom1Dlg"))
        .expectShown(QStringLiteral("EdRetry"), QStringLiteral("3"))
        .expectShown(QStringLiteral("EdMem10"), QStringLiteral("EFBE"))
        .expectShown(QStringLiteral("EdFName"), QString())
        .then([&](QWidget *) { windowWasDisabled = !host_->window.isEnabled(); })
        .setText(QStringLiteral("EdRetry"), QStringLiteral("7"))
        .setText(QStringLiteral("EdRdStAddr"), QStringLiteral("9"))
        .press(QStringLiteral("BtOK"));
    // Shown again after the write, as entered.
    driver_->expect(QStringLiteral("TAllSetRom1Dlg")).expectShown(QStringLiteral("EdRetry"), QStringLiteral("7")).pressCancel();
    const int from = received();
    const int line = int(host_->all.size());
    trigger();
    QVERIFY(windowWasDisabled);
    QVERIFY(host_->window.isEnabled());

    QByteArray a1 = kArea1, a2 = kArea2;
    a1[22] = 7;
    a2[6] = 9;
    const QList<QByteArray> frames = receivedSince(from);
    QCOMPARE(frames.size(), 4);
    QCOMPARE(frames[0].toHex(' '), rx(0x70, 1, 20).toHex(' '));
    QCOMPARE(frames[1].toHex(' '), rx(0x72, 1, 10).toHex(' '));
    QCOMPARE(frames[2].toHex(' '), tx(0x70, 1, 20, a1).toHex(' '));
    QCOMPARE(frames[3].toHex(' '), tx(0x72, 1, 10, a2).toHex(' '));
    QCOMPARE(simArea(*sim_, "area1").toHex(' '), a1.toHex(' '));
    QCOMPARE(simArea(*sim_, "area2").toHex(' '), a2.toHex(' '));
    const QStringList log = host_->linesSince(line);
    for (const char *l : {"OK: RxEepromData", "OK: RxEepromData2", "OK: TxEepromData", "OK: TxEepromData2"})
        QCOMPARE(log.count(QString::fromUtf8(l)), 1);
    QVERIFY(log.indexOf("OK: TxEepromData") < log.indexOf("OK: TxEepromData2"));
    // The remembered area-2 byte 0 went back as read.
    QCOMPARE(int(kx9::FindConfigActions(*host_)->area2Byte0), 0x77);
}

void TestConfigE2e::halfWritesStopAtTheFirstRefusal()
{
    host_->options.fP15 = 1;
    QCOMPARE(sim_->control(QStringLiteral("eeprom nack 1")), QString("OK"));
    QStringList visiblePages;
    driver_->expect(QStringLiteral("TAllSetRom1Dlg"))
        .then([&](QWidget *dlg) {
            auto *tabs = dlg->findChild<QTabWidget *>(QStringLiteral("PageControl1"));
            for (int i = 0; i < tabs->count(); ++i)
                if (tabs->isTabVisible(i))
                    visiblePages << tabs->tabText(i);
        })
        .setText(QStringLiteral("EdTagId"), QStringLiteral("5"))
        .press(QStringLiteral("BtOK"));
    // The refused first half brings the dialog back; this time both halves go.
    driver_->expect(QStringLiteral("TAllSetRom1Dlg")).expectShown(QStringLiteral("EdTagId"), QStringLiteral("5")).press(QStringLiteral("BtOK"));
    driver_->expect(QStringLiteral("TAllSetRom1Dlg")).pressCancel();
    const int from = received();
    const int line = int(host_->all.size());
    trigger();

    QVERIFY(!visiblePages.contains(QStringLiteral("MemSw7")));
    QCOMPARE(visiblePages.size(), 10);
    QByteArray a1 = kArea1;
    a1[0] = 5;
    const QList<QByteArray> frames = receivedSince(from);
    QCOMPARE(frames.size(), 5);   // no area 2 at all
    QCOMPARE(frames[0].toHex(' '), rx(0x70, 1, 10).toHex(' '));
    QCOMPARE(frames[1].toHex(' '), rx(0x70, 11, 10).toHex(' '));
    QCOMPARE(frames[2].toHex(' '), tx(0x70, 1, 10, a1).toHex(' '));   // refused
    QCOMPARE(frames[3].toHex(' '), tx(0x70, 1, 10, a1).toHex(' '));
    QCOMPARE(frames[4].toHex(' '), tx(0x70, 11, 10, a1).toHex(' '));
    const QStringList log = host_->linesSince(line);
    QCOMPARE(log.count(QStringLiteral("ERROR: TxEepromData")), 1);
    QCOMPARE(log.count(QStringLiteral("OK: TxEepromData")), 1);
    QVERIFY(log.indexOf("ERROR: TxEepromData") < log.indexOf("OK: TxEepromData"));
    QVERIFY(!log.join('\n').contains("TxEepromData2"));
    QCOMPARE(simArea(*sim_, "area1").toHex(' '), a1.toHex(' '));
    QVERIFY(host_->window.isEnabled());
}

void TestConfigE2e::failedReadShowsNoDialog_data()
{
    QTest::addColumn<int>("fAllEEPROMSet");
    QTest::addColumn<int>("fP15");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("reads");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("full: area 1 refused") << 1 << 0 << "eeprom nack-read 1" << 1
                                          << QStringList{"ERROR: RxEepromData"};
    QTest::newRow("full: area 2 refused") << 1 << 0 << "eeprom nack-read 2" << 2
                                          << QStringList{"OK: RxEepromData", "ERROR: RxEepromData2"};
    QTest::newRow("full: silent reader") << 1 << 0 << "fault drop 1" << 1
                                         << QStringList{"レスポンス待ち　タイムオーバー", "ERROR: RxEepromData"};
    QTest::newRow("full, halves: second half refused") << 1 << 1 << "eeprom nack-read 2" << 2
                                                       << QStringList{"ERROR: RxEepromData"};
    QTest::newRow("reduced: third read refused") << 0 << 0 << "eeprom nack-read 3" << 3 << QStringList{"NACK 受信"};
}

void TestConfigE2e::failedReadShowsNoDialog()
{
    QFETCH(int, fAllEEPROMSet);
    QFETCH(int, fP15);
    QFETCH(QString, fault);
    QFETCH(int, reads);
    QFETCH(QStringList, lines);
    host_->options.fAllEEPROMSet = fAllEEPROMSet;
    host_->options.fP15 = fP15;
    QCOMPARE(sim_->control(fault), QString("OK"));
    const int from = received();
    const int line = int(host_->all.size());
    trigger();   // any dialog shown would be the driver's failure
    const QList<QByteArray> frames = receivedSince(from);
    QCOMPARE(frames.size(), reads);
    for (const QByteArray &f : frames)
        QCOMPARE(f.at(2), 'O');
    const QStringList log = host_->linesSince(line);
    int at = -1;
    for (const QString &l : lines) {
        const int next = int(log.indexOf(l, at + 1));
        QVERIFY2(next > at, qPrintable(l + QStringLiteral(" not in order in:\n") + log.join('\n')));
        at = next;
    }
    QVERIFY(!log.join('\n').contains("OK: TxEepromData"));
    QVERIFY(host_->window.isEnabled());
}

void TestConfigE2e::reducedDialogReadsAndWritesItsWords()
{
    host_->options.fAllEEPROMSet = 0;
    host_->module->setLogTx(1);
    // The first write (word 4) is refused: the other five still go.
    QCOMPARE(sim_->control(QStringLiteral("eeprom nack 1")), QString("OK"));
    driver_->expect(QStringLiteral("TSetRom1Dlg"))
        .expectShown(QStringLiteral("EdUserCode"), QString::number(0x1234))
        .expectShown(QStringLiteral("RGPORTSEL1"), QStringLiteral("1"))
        .setText(QStringLiteral("EdRetry"), QStringLiteral("9"))
        .setText(QStringLiteral("EdProdCode"), QStringLiteral("200"))
        .setIndex(QStringLiteral("RGPORTSEL1"), 0)
        .setIndex(QStringLiteral("RGMemSw9"), 0)
        .setIndex(QStringLiteral("RGMemSW67"), 1)
        .press(QStringLiteral("BtOK"));
    const int from = received();
    const int line = int(host_->all.size());
    trigger();

    QByteArray a = kArea1;
    a[1] = char(200);
    a[22] = 9;
    a[30] = char(uint8_t(a[30]) & ~0x01);   // scan mode (byte 23) and bits 3, 4, 5, 7 as read
    a[7] = char(uint8_t(a[7]) & ~0x02);
    a[39] = char(uint8_t(a[39]) | 0x80);
    const QList<QByteArray> frames = receivedSince(from);
    QCOMPARE(frames.size(), 12);
    const QList<QByteArray> want = {rx(0x70, 1, 2),       rx(0x70, 4, 1),       rx(0x70, 12, 3),
                                    rx(0x70, 16, 1),      rx(0x70, 17, 1),      rx(0x70, 20, 1),
                                    tx(0x70, 4, 1, a),    tx(0x70, 1, 2, a),    tx(0x70, 12, 3, a),
                                    tx(0x70, 16, 1, a),   tx(0x70, 17, 1, a),   tx(0x70, 20, 1, a)};
    for (int i = 0; i < want.size(); ++i)
        QCOMPARE(frames[i].toHex(' '), want[i].toHex(' '));
    // The reader holds everything but the refused word 4.
    QByteArray held = a;
    held[6] = kArea1[6];
    held[7] = kArea1[7];
    QCOMPARE(simArea(*sim_, "area1").toHex(' '), held.toHex(' '));
    // Only the first read is quiet: its transmit lines are missing from the log.
    QCOMPARE(host_->suspends, 1);
    QCOMPARE(host_->linesSince(line).count(QStringLiteral("EEPROM_RDWR_CMD RX: ")), 5);
    QCOMPARE(host_->linesSince(line).count(QStringLiteral("EEPROM_RDWR_CMD TX: ")), 6);
    QVERIFY(host_->window.isEnabled());
}

void TestConfigE2e::checkAgainstASettingsFile()
{
    host_->options.OkColor = 0x0000FF00;   // green
    host_->options.NgColor = 0x00FF0000;   // blue
    // The file differs from the reader only where nothing is compared:
    // byte 8 bits 0-1, the parity bit of byte 4 and area-2 byte 0.
    ReaderParamBlock file = blockOf(kArea1, kArea2);
    file.area1[8] |= 0x03;
    file.area1[4] |= 0x01;
    file.area2[0] = 0x00;
    const QString path = host_->dir.filePath(QStringLiteral("reader.KXI"));
    QString why;
    QVERIFY2(kx9::WriteSettingsFile(path, file, true, &why), qPrintable(why));

    int framesBeforeFirstCheck = -1, framesAfterFirstCheck = -1;
    QString retryAfterLoad, fileNameShown;
    driver_->expect(QStringLiteral("TAllSetRom1Dlg"))
        .then([&](QWidget *) { framesBeforeFirstCheck = received(); })
        .press(QStringLiteral("BtCheck1"));
    driver_->expectMessage(QStringLiteral("設定ファイル情報が読み込まれていません！！")).pressOk();
    driver_->expect(QStringLiteral("TAllSetRom1Dlg"))
        .again()
        .then([&](QWidget *) { framesAfterFirstCheck = received(); })
        .setText(QStringLiteral("EdRetry"), QStringLiteral("100"))
        .press(QStringLiteral("BtLoad"));
    driver_->expect(QStringLiteral("OpenDialog1")).chooseFile(path, QStringLiteral("設定ファイル"));
    driver_->expect(QStringLiteral("TAllSetRom1Dlg"))
        .again()
        .then([&](QWidget *dlg) {
            retryAfterLoad = dlg->findChild<QLineEdit *>(QStringLiteral("EdRetry"))->text();
            fileNameShown = dlg->findChild<QLineEdit *>(QStringLiteral("EdFName"))->text();
        })
        .press(QStringLiteral("BtCheck1"));
    driver_->expectMessage(QStringLiteral("OK: 設定値は一致しました")).pressOk();
    // Now the reader's retry count and antenna 1 differ from the file.
    QString ngRetry, okTagId, ngAntenna1, okAntenna2;
    driver_->expect(QStringLiteral("TAllSetRom1Dlg"))
        .again()
        .then([&](QWidget *) {
            sim_->control(QStringLiteral("eeprom set area1 12 09A5"));
            sim_->control(QStringLiteral("eeprom set area2 2 2443"));
        })
        .press(QStringLiteral("BtCheck1"));
    driver_->expectMessage(QStringLiteral("NG: 設定値は一致しませんでした")).pressOk();
    driver_->expect(QStringLiteral("TAllSetRom1Dlg"))
        .again()
        .expectShown(QStringLiteral("EdRetry"), QStringLiteral("9"))   // the reader's value, coloured
        .then([&](QWidget *dlg) {
            ngRetry = backgroundOf(dlg, QStringLiteral("EdRetry"));
            okTagId = backgroundOf(dlg, QStringLiteral("EdTagId"));
            ngAntenna1 = backgroundOf(dlg, QStringLiteral("EdANT1_SELNUM"));
            okAntenna2 = backgroundOf(dlg, QStringLiteral("EdANT2_SELNUM"));
        })
        .pressCancel();
    trigger();

    QCOMPARE(framesAfterFirstCheck, framesBeforeFirstCheck);   // nothing was read
    QCOMPARE(retryAfterLoad, QStringLiteral("3"));
    QCOMPARE(fileNameShown, path);
    QCOMPARE(ngRetry, QStringLiteral("#0000ff"));
    QCOMPARE(okTagId, QStringLiteral("#00ff00"));
    QCOMPARE(ngAntenna1, QStringLiteral("#ff0000"));   // red whatever NgColor says
    QCOMPARE(okAntenna2, QStringLiteral("#00ff00"));
    QVERIFY(host_->window.isEnabled());
}

void TestConfigE2e::checkWithATypedNameAndAFailedRead()
{
    host_->options.OkColor = 0x0000FF00;
    host_->options.NgColor = 0x00FF0000;
    // A name typed without loading: the reader is compared with an all-zero record.
    QString afiBg, memBg;
    driver_->expect(QStringLiteral("TAllSetRom1Dlg"))
        .setText(QStringLiteral("EdFName"), QStringLiteral("typed.KXI"))
        .press(QStringLiteral("BtCheck1"));
    driver_->expectMessage(QStringLiteral("NG: 設定値は一致しませんでした")).pressOk();
    driver_->expect(QStringLiteral("TAllSetRom1Dlg"))
        .again()
        .then([&](QWidget *dlg) {
            afiBg = backgroundOf(dlg, QStringLiteral("EdAFIValue"));
            memBg = backgroundOf(dlg, QStringLiteral("RGMemSW80"));
            sim_->control(QStringLiteral("eeprom nack-read 1"));
        })
        .setText(QStringLiteral("EdAFIValue"), QStringLiteral("00"))
        .press(QStringLiteral("BtCheck1"));
    // A failed read is "not equal"; the dialog keeps its values and colours.
    driver_->expectMessage(QStringLiteral("NG: 設定値は一致しませんでした")).pressOk();
    QString afiAfter, afiBgAfter;
    driver_->expect(QStringLiteral("TAllSetRom1Dlg"))
        .again()
        .then([&](QWidget *dlg) {
            afiAfter = dlg->findChild<QLineEdit *>(QStringLiteral("EdAFIValue"))->text();
            afiBgAfter = backgroundOf(dlg, QStringLiteral("EdAFIValue"));
        })
        .pressCancel();
    const int line = int(host_->all.size());
    trigger();
    QCOMPARE(afiBg, QStringLiteral("#0000ff"));   // 0xA5 against 0
    QCOMPARE(memBg, QStringLiteral("#00ff00"));   // memory switch 8 bit 0 is 0 in both
    QCOMPARE(afiAfter, QStringLiteral("00"));
    QCOMPARE(afiBgAfter, QStringLiteral("#0000ff"));
    QVERIFY(host_->linesSince(line).contains(QStringLiteral("ERROR: RxEepromData")));
}

void TestConfigE2e::saveFromTheDialog()
{
    const QString dir = host_->dir.path();
    const QString readOnly = QDir(dir).filePath(QStringLiteral("locked.KXI"));
    {
        QFile f(readOnly);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[KX9SET]\nSETDATA0=1\n");
    }
    QVERIFY(QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    driver_->expect(QStringLiteral("TAllSetRom1Dlg")).press(QStringLiteral("BtDefault"));
    driver_->expect(QStringLiteral("TAllSetRom1Dlg")).again().press(QStringLiteral("BtSave"));
    driver_->expect(QStringLiteral("SaveDialog1")).chooseFile(QDir(dir).filePath(QStringLiteral("abc.txt")), QStringLiteral("0"));
    driver_->expect(QStringLiteral("TAllSetRom1Dlg")).again().press(QStringLiteral("BtSave"));
    driver_->expect(QStringLiteral("SaveDialog1")).chooseFile(readOnly, QStringLiteral("設定ファイル"));
    driver_->expectMessage(QStringLiteral("設定ファイルを保存できませんでした")).pressOk();
    driver_->expect(QStringLiteral("TAllSetRom1Dlg")).again().expectShown(QStringLiteral("EdFName"), QString()).pressCancel();
    host_->options.SysMode = 0x02;
    const int from = received();
    trigger();

    QVERIFY(!QFile::exists(QDir(dir).filePath(QStringLiteral("abc.txt"))));
    const ReaderParamBlock saved = kx9::ReadSettingsFile(QDir(dir).filePath(QStringLiteral("abc.KXI")), true);
    kx9::ParamArea1 want = kx9::DefaultParamArea1();
    want[4] = 0xD4;
    want[8] = 0x1A;
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(saved.area1.data()), 40).toHex(' '),
             QByteArray(reinterpret_cast<const char *>(want.data()), 40).toHex(' '));
    QVERIFY(saved.area2 == kx9::DefaultParamArea2());
    QFile f(readOnly);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("[KX9SET]\nSETDATA0=1\n"));
    QCOMPARE(receivedSince(from).size(), 2);   // the two reads: a save sends nothing
}

void TestConfigE2e::exportToTheFixedFile()
{
    const QString dir = host_->dir.path();
    const QString path = kx9::ExportFilePath(dir);
    QCOMPARE(QFileInfo(path).fileName(), QString("KX9RWConf.KXI"));
    // Another section in the file survives the export.
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(kx9::EncodeCp932(QStringLiteral("[メモ]\r\n機番=３\r\n")));
    }
    QVERIFY(kx9::ExportReaderSettings(*host_, true, dir));
    ReaderParamBlock got = kx9::ReadSettingsFile(path, true);
    QVERIFY(got.area1 == blockOf(kArea1, kArea2).area1);
    QVERIFY(got.area2 == blockOf(kArea1, kArea2).area2);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray written = f.readAll();
    f.close();
    QVERIFY(written.startsWith(kx9::EncodeCp932(QStringLiteral("[メモ]\r\n機番=３\r\n[KX9SET]\r\nSETDATA0=12\r\n"))));

    // An older reader has no area 2: zeros are written for it.
    QVERIFY(kx9::ExportReaderSettings(*host_, false, dir));
    got = kx9::ReadSettingsFile(path, true);
    QVERIFY(got.area2 == kx9::ParamArea2{});
    const int readsOld = received();
    QVERIFY(!receivedSince(0).isEmpty());

    // A read that fails writes nothing and says why in the log.
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    QCOMPARE(sim_->control(QStringLiteral("fault nack 41")), QString("OK"));
    const int line = int(host_->all.size());
    QVERIFY(!kx9::ExportReaderSettings(*host_, true, dir));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), before);
    f.close();
    const QString log = host_->linesSince(line).join('\n');
    QVERIFY2(log.contains("ERROR: RxEepromData") && log.contains("KX9RWConf.KXI は書き込みませんでした"), qPrintable(log));
    QCOMPARE(received(), readsOld + 1);   // area 2 was not asked for after the failure
}

QTEST_MAIN(TestConfigE2e)
#include "test_config_e2e.moc"
