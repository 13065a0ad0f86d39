// The parameter record without widgets: defaults, the S6700 parity, the
// values the dialog controls take for an area and the bytes built back from
// them, and the field-by-field comparison.
#include "config/param_block.h"

#include <QRandomGenerator>
#include <QTest>

using namespace kx9;

namespace {

QByteArray bytesOf(const uint8_t *p, int n) { return QByteArray(reinterpret_cast<const char *>(p), n); }
template <size_t N> QByteArray bytesOf(const std::array<uint8_t, N> &a) { return bytesOf(a.data(), int(N)); }

template <size_t N> std::array<uint8_t, N> areaOf(const char *hex)
{
    const QByteArray b = QByteArray::fromHex(hex);
    std::array<uint8_t, N> a{};
    for (size_t i = 0; i < N && i < size_t(b.size()); ++i)
        a[i] = uint8_t(b.at(int(i)));
    return a;
}

ParamArea1 randomArea1(QRandomGenerator &rng)
{
    ParamArea1 a{};
    for (auto &b : a)
        b = uint8_t(rng.bounded(256));
    return a;
}

} // namespace

class TestParamBlock : public QObject {
    Q_OBJECT
private slots:
    void defaults();
    void parity_data();
    void parity();
    void buildRules_data();
    void buildRules();
    void showValues_data();
    void showValues();
    void roundTripKeepsEveryControlledBit();
    void area2RoundTripAndByte0();
    void reducedBuildLeavesTheRestAsRead();
    void compareCoversEveryControlledBit();
    void compareIgnoresTheUncomparedBits();
    void wordsOfAnArea();
    void parameterNumbers();
};

void TestParamBlock::defaults()
{
    QCOMPARE(bytesOf(DefaultParamArea1()).toHex(' '),
             QByteArray("00 00 00 00 d5 00 00 30 18 00 17 11 00 00 1a 06 00 00 1a 06 "
                        "00 00 01 00 05 00 05 0a 00 0a 30 1e 00 ff 1e 18 04 08 01 00"));
    QCOMPARE(bytesOf(DefaultParamArea2()).toHex(' '),
             QByteArray("00 00 00 00 00 00 01 04 00 00 00 00 00 00 00 00 00 00 00 00"));
    // The timers as the form shows them: 14.0 ms, 5.0 ms, 5.0 ms in 3.2 us steps.
    const ParamValues v = ShowValues1(DefaultParamArea1(), true);
    QCOMPARE(v.value("EdTimer1"), 4375);
    QCOMPARE(v.value("EdTimer2"), 1562);
    QCOMPARE(v.value("EdTimer3"), 1562);
    QCOMPARE(v.value("EdChkDataNum"), 5);
    QCOMPARE(v.value("EdTimRegData"), 0x18);
}

void TestParamBlock::parity_data()
{
    QTest::addColumn<int>("in");
    QTest::addColumn<int>("out");
    QTest::newRow("0x54 gains bit 7") << 0x54 << 0xD4;
    QTest::newRow("0x14 stays") << 0x14 << 0x14;
    QTest::newRow("0xFF loses bits 0 and 7") << 0xFF << 0x7E;
    QTest::newRow("default 0xD5") << 0xD5 << 0xD4;
    QTest::newRow("bit 7 alone is dropped") << 0x80 << 0x00;
    QTest::newRow("one bit") << 0x02 << 0x82;
    QTest::newRow("zero") << 0x00 << 0x00;
}

void TestParamBlock::parity()
{
    QFETCH(int, in);
    QFETCH(int, out);
    QCOMPARE(int(S6700Parity(uint8_t(in))), out);
    // Bits 1..7 of every result hold an even number of ones.
    QCOMPARE(qPopulationCount(uint(out) & 0xFEu) % 2, 0);
}

void TestParamBlock::buildRules_data()
{
    QTest::addColumn<QByteArray>("shown");      // area 1 shown in the dialog
    QTest::addColumn<QString>("control");       // a control then changed ("" for none)
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("ver121");
    QTest::addColumn<int>("sysMode");
    QTest::addColumn<int>("byte");               // the byte to look at
    QTest::addColumn<int>("expected");
    const QByteArray def = bytesOf(DefaultParamArea1());
    QTest::newRow("default: byte 4 through the parity") << def << "" << 0 << true << 0 << 4 << 0xD4;
    QTest::newRow("default: byte 8 bits 0-1 from SysMode") << def << "" << 0 << true << 3 << 8 << 0x1B;
    QTest::newRow("default: byte 8 with SysMode 0") << def << "" << 0 << true << 0xFC << 8 << 0x18;
    QTest::newRow("default: byte 30 0x30") << def << "" << 0 << true << 0 << 30 << 0x30;
    QByteArray ports = def;
    ports[30] = char(0xB8);   // bits 3, 4, 5, 7: no control
    QTest::newRow("byte 30 unnamed bits as shown") << ports << "RGPORTSEL2" << 1 << true << 0 << 30 << 0xBA;
    QTest::newRow("port 7 selector is bit 6") << def << "RGPORTSEL7" << 1 << true << 0 << 30 << 0x70;
    QTest::newRow("scan mode 16 stores 0") << def << "EdScanM_mode" << 16 << true << 0 << 23 << 0x00;
    QTest::newRow("scan mode 15") << def << "EdScanM_mode" << 15 << true << 0 << 23 << 0x0F;
    QByteArray fast = def;
    fast[8] = char(0x98);
    QTest::newRow("fVER121 0: bit 7 builds back clear") << fast << "" << 0 << false << 0 << 8 << 0x18;
    QTest::newRow("fVER121 1: bit 7 kept") << fast << "" << 0 << true << 0 << 8 << 0x98;
    QByteArray both = def;
    both[8] = char(0xD8);
    QTest::newRow("bits 6 and 7: shown as 38.4, built as bit 7") << both << "" << 0 << true << 0 << 8 << 0x98;
    QTest::newRow("9600 item sets bit 6") << def << "CBSpeed" << 1 << true << 0 << 8 << 0x58;
    QTest::newRow("no speed item clears both") << both << "CBSpeed" << -1 << true << 0 << 8 << 0x18;
    QByteArray mode55 = def;
    mode55[9] = char(0x55);
    QTest::newRow("mode 0x55 is written as 0x00") << mode55 << "" << 0 << true << 0 << 9 << 0x00;
    QTest::newRow("mode item 10 is 0x56") << def << "ComboBox1" << 10 << true << 0 << 9 << 0x56;
    QTest::newRow("no mode item gives 0x00") << mode55 << "ComboBox1" << -1 << true << 0 << 9 << 0x00;
    QTest::newRow("antenna box AND 7") << def << "EdSelAntena" << 0xF << true << 0 << 39 << 0x0E;
    QTest::newRow("tag protocol Tag-it") << def << "RGTag" << 4 << true << 0 << 4 << 0xD8;
    QTest::newRow("8-bit box takes the low 8 bits") << def << "EdRetry" << 300 << true << 0 << 22 << 44;
    QTest::newRow("16-bit user code low byte first") << def << "EdUserCode" << 0x1234 << true << 0 << 2 << 0x34;
    QTest::newRow("16-bit user code high byte") << def << "EdUserCode" << 0x1234 << true << 0 << 3 << 0x12;
    QTest::newRow("32-bit timer top byte") << def << "EdTimer2" << 1000000 << true << 0 << 17 << 0x00;
    QTest::newRow("32-bit timer third byte") << def << "EdTimer2" << 1000000 << true << 0 << 16 << 0x0F;
}

void TestParamBlock::buildRules()
{
    QFETCH(QByteArray, shown);
    QFETCH(QString, control);
    QFETCH(int, value);
    QFETCH(bool, ver121);
    QFETCH(int, sysMode);
    QFETCH(int, byte);
    QFETCH(int, expected);
    ParamArea1 area{};
    std::copy(shown.begin(), shown.end(), reinterpret_cast<char *>(area.data()));
    ParamValues v = ShowValues1(area, ver121);
    if (!control.isEmpty())
        v[control] = value;
    const ParamArea1 built = BuildArea1(v, uint8_t(sysMode), area);
    QCOMPARE(QString::number(built[byte], 16), QString::number(expected, 16));
}

void TestParamBlock::showValues_data()
{
    QTest::addColumn<QByteArray>("area");
    QTest::addColumn<bool>("ver121");
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("value");
    const QByteArray def = bytesOf(DefaultParamArea1());
    QByteArray a = def;
    a[8] = char(0x98);
    QTest::newRow("fVER121 0, bit 7: no speed") << a << false << "CBSpeed" << -1;
    QTest::newRow("fVER121 1, bit 7: 38.4") << a << true << "CBSpeed" << 2;
    a[8] = char(0xD8);
    QTest::newRow("bit 6 ignored under bit 7") << a << true << "CBSpeed" << 2;
    a[8] = char(0x58);
    QTest::newRow("bit 6: 9600") << a << false << "CBSpeed" << 1;
    a = def;
    a[9] = char(0x55);
    QTest::newRow("unknown mode shows item 0") << a << true << "ComboBox1" << 0;
    a[9] = char(0x24);
    QTest::newRow("EAS mode 1 is item 5") << a << true << "ComboBox1" << 5;
    a = def;
    a[39] = char(0x0E);
    QTest::newRow("antenna number") << a << true << "EdSelAntena" << 7;
    a[2] = char(0x34);
    a[3] = char(0x12);
    QTest::newRow("user code") << a << true << "EdUserCode" << 0x1234;
    QTest::newRow("RGTag of the default") << def << true << "RGTag" << 2;
    QTest::newRow("RGSpeed of the default") << def << true << "RGSpeed" << 1;
    QTest::newRow("RGAmFm of the default") << def << true << "RGAmFm" << 0;
    QTest::newRow("RGModul of the default") << def << true << "RGModul" << 1;
    QTest::newRow("memory switch 2 bit 4") << def << true << "RGMemSw12" << 1;
    QTest::newRow("memory switch 2 bit 5") << def << true << "RGMemSw13" << 1;
    QTest::newRow("port default 8") << def << true << "RGPORTDefault8" << 1;
}

void TestParamBlock::showValues()
{
    QFETCH(QByteArray, area);
    QFETCH(bool, ver121);
    QFETCH(QString, control);
    QFETCH(int, value);
    ParamArea1 a{};
    std::copy(area.begin(), area.end(), reinterpret_cast<char *>(a.data()));
    const ParamValues v = ShowValues1(a, ver121);
    QVERIFY2(v.contains(control), qPrintable(control));
    QCOMPARE(v.value(control), value);
}

void TestParamBlock::roundTripKeepsEveryControlledBit()
{
    // Whatever the reader holds comes back as it was, except where the rules
    // change it: byte 4 bits 0/7, byte 8 bits 0-1 and speed, byte 9's unknown codes.
    QRandomGenerator rng(1234);
    for (int round = 0; round < 200; ++round) {
        ParamArea1 a = randomArea1(rng);
        a[4] = S6700Parity(a[4]);
        a[9] = ModeCodes()[rng.bounded(ModeCodes().size())].code;
        if ((a[8] & 0xC0) == 0xC0)
            a[8] &= 0xBF;
        const uint8_t sysMode = a[8] & 3;
        const ParamArea1 b = BuildArea1(ShowValues1(a, true), sysMode, a);
        QCOMPARE(bytesOf(b).toHex(' '), bytesOf(a).toHex(' '));
    }
}

void TestParamBlock::area2RoundTripAndByte0()
{
    const ParamArea2 a = areaOf<20>("A5 08 21 43 65 87 10 20 5A A5 34 12 78 56 BC 9A F0 DE 01 80");
    const ParamArea2 b = BuildArea2(ShowValues2(a), 0x3C);
    QCOMPARE(bytesOf(b).mid(1).toHex(' '), bytesOf(a).mid(1).toHex(' '));
    QCOMPARE(int(b[0]), 0x3C);   // byte 0 is the remembered value, not a control's
    const ParamValues v = ShowValues2(a);
    QCOMPARE(v.value("EdANT1_SELNUM"), 1);   // low nibble: odd antenna
    QCOMPARE(v.value("EdANT2_SELNUM"), 2);
    QCOMPARE(v.value("EdANT8_SELNUM"), 8);
    QCOMPARE(v.value("EdBuzFreq"), 0xDEF0);   // bytes 16-17
    QCOMPARE(v.value("EdMem8"), 0x9ABC);
    QCOMPARE(v.value("RGMemSW87"), 1);
    QCOMPARE(v.value("RGMemSW70"), 0);
    // An antenna box is stored as its low 4 bits.
    ParamValues w = v;
    w["EdANT3_SELNUM"] = 0x1F;
    QCOMPARE(int(BuildArea2(w, 0)[3]), 0x4F);
}

void TestParamBlock::reducedBuildLeavesTheRestAsRead()
{
    QRandomGenerator rng(99);
    const ParamArea1 read = randomArea1(rng);
    ParamValues v = ShowValues1(read, true);
    // Changing every control of the reduced dialog to 0 touches only their bits.
    for (const QString &name : ReducedControls())
        v[name] = 0;
    v["EdChkDataNum"] = 0x0102;
    const ParamArea1 b = BuildReducedArea1(v, read);
    QCOMPARE(int(b[23]), int(read[23]));               // scan mode as read
    QCOMPARE(b[30] & 0xB8, read[30] & 0xB8);           // unnamed port bits as read
    QCOMPARE(b[30] & 0x47, 0);
    QCOMPARE(int(b[8]), int(read[8]));                 // not on the reduced dialog
    QCOMPARE(int(b[4]), int(read[4]));
    QCOMPARE(int(b[24]), 0x02);
    QCOMPARE(int(b[25]), 0x01);
    for (int i : {0, 1, 2, 3, 6, 7, 22, 26, 27, 31, 32, 33, 38, 39})
        QVERIFY2(b[i] == 0, qPrintable(QString::number(i)));
    for (int i : {5, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 28, 29, 34, 35, 36, 37})
        QVERIFY2(b[i] == read[i], qPrintable(QString::number(i)));
}

void TestParamBlock::compareCoversEveryControlledBit()
{
    // Flipping any single bit that a control shows makes exactly that control NG.
    const ParamArea1 file = DefaultParamArea1();
    const QSet<int> uncompared = {4 * 8 + 0, 4 * 8 + 7, 8 * 8 + 0, 8 * 8 + 1, 30 * 8 + 3, 30 * 8 + 4, 30 * 8 + 5,
                                  30 * 8 + 7};
    for (int bit = 0; bit < 40 * 8; ++bit) {
        ParamArea1 reader = file;
        reader[bit / 8] ^= uint8_t(1u << (bit % 8));
        const QVector<FieldVerdict> v = CompareArea1(reader, file);
        QStringList ng;
        for (const FieldVerdict &f : v)
            if (!f.equal)
                ng << f.control;
        QCOMPARE(ng.size(), uncompared.contains(bit) ? 0 : 1);
    }
    ParamArea2 f2 = DefaultParamArea2();
    for (int bit = 8; bit < 20 * 8; ++bit) {
        ParamArea2 r2 = f2;
        r2[bit / 8] ^= uint8_t(1u << (bit % 8));
        int ng = 0;
        for (const FieldVerdict &f : CompareArea2(r2, f2))
            ng += f.equal ? 0 : 1;
        QCOMPARE(ng, 1);
    }
}

void TestParamBlock::compareIgnoresTheUncomparedBits()
{
    ParamArea1 file = DefaultParamArea1();
    ParamArea1 reader = file;
    reader[8] ^= 0x03;
    reader[4] ^= 0x81;
    reader[30] ^= 0xB8;
    QVERIFY(AllEqual(CompareArea1(reader, file)));
    ParamArea2 f2{}, r2{};
    r2[0] = 0x77;
    QVERIFY(AllEqual(CompareArea2(r2, f2)));
    reader[36] = 8;
    const QVector<FieldVerdict> v = CompareArea1(reader, file);
    QVERIFY(!AllEqual(v));
    for (const FieldVerdict &f : v)
        QCOMPARE(f.equal, f.control != QLatin1String("EdBlockSize"));
}

void TestParamBlock::wordsOfAnArea()
{
    ParamArea1 a = DefaultParamArea1();
    QCOMPARE(AreaWords(a, 19, 1).toHex(' '), QByteArray("04 08"));
    QCOMPARE(AreaWords(a, 11, 10).size(), 20);
    QVERIFY(AreaWords(a, 20, 2).isEmpty());   // past the area
    QVERIFY(PutAreaWords(a, 12, QByteArray::fromHex("0305")));
    QCOMPARE(int(a[22]), 3);
    QCOMPARE(int(a[23]), 5);
    QVERIFY(!PutAreaWords(a, 20, QByteArray::fromHex("01020304")));
    QVERIFY(!PutAreaWords(a, 1, QByteArray::fromHex("01")));
    QVERIFY(!PutAreaWords(a, 0, QByteArray::fromHex("0102")));
}

void TestParamBlock::parameterNumbers()
{
    const auto &n = ParamNumbers();
    QCOMPARE(n.size(), 18);
    for (int i = 0; i < n.size(); ++i)
        QCOMPARE(int(n[i].number), 0xA0 + i);
    QCOMPARE(QByteArray(n[kParamTagBlockSize - 0xA0].meaning), QByteArray("tag block size"));
    QCOMPARE(QByteArray(n[kParamMemorySwitch3 - 0xA0].meaning), QByteArray("memory switch 3"));
}

QTEST_GUILESS_MAIN(TestParamBlock)
#include "test_param_block.moc"
