#pragma once
// Operator scripts: one command per line, '#' starts a comment, arguments with
// blanks in double quotes. Parsing is separate from running so a script that
// cannot be parsed is refused before the monitor starts.
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace kx9 {

struct ScriptStep {
    enum Kind {
        Menu, Trigger, Dialog, Question, Message, File, Click, Wait, ExpectLog, ExpectField, Dump, Snapshot, SaveLog, SaveGrid, Quit
    };
    Kind kind = Menu;
    int line = 0;                          // 1-based line in the script file
    QString name;                          // menu NAME, dialog button, question yes/no, file name, log text, widget
    QString arg;                           // file dialog filter, click modifiers ("ctrl+shift")
    QList<QPair<QString, QString>> fields; // dialog FIELD=VALUE, expect-field NAME=VALUE, in order
    int ms = 0;                            // wait / expect-log / expect-field time
    bool doubleClick = false;

    // Steps that act on the dialog open at the time.
    bool isAnswer() const { return kind == Dialog || kind == Question || kind == Message || kind == File; }
    // Steps that need no main window: they may work on the start-up dialogs.
    bool worksBeforeWindow() const { return isAnswer() || kind == Click || kind == Dump || kind == Snapshot || kind == ExpectField || kind == Wait; }
};

struct ScriptParseError {
    int line = 0;
    QString message;
};

struct ScriptProgram {
    QList<ScriptStep> steps;
};

// Splits one line into words: blanks separate, "..." groups (quotes removed,
// \" and \\ inside quotes), '#' outside quotes ends the line. Returns nothing
// for an unterminated quote.
std::optional<QStringList> SplitScriptLine(const QString &line);

// Parses a whole script; on failure `error` tells the line and why.
std::optional<ScriptProgram> ParseScript(const QString &text, ScriptParseError *error);

} // namespace kx9
