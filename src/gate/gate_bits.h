#pragma once
// Bytes and words of the gates, free of widgets: bit fields inside the mode
// byte and the EEPROM words, the 12-byte count records, and the count log's
// header and record lines.
//
// A gate EEPROM word travels as two bytes, L first and H second; a field
// "byte H bits 0-3" is bits 8-11 of the word here.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

namespace kx9 {

struct AppOptions;

namespace gate {

enum class Model { W20, W30 };

// `width` bits of `value` from bit `lo` on.
constexpr int FieldGet(uint32_t value, int lo, int width)
{
    return int((value >> lo) & ((1u << width) - 1u));
}

// `value` with the field replaced by `field`. A field of -1 is a control that
// shows no selection: the bits are kept as they were, never filled with ones
// (and never spilled into the neighbouring fields).
constexpr uint32_t FieldSet(uint32_t value, int lo, int width, int field)
{
    if (field < 0)
        return value;
    const uint32_t mask = ((1u << width) - 1u) << lo;
    return (value & ~mask) | ((uint32_t(field) << lo) & mask);
}

inline uint16_t WordFromLH(uint8_t l, uint8_t h) { return uint16_t(l | (h << 8)); }
// Words from their L/H byte pairs; a missing byte counts as 0.
QList<uint16_t> WordsFromBytes(const QByteArray &bytes, int count);
QByteArray BytesFromWords(const QList<uint16_t> &words);

// One gate's counters as the count dialogs show them: sensors 1..6 (the W20
// has sensors 1 and 2). Sensor 2k+1 is the A side of record k, 2k+2 its B side.
struct CountValues {
    std::array<uint32_t, 6> people{};
    std::array<uint16_t, 6> alarms{};
    bool operator==(const CountValues &) const = default;
};

constexpr int kCountRecordSize = 12;
inline int SensorCount(Model m) { return m == Model::W20 ? 2 : 6; }
inline int RecordCount(Model m) { return m == Model::W20 ? 1 : 3; }

// Takes the records that `bytes` holds whole (at most `maxRecords`) into `v`;
// the fields of records that are cut short or missing keep their values.
// Returns the number of records taken. Nothing past `bytes` is read.
int DecodeCountRecords(const QByteArray &bytes, int maxRecords, CountValues &v);
QByteArray EncodeCountRecords(const CountValues &v, int records);

// The values in log and display order: per record, people A, alarms A,
// people B, alarms B.
QList<qint64> CountFields(Model m, const CountValues &v);

// ---- count logs
QString CountLogFileName(Model m);
// The option's path, or the program's folder and the default name when the option is empty.
QString CountLogPath(const AppOptions &options, Model m);
QString CountLogHeader(Model m);                       // without the line end
// Date "yyyy/mm/dd" and time "hh:nn:ss" from the one clock reading `now`, then the values.
QString CountLogRecord(Model m, const CountValues &v, const QDateTime &now);

// A count log on disk: CP932, comma-separated, CR LF. Every line goes out in
// a single write and is flushed, so a crash can cut at most the line being
// written; a line left cut by an earlier crash is ended before the next
// record, which then starts on a line of its own.
class CountLog {
public:
    CountLog(Model model, const QString &path) : model_(model), path_(path) {}
    const QString &path() const { return path_; }
    Model model() const { return model_; }

    // Creates the file with the header line when it does not exist. False
    // (with the operator's message in `error`) when it cannot be created.
    bool ensureExists(QString *error);
    // Creates the file if needed, then appends one record.
    bool append(const CountValues &v, const QDateTime &now, QString *error);

private:
    bool writeLine(QIODevice &file, QByteArray line, QString *error);
    Model model_;
    QString path_;
};

// The operator's messages for a log that cannot be written.
QString CannotCreateLogText(const QString &path);
QString CannotOpenLogText(const QString &path);

// A count report that no dialog takes: its bytes up to the first zero (at
// most 255) as text.
QString ReportText(const QByteArray &bytes);

} // namespace gate
} // namespace kx9
