// kx9monitor: the operator's monitor and test tool for KX9 readers and gates.
#include "app/app_setup.h"
#include "app/main_window.h"
#include "link/options.h"
#include "script/script_parser.h"
#include "script/script_runner.h"
#include "kx9_version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QTextStream>

#include <cstdio>
#include <memory>

namespace {

// Reads the script named on the command line ("-" is standard input).
bool readScript(const QString &name, QString *text, QString *why)
{
    QFile f;
    bool opened = false;
    if (name == QLatin1String("-")) {
        opened = f.open(stdin, QIODevice::ReadOnly);
    } else {
        f.setFileName(name);
        opened = f.open(QIODevice::ReadOnly);
    }
    if (!opened) {
        *why = f.errorString();
        return false;
    }
    *text = QString::fromUtf8(f.readAll());
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("kx9monitor"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KX9_VERSION));

    // The command line is read before the window system is touched, so
    // --help and --version work on a console without a display.
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(KX9_DESCRIPTION));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    QCommandLineOption iniOption(QStringLiteral("ini"), QStringLiteral("Option file to use instead of the one beside the executable."),
                                 QStringLiteral("PATH"));
    parser.addOption(iniOption);
    QCommandLineOption scriptOption(QStringLiteral("script"),
                                    QStringLiteral("Run an operator script through the menus and dialogs, unattended "
                                                   "(\"-\" reads it from standard input)."),
                                    QStringLiteral("FILE"));
    parser.addOption(scriptOption);
    // Qt's own window-system options (-platform offscreen, -style ...) are
    // left to QApplication: accepted here, not listed.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const char *name : {"platform", "platformpluginpath", "platformtheme", "plugin", "display", "geometry", "style",
                             "stylesheet", "qwindowgeometry", "qwindowtitle", "qwindowicon", "session", "name", "title"}) {
        QCommandLineOption qt(QLatin1String(name), QString(), QStringLiteral("value"));
        qt.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qt);
    }
    for (const char *name : {"reverse", "widgetcount", "nograb", "dograb", "sync"}) {
        QCommandLineOption qt{QString::fromLatin1(name)};
        qt.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qt);
    }
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!parser.parse(arguments)) {
        err << "kx9monitor: " << parser.errorText() << "\nTry 'kx9monitor --help'." << Qt::endl;
        return 2;
    }
    if (parser.isSet(helpOption) || parser.isSet(QStringLiteral("help-all"))) {
        // Without an application object Qt cannot name the program itself.
        out << parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("kx9monitor")) << Qt::flush;
        return 0;
    }
    if (parser.isSet(versionOption)) {
        out << "kx9monitor " << KX9_VERSION << Qt::endl;
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        err << "kx9monitor: unexpected argument '" << parser.positionalArguments().first()
            << "'\nTry 'kx9monitor --help'." << Qt::endl;
        return 2;
    }

    QApplication app(argc, argv);
    if (!kx9::InstallQtJapanese())
        qWarning("kx9monitor: Qt's Japanese translation (qtbase_ja.qm) is not installed; standard buttons stay in English");

    std::unique_ptr<kx9::ScriptRunner> runner;
    if (parser.isSet(scriptOption)) {
        QString text, why;
        if (!readScript(parser.value(scriptOption), &text, &why)) {
            err << "cannot read script " << parser.value(scriptOption) << ": " << why << Qt::endl;
            return 2;
        }
        kx9::ScriptParseError error;
        auto program = kx9::ParseScript(text, &error);
        if (!program) {
            err << "line " << error.line << ": " << error.message << Qt::endl;
            return 2;
        }
        runner = std::make_unique<kx9::ScriptRunner>(std::move(*program), out, err);
        QObject::connect(runner.get(), &kx9::ScriptRunner::ended, &app, [](int code) { QCoreApplication::exit(code); });
        runner->beginStartup();   // the first answers are for the start-up dialogs
    }

    const QString iniPath = parser.isSet(iniOption) ? parser.value(iniOption)
                                                     : kx9::DefaultOptionFilePath();
    kx9::TKX9AppForm window(iniPath);
    if (runner) {
        QObject::connect(&window, &kx9::TKX9AppForm::startUpFinished, runner.get(), [&](bool running) {
            if (running)
                runner->run(&window);
            else
                runner->windowClosed();
        });
    }
    window.show();
    const int rc = app.exec();
    if (runner) {
        if (!runner->finished())
            runner->windowClosed();
        return runner->exitCode();
    }
    return rc;
}
