#include "app/app_setup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace kx9 {

bool InstallQtJapanese()
{
    // Lives as long as the application: a removed translator takes its texts with it.
    static QTranslator *translator = nullptr;
    if (translator)
        return true;
    auto *t = new QTranslator(QCoreApplication::instance());
    if (!t->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete t;
        return false;
    }
    QCoreApplication::installTranslator(t);
    translator = t;
    return true;
}

} // namespace kx9
