#pragma once
// The reader frame: STX, ID, CMD/KIND, LEN, DATA[LEN], ETX, SUM, CR.
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace kx9 {

constexpr uint8_t STX = 0x02;
constexpr uint8_t ETX = 0x03;
constexpr uint8_t CR = 0x0D;
constexpr int kMaxFrameData = 255;
constexpr int kMaxFrameSize = kMaxFrameData + 7;

// Low 8 bits of the sum of the first LEN+5 bytes (STX through ETX). Bytes
// beyond `size` are never read: a short buffer sums what it has.
uint8_t FrameChecksum(const uint8_t *frame, std::size_t size);
uint8_t FrameChecksum(const QByteArray &frame);

// "0A FF " : two upper-case hex digits and a blank per byte.
QString FormatHexBytes(const uint8_t *bytes, int count);
QString FormatHexBytes(const QByteArray &bytes);

uint32_t HexToInt(const QString &text);
// Returns the number of bytes appended to `out`.
int HexTextToBytes(const QString &text, QByteArray &out);

// A whole request frame, or nothing when DATA would not fit in one LEN byte.
std::optional<QByteArray> BuildFrame(uint8_t id, uint8_t command, const QByteArray &data);

// Bounds-checked read access to a received frame. Every accessor checks the
// index against both LEN and what actually arrived; out of range reads give 0
// and `has()` tells whether a byte is really there.
class FrameView {
public:
    FrameView() = default;
    FrameView(const uint8_t *bytes, int size) : p_(bytes), size_(size < 0 ? 0 : size) {}
    explicit FrameView(const QByteArray &bytes)
        : p_(reinterpret_cast<const uint8_t *>(bytes.constData())), size_(int(bytes.size())) {}

    int size() const { return size_; }
    uint8_t id() const { return at(1); }
    uint8_t kind() const { return at(2); }
    int len() const { return at(3); }
    // DATA bytes that are both announced by LEN and present.
    int dataSize() const;
    bool has(int dataIndex) const { return dataIndex >= 0 && dataIndex < dataSize(); }
    uint8_t data(int dataIndex) const { return has(dataIndex) ? p_[4 + dataIndex] : 0; }
    // DATA[from .. from+count-1], cut to what is present.
    QByteArray dataBytes(int from, int count) const;
    QByteArray dataBytes(int from = 0) const { return dataBytes(from, dataSize() - from); }
    uint8_t at(int offset) const { return (offset >= 0 && offset < size_) ? p_[offset] : 0; }
    QByteArray bytes() const { return QByteArray(reinterpret_cast<const char *>(p_), size_); }

private:
    const uint8_t *p_ = nullptr;
    int size_ = 0;
};

} // namespace kx9
