#include "runner/runner_widgets.h"


#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>
#include <QTextBlock>

namespace kx9 {

ChoiceGroup::ChoiceGroup(const QString &objectName, const QString &title, const QStringList &items, int columns,
                         QWidget *parent)
    : RadioGroup(title, items, columns, parent)
{
    setObjectName(objectName);
    for (int i = 0; i < count(); ++i)
        item(i)->setObjectName(objectName + QStringLiteral("_%1").arg(i));
}

uint8_t BitsFromGroups(const QList<ChoiceGroup *> &groups)
{
    uint8_t v = 0;
    for (int i = 0; i < groups.size() && i < 8; ++i)
        if (groups.at(i)->itemIndex() == 1)
            v |= uint8_t(1u << i);
    return v;
}

void GroupsFromBits(const QList<ChoiceGroup *> &groups, uint8_t bits)
{
    for (int i = 0; i < groups.size() && i < 8; ++i)
        groups.at(i)->setItemIndex((bits >> i) & 1);
}

LogMemo::LogMemo(QWidget *parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setMaximumBlockCount(0);
}

int LogMemo::lineCount() const { return empty_ ? 0 : blockCount(); }

void LogMemo::clearLog()
{
    clear();
    empty_ = true;
}

void LogMemo::appendLine(const QString &line)
{
    // A new control holds one empty block: the first line takes it.
    if (empty_) {
        setPlainText(line);
        empty_ = false;
    } else {
        appendPlainText(line);
    }
}

QStringList LogMemo::lines() const
{
    QStringList out;
    if (empty_)
        return out;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next())
        out << b.text();
    return out;
}

} // namespace kx9
