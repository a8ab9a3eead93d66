#include "platform/qttranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace QtTranslations {

QTranslator *install(QCoreApplication &app)
{
    auto *translator = new QTranslator(&app);
    // By file name, not by QLocale::system(): under LANG=C or an English desktop too.
    if (!translator->load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

} // namespace QtTranslations
