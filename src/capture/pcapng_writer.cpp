#include "capture/pcapng_writer.h"

#include <cstring>

namespace kx9::pcapng {

namespace {

constexpr uint16_t kOptEnd = 0;
constexpr uint16_t kOptComment = 1;
constexpr uint16_t kShbHardware = 2;
constexpr uint16_t kShbOs = 3;
constexpr uint16_t kShbUserAppl = 4;
constexpr uint16_t kIfName = 2;
constexpr uint16_t kIfDescription = 3;
constexpr uint16_t kIfTsResol = 9;
constexpr uint16_t kEpbFlags = 2;

void put16(QByteArray &out, uint16_t v)
{
    const char b[2] = {char(v & 0xFF), char(v >> 8)};
    out.append(b, 2);
}

void put32(QByteArray &out, uint32_t v)
{
    const char b[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
    out.append(b, 4);
}

void pad32(QByteArray &out, qsizetype from)
{
    while ((out.size() - from) % 4 != 0)
        out.append('\0');
}

void putOption(QByteArray &out, uint16_t code, const QByteArray &value)
{
    if (value.isEmpty())
        return;
    // An option value is at most 65535 bytes; a longer text is cut.
    const QByteArray v = value.left(0xFFFF);
    put16(out, code);
    put16(out, uint16_t(v.size()));
    const qsizetype start = out.size();
    out.append(v);
    pad32(out, start);
}

void putTextOption(QByteArray &out, uint16_t code, const QString &text)
{
    // Text options are UTF-8 without a terminating zero.
    putOption(out, code, text.toUtf8());
}

void endOptions(QByteArray &out, qsizetype optionsStart)
{
    if (out.size() > optionsStart) {
        put16(out, kOptEnd);
        put16(out, 0);
    }
}

// Writes the block's total length at its start and at its end.
void closeBlock(QByteArray &out, qsizetype blockStart)
{
    const uint32_t total = uint32_t(out.size() - blockStart + 4);
    put32(out, total);
    const char b[4] = {char(total & 0xFF), char((total >> 8) & 0xFF), char((total >> 16) & 0xFF), char(total >> 24)};
    std::memcpy(out.data() + blockStart + 4, b, 4);
}

} // namespace

QByteArray SectionHeader(const SectionInfo &info)
{
    QByteArray out;
    put32(out, kSectionHeaderType);
    put32(out, 0);                     // total length, filled in below
    put32(out, kByteOrderMagic);
    put16(out, 1);                     // major version
    put16(out, 0);                     // minor version
    put32(out, 0xFFFFFFFF);            // section length: not known while writing
    put32(out, 0xFFFFFFFF);
    const qsizetype options = out.size();
    putTextOption(out, kOptComment, info.comment);
    putTextOption(out, kShbHardware, info.hardware);
    putTextOption(out, kShbOs, info.os);
    putTextOption(out, kShbUserAppl, info.application);
    endOptions(out, options);
    closeBlock(out, 0);
    return out;
}

QByteArray InterfaceDescription(const InterfaceInfo &info)
{
    QByteArray out;
    put32(out, kInterfaceDescriptionType);
    put32(out, 0);
    put16(out, info.linkType);
    put16(out, 0);                     // reserved
    put32(out, 0);                     // snap length: none, every byte is kept
    const qsizetype options = out.size();
    putTextOption(out, kOptComment, info.comment);
    putTextOption(out, kIfName, info.name);
    putTextOption(out, kIfDescription, info.description);
    putOption(out, kIfTsResol, QByteArray(1, char(6)));   // 10^-6 s
    endOptions(out, options);
    closeBlock(out, 0);
    return out;
}

void AppendEnhancedPacket(QByteArray &out, uint32_t interfaceId, uint64_t timestampUs, Direction direction,
                          const uint8_t *bytes, int count, const QString &comment)
{
    if (count < 0)
        count = 0;
    const qsizetype start = out.size();
    const QByteArray note = comment.toUtf8().left(0xFFFF);
    out.reserve(start + 28 + count + 3 + 12 + (note.isEmpty() ? 0 : note.size() + 7) + 8);
    put32(out, kEnhancedPacketType);
    put32(out, 0);
    put32(out, interfaceId);
    put32(out, uint32_t(timestampUs >> 32));
    put32(out, uint32_t(timestampUs & 0xFFFFFFFF));
    put32(out, uint32_t(count));       // captured length
    put32(out, uint32_t(count));       // original length
    const qsizetype data = out.size();
    if (count > 0)
        out.append(reinterpret_cast<const char *>(bytes), count);
    pad32(out, data);
    const qsizetype options = out.size();
    if (direction != Direction::Unknown) {
        put16(out, kEpbFlags);
        put16(out, 4);
        put32(out, uint32_t(direction));
    }
    putOption(out, kOptComment, note);
    endOptions(out, options);
    closeBlock(out, start);
}

} // namespace kx9::pcapng
