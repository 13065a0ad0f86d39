#pragma once
// The simulator's control language: one command a line, one reply line that
// starts with "OK" or "ERR". Also reads tag population files, whose lines are
// the arguments of "tag add". The commands are listed in the
// kx9sim section of README.md.
#include <QString>
#include <QStringList>

namespace kx9sim {

class Device;
struct Tag;

// Builds a tag from "E004010012345678 afi=07 bs=4 blocks=28 text=HELLO" or
// "tagit 11223344 blocks=8". Returns an error text, empty on success.
QString parseTagSpec(const QStringList &tokens, Tag &tag);
// Applies key=value settings to an existing tag.
QString applyTagKeys(const QStringList &tokens, Tag &tag);
// Loads a population file into the field; error text with the line number.
QString loadTagFile(const QString &path, Device &dev);
// The field of --demo: tags of several makers, one Tag-it.
void addDemoTags(Device &dev);

class Control {
public:
    explicit Control(Device &dev) : m_dev(dev) {}
    // Runs one command line; returns the reply line.
    QString exec(const QString &line);
    bool quitRequested() const { return m_quit; }

private:
    QString tagCmd(const QStringList &a);
    QString blockCmd(const QStringList &a);
    QString gateCmd(const QStringList &a);
    QString faultCmd(const QStringList &a);
    QString getCmd(const QStringList &a);
    QString lanCmd(const QStringList &a);
    QString eepromCmd(const QStringList &a);
    Tag *findTag(const QString &id, QString &err);

    Device &m_dev;
    bool m_quit = false;
};

} // namespace kx9sim
