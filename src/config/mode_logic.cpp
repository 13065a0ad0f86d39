#include "config/mode_logic.h"

#include <algorithm>

namespace kx9 {

int S6700TagSpeedItem(uint8_t conf)
{
    return ((conf >> 1) & 7) == 2 ? 0 : 1;
}

uint8_t S6700FromDialog(int tagSpeedItem, int modulationItem, int amFmItem)
{
    uint8_t b = uint8_t((tagSpeedItem == 0 ? 2 : 6) << 1);
    if (modulationItem == 1)
        b |= 0x10;
    if (amFmItem == 1)
        b |= 0x20;
    b |= 0x40;
    return S6700Parity(b);
}

uint8_t S6700ForTagFamily(uint8_t current, TagFamily family)
{
    uint8_t b = uint8_t(current & ~0x01);
    b = uint8_t((b & ~0x0E) | (2 << 1));
    if (family == TagFamily::Fujitsu)
        b = uint8_t((b & ~0x10) | 0x20);
    else
        b = uint8_t((b | 0x10) & ~0x20);
    b |= 0x40;
    return S6700Parity(b);
}

uint8_t BuildModeFlags(uint8_t passedFlags, int antiCol, int readMode, int buzzer, int txData, int speedItem)
{
    uint8_t f = uint8_t(passedFlags & 0x03);
    if (antiCol == 1)
        f |= 0x04;
    if (readMode == 1)
        f |= 0x08;
    if (buzzer == 1)
        f |= 0x10;
    if (txData == 1)
        f |= 0x20;
    return uint8_t(f | SpeedBitsForItem(speedItem));
}

QString FormatRate(double rate)
{
    QString t = QString::number(rate, 'f', 3);
    if (t.contains(QLatin1Char('.'))) {
        while (t.endsWith(QLatin1Char('0')))
            t.chop(1);
        if (t.endsWith(QLatin1Char('.')))
            t.chop(1);
    }
    return t;
}

QString SuccessRateText(uint32_t successes, uint32_t failures)
{
    // 64 bits: two full 32-bit counters must not wrap to a small sum.
    const uint64_t total = uint64_t(successes) + uint64_t(failures);
    const double rate = total == 0 ? 0.0 : double(successes) / double(total);
    return QStringLiteral("成功率: %1[%2, %3]").arg(FormatRate(rate)).arg(successes).arg(failures);
}

int Area2StartWord(int start)
{
    return std::max(start, 1);
}

int Area2WordCount(int count)
{
    return std::clamp(count, 1, 2);
}

QByteArray Area2DataBytes(uint32_t data, int count)
{
    QByteArray b;
    for (int i = 0; i < 2 * Area2WordCount(count); ++i)
        b.append(char((data >> (8 * i)) & 0xFF));
    return b;
}

uint32_t Area2DataValue(const QByteArray &bytes)
{
    uint32_t v = 0;
    for (int i = std::min<int>(int(bytes.size()), 4) - 1; i >= 0; --i)
        v = (v << 8) | uint8_t(bytes.at(i));
    return v;
}

const QVector<ParamField> &Eeprom2InspectionFields()
{
    static const QVector<ParamField> fields = [] {
        QVector<ParamField> f;
        f << ParamField{QStringLiteral("RGCheckMode"), 18, 1, 0, 2};
        f << ParamField{QStringLiteral("RGWriteData"), 18, 1, 2, 1};
        for (int b = 3; b < 8; ++b)
            f << ParamField{QStringLiteral("RBKensa1_bit%1").arg(b), 18, 1, b, 1};
        f << ParamField{QStringLiteral("IntEdit1"), 19, 1, 0, 8};
        return f;
    }();
    return fields;
}

namespace {

// The record's area-2 fields without word 10, which this dialog splits up.
QVector<ParamField> eeprom2Fields()
{
    QVector<ParamField> f;
    for (const ParamField &p : Area2Fields())
        if (p.control != QLatin1String("EdMem10"))
            f << p;
    f << Eeprom2InspectionFields();
    return f;
}

} // namespace

ParamValues Eeprom2Values(const ParamArea2 &area)
{
    ParamValues v;
    for (const ParamField &f : eeprom2Fields())
        v.insert(f.control, int(FieldValue(area.data(), f)));
    return v;
}

ParamArea2 BuildEeprom2Area(const ParamValues &values, uint8_t byte0)
{
    ParamArea2 a{};
    for (const ParamField &f : eeprom2Fields()) {
        const auto it = values.constFind(f.control);
        if (it != values.constEnd())
            SetFieldValue(a.data(), f, uint32_t(std::max(it.value(), 0)));
    }
    a[0] = byte0;
    return a;
}

QByteArray WithBit(const QByteArray &word, const WordBit &where, bool set)
{
    QByteArray w = word.left(2);
    while (w.size() < 2)
        w.append('\0');
    const int i = where.highByte ? 1 : 0;
    const uint8_t m = uint8_t(1u << where.bit);
    w[i] = char(set ? (uint8_t(w[i]) | m) : (uint8_t(w[i]) & ~m));
    return w;
}

} // namespace kx9
