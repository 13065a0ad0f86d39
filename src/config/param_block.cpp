#include "config/param_block.h"

#include <QByteArray>

namespace kx9 {

ParamArea1 DefaultParamArea1()
{
    return {0x00, 0x00, 0x00, 0x00, 0xD5, 0x00, 0x00, 0x30, 0x18, 0x00,   // ids, S6700, AFI, switches 1-2, mode
            0x17, 0x11, 0x00, 0x00, 0x1A, 0x06, 0x00, 0x00, 0x1A, 0x06,   // write ACK wait 4375, read interval 1562
            0x00, 0x00, 0x01, 0x00, 0x05, 0x00, 0x05, 0x0A, 0x00, 0x0A,   // verify wait 1562, retry, scan, checks, times
            0x30, 0x1E, 0x00, 0xFF, 0x1E, 0x18, 0x04, 0x08, 0x01, 0x00};  // ports, switch 3, TX off, timing, sizes, 5-6
}

ParamArea2 DefaultParamArea2()
{
    ParamArea2 a{};
    a[6] = 1;
    a[7] = 4;
    return a;
}

uint8_t S6700Parity(uint8_t value)
{
    uint8_t v = value & 0x7E;
    int ones = 0;
    for (int bit = 1; bit <= 6; ++bit)
        ones += (v >> bit) & 1;
    if (ones & 1)
        v |= 0x80;
    return v;
}

QByteArray AreaWords(const uint8_t *area, int areaSize, int firstWord, int count)
{
    const int from = (firstWord - 1) * 2;
    const int n = count * 2;
    if (firstWord < 1 || count < 0 || from + n > areaSize)
        return {};
    return QByteArray(reinterpret_cast<const char *>(area + from), n);
}

bool PutAreaWords(uint8_t *area, int areaSize, int firstWord, const QByteArray &bytes)
{
    const int from = (firstWord - 1) * 2;
    if (firstWord < 1 || bytes.size() % 2 != 0 || from + bytes.size() > areaSize)
        return false;
    for (int i = 0; i < bytes.size(); ++i)
        area[from + i] = uint8_t(bytes.at(i));
    return true;
}

namespace {

ParamField bit(const QString &control, int byte, int shift) { return {control, byte, 1, shift, 1}; }
ParamField u8(const QString &control, int byte) { return {control, byte, 1, 0, 8}; }

// One bit field per name, bit i for name i; empty names are bits without a control.
void addBits(QVector<ParamField> &out, const QStringList &names, int byte)
{
    for (int i = 0; i < names.size(); ++i)
        if (!names[i].isEmpty())
            out.append(bit(names[i], byte, i));
}

QStringList numbered(const QString &prefix, int first, int count)
{
    QStringList l;
    for (int i = 0; i < count; ++i)
        l << prefix + QString::number(first + i);
    return l;
}

QVector<ParamField> makeArea1Fields()
{
    QVector<ParamField> f;
    f << u8("EdTagId", 0) << u8("EdProdCode", 1) << ParamField{"EdUserCode", 2, 2, 0, 16};
    f << ParamField{"RGTag", 4, 1, 1, 3} << bit("RGModul", 4, 4) << bit("RGAmFm", 4, 5) << bit("RGSpeed", 4, 6);
    f << u8("EdAFIValue", 5);
    f << ParamField{"CBMode2", 6, 1, 0, 2};
    addBits(f, {QString(), QString(), "RG5VCONT", "RGRF5VOFF_ST", "RGBRCOMD", "RGCHKDATANUM", "RGDCMDASCII",
                "RGTWICECHK"},
            6);
    addBits(f, QStringList{"RGD_NOCHK"} + numbered("RGMemSw", 9, 7), 7);
    addBits(f, {QString(), QString(), "RGAntiCol", "GbReadMode", "GbBuzzer", "RGTxData"}, 8);
    f << ParamField{"CBSpeed", 8, 1, 6, 2};
    f << u8("ComboBox1", 9);
    f << ParamField{"EdTimer1", 10, 4, 0, 32} << ParamField{"EdTimer2", 14, 4, 0, 32}
      << ParamField{"EdTimer3", 18, 4, 0, 32};
    f << u8("EdRetry", 22);
    f << ParamField{"EdScanM_mode", 23, 1, 0, 4};
    addBits(f, {QString(), QString(), QString(), QString(), "RGEdScanM_bit4", "RGEdScanM_bit5", "RGEdScanM_bit6",
                "RGEdScanM_bit7"},
            23);
    f << ParamField{"EdChkDataNum", 24, 2, 0, 16} << u8("EdOUTPTime", 26) << u8("EdInputChkTime", 27);
    f << u8("EdRWID", 28) << u8("EdChkDataTime", 29);
    addBits(f, {"RGPORTSEL1", "RGPORTSEL2", "RGPORTSEL3", QString(), QString(), QString(), "RGPORTSEL7"}, 30);
    addBits(f, numbered("RGMemSW4", 0, 8), 31);
    addBits(f, numbered("RGPORTIO", 1, 8), 32);
    addBits(f, numbered("RGPORTDefault", 1, 8), 33);
    f << u8("EdTXOffTime1", 34) << u8("EdTimRegData", 35) << u8("EdBlockSize", 36) << u8("EdmydBlockSize", 37);
    addBits(f, numbered("RGMemSW5", 0, 8), 38);
    f << bit("RGMemSW60", 39, 0) << ParamField{"EdSelAntena", 39, 1, 1, 3};
    addBits(f, {QString(), QString(), QString(), QString(), "RGMemSW64", "RGMemSW65", "RGMemSW66", "RGMemSW67"}, 39);
    return f;
}

QVector<ParamField> makeArea2Fields()
{
    QVector<ParamField> f;
    f << u8("EdChgWaitTime", 1);
    static const char *const antennas[] = {"EdANT1_SELNUM", "EdANT2_SELNUM", "EdANT3_SELNUM", "EdANT4_SELNUM",
                                           "EdANT5_SELNUM", "EdANT6_SELNUM", "EdANT7_SELNUM", "EdANT8_SELNUM"};
    for (int i = 0; i < 8; ++i)   // odd antennas in the low nibble
        f << ParamField{antennas[i], 2 + i / 2, 1, (i % 2) * 4, 4};
    f << u8("EdRdStAddr", 6) << u8("EdDataLen", 7);
    addBits(f, numbered("RGMemSW7", 0, 8), 8);
    addBits(f, numbered("RGMemSW8", 0, 8), 9);
    f << ParamField{"EdMem6", 10, 2, 0, 16} << ParamField{"EdMem7", 12, 2, 0, 16} << ParamField{"EdMem8", 14, 2, 0, 16}
      << ParamField{"EdBuzFreq", 16, 2, 0, 16} << ParamField{"EdMem10", 18, 2, 0, 16};
    return f;
}

uint32_t mask(int bits) { return bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1u; }

template <size_t N> ParamValues showAll(const std::array<uint8_t, N> &area, const QVector<ParamField> &fields)
{
    ParamValues v;
    for (const ParamField &f : fields)
        v.insert(f.control, int(FieldValue(area.data(), f)));
    return v;
}

template <size_t N>
void storeAll(std::array<uint8_t, N> &area, const QVector<ParamField> &fields, const ParamValues &values)
{
    for (const ParamField &f : fields) {
        const auto it = values.constFind(f.control);
        if (it != values.constEnd())
            SetFieldValue(area.data(), f, uint32_t(it.value()));
    }
}

template <size_t N>
QVector<FieldVerdict> compareAll(const std::array<uint8_t, N> &reader, const std::array<uint8_t, N> &file,
                                 const QVector<ParamField> &fields)
{
    QVector<FieldVerdict> out;
    for (const ParamField &f : fields)
        out.append({f.control, FieldValue(reader.data(), f) == FieldValue(file.data(), f)});
    return out;
}

} // namespace

const QVector<ParamField> &Area1Fields()
{
    static const QVector<ParamField> fields = makeArea1Fields();
    return fields;
}

const QVector<ParamField> &Area2Fields()
{
    static const QVector<ParamField> fields = makeArea2Fields();
    return fields;
}

uint32_t FieldValue(const uint8_t *area, const ParamField &field)
{
    uint32_t raw = 0;
    for (int i = field.bytes - 1; i >= 0; --i)
        raw = (raw << 8) | area[field.byte + i];
    return (raw >> field.shift) & mask(field.bits);
}

void SetFieldValue(uint8_t *area, const ParamField &field, uint32_t value)
{
    uint32_t raw = 0;
    for (int i = field.bytes - 1; i >= 0; --i)
        raw = (raw << 8) | area[field.byte + i];
    const uint32_t m = mask(field.bits) << field.shift;
    raw = (raw & ~m) | ((value << field.shift) & m);
    for (int i = 0; i < field.bytes; ++i)
        area[field.byte + i] = uint8_t(raw >> (8 * i));
}

const QVector<ModeCodeItem> &ModeCodes()
{
    static const QVector<ModeCodeItem> items = {
        {"コマンドモード", 0x00},          {"オートスキャンモード", 0x01},     {"トリガーモード", 0x02},
        {"ポーリングモード", 0x03},        {"連続インベントリ", 0x50},         {"EASモード１", 0x24},
        {"連続書き込みテスト", 0x51},      {"擬似信号出力", 0x52},             {"テストモード４", 0x53},
        {"テストモード５", 0x54},          {"インベントリ16Slotモード", 0x56}, {"インベントリ16Slotモード2", 0x57},
        {"RDLOOPモード", 0x58},            {"RFLOOPモード２", 0x59},
    };
    return items;
}

int ModeItemForCode(uint8_t code)
{
    const auto &items = ModeCodes();
    for (int i = 0; i < items.size(); ++i)
        if (items[i].code == code)
            return i;
    return 0;
}

uint8_t ModeCodeForItem(int item)
{
    const auto &items = ModeCodes();
    return item >= 0 && item < items.size() ? items[item].code : 0x00;
}

QStringList SpeedItems(bool ver121)
{
    QStringList l{QStringLiteral("19.2Kbps"), QStringLiteral("9600bps")};
    if (ver121)
        l << QStringLiteral("38.4kbps");
    return l;
}

int SpeedItemForFlags(uint8_t flags, bool ver121)
{
    const int item = (flags & 0x80) ? 2 : (flags & 0x40) ? 1 : 0;
    return item < SpeedItems(ver121).size() ? item : -1;
}

uint8_t SpeedBitsForItem(int item)
{
    return item == 2 ? 0x80 : item == 1 ? 0x40 : 0x00;
}

ParamValues ShowValues1(const ParamArea1 &area, bool ver121)
{
    ParamValues v = showAll(area, Area1Fields());
    v[QStringLiteral("CBSpeed")] = SpeedItemForFlags(area[8], ver121);
    v[QStringLiteral("ComboBox1")] = ModeItemForCode(area[9]);
    return v;
}

ParamValues ShowValues2(const ParamArea2 &area)
{
    return showAll(area, Area2Fields());
}

ParamArea1 BuildArea1(const ParamValues &values, uint8_t sysMode, const ParamArea1 &base)
{
    ParamArea1 a = base;
    ParamValues v = values;
    // The two lists hold items, not bits: store what the items stand for.
    v.remove(QStringLiteral("CBSpeed"));
    v.remove(QStringLiteral("ComboBox1"));
    storeAll(a, Area1Fields(), v);
    a[4] = S6700Parity(a[4]);
    a[8] = uint8_t((a[8] & 0x3C) | (sysMode & 0x03) | SpeedBitsForItem(values.value(QStringLiteral("CBSpeed"), -1)));
    a[9] = ModeCodeForItem(values.value(QStringLiteral("ComboBox1"), -1));
    return a;
}

ParamArea2 BuildArea2(const ParamValues &values, uint8_t byte0)
{
    ParamArea2 a{};
    storeAll(a, Area2Fields(), values);
    a[0] = byte0;
    return a;
}

const QStringList &ReducedControls()
{
    static const QStringList names = [] {
        QStringList l{"EdUserCode", "EdProdCode", "EdTagId", "EdChkDataNum", "EdOUTPTime", "EdInputChkTime",
                      "EdRetry", "CBMode2", "RG5VCONT", "RGRF5VOFF_ST", "RGBRCOMD", "RGCHKDATANUM", "RGDCMDASCII",
                      "RGTWICECHK", "RGD_NOCHK"};
        l << numbered("RGMemSw", 9, 7) << numbered("RGMemSW4", 0, 8);
        l << QStringList{"RGPORTSEL1", "RGPORTSEL2", "RGPORTSEL3", "RGPORTSEL7"};
        l << numbered("RGPORTIO", 1, 8) << numbered("RGPORTDefault", 1, 8) << numbered("RGMemSW5", 0, 8);
        l << QStringList{"RGMemSW60", "EdSelAntena", "RGMemSW64", "RGMemSW65", "RGMemSW66", "RGMemSW67"};
        return l;
    }();
    return names;
}

ParamArea1 BuildReducedArea1(const ParamValues &values, const ParamArea1 &base)
{
    ParamValues v;
    for (const QString &name : ReducedControls())
        if (values.contains(name))
            v.insert(name, values.value(name));
    ParamArea1 a = base;
    storeAll(a, Area1Fields(), v);
    return a;
}

QVector<FieldVerdict> CompareArea1(const ParamArea1 &reader, const ParamArea1 &file)
{
    return compareAll(reader, file, Area1Fields());
}

QVector<FieldVerdict> CompareArea2(const ParamArea2 &reader, const ParamArea2 &file)
{
    return compareAll(reader, file, Area2Fields());
}

bool AllEqual(const QVector<FieldVerdict> &verdicts)
{
    for (const FieldVerdict &v : verdicts)
        if (!v.equal)
            return false;
    return true;
}

const QVector<ParamNumberInfo> &ParamNumbers()
{
    static const QVector<ParamNumberInfo> numbers = {
        {0xA0, "tag ID", "byte"},
        {0xA1, "product code", "byte"},
        {0xA2, "reader AFI", "byte"},
        {0xA3, "R/W ID", "byte"},
        {0xA4, "memory switch 1", "bits"},
        {0xA5, "memory switch 2", "bits"},
        {0xA6, "retry count", "count"},
        {0xA7, "number of data to check", "count"},
        {0xA8, "LED on time", "100 ms"},
        {0xA9, "trigger input detection time", "10 ms"},
        {0xAA, "double-read inhibit time", "200 ms"},
        {0xAB, "memory switch 3", "bits"},
        {0xAC, "tag block size", "bytes"},
        {0xAD, "my-d block size", "bytes"},
        {0xAE, "timing register value", "byte"},
        {0xAF, "scan mode", "bits"},
        {0xB0, "memory switch 5", "bits"},
        {0xB1, "memory switch 6", "bits"},
    };
    return numbers;
}

} // namespace kx9
