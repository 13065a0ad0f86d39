// The LAN module's text forms as its console answers them: IP addresses, MAC
// addresses and the hexadecimal groups inside them.
#include "fuzz_support.h"
#include "net/lan_module.h"

using namespace kx9;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The console's answers are taken as Latin-1, one character per byte.
    const QString text = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));

    const int v = HexGroupToInt(text);
    KX9_FUZZ_CHECK(v >= 0);

    std::array<int, 4> ip{1, 1, 1, 1};
    if (ParseIPv4(text, ip)) {
        for (int g : ip)
            KX9_FUZZ_CHECK(g >= 0 && g <= 255);
        // The dotted form of what was parsed parses to the same address.
        std::array<int, 4> again{};
        KX9_FUZZ_CHECK(ParseIPv4(QStringLiteral("%1.%2.%3.%4").arg(ip[0]).arg(ip[1]).arg(ip[2]).arg(ip[3]), again));
        KX9_FUZZ_CHECK(again == ip);
    } else {
        KX9_FUZZ_CHECK(ip == (std::array<int, 4>{}));
    }

    std::array<int, 6> mac{1, 1, 1, 1, 1, 1};
    if (ParseMac(text, mac)) {
        for (int g : mac)
            KX9_FUZZ_CHECK(g >= 0 && g <= 255);
    } else {
        KX9_FUZZ_CHECK(mac == (std::array<int, 6>{}));
    }
    return 0;
}
