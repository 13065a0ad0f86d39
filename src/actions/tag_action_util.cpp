#include "actions/tag_action_util.h"

#include "commands/command_bytes.h"
#include "commands/ttcomxdlg.h"
#include "link/options.h"
#include "link/text_codec.h"

namespace kx9 {

uint8_t VendorInventoryFlags(const AppOptions &opts, bool oneSlot, uint8_t afi)
{
    uint8_t f = uint8_t((opts.ReadOptionFlag & 1) << 4);
    if (afi != 0)
        f |= 0x20;
    if (oneSlot)
        f |= 0x40;
    return f;
}

namespace {
// ISO 15693 request flags of the raw requests: sub-carrier and data rate bits set.
constexpr uint8_t kRawFlags = 0x03;
constexpr uint8_t kRawOptionFlag = 0x40;
constexpr uint8_t kRawAddressFlag = 0x20;

QByteArray withHeader(std::initializer_list<uint8_t> header, QByteArray request)
{
    AppendIsoCrc16(request);
    return cmd::bytes(header) + request;
}
} // namespace

QByteArray CommReadRequest(uint8_t block)
{
    return withHeader({0x00, 0x01, 0x07}, cmd::bytes({kRawFlags, 0x20, block}));
}

QByteArray CommWriteRequest(uint8_t block, bool optionFlag, const QByteArray &blockBytes)
{
    const uint8_t flags = uint8_t(kRawFlags | (optionFlag ? kRawOptionFlag : 0));
    return withHeader({0x00, 0x02, 0x03}, cmd::bytes({flags, 0x21, block}) + cmd::fit(blockBytes, 4));
}

QByteArray CommTransmitRequest(const QByteArray &uid8)
{
    return withHeader({0x00, 0x00, 0x00}, cmd::bytes({uint8_t(kRawFlags | kRawAddressFlag), 0x02}) + cmd::fit(uid8, 8));
}

int DataWriteCount(const AppOptions &opts, int textBytes, QString *note)
{
    if (note)
        note->clear();
    int limit = kTagItDataWriteMax;
    if (!opts.tagItMode()) {
        limit = qMax(0, opts.TagWriteNum);
        if (limit > kDataWriteMax) {
            if (note)
                *note = QStringLiteral("TagWriteNum（%1）は255を超えているため、255バイトまでに制限します。")
                            .arg(opts.TagWriteNum);
            limit = kDataWriteMax;
        }
    }
    return qBound(0, textBytes, limit);
}

QByteArray LightAfiBlock(uint8_t afi, const QByteArray &readBlock, int blockSize)
{
    QByteArray block = cmd::fit(readBlock, qMax(0, blockSize));
    if (!block.isEmpty())
        block[0] = char(afi);
    return block;
}

QString CutTextToBytes(const QString &text, int maxBytes)
{
    int bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype step = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        const int n = int(EncodeCp932(text.mid(i, step)).size());
        if (bytes + n > maxBytes)
            break;
        bytes += n;
        i += step;
    }
    return text.left(i);
}

} // namespace kx9
