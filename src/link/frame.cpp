#include "frame.h"

#include <algorithm>

namespace kx9 {

uint8_t FrameChecksum(const uint8_t *frame, std::size_t size)
{
    if (!frame || size < 4)
        return 0;
    const std::size_t n = std::min<std::size_t>(std::size_t(frame[3]) + 5, size);
    uint8_t sum = 0;
    for (std::size_t i = 0; i < n; ++i)
        sum = uint8_t(sum + frame[i]);
    return sum;
}

uint8_t FrameChecksum(const QByteArray &frame)
{
    return FrameChecksum(reinterpret_cast<const uint8_t *>(frame.constData()), std::size_t(frame.size()));
}

QString FormatHexBytes(const uint8_t *bytes, int count)
{
    static const char digits[] = "0123456789ABCDEF";
    if (!bytes || count <= 0)
        return QString();
    QString out(count * 3, Qt::Uninitialized);
    QChar *p = out.data();
    for (int i = 0; i < count; ++i) {
        *p++ = QLatin1Char(digits[bytes[i] >> 4]);
        *p++ = QLatin1Char(digits[bytes[i] & 0x0F]);
        *p++ = QLatin1Char(' ');
    }
    return out;
}

QString FormatHexBytes(const QByteArray &bytes)
{
    return FormatHexBytes(reinterpret_cast<const uint8_t *>(bytes.constData()), int(bytes.size()));
}

uint32_t HexToInt(const QString &text)
{
    // Walks from the last character; a character that is not a hex digit still
    // takes its place, as a 0.
    uint32_t value = 0;
    uint32_t weight = 1;
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        const char16_t c = text.at(i).unicode();
        uint32_t digit = 0;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        value += digit * weight;
        weight *= 16;
    }
    return value;
}

int HexTextToBytes(const QString &text, QByteArray &out)
{
    int count = 0;
    qsizetype pos = 0;
    const qsizetype n = text.size();
    while (n - pos >= 2) {
        out.append(char(HexToInt(text.mid(pos, 2)) & 0xFF));
        ++count;
        pos += 2;
        while (pos < n && text.at(pos).unicode() <= 0x20)
            ++pos;
    }
    return count;
}

std::optional<QByteArray> BuildFrame(uint8_t id, uint8_t command, const QByteArray &data)
{
    if (data.size() > kMaxFrameData)
        return std::nullopt;
    const int len = int(data.size());
    QByteArray f;
    f.reserve(len + 7);
    f.append(char(STX));
    f.append(char(id));
    f.append(char(command));
    f.append(char(len));
    f.append(data);
    f.append(char(ETX));
    f.append(char(FrameChecksum(f)));
    f.append(char(CR));
    return f;
}

int FrameView::dataSize() const
{
    if (size_ <= 4)
        return 0;
    return std::min(len(), size_ - 4);
}

QByteArray FrameView::dataBytes(int from, int count) const
{
    const int avail = dataSize();
    if (from < 0 || from >= avail || count <= 0)
        return QByteArray();
    count = std::min(count, avail - from);
    return QByteArray(reinterpret_cast<const char *>(p_ + 4 + from), count);
}

} // namespace kx9
