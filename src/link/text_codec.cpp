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

// ICU's converter swaps three control codes the IBM way (byte 1A is U+001C,
// 1C is U+007F, 7F is U+001A) where CP932 keeps them as they are: a DEL or
// SUB in a file would come back as another character after every save. None
// of the three is ever a trail byte, so they are put right byte by byte.
static void fromIcuControls(QByteArray &bytes)
{
    for (char &c : bytes) {
        if (c == '\x1C')
            c = '\x7F';
        else if (c == '\x7F')
            c = '\x1A';
        else if (c == '\x1A')
            c = '\x1C';
    }
}

static void toIcuControls(QByteArray &bytes)
{
    for (char &c : bytes) {
        if (c == '\x1A')
            c = '\x7F';
        else if (c == '\x1C')
            c = '\x1A';
        else if (c == '\x7F')
            c = '\x1C';
    }
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
    QByteArray bytes = enc.encode(text);
    fromIcuControls(bytes);
    return bytes;
}

QString DecodeCp932(const char *bytes, int size)
{
    if (size <= 0)
        return QString();
    if (!Cp932Available() || isAscii(bytes, size))
        return QString::fromLatin1(bytes, size);
    thread_local QStringDecoder dec(kCodecName);
    dec.resetState();
    QByteArray in(bytes, size);
    toIcuControls(in);
    return dec.decode(in);
}

QString DecodeCp932(const QByteArray &bytes)
{
    return DecodeCp932(bytes.constData(), int(bytes.size()));
}

} // namespace kx9
