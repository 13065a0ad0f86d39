#include "gate/gate_bits.h"

#include "link/options.h"
#include "link/text_codec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kx9::gate {

QList<uint16_t> WordsFromBytes(const QByteArray &bytes, int count)
{
    QList<uint16_t> words;
    for (int i = 0; i < count; ++i) {
        const uint8_t l = 2 * i < bytes.size() ? uint8_t(bytes[2 * i]) : 0;
        const uint8_t h = 2 * i + 1 < bytes.size() ? uint8_t(bytes[2 * i + 1]) : 0;
        words << WordFromLH(l, h);
    }
    return words;
}

QByteArray BytesFromWords(const QList<uint16_t> &words)
{
    QByteArray out;
    for (uint16_t w : words)
        out.append(char(w & 0xFF)).append(char(w >> 8));
    return out;
}

int DecodeCountRecords(const QByteArray &bytes, int maxRecords, CountValues &v)
{
    auto u8 = [&](int i) { return uint32_t(uint8_t(bytes[i])); };
    int taken = 0;
    for (int r = 0; r < maxRecords && r < 3; ++r) {
        const int at = r * kCountRecordSize;
        if (bytes.size() < at + kCountRecordSize)
            break;
        for (int s = 0; s < 2; ++s) {
            const int p = at + 4 * s;
            v.people[2 * r + s] = u8(p) | (u8(p + 1) << 8) | (u8(p + 2) << 16) | (u8(p + 3) << 24);
            const int a = at + 8 + 2 * s;
            v.alarms[2 * r + s] = uint16_t(u8(a) | (u8(a + 1) << 8));
        }
        ++taken;
    }
    return taken;
}

QByteArray EncodeCountRecords(const CountValues &v, int records)
{
    QByteArray out;
    for (int r = 0; r < records && r < 3; ++r) {
        for (int s = 0; s < 2; ++s)
            for (int i = 0; i < 4; ++i)
                out.append(char((v.people[2 * r + s] >> (8 * i)) & 0xFF));
        for (int s = 0; s < 2; ++s)
            out.append(char(v.alarms[2 * r + s] & 0xFF)).append(char(v.alarms[2 * r + s] >> 8));
    }
    return out;
}

QList<qint64> CountFields(Model m, const CountValues &v)
{
    QList<qint64> out;
    for (int r = 0; r < RecordCount(m); ++r)
        out << v.people[2 * r] << v.alarms[2 * r] << v.people[2 * r + 1] << v.alarms[2 * r + 1];
    return out;
}

QString CountLogFileName(Model m)
{
    return m == Model::W20 ? QStringLiteral("W20LogFile.csv") : QStringLiteral("W30LogFile.csv");
}

QString CountLogPath(const AppOptions &options, Model m)
{
    const QString &set = m == Model::W20 ? options.W20LogFile : options.W30LogFile;
    if (!set.isEmpty())
        return set;
    return QDir(ToolDataFolder()).filePath(CountLogFileName(m));
}

QString CountLogHeader(Model m)
{
    QStringList h{QStringLiteral("日付"), QStringLiteral("時刻")};
    if (m == Model::W20) {
        h << QStringLiteral("人数１") << QStringLiteral("アラーム１") << QStringLiteral("人数２")
          << QStringLiteral("アラーム２");
    } else {
        const QString digits[] = {QStringLiteral("１"), QStringLiteral("２"), QStringLiteral("３")};
        for (const QString &d : digits)
            for (const QString &side : {QStringLiteral("（入）"), QStringLiteral("（出）")})
                h << QStringLiteral("人数") + d + side << QStringLiteral("アラーム") + d + side;
    }
    return h.join(u',');
}

QString CountLogRecord(Model m, const CountValues &v, const QDateTime &now)
{
    QStringList f{now.toString(QStringLiteral("yyyy/MM/dd")), now.toString(QStringLiteral("HH:mm:ss"))};
    for (qint64 x : CountFields(m, v))
        f << QString::number(x);
    return f.join(u',');
}

QString CannotCreateLogText(const QString &path)
{
    return QStringLiteral("ログファイルが作成できません。\n%1").arg(QDir::toNativeSeparators(path));
}

QString CannotOpenLogText(const QString &path)
{
    return QStringLiteral("ログファイルがオープンできません。\n%1").arg(QDir::toNativeSeparators(path));
}

bool CountLog::writeLine(QIODevice &file, QByteArray line, QString *error)
{
    // One write call for the whole line, then out of our buffers at once.
    if (file.write(line) != line.size() || !static_cast<QFile &>(file).flush()) {
        if (error)
            *error = CannotOpenLogText(path_);
        return false;
    }
    return true;
}

bool CountLog::ensureExists(QString *error)
{
    if (QFileInfo::exists(path_))
        return true;
    QFile f(path_);
    // NewOnly: a file that appeared meanwhile is not overwritten.
    if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        if (QFileInfo::exists(path_))
            return true;
        if (error)
            *error = CannotCreateLogText(path_);
        return false;
    }
    if (!writeLine(f, EncodeCp932(CountLogHeader(model_)) + "\r\n", error)) {
        if (error)
            *error = CannotCreateLogText(path_);
        return false;
    }
    return true;
}

bool CountLog::append(const CountValues &v, const QDateTime &now, QString *error)
{
    if (!ensureExists(error))
        return false;
    QFile f(path_);
    if (!f.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered)) {
        if (error)
            *error = CannotOpenLogText(path_);
        return false;
    }
    QByteArray line = EncodeCp932(CountLogRecord(model_, v, now)) + "\r\n";
    // A line cut short by a crash is ended first, so it spoils only itself.
    if (f.size() > 0 && f.seek(f.size() - 1)) {
        char last = 0;
        if (f.getChar(&last) && last != '\n')
            line.prepend("\r\n");
    }
    return writeLine(f, line, error);
}

QString ReportText(const QByteArray &bytes)
{
    QByteArray text = bytes.left(255);
    const int zero = text.indexOf('\0');
    if (zero >= 0)
        text.truncate(zero);
    return DecodeCp932(text);
}

} // namespace kx9::gate
