#pragma once
// ISO/IEC 15693 transponders in the simulated field, and the Tag-it HF tags
// that answer only in the reader's Tag-it protocol. A tag answers the way the
// chip would: error codes 0x10 (no such block), 0x11 (already locked), 0x12
// (locked) and 0x0F (anything else) travel to the reader, which reports them
// as NACK 05 xx.
#include <QByteArray>
#include <QString>
#include <QVector>
#include <cstdint>
#include <optional>

namespace kx9sim {

// ISO 15693 error codes of a tag reply.
enum : uint8_t {
    IsoOk = 0x00,
    IsoNotSupported = 0x01,
    IsoFormat = 0x02,
    IsoOptionNotSupported = 0x03,
    IsoUnknown = 0x0F,
    IsoNoBlock = 0x10,
    IsoAlreadyLocked = 0x11,
    IsoLocked = 0x12,
};

// Manufacturer codes (UID byte 6 in wire order, the byte after 0xE0).
enum : uint8_t {
    MakerST = 0x02,
    MakerNXP = 0x04,
    MakerInfineon = 0x05,
    MakerTI = 0x07,
    MakerFujitsu = 0x08,
};

struct TagResult {
    uint8_t error = IsoOk;
    QByteArray data;
    static TagResult fail(uint8_t code) { return {code, {}}; }
};

struct Tag {
    enum class State { Ready, Quiet, Selected };

    QByteArray uid;          // 8 bytes, wire order: uid[0] least significant, uid[7] = 0xE0
    uint8_t dsfid = 0;
    uint8_t afi = 0;
    uint8_t icRef = 0;
    int blockSize = 4;
    int blockCount = 28;
    QByteArray mem;          // blockSize * blockCount bytes
    QVector<bool> locked;
    bool afiLocked = false;
    bool dsfidLocked = false;
    bool eas = false;
    bool easLocked = false;
    QByteArray password = QByteArray(4, '\0'); // TI kill / protected write password (see passwordInBlock11)
    bool killed = false;
    State state = State::Ready;
    bool tagit = false;      // Tag-it HF: answers 'u' commands, identified by sid
    QByteArray sid;          // 4 bytes, wire order

    void resize(int blocks, int size); // keeps contents that fit
    uint8_t maker() const { return uid.size() == 8 ? uint8_t(uid.at(6)) : 0; }
    // The small TI chip (12 blocks of 4 bytes) keeps its password in block 11:
    // a write there changes the password its kill and protected write check.
    bool passwordInBlock11() const { return maker() == MakerTI && blockCount == 12 && blockSize == 4; }
    quint64 uid64() const;
    // Identifier as shown to people: most significant byte first, 16 (Tag-it: 8) hex digits.
    QString idText() const;

    TagResult readBlock(int n, bool withSecurity) const;
    TagResult writeBlock(int n, const QByteArray &data);
    TagResult lockBlock(int n);
    TagResult readMulti(int first, int count, bool withSecurity) const;
    TagResult writeMulti(int first, int count, const QByteArray &data);
    TagResult securityStatus(int first, int count) const;
    TagResult writeAfi(uint8_t v);
    TagResult lockAfi();
    TagResult writeDsfid(uint8_t v);
    TagResult lockDsfid();
    TagResult systemInfo() const;   // info flags 0x0F, uid, dsfid, afi, blocks-1, size-1, IC ref
    // Reads count bytes from the start of block `first`, across blocks.
    TagResult readBytes(int first, int count) const;
    TagResult writeBytes(int first, const QByteArray &data);

    // Inventory match: AFI per ISO 15693 (family / sub-family 0 are wildcards),
    // the low maskLen bits of the UID against mask.
    bool afiMatches(uint8_t reqAfi) const;
    bool maskMatches(int maskLen, quint64 mask) const;

private:
    // After a write of memory bytes [start, start+count): the password of a
    // chip that keeps it in block 11 follows that block.
    void passwordFromMemory(int start, int count);
};

// Parses an identifier written most significant byte first ("E004010012345678",
// blanks allowed) into wire order. Returns an empty array on a bad text.
QByteArray parseIdText(const QString &text, int bytes);

// CRC of ISO/IEC 13239 as ISO 15693 frames carry it (complemented, sent low byte first).
uint16_t isoCrc16(const QByteArray &bytes);

// The tags in the field.
class Field {
public:
    QVector<Tag> tags;

    Tag *find(const QByteArray &uid);
    Tag *findSid(const QByteArray &sid);
    int indexOf(const QByteArray &id) const; // by uid or sid
    void resetStates();                      // power off/on: every tag back to Ready

    // ISO tags answering a non-inventory request with the given addressing.
    QVector<Tag *> responders(bool selectFlag, bool addressed, const QByteArray &uid);
    // Tag-it tags answering a 'u' request.
    QVector<Tag *> tagitResponders(bool addressed, const QByteArray &sid);
    // ISO tags answering one inventory slot (slot < 0: single-slot inventory).
    QVector<Tag *> inventorySlot(bool afiFlag, uint8_t afi, int maskLen, quint64 mask, int slot);
    // Complete anticollision: every tag that answers, found slot by slot with
    // the mask lengthened under collided slots.
    QVector<Tag *> inventoryAll(bool afiFlag, uint8_t afi, int maskLen = 0, quint64 mask = 0);

    // A complete raw ISO 15693 request (flags .. CRC). Returns the replies of
    // every tag that answered (flags .. CRC); a bad request CRC gets no answer.
    QVector<QByteArray> rawRequest(const QByteArray &request);
};

} // namespace kx9sim
