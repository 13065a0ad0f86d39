#include "net/local_addresses.h"

#include <QHostAddress>
#include <QNetworkAddressEntry>
#include <QNetworkInterface>
#include <QStringList>

namespace kx9 {

namespace {

LocalAddressProvider &provider()
{
    static LocalAddressProvider p;
    return p;
}

std::array<uint8_t, 4> bytesOf(quint32 v)
{
    return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
}

QList<LocalAddress> systemAddresses()
{
    QList<LocalAddress> out;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &nif : interfaces) {
        const QList<QNetworkAddressEntry> entries = nif.addressEntries();
        for (const QNetworkAddressEntry &e : entries) {
            if (e.ip().protocol() != QAbstractSocket::IPv4Protocol)
                continue;
            const quint32 ip = e.ip().toIPv4Address();
            if (ip == 0x7F000001u)
                continue;
            out.append({bytesOf(ip), bytesOf(e.netmask().toIPv4Address())});
        }
    }
    return out;
}

} // namespace

QString DottedText(const std::array<uint8_t, 4> &b)
{
    return QStringLiteral("%1.%2.%3.%4").arg(b[0]).arg(b[1]).arg(b[2]).arg(b[3]);
}

bool DottedBytes(const QString &text, std::array<uint8_t, 4> &out)
{
    out = {};
    const QStringList parts = text.trimmed().split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    std::array<uint8_t, 4> r{};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        const int v = parts[i].toInt(&ok);
        if (!ok || v < 0 || v > 255)
            return false;
        r[i] = uint8_t(v);
    }
    out = r;
    return true;
}

QString LocalAddress::addressText() const { return DottedText(address); }
QString LocalAddress::maskText() const { return DottedText(mask); }

void SetLocalAddressProvider(LocalAddressProvider p) { provider() = std::move(p); }

QList<LocalAddress> LocalAddressList() { return provider() ? provider()() : systemAddresses(); }

} // namespace kx9
