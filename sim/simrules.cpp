#include "simrules.h"

#include <bit>

namespace kx9sim {

bool isModeCode(uint8_t mode)
{
    switch (mode) {
    case 0x00: // command mode
    case 0x01: // auto-scan
    case 0x02: // trigger
    case 0x03: // polling
    case 0x23: // polling write
    case 0x24: // EAS
    case 0x50: // continuous inventory
    case 0x51: // continuous write test
    case 0x52: // pseudo signal output
    case 0x53: // test mode 4
    case 0x54: // test mode 5
    case 0x56: // 16-slot inventory
    case 0x57: // 16-slot inventory 2
    case 0x58: // RDLOOP
    case 0x59: // RDLOOP 2
        return true;
    default:
        return false;
    }
}

uint8_t flagsRefusal(uint8_t f, FlagsUse use)
{
    const int uidMode = f & 0x03;
    const bool select = f & 0x04;
    const bool address = f & 0x08;
    switch (use) {
    case FlagsUse::Inventory:
        return uidMode == 0 ? 0 : NackCommand;
    case FlagsUse::Addressed:
        // UID mode 3 has no meaning; ISO/IEC 15693 lets only an unaddressed
        // request carry the select flag.
        if (uidMode == 3 || (select && (uidMode != 0 || address)))
            return NackCommand;
        return 0;
    case FlagsUse::WithUid:
        return select ? NackCommand : 0;
    }
    return NackCommand;
}

namespace {
// Gate sub-commands sent with ID 0 whatever the reader's ID: programming mode,
// speed, restart, and the two that travel as raw gate commands (melody and
// lamp, I/O board EEPROM initialisation).
bool gateTakesIdZero(int sub)
{
    switch (sub) {
    case 0x9B: case 0x9C: case 0x9D: case 0x9E: case 0x2A: case 0x91: return true;
    default: return false;
    }
}

// The S6700 control word carries a parity bit: bits 1-7 hold an even number of ones.
bool s6700ParityOk(uint8_t v) { return std::popcount(unsigned(v & 0xFE)) % 2 == 0; }

// Field checks over the bytes the frame holds; a field beyond its end is left
// to the handler's length check.
class Fields {
public:
    explicit Fields(const QByteArray &d) : m_d(d) {}
    bool has(int i) const { return i >= 0 && i < m_d.size(); }
    uint8_t at(int i) const { return uint8_t(m_d.at(i)); }
    bool is(int i, uint8_t v) const { return has(i) && at(i) == v; }
    // A fixed byte that holds another value.
    bool notFixed(int i, uint8_t v) const { return has(i) && at(i) != v; }
    bool notZero(int from, int to) const
    {
        for (int i = from; i < to; ++i)
            if (notFixed(i, 0))
                return true;
        return false;
    }
    bool above(int i, uint8_t max) const { return has(i) && at(i) > max; }
    bool flags(int i, FlagsUse use) const { return has(i) && flagsRefusal(at(i), use) != 0; }

private:
    const QByteArray &m_d;
};

bool refused(uint8_t cmd, const Fields &f)
{
    const int sub = f.has(0) ? f.at(0) : -1;
    switch (cmd) {
    case 'Q': // reply mode 0, 1 or 2
        return f.above(0, 2);
    case 'B': // [0] 0x00, [1] sound
        return f.notFixed(0, 0x00);
    case 'J': // four 0x00 bytes before the data
        return f.notZero(0, 4);
    case 'O':
        if (sub == 0x90) // ROM version: [1] 0x00
            return f.notFixed(1, 0x00);
        if (sub == 0x91) // RAM read: address, count, six 0x00 bytes
            return f.notZero(4, 10);
        return false;
    case 'N':
        switch (sub) {
        case 0x00:
        case 0x10: { // operating mode: store flag, mode, mode byte 2, flags, 0x01, polling time
            if (f.has(1) && !isModeCode(f.at(1)))
                return true;
            if (f.notFixed(4, 0x01))
                return true;
            if (f.is(1, 0x51) && f.notFixed(6, 0x00)) // the test block, then 0x00
                return true;
            if (f.is(1, 0x23) && f.has(8)) // polling write: block, count c, c bytes, F [, UID]
                return f.flags(9 + f.at(8), FlagsUse::Addressed);
            return false;
        }
        case 0x09:
        case 0x19:
            return f.has(1) && !s6700ParityOk(f.at(1));
        case 0x55: // LED 0/1, mode 0-2, then the time (the operator's number, taken as it comes)
            return f.above(1, 1) || f.above(2, 2);
        case 0x57: // port, LED mode 0-2, ...
            return f.above(2, 2);
        case 0x92: // RAM write: address, n 1..4, n bytes, then 0x00 up to ten bytes
            if (!f.has(3))
                return false;
            if (f.at(3) < 1 || f.at(3) > 4)
                return true;
            return f.notZero(4 + f.at(3), 10);
        case 0x9C: // antenna 0-63
            return f.above(1, 63);
        case 0x9E: // transmitter off, on, off then on
            return f.above(1, 2);
        default:
            return false;
        }
    case 'x':
        switch (sub) {
        case 0x01: // Inventory: [1] F
        case 0xF0: // Inventory2: [1] F, [2] parameter
            return f.flags(1, FlagsUse::Inventory);
        case 0x02: // StayQuiet and SelectTag: [1] F, then the UID always
        case 0x25:
        case 0xA8: // TI kill and password write: [1] F, then the UID always
        case 0xA9:
            return f.flags(1, FlagsUse::WithUid);
        case 0xA0: // ReadBytes: block, 1..255 bytes
            return f.is(2, 0x00);
        case 0xA6: // TI inventory reads: F and AFI, without an identifier
            return f.flags(1, FlagsUse::Inventory);
        case 0xA4:
            return f.flags(2, FlagsUse::Inventory);
        case 0xA5:
        case 0xA7:
        case 0xC0: // NXP inventory reads
        case 0xC1:
            return f.flags(3, FlagsUse::Inventory);
        case 0xB0: // my-d: block, 0x00, ...
        case 0xB1:
        case 0xB2:
        case 0xB3:
            return f.notFixed(2, 0x00);
        case 0xC9: // EAS on (1) or off (0)
            return f.above(1, 1);
        case 0xF1: // 16-slot loop: [2] 0x20 with an AFI, else 0x00
            return f.has(2) && f.at(2) != 0x00 && f.at(2) != 0x20;
        default:
            return false;
        }
    case 'G':
        switch (sub) {
        case 0x90: // ROM version: [1] 0x00
            return f.notFixed(1, 0x00);
        case 0x9B: { // programming mode: the nine-digit access code
            static const char code[] = "583914270";
            for (int i = 0; i < 9; ++i)
                if (f.notFixed(1 + i, uint8_t(code[i])))
                    return true;
            return false;
        }
        case 0x9C: // speed code 0-2
            return f.above(1, 2);
        default:
            return false;
        }
    default:
        return false;
    }
}
} // namespace

uint8_t requestRefusal(uint8_t cmd, const QByteArray &data, uint8_t id, uint8_t readerId)
{
    if (id != readerId && !(cmd == 'G' && id == 0 && !data.isEmpty() && gateTakesIdZero(uint8_t(data.at(0)))))
        return NackId;
    return refused(cmd, Fields(data)) ? NackCommand : 0;
}

} // namespace kx9sim
