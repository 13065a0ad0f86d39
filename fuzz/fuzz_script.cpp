// The operator-script parser: a script is read before the monitor starts, so
// whatever the file holds must give a program or a line-numbered error.
#include "fuzz_support.h"
#include "script/script_parser.h"

using namespace kx9;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const int lines = int(text.count(QLatin1Char('\n'))) + 1;

    for (const QString &line : text.split(QLatin1Char('\n')))
        (void)SplitScriptLine(line);

    ScriptParseError error;
    const std::optional<ScriptProgram> program = ParseScript(text, &error);
    if (program) {
        for (const ScriptStep &step : program->steps) {
            KX9_FUZZ_CHECK(step.line >= 1 && step.line <= lines);
            KX9_FUZZ_CHECK(step.ms >= 0);
            (void)step.isAnswer();
            (void)step.worksBeforeWindow();
        }
    } else {
        // An error names a line of the script (0 is allowed for the whole file).
        KX9_FUZZ_CHECK(error.line >= 0 && error.line <= lines);
        KX9_FUZZ_CHECK(!error.message.isEmpty());
    }
    return 0;
}
