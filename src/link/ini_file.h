#pragma once
// An in-memory copy of an INI file. Reading and changing keys works on the copy;
// saving writes the whole copy back, so sections, keys, comments and their order
// that this program does not know survive. On disk the text is CP932.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

namespace kx9 {

class IniFile {
public:
    IniFile() = default;

    // Reads the whole file. A missing or unreadable file gives an empty copy
    // (and false).
    bool load(const QString &path);
    // Replaces the file atomically (written beside it, then renamed). Returns
    // false when nothing was written.
    bool save(const QString &path) const;

    // Whether a save to `path` is allowed: a file that exists and is marked
    // read-only is left alone.
    static bool isReadOnly(const QString &path);

    bool hasKey(const QString &section, const QString &key) const;
    QString readString(const QString &section, const QString &key, const QString &def) const;
    // Decimal or 0x-hex, optionally signed, within 32 bits; anything else gives `def`.
    int readInteger(const QString &section, const QString &key, int def) const;
    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);

    // The file text as it would be saved (before encoding).
    QString text() const;

    // Parses one integer the way readInteger does.
    static bool parseInteger(const QString &text, int &out);

private:
    struct Line {
        QString raw;       // the line as read (used for comments and blank lines)
        QString key;       // empty for a non-key line
        QString value;
    };
    struct Section {
        QString name;      // empty for lines before the first section header
        QString header;    // the header line as read
        QVector<Line> lines;
    };
    const Section *findSection(const QString &name) const;
    const Line *findLine(const QString &section, const QString &key) const;

    QVector<Section> sections_;
    QString eol_ = QStringLiteral("\n");
};

// Writes `bytes` to a file beside `path` and renames it over `path`, so a
// crash or a full disk leaves the old file whole. Never writes `path` in
// place; a file marked read-only is refused. On failure returns false and
// says why in `error` (when given).
bool ReplaceFileAtomically(const QString &path, const QByteArray &bytes, QString *error);

} // namespace kx9
