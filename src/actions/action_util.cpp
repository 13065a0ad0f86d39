#include "actions/action_util.h"

#include "commands/command_bytes.h"
#include "link/main_state.h"
#include "link/options.h"
#include "link/text_codec.h"

#include <QDateTime>
#include <cmath>

namespace kx9 {

uint8_t GroupFlags(const AppOptions &opts, FlagGroup group)
{
    switch (group) {
    case FlagGroup::Read:
        return uint8_t(((opts.ReadOptionFlag & 1) << 4) | (opts.ReadUidFlag & 3));
    case FlagGroup::Write:
        return uint8_t(((opts.WriteOptionFlag & 1) << 4) | (opts.WriteUidFlag & 3));
    case FlagGroup::Uid:
        break;
    }
    return uint8_t(opts.UidFlag & 3);
}

uint8_t RequestFlagsFor(const AppOptions &opts, FlagGroup group, bool overridable)
{
    if (overridable && opts.fUSESetOption != 0)
        return opts.Prog15693FLAG;
    return GroupFlags(opts, group);
}

uint8_t InventoryFlags(const AppOptions &opts, bool oneSlot)
{
    uint8_t f = oneSlot ? 0x40 : 0x00;
    if (opts.fUSESetOption != 0)
        f |= opts.Prog15693FLAG & 0x20;
    return f;
}

uint8_t Inventory2Flags(const AppOptions &opts)
{
    return opts.fUSESetOption != 0 ? uint8_t(opts.Prog15693FLAG & 0x20) : uint8_t(0);
}

uint8_t TwoBlockFlags(const AppOptions &opts)
{
    return uint8_t((opts.WriteUidFlag & 3) | 0x10);
}

QByteArray TextToBlockBytes(const QString &text, int n)
{
    if (n <= 0)
        return {};
    return cmd::fit(EncodeCp932(text), n);
}

QByteArray BinaryBlockBytes(uint8_t data3, uint8_t data2, uint8_t data1, uint8_t data0, int blockSize)
{
    QByteArray buffer(kBlockBufferSize, '\0');
    buffer[0] = char(data0);
    buffer[1] = char(data1);
    buffer[2] = char(data2);
    buffer[3] = char(data3);
    return buffer.left(qBound(0, blockSize, kBlockBufferSize));
}

QString BlockWriteRefusal(int dataBytes, int overhead, uint8_t requestFlags)
{
    const int uid = (requestFlags & 3) == 1 ? 8 : 0;
    const int limit = std::min(kBlockBufferSize, kMaxDataLen - overhead - uid);
    if (dataBytes <= 0)
        return QStringLiteral("書き込むデータの大きさが０バイトです（ブロックサイズを確認してください）。");
    if (dataBytes <= limit)
        return {};
    return QStringLiteral("書き込みデータが %1 バイトになります。１回のコマンドで書き込めるのは %2 バイトまでです"
                          "（バッファ 256 バイト、コマンドのデータ部 255 バイト%3）。\nブロック数を減らしてください。")
        .arg(dataBytes)
        .arg(limit)
        .arg(uid ? QStringLiteral("、ＵＩＤ指定で 8 バイト使用") : QString());
}

double NowAsDays()
{
    const QDateTime now = QDateTime::currentDateTime();
    static const QDate epoch(1899, 12, 30);
    return double(epoch.daysTo(now.date())) + double(now.time().msecsSinceStartOfDay()) / 86400000.0;
}

QString FormatExecTime(double days)
{
    long long ms = std::llround(days * 86400000.0);
    if (ms < 0)
        ms = 0;   // the clock was set back during the command
    const int minutes = int((ms / 60000) % 60);
    const int seconds = int((ms / 1000) % 60);
    const int millis = int(ms % 1000);
    return QStringLiteral("%1:%2:%3")
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(seconds, 2, 10, QLatin1Char('0'))
        .arg(millis, 2, 10, QLatin1Char('0'));
}

QStringList SystemInfoLines(const TagSystemInfoRec &info)
{
    QStringList lines;
    const auto hex2 = [](int v) { return QStringLiteral("%1").arg(v, 2, 16, QLatin1Char('0')).toUpper(); };
    if (info.infoFlags & 0x02)
        lines << QStringLiteral("AFI: %1[0x%2]").arg(info.afi).arg(hex2(info.afi));
    if (info.infoFlags & 0x04) {
        lines << QStringLiteral("ブロック数: %1").arg(int(info.blockCountMinus1) + 1);
        lines << QStringLiteral("ブロックサイズ: %1").arg((info.blockSizeMinus1 & 0x1F) + 1);
    }
    if (info.infoFlags & 0x08)
        lines << QStringLiteral("ＩＣ基準: 0x%1").arg(hex2(info.icReference));
    return lines;
}

} // namespace kx9
