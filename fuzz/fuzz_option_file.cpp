// The option file: whatever an editor or a crash left in it, reading it must
// not fail, and what the tool saves from what it read must read back the same.
#include "fuzz_support.h"
#include "link/ini_file.h"
#include "link/options.h"

#include <QFile>

using namespace kx9;

namespace {
QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString dir = kx9fuzz::ScratchDir();
    const QString in = dir + QStringLiteral("/in.ini");
    const QString a = dir + QStringLiteral("/a.ini");
    const QString b = dir + QStringLiteral("/b.ini");
    kx9fuzz::WriteFile(in, QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));

    // The generic reader: every key it can find reads without trouble, and the
    // text it would save parses to the same text again.
    IniFile ini;
    KX9_FUZZ_CHECK(ini.load(in));
    (void)ini.readInteger(QStringLiteral("Option"), QStringLiteral("ComPort"), 7);
    (void)ini.readString(QStringLiteral("ComDebug"), QStringLiteral("BaudRate"), QString());
    KX9_FUZZ_CHECK(ini.save(a));
    IniFile again;
    KX9_FUZZ_CHECK(again.load(a));
    const QString t2 = again.text();
    KX9_FUZZ_CHECK(again.save(b));
    IniFile third;
    KX9_FUZZ_CHECK(third.load(b));
    // The first pass may replace bytes that are not CP932; from then on the text is stable.
    KX9_FUZZ_CHECK(third.text() == t2);

    // The tool's own records: what it saves from what it read reads back the same.
    AppOptions opts;
    LoadAppOptions(in, opts);
    ComDebugOptions com;
    LoadComDebug(in, com);
    QFile::remove(a);
    QFile::remove(b);
    KX9_FUZZ_CHECK(SaveAppOptions(a, opts));
    KX9_FUZZ_CHECK(SaveComDebug(a, com));
    AppOptions opts2;
    LoadAppOptions(a, opts2);
    ComDebugOptions com2;
    LoadComDebug(a, com2);
    KX9_FUZZ_CHECK(SaveAppOptions(b, opts2));
    KX9_FUZZ_CHECK(SaveComDebug(b, com2));
    KX9_FUZZ_CHECK(ReadAll(a) == ReadAll(b));

    // A save over the file itself keeps every section it did not touch.
    KX9_FUZZ_CHECK(SaveAppOptions(in, opts));
    IniFile after;
    KX9_FUZZ_CHECK(after.load(in));
    for (const QString &key : {QStringLiteral("Port"), QStringLiteral("BaudRate"), QStringLiteral("IDNo")})
        KX9_FUZZ_CHECK(after.readString(QStringLiteral("ComDebug"), key, QStringLiteral("-")) ==
                       again.readString(QStringLiteral("ComDebug"), key, QStringLiteral("-")));
    return 0;
}
