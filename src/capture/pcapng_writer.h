#pragma once
// The pcapng blocks a capture file is made of: one section header, one
// interface description per link kind and one enhanced packet per chunk of
// bytes. Little-endian, microsecond time stamps (the format's default
// resolution), options padded to 32 bits. Pure byte building, no file access,
// so the layout is tested on its own.
#include <QByteArray>
#include <QString>
#include <cstdint>

namespace kx9::pcapng {

// The reader protocol has no registered link type: the user range holds it,
// and the shipped dissector registers itself for it.
constexpr uint16_t kLinkTypeUser0 = 147;

constexpr uint32_t kSectionHeaderType = 0x0A0D0D0A;
constexpr uint32_t kInterfaceDescriptionType = 0x00000001;
constexpr uint32_t kEnhancedPacketType = 0x00000006;
constexpr uint32_t kByteOrderMagic = 0x1A2B3C4D;

// epb_flags bits 0-1.
enum class Direction : uint32_t { Unknown = 0, Inbound = 1, Outbound = 2 };

struct SectionInfo {
    QString application;   // shb_userappl
    QString os;            // shb_os
    QString hardware;      // shb_hardware
    QString comment;       // opt_comment
};

struct InterfaceInfo {
    uint16_t linkType = kLinkTypeUser0;
    QString name;          // if_name
    QString description;   // if_description
    QString comment;       // opt_comment
};

QByteArray SectionHeader(const SectionInfo &info);
QByteArray InterfaceDescription(const InterfaceInfo &info);
// Appends one enhanced packet block to `out` (no allocation beyond the
// buffer's own growth: this runs for every chunk on the link).
void AppendEnhancedPacket(QByteArray &out, uint32_t interfaceId, uint64_t timestampUs, Direction direction,
                          const uint8_t *bytes, int count, const QString &comment = {});

} // namespace kx9::pcapng
