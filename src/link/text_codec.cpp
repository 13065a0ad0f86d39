#include "text_codec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace kx9 {

namespace {
// The converter Qt gets from ICU under this name is the Windows CP932 table
// (5C stays a backslash, NEC/IBM extensions like U+2460 round-trip).
constexpr const char *kCodecName = "Shift_JIS";

bool probe()
{
    QStringEncoder enc(kCodecName);
    QStringDecoder dec(kCodecName);
    return enc.isValid() && dec.isValid();
}
} // namespace

bool Cp932Available()
{
    static const bool ok = probe();
    return ok;
}

static bool isAscii(const char *bytes, int size)
{
    for (int i = 0; i < size; ++i)
        if (static_cast<unsigned char>(bytes[i]) >= 0x80)
            return false;
    return true;
}

QByteArray EncodeCp932(const QString &text)
{
    if (!Cp932Available())
        return text.toLatin1();
    // One converter per thread: opening an ICU converter per call would cost
    // more than the decoding of a short tag report.
    thread_local QStringEncoder enc(kCodecName);
    enc.resetState();
    return enc.encode(text);
}

QString DecodeCp932(const char *bytes, int size)
{
    if (size <= 0)
        return QString();
    if (!Cp932Available() || isAscii(bytes, size))
        return QString::fromLatin1(bytes, size);
    thread_local QStringDecoder dec(kCodecName);
    dec.resetState();
    return dec.decode(QByteArrayView(bytes, size));
}

QString DecodeCp932(const QByteArray &bytes)
{
    return DecodeCp932(bytes.constData(), int(bytes.size()));
}

} // namespace kx9
