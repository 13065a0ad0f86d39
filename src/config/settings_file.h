#pragma once
// Reader settings files (*.KXI): an INI text in CP932 with the section KX9SET,
// one key per parameter byte, and the comparison of a reader with a file.
// Free of widgets.
#include "config/param_block.h"

#include <QString>

namespace kx9 {

class IniFile;

inline const QString kSettingsSection = QStringLiteral("KX9SET");
// The fixed export file beside the executable.
inline const QString kExportFileName = QStringLiteral("KX9RWConf.KXI");

// "SETDATA" + i for area-1 byte i; area-2 byte j continues the numbering
// after "SETDATA2": "SETDATA240" ... "SETDATA259".
QString SettingsKeyArea1(int i);
QString SettingsKeyArea2(int j);

// A value as a byte: decimal, "0x" or "$" hexadecimal, the low 8 bits kept;
// anything that is not an integer gives 0.
uint8_t SettingsByte(const QString &text);

// Reads a file's record. A missing file, a missing key or a value that is not
// a number reads as 0; area 2 is read only with `ver121` (else all 0).
ReaderParamBlock ReadSettings(const IniFile &ini, bool ver121);
ReaderParamBlock ReadSettingsFile(const QString &path, bool ver121);

// Sets the 40 (with `ver121`, 60) keys in `ini` to the bytes as decimal
// numbers: keys already present are replaced where they are, new ones are
// appended to the section in key order. Other sections and keys stay.
void PutSettings(IniFile &ini, const ReaderParamBlock &block, bool ver121);

// Updates `path` with the record (PutSettings on the file's current
// contents) and replaces it atomically: the new text is written beside it and
// renamed over it, so the old file stays whole when anything fails. On
// failure returns false and says why in `error` (the file is then as it was).
bool WriteSettingsFile(const QString &path, const ReaderParamBlock &block, bool ver121, QString *error);

// The name a file dialog's choice stands for: with the first filter
// ("設定ファイル") the extension becomes ".KXI" (appended when there is none);
// with any other filter the name is used as typed.
QString SettingsFileName(const QString &chosen, bool settingsFilter);

// The file dialog's filters, first the settings files.
QStringList SettingsFileFilters();

// "&Check": the reader's record against a file's. Area 2 is compared only with
// `ver121` set and `p15` clear.
struct SettingsCheck {
    QVector<FieldVerdict> area1;
    QVector<FieldVerdict> area2;
    bool equal = false;
};
SettingsCheck CompareWithFile(const ReaderParamBlock &reader, const ReaderParamBlock &file, bool ver121, bool p15);

} // namespace kx9
