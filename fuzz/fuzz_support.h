#pragma once
// Shared by the fuzz targets: one Qt application for the whole run (offscreen,
// so no display is needed), a reader over the fuzzer's bytes that never runs
// past them, and a scratch folder in memory for targets that read files.
#include "link/log_target.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace kx9fuzz {

// Created on first use and kept: libFuzzer calls the target millions of times
// and a Qt application may exist only once per process.
inline QApplication &App()
{
    static QApplication *app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("QT_LOGGING_RULES", "*.debug=false;qt.qpa.*=false");
        static int argc = 1;
        static char arg0[] = "kx9fuzz";
        static char *argv[] = {arg0, nullptr};
        return new QApplication(argc, argv);
    }();
    return *app;
}

// A folder that lives as long as the process; on /dev/shm when it is there, so
// the per-input file writes stay in memory.
inline const QString &ScratchDir()
{
    // Removed when the process exits normally (a crashed run leaves it for a look).
    static QTemporaryDir dir((QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath()) +
                             QStringLiteral("/kx9fuzz-XXXXXX"));
    static const QString path = dir.path();
    return path;
}

inline bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

// Consumes the fuzzer's input from the front; past the end every read gives 0
// and `rest()` gives nothing.
class Input {
public:
    Input(const uint8_t *data, size_t size) : p_(data), n_(size) {}
    bool empty() const { return at_ >= n_; }
    size_t left() const { return n_ - at_; }
    uint8_t byte() { return at_ < n_ ? p_[at_++] : 0; }
    uint16_t word() { const uint8_t lo = byte(); return uint16_t(lo | (byte() << 8)); }
    bool flag() { return byte() & 1; }
    QByteArray take(size_t count)
    {
        const size_t k = count < left() ? count : left();
        QByteArray out(reinterpret_cast<const char *>(p_ + at_), qsizetype(k));
        at_ += k;
        return out;
    }
    QByteArray rest() { return take(left()); }

private:
    const uint8_t *p_;
    size_t n_;
    size_t at_ = 0;
};

// A finding the sanitizers cannot see (a broken promise of the code under
// test): abort so libFuzzer saves the input.
#define KX9_FUZZ_CHECK(cond)                                                                     \
    do {                                                                                         \
        if (!(cond)) {                                                                           \
            fprintf(stderr, "kx9fuzz: check failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__);    \
            abort();                                                                             \
        }                                                                                        \
    } while (0)

// A log pane that only counts: the monitor's panes are emptied at 250 lines,
// so more than that at once is a broken promise.
class CountingLog : public kx9::LogTarget {
public:
    int lineCount() const override { return lines_; }
    void clearLog() override { lines_ = 0; }
    void appendLine(const QString &) override
    {
        ++lines_;
        KX9_FUZZ_CHECK(lines_ <= 250);
    }

private:
    int lines_ = 0;
};

} // namespace kx9fuzz
