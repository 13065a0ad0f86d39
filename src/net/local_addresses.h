#pragma once
// The PC's own IPv4 addresses with their masks, in the order the system lists
// them, without 127.0.0.1. Behind a replaceable provider so tests (and another
// platform) can supply their own table.
#include <QList>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>

namespace kx9 {

struct LocalAddress {
    // Byte 0 is the first dotted number.
    std::array<uint8_t, 4> address{};
    std::array<uint8_t, 4> mask{};

    QString addressText() const;
    QString maskText() const;
    bool operator==(const LocalAddress &) const = default;
};

QString DottedText(const std::array<uint8_t, 4> &bytes);
// Four numbers of a dotted IPv4 text; false (and zeros) when it is not one.
bool DottedBytes(const QString &text, std::array<uint8_t, 4> &out);

using LocalAddressProvider = std::function<QList<LocalAddress>()>;
// nullptr restores the system's table.
void SetLocalAddressProvider(LocalAddressProvider provider);
QList<LocalAddress> LocalAddressList();

} // namespace kx9
