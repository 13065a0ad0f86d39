#include "ini_file.h"

#include "text_codec.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace kx9 {

namespace {
bool sameName(const QString &a, const QString &b)
{
    // Section and key names are matched without regard to letter case, as the
    // original INI readers did; the spelling in the file is kept.
    return a.compare(b, Qt::CaseInsensitive) == 0;
}
} // namespace

bool IniFile::load(const QString &path)
{
    sections_.clear();
    eol_ = QStringLiteral("\n");
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = f.readAll();
    if (bytes.contains("\r\n"))
        eol_ = QStringLiteral("\r\n");
    QString text = DecodeCp932(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();   // the final line break

    sections_.append(Section{});
    for (const QString &raw : lines) {
        const QString t = raw.trimmed();
        if (t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']'))) {
            Section s;
            s.name = t.mid(1, t.size() - 2).trimmed();
            s.header = raw;
            sections_.append(s);
            continue;
        }
        Line l;
        l.raw = raw;
        const qsizetype eq = raw.indexOf(QLatin1Char('='));
        if (eq > 0 && !t.startsWith(QLatin1Char(';'))) {
            l.key = raw.left(eq).trimmed();
            l.value = raw.mid(eq + 1).trimmed();
        }
        sections_.last().lines.append(l);
    }
    return true;
}

QString IniFile::text() const
{
    QString out;
    for (const Section &s : sections_) {
        if (!s.header.isEmpty())
            out += s.header + eol_;
        else if (!s.name.isEmpty())
            out += QLatin1Char('[') + s.name + QLatin1Char(']') + eol_;
        for (const Line &l : s.lines)
            out += l.raw + eol_;
    }
    return out;
}

bool IniFile::isReadOnly(const QString &path)
{
    const QFileInfo fi(path);
    if (!fi.exists())
        return false;
    // Judge by the permission bits, not by access(): a program run as root may
    // write anything, but a file marked read-only must still be left alone.
    // (WriteUser is not a mode bit but "may the current user write", which is
    // always true for root, so it is left out here.)
    const auto writeBits = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    return (fi.permissions() & writeBits) == 0 || !fi.isWritable();
}

bool IniFile::save(const QString &path) const
{
    if (isReadOnly(path))
        return false;
    QSaveFile f(path);
    // A folder we may not create files in still lets us rewrite an existing
    // writable file in place; that loses the atomic replace but not the save.
    f.setDirectWriteFallback(true);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = EncodeCp932(text());
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

const IniFile::Section *IniFile::findSection(const QString &name) const
{
    for (const Section &s : sections_)
        if (!s.name.isEmpty() && sameName(s.name, name))
            return &s;
    return nullptr;
}

const IniFile::Line *IniFile::findLine(const QString &section, const QString &key) const
{
    const Section *s = findSection(section);
    if (!s)
        return nullptr;
    for (const Line &l : s->lines)
        if (!l.key.isEmpty() && sameName(l.key, key))
            return &l;
    return nullptr;
}

bool IniFile::hasKey(const QString &section, const QString &key) const
{
    return findLine(section, key) != nullptr;
}

QString IniFile::readString(const QString &section, const QString &key, const QString &def) const
{
    const Line *l = findLine(section, key);
    return l ? l->value : def;
}

bool IniFile::parseInteger(const QString &text, int &out)
{
    QString t = text.trimmed();
    bool negative = false;
    if (t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+'))) {
        negative = t.startsWith(QLatin1Char('-'));
        t.remove(0, 1);
    }
    if (t.isEmpty())
        return false;
    bool ok = false;
    qulonglong v = 0;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        const QString digits = t.mid(2);
        if (digits.isEmpty() || digits.size() > 8)
            return false;
        v = digits.toULongLong(&ok, 16);
    } else {
        for (QChar c : t)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
        v = t.toULongLong(&ok, 10);
    }
    if (!ok)
        return false;
    // Decimal values up to 2^31 (negative) or 2^32-1 (positive) are accepted; a
    // positive value above INT_MAX is taken as its 32-bit pattern, as 0x80000000
    // and above are.
    if (negative ? v > 0x80000000ull : v > 0xFFFFFFFFull)
        return false;
    const uint32_t bits = negative ? uint32_t(0u - uint32_t(v)) : uint32_t(v);
    out = int(bits);
    return true;
}

int IniFile::readInteger(const QString &section, const QString &key, int def) const
{
    const Line *l = findLine(section, key);
    int v = 0;
    if (l && parseInteger(l->value, v))
        return v;
    return def;
}

void IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    if (sections_.isEmpty())
        sections_.append(Section{});
    Section *sec = nullptr;
    for (Section &s : sections_)
        if (!s.name.isEmpty() && sameName(s.name, section)) {
            sec = &s;
            break;
        }
    if (!sec) {
        Section s;
        s.name = section;
        s.header = QLatin1Char('[') + section + QLatin1Char(']');
        sections_.append(s);
        sec = &sections_.last();
    }
    for (Line &l : sec->lines)
        if (!l.key.isEmpty() && sameName(l.key, key)) {
            l.value = value;
            l.raw = l.key + QLatin1Char('=') + value;
            return;
        }
    Line l;
    l.key = key;
    l.value = value;
    l.raw = key + QLatin1Char('=') + value;
    // A new key goes after the section's last key, before trailing blank lines
    // that separate it from the next section.
    qsizetype at = sec->lines.size();
    while (at > 0 && sec->lines[at - 1].key.isEmpty() && sec->lines[at - 1].raw.trimmed().isEmpty())
        --at;
    sec->lines.insert(at, l);
}

void IniFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

bool ReplaceFileAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (IniFile::isReadOnly(path))
        return fail(QStringLiteral("ファイルが読み取り専用です。"));
    QSaveFile f(path);
    // No fallback to writing the file in place: a save that cannot go through
    // a file beside the target must fail rather than risk a half-written file.
    f.setDirectWriteFallback(false);
    if (!f.open(QIODevice::WriteOnly))
        return fail(f.errorString());
    if (f.write(bytes) != bytes.size()) {
        const QString why = f.errorString();
        f.cancelWriting();
        return fail(why);
    }
    if (!f.commit())
        return fail(f.errorString());
    return true;
}

} // namespace kx9
