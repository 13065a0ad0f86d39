// Reader settings files (.KXI): any file an operator opens reads as a record,
// and the record saved from it reads back as the same record.
#include "fuzz_support.h"
#include "config/settings_file.h"
#include "link/ini_file.h"

#include <QFile>

using namespace kx9;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kx9fuzz::Input input(data, size);
    const uint8_t mode = input.byte();
    const bool ver121 = mode & 1;
    const bool p15 = mode & 2;
    const QByteArray bytes = input.rest();

    const QString dir = kx9fuzz::ScratchDir();
    const QString in = dir + QStringLiteral("/in.KXI");
    const QString out = dir + QStringLiteral("/out.KXI");
    kx9fuzz::WriteFile(in, bytes);

    const ReaderParamBlock block = ReadSettingsFile(in, ver121);
    if (!ver121)
        KX9_FUZZ_CHECK(block.area2 == ParamArea2{});

    // Each value as the field reader takes it on its own.
    IniFile ini;
    ini.load(in);
    for (int i = 0; i < 40; ++i)
        KX9_FUZZ_CHECK(SettingsByte(ini.readString(kSettingsSection, SettingsKeyArea1(i), QString())) == block.area1[size_t(i)]);

    // Saving the record into a copy of the file and reading it back gives the record.
    QFile::remove(out);
    kx9fuzz::WriteFile(out, bytes);
    QString error;
    KX9_FUZZ_CHECK(WriteSettingsFile(out, block, ver121, &error));
    const ReaderParamBlock back = ReadSettingsFile(out, ver121);
    KX9_FUZZ_CHECK(back.area1 == block.area1);
    KX9_FUZZ_CHECK(back.area2 == block.area2);

    const SettingsCheck check = CompareWithFile(block, back, ver121, p15);
    KX9_FUZZ_CHECK(check.equal);
    const SettingsCheck other = CompareWithFile(ReaderParamBlock{}, block, ver121, p15);
    (void)other;
    return 0;
}
