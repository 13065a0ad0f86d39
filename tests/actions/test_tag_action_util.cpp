// The byte rules of the tag actions (raw CommCommand requests with their CRC,
// vendor inventory flags, data-write size, TI Light AFI block, byte cut of
// texts) and the password dialog's rows and byte order. Expected bytes are
// written out here; the CRCs were computed apart from the program.
#include "actions/tag_action_util.h"
#include "actions/write_pwd_dialog.h"
#include "commands/ttcomxdlg.h"
#include "link/options.h"
#include "ui/int_edit.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace kx9;

class TestTagActionUtil : public QObject {
    Q_OBJECT
private slots:
    void crcCheckValue();
    void commRequests_data();
    void commRequests();
    void vendorInventoryFlags_data();
    void vendorInventoryFlags();
    void dataWriteCount_data();
    void dataWriteCount();
    void lightAfiBlock();
    void cutTextToBytes_data();
    void cutTextToBytes();
    void writePwdDialog();
};

void TestTagActionUtil::crcCheckValue()
{
    // The CRC of ISO/IEC 13239 over the ASCII text 123456789.
    QCOMPARE(IsoCrc16(QByteArray("123456789")), uint16_t(0x906E));
    // Appended low byte first.
    QByteArray r("123456789");
    AppendIsoCrc16(r);
    QCOMPARE(r.right(2), QByteArray::fromHex("6E90"));
}

void TestTagActionUtil::commRequests_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("Read block 5") << CommReadRequest(5) << QByteArray::fromHex("000107" "032005" "365D");
    QTest::newRow("Read block 0") << CommReadRequest(0) << QByteArray::fromHex("000107" "032000" "9B0A");
    QTest::newRow("Write option flag") << CommWriteRequest(6, true, "WXYZ")
                                       << QByteArray::fromHex("000203" "432106" "5758595A" "ED67");
    // Fewer than four bytes (a block size below 4): zeros make up the rest.
    QTest::newRow("Write short block") << CommWriteRequest(6, false, "AB")
                                       << QByteArray::fromHex("000203" "032106" "41420000" "0F27");
    QTest::newRow("Write extra bytes cut") << CommWriteRequest(6, false, QByteArray("AB\0\0EFGH", 8))
                                           << QByteArray::fromHex("000203" "032106" "41420000" "0F27");
    QTest::newRow("Transmit") << CommTransmitRequest(QByteArray::fromHex("02436587000104E0"))
                              << QByteArray::fromHex("000000" "2302" "02436587000104E0" "54B7");
}

void TestTagActionUtil::commRequests()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, expected);
    QCOMPARE(request.toHex(' '), expected.toHex(' '));
}

void TestTagActionUtil::vendorInventoryFlags_data()
{
    QTest::addColumn<int>("readOption");
    QTest::addColumn<int>("readUid");
    QTest::addColumn<bool>("oneSlot");
    QTest::addColumn<int>("afi");
    QTest::addColumn<int>("useSet");
    QTest::addColumn<int>("flags");
    QTest::newRow("16 slots AFI 0") << 0 << 0 << false << 0 << 0 << 0x00;
    QTest::newRow("1 slot AFI 0") << 0 << 0 << true << 0 << 0 << 0x40;
    QTest::newRow("AFI 7 sets the AFI flag") << 0 << 0 << false << 7 << 0 << 0x20;
    QTest::newRow("option flag bit 0 only") << 3 << 0 << true << 7 << 0 << 0x70;
    // Built from nothing: neither the UID mode nor the override reaches these flags.
    QTest::newRow("no UID, no override") << 0 << 1 << false << 0 << 1 << 0x00;
}

void TestTagActionUtil::vendorInventoryFlags()
{
    QFETCH(int, readOption);
    QFETCH(int, readUid);
    QFETCH(bool, oneSlot);
    QFETCH(int, afi);
    QFETCH(int, useSet);
    QFETCH(int, flags);
    AppOptions o;
    o.ReadOptionFlag = readOption;
    o.ReadUidFlag = readUid;
    o.fUSESetOption = useSet;
    o.Prog15693FLAG = 0xFF;
    QCOMPARE(int(VendorInventoryFlags(o, oneSlot, uint8_t(afi))), flags);
}

void TestTagActionUtil::dataWriteCount_data()
{
    QTest::addColumn<int>("s6700");
    QTest::addColumn<int>("tagWriteNum");
    QTest::addColumn<int>("textBytes");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("told");
    QTest::newRow("Tag-it mode 40 bytes") << 0xD8 << 200 << 40 << 32 << false;
    QTest::newRow("Tag-it mode ignores TagWriteNum") << 0xD8 << 10 << 20 << 20 << false;
    QTest::newRow("ISO mode 300 bytes, TagWriteNum 200") << 0xD4 << 200 << 300 << 200 << false;
    QTest::newRow("short text") << 0xD4 << 200 << 5 << 5 << false;
    QTest::newRow("TagWriteNum 300 limited to 255") << 0xD4 << 300 << 300 << 255 << true;
    QTest::newRow("TagWriteNum 300, short text") << 0xD4 << 300 << 12 << 12 << true;
    QTest::newRow("TagWriteNum negative") << 0xD4 << -5 << 12 << 0 << false;
}

void TestTagActionUtil::dataWriteCount()
{
    QFETCH(int, s6700);
    QFETCH(int, tagWriteNum);
    QFETCH(int, textBytes);
    QFETCH(int, count);
    QFETCH(bool, told);
    AppOptions o;
    o.S6700Conf = uint8_t(s6700);
    o.TagWriteNum = tagWriteNum;
    QString note;
    QCOMPARE(DataWriteCount(o, textBytes, &note), count);
    QCOMPARE(!note.isEmpty(), told);
    if (told)
        QVERIFY2(note.contains("255") && note.contains(QString::number(tagWriteNum)), qPrintable(note));
}

void TestTagActionUtil::lightAfiBlock()
{
    QCOMPARE(LightAfiBlock(0x5A, QByteArray::fromHex("C1C2C3C4"), 4), QByteArray::fromHex("5AC2C3C4"));
    // With 8-byte blocks every byte after the AFI is the block's own.
    QCOMPARE(LightAfiBlock(0x07, QByteArray::fromHex("C1C2C3C4C5C6C7C8"), 8),
             QByteArray::fromHex("07C2C3C4C5C6C7C8"));
}

void TestTagActionUtil::cutTextToBytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("max");
    QTest::addColumn<QString>("cut");
    QTest::newRow("fits") << "ABC" << 255 << "ABC";
    QTest::newRow("ASCII cut") << "ABCDEF" << 4 << "ABCD";
    // あ and い are two bytes each: the third byte would split い.
    QTest::newRow("no half character") << QString::fromUtf8("Aあい") << 4 << QString::fromUtf8("Aあ");
    QTest::newRow("exact two-byte end") << QString::fromUtf8("Aあい") << 5 << QString::fromUtf8("Aあい");
    QTest::newRow("empty") << "" << 10 << "";
}

void TestTagActionUtil::cutTextToBytes()
{
    QFETCH(QString, text);
    QFETCH(int, max);
    QFETCH(QString, cut);
    QCOMPARE(CutTextToBytes(text, max), cut);
}

void TestTagActionUtil::writePwdDialog()
{
    TWritePwdDlg dlg;
    QCOMPARE(dlg.objectName(), QString("TWritePwdDlg"));
    QCOMPARE(dlg.windowTitle(), QString("ダイアログ"));
    QCOMPARE(dlg.LbPassword->text(), QString("パスワード(HEX)"));
    QCOMPARE(dlg.Label1->text(), QString("上位バイト"));
    QCOMPARE(dlg.Label5->text(), QString("下位バイト"));
    // Byte 0 is the right-hand field of both rows.
    const uint8_t pass[4] = {0x44, 0x33, 0x22, 0x11};
    dlg.setPassword(pass);
    QCOMPARE(dlg.EdData3->text(), QString("11"));
    QCOMPARE(dlg.EdData0->text(), QString("44"));
    QCOMPARE(dlg.password(), QByteArray::fromHex("44332211"));
    dlg.EdWrdata3->setText("01");
    dlg.EdWrdata2->setText("02");
    dlg.EdWrdata1->setText("03");
    dlg.EdWrdata0->setText("04");
    QCOMPARE(dlg.data(), QByteArray::fromHex("04030201"));

    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QVERIFY(dlg.IntEd1->isVisible() && dlg.EdWrdata0->isVisible());
    dlg.hideBlockAndDataRows();
    for (QWidget *w : std::initializer_list<QWidget *>{dlg.STTitle1, dlg.IntEd1, dlg.STTitle3, dlg.EdWrdata0,
                                                       dlg.EdWrdata1, dlg.EdWrdata2, dlg.EdWrdata3, dlg.Label1,
                                                       dlg.Label5})
        QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    for (QWidget *w : std::initializer_list<QWidget *>{dlg.EdData0, dlg.EdData3, dlg.OKBtn, dlg.CancelBtn})
        QVERIFY2(w->isVisible(), qPrintable(w->objectName()));
}

QTEST_MAIN(TestTagActionUtil)
#include "test_tag_action_util.moc"
