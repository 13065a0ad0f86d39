// The hex text helpers behind every field an operator types bytes into and
// every log line that shows bytes: HexToInt, HexTextToBytes, FormatHexBytes.
#include "fuzz_support.h"
#include "link/frame.h"

using namespace kx9;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kx9fuzz::Input in(data, size);
    const uint8_t mode = in.byte();
    const QByteArray raw = in.rest();
    // Typed text arrives as any Unicode; Latin-1 reaches every byte value, UTF-8 the wide characters.
    const QString text = (mode & 1) ? QString::fromUtf8(raw) : QString::fromLatin1(raw);

    (void)HexToInt(text);
    QByteArray out("prefix");
    const int n = HexTextToBytes(text, out);
    KX9_FUZZ_CHECK(n >= 0 && out.size() == 6 + n);
    KX9_FUZZ_CHECK(n <= text.size() / 2);

    // What the log shows reads back as the same bytes.
    const QString shown = FormatHexBytes(raw);
    KX9_FUZZ_CHECK(shown.size() == raw.size() * 3);
    QByteArray back;
    KX9_FUZZ_CHECK(HexTextToBytes(shown, back) == raw.size());
    KX9_FUZZ_CHECK(back == raw);
    for (qsizetype i = 0; i + 3 <= shown.size() && i < 30; i += 3)
        KX9_FUZZ_CHECK(HexToInt(shown.mid(i, 2)) == uint8_t(raw.at(i / 3)));

    // Eight digits are the whole 32-bit value.
    if (raw.size() >= 4) {
        const uint32_t v = uint32_t(uint8_t(raw[0])) << 24 | uint32_t(uint8_t(raw[1])) << 16 |
                           uint32_t(uint8_t(raw[2])) << 8 | uint8_t(raw[3]);
        KX9_FUZZ_CHECK(HexToInt(QStringLiteral("%1").arg(v, 8, 16, QLatin1Char('0'))) == v);
    }
    return 0;
}
