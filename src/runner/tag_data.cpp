#include "runner/tag_data.h"

#include "link/text_codec.h"

#include <QStringList>
#include <algorithm>

namespace kx9 {

namespace {
constexpr uint8_t kST = 0x02, kPhilips = 0x04, kInfineon = 0x05, kTI = 0x07, kFujitsu = 0x08;

QString hex2(uint8_t b) { return QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper(); }
} // namespace

QString ManufacturerName(uint8_t code)
{
    switch (code) {
    case kST: return QStringLiteral("STMicroelectronics");
    case kPhilips: return QStringLiteral("Philips");
    case kInfineon: return QStringLiteral("Infineon Technologies");
    case kTI: return QStringLiteral("Texas Instruments");
    case kFujitsu: return QStringLiteral("Fujitsu");
    default: return QStringLiteral("Unknown");
    }
}

uint8_t ViewChipCode(uint8_t maker, uint8_t uidByte5)
{
    return maker == kTI ? uint8_t(uidByte5 & 0xFE) : uidByte5;
}

TagPlanChoice ChooseTagPlan(uint8_t maker, uint8_t chipCode)
{
    TagPlanChoice c;
    switch (maker) {
    case kInfineon:
        c.setBlockSizeParam = false;
        if (chipCode & 0x0F) {
            c.blockCount = 15;
            c.blockSize = 4;
            c.plan = ReadPlan::SingleNoSec;
        } else {
            c.blockCount = 128;
            c.blockSize = 8;
            c.plan = ReadPlan::Chunks;
        }
        return c;
    case kST:
        c.blockCount = 16;
        c.blockSize = 4;
        c.plan = ReadPlan::SingleWithSec;
        return c;
    case kTI:
        if (chipCode != 0x00 && chipCode != 0x80) {
            c.blockCount = 12;
            c.blockSize = 4;
            c.plan = ReadPlan::TiBlocks;
            return c;
        }
        c.fromSystemInfo = true;
        c.plan = ReadPlan::Chunks;
        return c;
    case kPhilips:
        c.fromSystemInfo = true;
        c.plan = ReadPlan::Chunks;
        return c;
    default:   // Fujitsu and every other maker
        c.fromSystemInfo = true;
        c.plan = ReadPlan::SingleWithSec;
        return c;
    }
}

QList<ChunkRequest> ChunkReads(int n, int s)
{
    QList<ChunkRequest> out;
    if (n <= 0 || s <= 0)
        return out;
    const int k = qMax(1, 128 / s);
    const int c = n / k, m = n % k;
    for (int j = 0; j < c; ++j)
        out.append({j * k, k, k * s});
    if (m > 0)
        out.append({c * k, m, m * s});
    return out;
}

QList<ChunkRequest> SecurityReads(int n)
{
    QList<ChunkRequest> out;
    for (int j = 0; j < n / 128; ++j)
        out.append({j * 128, 128, 127});
    if (const int r = n % 128; r > 0)
        out.append({(n / 128) * 128, r, r - 1});
    return out;
}

QString BlockHexText(const QByteArray &bytes, bool msbFirst)
{
    QString s;
    s.reserve(int(bytes.size()) * 3);
    for (int i = 0; i < bytes.size(); ++i) {
        const int at = msbFirst ? int(bytes.size()) - 1 - i : i;
        s += hex2(uint8_t(bytes.at(at)));
        s += QLatin1Char(' ');
    }
    return s;
}

QString BlockCharText(const QByteArray &bytes)
{
    QByteArray printable = bytes;
    for (char &c : printable)
        if (uint8_t(c) < 0x20 || uint8_t(c) == 0x7F)
            c = '.';
    return DecodeCp932(printable);
}

int TagDump::readCount() const
{
    int n = 0;
    for (const Block &b : blocks)
        n += b.read ? 1 : 0;
    return n;
}

QByteArray DumpCsv(const TagDump &dump)
{
    QStringList lines;
    lines << QStringLiteral("Block,Data(Hex),Security");
    for (int i = 0; i < dump.blocks.size(); ++i) {
        const TagDump::Block &b = dump.blocks.at(i);
        if (!b.read)
            continue;
        lines << QStringLiteral("%1,%2,%3")
                     .arg(i)
                     .arg(QString::fromLatin1(b.data.toHex().toUpper()))
                     .arg(b.hasSecurity ? hex2(b.security) : QString());
    }
    return EncodeCp932(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

QByteArray DumpHex(const TagDump &dump)
{
    QStringList lines;
    QByteArray uidShown = dump.uid;
    std::reverse(uidShown.begin(), uidShown.end());
    lines << QStringLiteral("UID: %1").arg(QString::fromLatin1(uidShown.toHex(' ').toUpper()));
    lines << QStringLiteral("Tag Manufacturer: %1").arg(ManufacturerName(dump.maker));
    lines << QStringLiteral("DSFID: %1  AFI: %2  Blocks: %3 x %4 bytes  Read: %5")
                 .arg(hex2(dump.dsfid), hex2(dump.afi))
                 .arg(dump.blocks.size())
                 .arg(dump.blockSize)
                 .arg(dump.readCount());
    // The memory as one run of bytes; -1 marks a byte of a block not read.
    QVector<int> mem;
    for (const TagDump::Block &b : dump.blocks)
        for (int i = 0; i < dump.blockSize; ++i)
            mem.append(b.read && i < b.data.size() ? int(uint8_t(b.data.at(i))) : -1);
    for (int off = 0; off < mem.size(); off += 16) {
        QString hex, chars;
        for (int i = off; i < off + 16; ++i) {
            if (i >= mem.size()) {
                hex += QStringLiteral("   ");
                continue;
            }
            const int v = mem.at(i);
            hex += v < 0 ? QStringLiteral("-- ") : hex2(uint8_t(v)) + QLatin1Char(' ');
            chars += (v >= 0x20 && v < 0x7F) ? QChar(v) : QLatin1Char('.');
        }
        lines << QStringLiteral("%1: %2 %3").arg(off, 4, 16, QLatin1Char('0')).arg(hex, chars);
    }
    return EncodeCp932(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

QList<int> CompareDumps(const TagDump &a, const TagDump &b)
{
    QList<int> diff;
    const int n = int(qMax(a.blocks.size(), b.blocks.size()));
    for (int i = 0; i < n; ++i) {
        const TagDump::Block none;
        const TagDump::Block &x = i < a.blocks.size() ? a.blocks.at(i) : none;
        const TagDump::Block &y = i < b.blocks.size() ? b.blocks.at(i) : none;
        if (!x.read && !y.read)
            continue;
        if (x.read != y.read || x.data != y.data || x.hasSecurity != y.hasSecurity
            || (x.hasSecurity && x.security != y.security))
            diff << i;
    }
    return diff;
}

} // namespace kx9
