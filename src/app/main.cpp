// kx9monitor: the operator's monitor and test tool for KX9 readers and gates.
#include "app/main_window.h"
#include "link/options.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kx9monitor"));

    // Qt's own buttons in Japanese ("キャンセル", "はい", "いいえ").
    QTranslator qtJapanese;
    if (qtJapanese.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtJapanese);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("KX9 series monitor"));
    parser.addHelpOption();
    QCommandLineOption iniOption(QStringLiteral("ini"), QStringLiteral("Option file to use instead of the one beside the executable."),
                                 QStringLiteral("PATH"));
    parser.addOption(iniOption);
    // --- operator scripts: the "--script FILE" option is added here; it runs
    // the script against the window below once start-up has finished.
    parser.process(app);

    const QString iniPath = parser.isSet(iniOption) ? parser.value(iniOption)
                                                     : kx9::OptionFilePath(QCoreApplication::applicationFilePath());
    kx9::TKX9AppForm window(iniPath);
    // --- operator scripts hook: connect to window.startUpFinished(bool) here.
    window.show();
    return app.exec();
}
