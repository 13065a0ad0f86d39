#include "simtag.h"

#include <functional>

namespace kx9sim {

void Tag::resize(int blocks, int size)
{
    blocks = qBound(1, blocks, 256);
    size = qBound(1, size, 32);
    QByteArray m(blocks * size, '\0');
    for (int b = 0; b < qMin(blocks, blockCount); ++b)
        for (int i = 0; i < qMin(size, blockSize); ++i)
            if (b * blockSize + i < mem.size())
                m[b * size + i] = mem.at(b * blockSize + i);
    mem = m;
    locked.resize(blocks);
    blockCount = blocks;
    blockSize = size;
}

quint64 Tag::uid64() const
{
    quint64 v = 0;
    for (int i = 0; i < uid.size() && i < 8; ++i)
        v |= quint64(uint8_t(uid.at(i))) << (8 * i);
    return v;
}

QString Tag::idText() const
{
    const QByteArray &id = tagit ? sid : uid;
    QByteArray rev;
    for (int i = int(id.size()) - 1; i >= 0; --i)
        rev.append(id.at(i));
    return QString::fromLatin1(rev.toHex().toUpper());
}

TagResult Tag::readBlock(int n, bool withSecurity) const
{
    if (n < 0 || n >= blockCount)
        return TagResult::fail(IsoNoBlock);
    TagResult r;
    if (withSecurity)
        r.data.append(char(locked.at(n) ? 0x01 : 0x00));
    r.data.append(mem.mid(n * blockSize, blockSize));
    return r;
}

TagResult Tag::writeBlock(int n, const QByteArray &data)
{
    if (n < 0 || n >= blockCount)
        return TagResult::fail(IsoNoBlock);
    if (data.size() != blockSize)
        return TagResult::fail(IsoFormat);
    if (locked.at(n))
        return TagResult::fail(IsoLocked);
    mem.replace(n * blockSize, blockSize, data);
    passwordFromMemory(n * blockSize, blockSize);
    return {};
}

void Tag::passwordFromMemory(int start, int count)
{
    const int pwdAt = 11 * blockSize;
    if (passwordInBlock11() && start < pwdAt + 4 && start + count > pwdAt)
        password = mem.mid(pwdAt, 4);
}

TagResult Tag::lockBlock(int n)
{
    if (n < 0 || n >= blockCount)
        return TagResult::fail(IsoNoBlock);
    if (locked.at(n))
        return TagResult::fail(IsoAlreadyLocked);
    locked[n] = true;
    return {};
}

TagResult Tag::readMulti(int first, int count, bool withSecurity) const
{
    if (first < 0 || count < 1 || first + count > blockCount)
        return TagResult::fail(IsoNoBlock);
    TagResult r;
    for (int b = first; b < first + count; ++b)
        r.data += readBlock(b, withSecurity).data;
    return r;
}

TagResult Tag::writeMulti(int first, int count, const QByteArray &data)
{
    if (first < 0 || count < 1 || first + count > blockCount)
        return TagResult::fail(IsoNoBlock);
    if (data.size() != count * blockSize)
        return TagResult::fail(IsoFormat);
    for (int b = first; b < first + count; ++b)
        if (locked.at(b))
            return TagResult::fail(IsoLocked);
    mem.replace(first * blockSize, data.size(), data);
    passwordFromMemory(first * blockSize, int(data.size()));
    return {};
}

TagResult Tag::securityStatus(int first, int count) const
{
    if (first < 0 || count < 1 || first + count > blockCount)
        return TagResult::fail(IsoNoBlock);
    TagResult r;
    for (int b = first; b < first + count; ++b)
        r.data.append(char(locked.at(b) ? 0x01 : 0x00));
    return r;
}

TagResult Tag::writeAfi(uint8_t v)
{
    if (afiLocked)
        return TagResult::fail(IsoLocked);
    afi = v;
    return {};
}

TagResult Tag::lockAfi()
{
    if (afiLocked)
        return TagResult::fail(IsoAlreadyLocked);
    afiLocked = true;
    return {};
}

TagResult Tag::writeDsfid(uint8_t v)
{
    if (dsfidLocked)
        return TagResult::fail(IsoLocked);
    dsfid = v;
    return {};
}

TagResult Tag::lockDsfid()
{
    if (dsfidLocked)
        return TagResult::fail(IsoAlreadyLocked);
    dsfidLocked = true;
    return {};
}

TagResult Tag::systemInfo() const
{
    TagResult r;
    r.data.append(char(0x0F));
    r.data.append(uid);
    r.data.append(char(dsfid)).append(char(afi));
    r.data.append(char(blockCount - 1)).append(char(blockSize - 1));
    r.data.append(char(icRef));
    return r;
}

TagResult Tag::readBytes(int first, int count) const
{
    const int start = first * blockSize;
    if (first < 0 || first >= blockCount || count < 0 || start + count > mem.size())
        return TagResult::fail(IsoNoBlock);
    return {IsoOk, mem.mid(start, count)};
}

TagResult Tag::writeBytes(int first, const QByteArray &data)
{
    const int start = first * blockSize;
    if (first < 0 || first >= blockCount || start + data.size() > mem.size())
        return TagResult::fail(IsoNoBlock);
    for (int i = 0; i < data.size(); ++i)
        if (locked.at((start + i) / blockSize))
            return TagResult::fail(IsoLocked);
    mem.replace(start, data.size(), data);
    passwordFromMemory(start, int(data.size()));
    return {};
}

bool Tag::afiMatches(uint8_t reqAfi) const
{
    if (reqAfi == 0)
        return true;
    const uint8_t rf = reqAfi >> 4, rs = reqAfi & 0x0F;
    const uint8_t tf = afi >> 4, ts = afi & 0x0F;
    if (rf != 0 && rf != tf)
        return false;
    if (rs != 0 && rs != ts)
        return false;
    return true;
}

bool Tag::maskMatches(int maskLen, quint64 mask) const
{
    if (maskLen <= 0)
        return true;
    if (maskLen >= 64)
        return uid64() == mask;
    const quint64 m = (quint64(1) << maskLen) - 1;
    return (uid64() & m) == (mask & m);
}

QByteArray parseIdText(const QString &text, int bytes)
{
    QString t = text;
    t.remove(' ');
    if (t.size() != bytes * 2)
        return {};
    const QByteArray raw = QByteArray::fromHex(t.toLatin1());
    if (raw.size() != bytes || QByteArray(raw.toHex()).compare(t.toLatin1(), Qt::CaseInsensitive) != 0)
        return {};
    QByteArray wire;
    for (int i = bytes - 1; i >= 0; --i)
        wire.append(raw.at(i));
    return wire;
}

uint16_t isoCrc16(const QByteArray &bytes)
{
    uint16_t crc = 0xFFFF;
    for (char c : bytes) {
        crc ^= uint8_t(c);
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0x8408) : uint16_t(crc >> 1);
    }
    return uint16_t(~crc);
}

Tag *Field::find(const QByteArray &uid)
{
    for (Tag &t : tags)
        if (!t.tagit && t.uid == uid)
            return &t;
    return nullptr;
}

Tag *Field::findSid(const QByteArray &sid)
{
    for (Tag &t : tags)
        if (t.tagit && t.sid == sid)
            return &t;
    return nullptr;
}

int Field::indexOf(const QByteArray &id) const
{
    for (int i = 0; i < tags.size(); ++i)
        if ((!tags[i].tagit && tags[i].uid == id) || (tags[i].tagit && tags[i].sid == id))
            return i;
    return -1;
}

void Field::resetStates()
{
    for (Tag &t : tags)
        t.state = Tag::State::Ready;
}

QVector<Tag *> Field::responders(bool selectFlag, bool addressed, const QByteArray &uid)
{
    QVector<Tag *> out;
    for (Tag &t : tags) {
        if (t.tagit || t.killed)
            continue;
        if (addressed) {
            // A quiet tag still answers when it is addressed by its UID.
            if (t.uid == uid)
                out.append(&t);
        } else if (selectFlag) {
            if (t.state == Tag::State::Selected)
                out.append(&t);
        } else if (t.state != Tag::State::Quiet) {
            out.append(&t);
        }
    }
    return out;
}

QVector<Tag *> Field::tagitResponders(bool addressed, const QByteArray &sid)
{
    QVector<Tag *> out;
    for (Tag &t : tags) {
        if (!t.tagit || t.killed)
            continue;
        if (addressed ? t.sid == sid : t.state != Tag::State::Quiet)
            out.append(&t);
    }
    return out;
}

QVector<Tag *> Field::inventorySlot(bool afiFlag, uint8_t afi, int maskLen, quint64 mask, int slot)
{
    QVector<Tag *> out;
    for (Tag &t : tags) {
        if (t.tagit || t.killed || t.state == Tag::State::Quiet)
            continue;
        if (afiFlag && !t.afiMatches(afi))
            continue;
        if (!t.maskMatches(maskLen, mask))
            continue;
        if (slot >= 0 && maskLen < 64 && int((t.uid64() >> maskLen) & 0xF) != slot)
            continue;
        out.append(&t);
    }
    return out;
}

QVector<Tag *> Field::inventoryAll(bool afiFlag, uint8_t afi, int maskLen, quint64 mask)
{
    QVector<Tag *> found;
    std::function<void(int, quint64)> round = [&](int len, quint64 m) {
        for (int slot = 0; slot < 16; ++slot) {
            const QVector<Tag *> r = inventorySlot(afiFlag, afi, len, m, slot);
            if (r.size() == 1)
                found.append(r.first());
            else if (r.size() > 1 && len + 4 < 64)
                round(len + 4, m | (quint64(slot) << len));
        }
    };
    if (maskLen >= 64)
        return inventorySlot(afiFlag, afi, maskLen, mask, -1);
    round(maskLen, mask);
    return found;
}

namespace {
QByteArray withCrc(QByteArray b)
{
    const uint16_t crc = isoCrc16(b);
    b.append(char(crc & 0xFF)).append(char(crc >> 8));
    return b;
}

QByteArray isoReply(const TagResult &r)
{
    QByteArray b;
    if (r.error != IsoOk)
        b.append(char(0x01)).append(char(r.error));
    else
        b.append(char(0x00)).append(r.data);
    return withCrc(b);
}
} // namespace

QVector<QByteArray> Field::rawRequest(const QByteArray &request)
{
    QVector<QByteArray> out;
    if (request.size() < 4)
        return out;
    const QByteArray body = request.left(request.size() - 2);
    const uint16_t crc = uint8_t(request.at(request.size() - 2)) | (uint8_t(request.at(request.size() - 1)) << 8);
    if (isoCrc16(body) != crc)
        return out; // a corrupted request is ignored by every tag
    const uint8_t flags = uint8_t(body.at(0));
    const uint8_t cmd = uint8_t(body.at(1));
    int pos = 2;
    auto at = [&](int i) -> int { return i < body.size() ? uint8_t(body.at(i)) : -1; };

    if (flags & 0x04) { // inventory
        if (cmd != 0x01)
            return out;
        uint8_t afi = 0;
        const bool afiFlag = flags & 0x10;
        if (afiFlag) {
            if (at(pos) < 0)
                return out;
            afi = uint8_t(at(pos++));
        }
        const int maskLen = at(pos++);
        if (maskLen < 0 || maskLen > 64)
            return out;
        quint64 mask = 0;
        for (int i = 0; i < (maskLen + 7) / 8; ++i) {
            if (at(pos) < 0)
                return out;
            mask |= quint64(at(pos++)) << (8 * i);
        }
        const bool oneSlot = flags & 0x20;
        // A raw 16-slot request is answered with what slot 0 hears; the
        // reader does not run the following slots for a transparent request.
        for (Tag *t : inventorySlot(afiFlag, afi, maskLen, mask, oneSlot ? -1 : 0))
            out.append(withCrc(QByteArray(1, '\0') + char(t->dsfid) + t->uid));
        return out;
    }

    const bool addressed = flags & 0x20;
    const bool select = flags & 0x10;
    const bool option = flags & 0x40;
    if (addressed && select)
        return out; // the two flags exclude each other: no tag executes such a request
    QByteArray uid;
    if (addressed) {
        if (body.size() < pos + 8)
            return out;
        uid = body.mid(pos, 8);
        pos += 8;
    }
    for (Tag *t : responders(select, addressed, uid)) {
        TagResult r;
        bool silent = false;
        switch (cmd) {
        case 0x02: t->state = Tag::State::Quiet; silent = true; break;
        case 0x20: r = at(pos) < 0 ? TagResult::fail(IsoFormat) : t->readBlock(at(pos), option); break;
        case 0x21: r = at(pos) < 0 ? TagResult::fail(IsoFormat) : t->writeBlock(at(pos), body.mid(pos + 1)); break;
        case 0x22: r = at(pos) < 0 ? TagResult::fail(IsoFormat) : t->lockBlock(at(pos)); break;
        case 0x23: r = at(pos + 1) < 0 ? TagResult::fail(IsoFormat) : t->readMulti(at(pos), at(pos + 1) + 1, option); break;
        case 0x25:
            if (!addressed) { silent = true; break; }
            for (Tag &o : tags)
                if (o.state == Tag::State::Selected)
                    o.state = Tag::State::Ready;
            t->state = Tag::State::Selected;
            break;
        case 0x26: t->state = Tag::State::Ready; break;
        case 0x27: r = at(pos) < 0 ? TagResult::fail(IsoFormat) : t->writeAfi(uint8_t(at(pos))); break;
        case 0x28: r = t->lockAfi(); break;
        case 0x29: r = at(pos) < 0 ? TagResult::fail(IsoFormat) : t->writeDsfid(uint8_t(at(pos))); break;
        case 0x2A: r = t->lockDsfid(); break;
        case 0x2B: r = t->systemInfo(); break;
        case 0x2C: r = at(pos + 1) < 0 ? TagResult::fail(IsoFormat) : t->securityStatus(at(pos), at(pos + 1) + 1); break;
        default: r = TagResult::fail(IsoNotSupported); break;
        }
        if (!silent)
            out.append(isoReply(r));
    }
    return out;
}

} // namespace kx9sim
