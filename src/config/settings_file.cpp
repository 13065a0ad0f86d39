#include "config/settings_file.h"

#include "link/ini_file.h"
#include "link/text_codec.h"

#include <QDir>
#include <QFileInfo>

namespace kx9 {

QString SettingsKeyArea1(int i) { return QStringLiteral("SETDATA") + QString::number(i); }

QString SettingsKeyArea2(int j) { return QStringLiteral("SETDATA2") + QString::number(40 + j); }

uint8_t SettingsByte(const QString &text)
{
    QString t = text.trimmed();
    if (t.startsWith(QLatin1Char('$')))
        t = QStringLiteral("0x") + t.mid(1);
    int v = 0;
    if (!IniFile::parseInteger(t, v))
        return 0;
    return uint8_t(v & 0xFF);
}

ReaderParamBlock ReadSettings(const IniFile &ini, bool ver121)
{
    ReaderParamBlock b;
    for (int i = 0; i < int(b.area1.size()); ++i)
        b.area1[i] = SettingsByte(ini.readString(kSettingsSection, SettingsKeyArea1(i), QString()));
    if (ver121)
        for (int j = 0; j < int(b.area2.size()); ++j)
            b.area2[j] = SettingsByte(ini.readString(kSettingsSection, SettingsKeyArea2(j), QString()));
    return b;
}

ReaderParamBlock ReadSettingsFile(const QString &path, bool ver121)
{
    IniFile ini;
    ini.load(path);   // a missing file reads as empty
    return ReadSettings(ini, ver121);
}

void PutSettings(IniFile &ini, const ReaderParamBlock &block, bool ver121)
{
    for (int i = 0; i < int(block.area1.size()); ++i)
        ini.writeInteger(kSettingsSection, SettingsKeyArea1(i), block.area1[i]);
    if (ver121)
        for (int j = 0; j < int(block.area2.size()); ++j)
            ini.writeInteger(kSettingsSection, SettingsKeyArea2(j), block.area2[j]);
}

bool WriteSettingsFile(const QString &path, const ReaderParamBlock &block, bool ver121, QString *error)
{
    IniFile ini;
    // A file that is there but cannot be read must not be replaced by one
    // holding only our keys: its other sections would be lost.
    if (!ini.load(path) && QFileInfo::exists(path)) {
        if (error)
            *error = QStringLiteral("ファイルを読み込めません。");
        return false;
    }
    PutSettings(ini, block, ver121);
    return ReplaceFileAtomically(path, EncodeCp932(ini.text()), error);
}

QString SettingsFileName(const QString &chosen, bool settingsFilter)
{
    if (!settingsFilter || chosen.isEmpty())
        return chosen;
    const QFileInfo fi(chosen);
    QString name = fi.fileName();
    const QString suffix = fi.suffix();
    // Names differ by case here: a file already called *.kxi is kept, not
    // turned into a different *.KXI file.
    if (suffix.compare(QLatin1String("KXI"), Qt::CaseInsensitive) == 0)
        return chosen;
    if (!suffix.isEmpty())
        name.chop(suffix.size() + 1);
    while (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    name += QStringLiteral(".KXI");
    const QString dir = chosen.left(chosen.size() - fi.fileName().size());
    return dir + name;
}

QStringList SettingsFileFilters()
{
    // The dialog matches names by case on this system: take both spellings.
    return {QStringLiteral("設定ファイル (*.KXI *.kxi)"), QStringLiteral("全てのファイル (*)")};
}

SettingsCheck CompareWithFile(const ReaderParamBlock &reader, const ReaderParamBlock &file, bool ver121, bool p15)
{
    SettingsCheck c;
    c.area1 = CompareArea1(reader.area1, file.area1);
    if (ver121 && !p15)
        c.area2 = CompareArea2(reader.area2, file.area2);
    c.equal = AllEqual(c.area1) && AllEqual(c.area2);
    return c;
}

} // namespace kx9
