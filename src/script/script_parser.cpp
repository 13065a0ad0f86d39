#include "script/script_parser.h"
#include "script/dialog_answerer.h"

namespace kx9 {

std::optional<QStringList> SplitScriptLine(const QString &line)
{
    QStringList words;
    QString word;
    bool inWord = false, quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == u'\\' && i + 1 < line.size() && (line[i + 1] == u'"' || line[i + 1] == u'\\')) {
                word += line[++i];
            } else if (c == u'"') {
                quoted = false;
            } else {
                word += c;
            }
            continue;
        }
        if (c == u'#')
            break;
        if (c == u'"') {
            quoted = true;
            inWord = true;
        } else if (c.isSpace()) {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quoted)
        return std::nullopt;
    if (inWord)
        words << word;
    return words;
}

namespace {

bool toMs(const QString &text, int *ms)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < 0)
        return false;
    *ms = v;
    return true;
}

// KEY=VALUE words into the step's fields; false with the reason for a word without '='.
bool takeFields(const QStringList &words, const QString &key, ScriptStep *step, QString *bad)
{
    for (const QString &f : words) {
        const int eq = f.indexOf(u'=');
        if (eq <= 0) {
            *bad = QStringLiteral("expected %1=VALUE, got \"%2\"").arg(key, f);
            return false;
        }
        step->fields.append({f.left(eq), f.mid(eq + 1)});
    }
    return true;
}

} // namespace

std::optional<ScriptProgram> ParseScript(const QString &text, ScriptParseError *error)
{
    ScriptProgram program;
    const QStringList lines = text.split(u'\n');
    auto fail = [&](int line, const QString &message) {
        if (error)
            *error = {line, message};
        return std::nullopt;
    };
    for (int n = 0; n < lines.size(); ++n) {
        const int lineNo = n + 1;
        QString raw = lines[n];
        if (raw.endsWith(u'\r'))
            raw.chop(1);
        const auto split = SplitScriptLine(raw);
        if (!split)
            return fail(lineNo, QStringLiteral("unterminated quote"));
        QStringList w = *split;
        if (w.isEmpty())
            continue;
        const QString cmd = w.takeFirst();
        ScriptStep step;
        step.line = lineNo;
        QString bad;
        auto argCount = [&](int min, int max) { return w.size() >= min && w.size() <= max; };
        if (cmd == u"menu" || cmd == u"trigger") {
            if (!argCount(1, 1))
                return fail(lineNo, QStringLiteral("%1 takes one item name").arg(cmd));
            step.kind = cmd == u"menu" ? ScriptStep::Menu : ScriptStep::Trigger;
            step.name = w[0];
        } else if (cmd == u"file") {
            if (!argCount(1, 2))
                return fail(lineNo, QStringLiteral("file takes a path and an optional filter (index or text)"));
            step.kind = ScriptStep::File;
            step.name = w[0];
            step.arg = w.value(1);
        } else if (cmd == u"click" || cmd == u"double-click") {
            Qt::KeyboardModifiers mods;
            if (!argCount(1, 2) || (w.size() == 2 && !ParseModifiers(w[1], &mods)))
                return fail(lineNo, QStringLiteral("%1 takes a widget name and optional keys such as ctrl, shift+ctrl, alt")
                                        .arg(cmd));
            step.kind = ScriptStep::Click;
            step.doubleClick = cmd == u"double-click";
            step.name = w[0];
            step.arg = w.value(1);
        } else if (cmd == u"dump" || cmd == u"snapshot") {
            if (!argCount(1, 1))
                return fail(lineNo, QStringLiteral("%1 takes a file name").arg(cmd));
            step.kind = cmd == u"dump" ? ScriptStep::Dump : ScriptStep::Snapshot;
            step.name = w[0];
        } else if (cmd == u"expect-field") {
            step.kind = ScriptStep::ExpectField;
            step.ms = 3000;
            if (!w.isEmpty() && !w.last().contains(u'=')) {
                if (!toMs(w.takeLast(), &step.ms))
                    return fail(lineNo, QStringLiteral("expect-field takes NAME=VALUE ... and an optional time in milliseconds"));
            }
            if (w.isEmpty())
                return fail(lineNo, QStringLiteral("expect-field needs at least one NAME=VALUE"));
            if (!takeFields(w, QStringLiteral("NAME"), &step, &bad))
                return fail(lineNo, bad);
        } else if (cmd == u"dialog") {
            if (w.isEmpty())
                return fail(lineNo, QStringLiteral("dialog needs ok, cancel or a button"));
            step.kind = ScriptStep::Dialog;
            step.name = w.takeLast();
            if (step.name.contains(u'='))
                return fail(lineNo, QStringLiteral("dialog must end with ok, cancel or a button"));
            if (!takeFields(w, QStringLiteral("FIELD"), &step, &bad))
                return fail(lineNo, bad);
        } else if (cmd == u"question") {
            if (!argCount(1, 1) || (w[0] != u"yes" && w[0] != u"no"))
                return fail(lineNo, QStringLiteral("question takes yes or no"));
            step.kind = ScriptStep::Question;
            step.name = w[0];
        } else if (cmd == u"message") {
            if (!argCount(0, 0))
                return fail(lineNo, QStringLiteral("message takes no argument"));
            step.kind = ScriptStep::Message;
        } else if (cmd == u"wait") {
            if (!argCount(1, 1) || !toMs(w[0], &step.ms))
                return fail(lineNo, QStringLiteral("wait takes a time in milliseconds"));
            step.kind = ScriptStep::Wait;
        } else if (cmd == u"expect-log") {
            step.ms = 3000;
            if (!argCount(1, 2) || (w.size() == 2 && !toMs(w[1], &step.ms)))
                return fail(lineNo, QStringLiteral("expect-log takes a text and an optional time in milliseconds"));
            step.kind = ScriptStep::ExpectLog;
            step.name = w[0];
        } else if (cmd == u"save-log" || cmd == u"save-grid") {
            if (!argCount(1, 1))
                return fail(lineNo, QStringLiteral("%1 takes a file name").arg(cmd));
            step.kind = cmd == u"save-log" ? ScriptStep::SaveLog : ScriptStep::SaveGrid;
            step.name = w[0];
        } else if (cmd == u"quit") {
            if (!argCount(0, 0))
                return fail(lineNo, QStringLiteral("quit takes no argument"));
            step.kind = ScriptStep::Quit;
        } else {
            return fail(lineNo, QStringLiteral("unknown command \"%1\"").arg(cmd));
        }
        program.steps.append(step);
    }
    return program;
}

} // namespace kx9
