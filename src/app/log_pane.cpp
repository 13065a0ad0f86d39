#include "app/log_pane.h"

#include <QTextBlock>
#include <QTextDocument>

namespace kx9 {

LogPane::LogPane(QWidget *parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setUndoRedoEnabled(false);
}

int LogPane::lineCount() const
{
    // An empty document still holds one (empty) block: it is one line only
    // when that line was appended.
    if (document()->isEmpty())
        return oneEmptyLine_ ? 1 : 0;
    return blockCount();
}

void LogPane::clearLog()
{
    clear();
    oneEmptyLine_ = false;
}

void LogPane::appendLine(const QString &line)
{
    if (lineCount() == 0) {
        setPlainText(line);
        oneEmptyLine_ = line.isEmpty();
        moveCursor(QTextCursor::End);
        return;
    }
    if (oneEmptyLine_) {
        // appendPlainText would fill the empty first block instead of adding one.
        oneEmptyLine_ = false;
        setPlainText(QLatin1Char('\n') + line);
        moveCursor(QTextCursor::End);
        return;
    }
    appendPlainText(line);
}

QStringList LogPane::lines() const
{
    QStringList out;
    if (lineCount() == 0)
        return out;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next())
        out << b.text();
    return out;
}

} // namespace kx9
