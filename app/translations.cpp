#include "app/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QString>
#include <QTranslator>

namespace vp {

bool installStandardTranslations(QCoreApplication& app, const QString& folder)
{
    // Czech whatever the desktop's language: every text of the program is.
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_cs"),
                          folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder)) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

} // namespace vp
