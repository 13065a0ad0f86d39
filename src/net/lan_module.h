#pragma once
// The LAN module's settings as the tool keeps them, the text forms its
// console uses, and the console sequences built on the Telnet link: reading
// every setting, writing them back, and setting the module's RS-232C speed.
#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>

namespace kx9 {

class LogTarget;
class TTelNetCont1Dlg;

// The module maker's fixed first three bytes of every module's MAC address.
inline constexpr std::array<int, 3> kLanVendorPrefix = {0x02, 0x4B, 0x58};

struct LanModuleSettings {
    std::array<int, 6> mac = {kLanVendorPrefix[0], kLanVendorPrefix[1], kLanVendorPrefix[2], 0, 0, 0};
    std::array<int, 4> ownAddress{};
    int ownPort = 0;
    std::array<int, 4> destAddress{};
    int destPort = 0;
    int mask = 24;
    bool autoConnect = true;
    int speedIndex = 1;   // 0 9600, 1 19200, 2 38400 bit/s
    int txTiming = 0;     // ms
    int keepAlive = 0;    // 0 OFF, 1 ON
    int chkTimer = 0;     // min
    bool operator==(const LanModuleSettings &) const = default;
};

// The console's keys, in the order they are read.
enum class LanKey { Madr, LIp, LPt, FIp, FPt, Mask, Conn, Bps, Timv, Keep, Timr, Save };
using LanKeys = uint32_t;   // one bit per LanKey
constexpr LanKeys Bit(LanKey k) { return LanKeys(1) << int(k); }
inline constexpr LanKeys kAllLanKeys = (LanKeys(1) << (int(LanKey::Save) + 1)) - 1;
// The settings a write sends (every key but the MAC address and "save").
inline constexpr LanKeys kWritableLanKeys = kAllLanKeys & ~Bit(LanKey::Madr) & ~Bit(LanKey::Save);

QByteArray LanKeyText(LanKey key);          // "madr", "l_ip", ...
QString LanKeyName(LanKey key);             // "MACアドレス", "IPアドレス", ... as the messages name it
// The key's message: its name, a full-width blank and "OK!!" or "NG!!".
QString LanKeyMessage(LanKey key, bool ok);

// Four decimal groups separated by '.' or '-' (read from the right). False,
// and four zeros, when it is not one.
bool ParseIPv4(const QString &text, std::array<int, 4> &out);
// Six hexadecimal groups separated by '.' or '-'; false and six zeros when it is not one.
bool ParseMac(const QString &text, std::array<int, 6> &out);
// Hexadecimal digits of either case; any other character adds nothing.
int HexGroupToInt(const QString &text);

// The module's "bps" values: 15 9600, 16 19200, 17 38400 bit/s. The speed
// code (0 9600, 1 19200, 2 38400) is the list index of the settings dialog.
int LanBpsValue(int code);
int LanSpeedCodeOfBps(int bitsPerSecond);   // 9600 0, 19200 1, 38400 2, anything else -1
int LanBitsPerSecond(int code);
QString LanSpeedText(int code);             // "9600bps", "19.2kbps", "38.4kbps"

using AppLogFn = std::function<void(const QString &)>;

// Sends CR LF after clearing the buffer, pauses 100 ms and waits for the
// module's ">" behind its echo.
bool LanModuleWake(TTelNetCont1Dlg &link);

// Reads the settings in order, each only while the ones before it were read,
// logging each one's message. A reply that does not hold what the setting
// needs (no number where a number belongs, a number the field cannot show, an
// address that does not parse, "NG") is a failed read. Returns the keys read;
// `into` takes their values (the rest is left as it was).
LanKeys LanModuleRead(TTelNetCont1Dlg &link, LanModuleSettings &into, const AppLogFn &appLog);

// The configuration sequence: each setting of `keys` (auto connect only when
// ticked) while everything before it was accepted, then "save". True when every step was.
bool LanModuleWrite(TTelNetCont1Dlg &link, const LanModuleSettings &settings, const AppLogFn &appLog,
                    LanKeys keys = kWritableLanKeys);

// Opens a Telnet link of its own to the module at `address`, reads its
// RS-232C speed and, when it is not `code` yet, sets and saves it. True when
// the module runs at `code` afterwards.
bool LanModuleSetSpeed(LogTarget *logPane, int logRx, const QString &address, int code, const AppLogFn &appLog);

} // namespace kx9
