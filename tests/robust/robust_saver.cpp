// A child process for the crash-safe file tests: saves one of the tool's
// files in a loop, through the tool's own writer, until it is killed.
//   robust_saver MODE PATH
// Replacing writers (options, kxi, grid) first write the two versions they
// alternate between to PATH.A and PATH.B, then print "ready" and save A, B,
// A, ... to PATH. The count log appends records whose every value is the
// record's sequence number, continuing from the number in PATH.seq.
#include "app/main_window.h"
#include "app/tag_grid.h"
#include "config/settings_file.h"
#include "gate/gate_bits.h"
#include "link/options.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <cstdio>

using namespace kx9;

namespace {

void Ready()
{
    std::printf("ready\n");
    std::fflush(stdout);
}

// Large enough that a save takes a while, so kills land inside one.
QString Filler(char c, int n) { return QString(n, QLatin1Char(c)); }

int Options(const QString &path)
{
    AppOptions a, b;
    a.TagDataStr = Filler('a', 300000);
    a.ComPort = 3;
    b.TagDataStr = Filler('b', 200000);
    b.ComPort = 4;
    QFile::remove(path + ".A");
    QFile::remove(path + ".B");
    if (!SaveAppOptions(path + ".A", a) || !SaveAppOptions(path + ".B", b))
        return 2;
    Ready();
    for (unsigned i = 0;; ++i)
        SaveAppOptions(path, i % 2 ? b : a);
}

int Kxi(const QString &path)
{
    // A file with a long memo section the tool keeps while it rewrites KX9SET.
    auto block = [](uint8_t v) {
        ReaderParamBlock r;
        r.area1.fill(v);
        r.area2.fill(uint8_t(v + 1));
        return r;
    };
    const QByteArray memo = "[Memo]\r\nnote=" + QByteArray(200000, 'm') + "\r\n";
    for (const char *suffix : {".A", ".B"}) {
        QFile f(path + suffix);
        if (!f.open(QIODevice::WriteOnly) || f.write(memo) != memo.size())
            return 2;
    }
    QString error;
    if (!WriteSettingsFile(path + ".A", block(0x11), true, &error) || !WriteSettingsFile(path + ".B", block(0x22), true, &error))
        return 2;
    QFile::remove(path);
    QFile::copy(path + ".A", path);
    Ready();
    for (unsigned i = 0;; ++i)
        WriteSettingsFile(path, block(i % 2 ? 0x22 : 0x11), true, &error);
}

int Grid(const QString &path)
{
    // Two windows, one per version, so a loop pass is only the write.
    TKX9AppForm wa(path + ".a.ini"), wb(path + ".b.ini");
    auto fill = [](TagGrid *grid, char c) {
        grid->setRowCount(3001);
        for (int r = 1; r <= 3000; ++r) {
            grid->setCell(r, 0, QString::number(r));
            grid->setCell(r, 2, Filler(c, 60));
        }
    };
    fill(wa.grid(), 'A');
    fill(wb.grid(), 'B');
    if (!wa.WriteGridCsv(path + ".A") || !wb.WriteGridCsv(path + ".B"))
        return 2;
    QFile::remove(path);
    QFile::copy(path + ".A", path);
    Ready();
    for (unsigned i = 0;; ++i)
        (i % 2 ? wb : wa).WriteGridCsv(path);
}

int Count(const QString &path)
{
    QFile seqFile(path + ".seq");
    qint64 seq = 0;
    if (seqFile.open(QIODevice::ReadOnly))
        seq = seqFile.readAll().trimmed().toLongLong();
    seqFile.close();
    gate::CountLog log(gate::Model::W30, path);
    QString error;
    if (!log.ensureExists(&error))
        return 2;
    Ready();
    for (;; ++seq) {
        gate::CountValues v;
        v.people.fill(uint32_t(seq));
        v.alarms.fill(uint16_t(seq % 60000));
        if (!log.append(v, QDateTime(QDate(2026, 12, 11), QTime(12, 0, 0)), &error))
            return 3;
    }
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3)
        return 1;
    const QByteArray mode(argv[1]);
    const QString path = QString::fromLocal8Bit(argv[2]);
    if (mode == "options")
        return Options(path);
    if (mode == "kxi")
        return Kxi(path);
    if (mode == "grid")
        return Grid(path);
    if (mode == "count")
        return Count(path);
    return 1;
}
