// Qt's own texts (standard buttons, the file dialog, the menus of text boxes) in the program's language.
#include "common/qttranslations.h"

#include "common/multilanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

QTranslator *installQtTranslations(QCoreApplication &app, int lcid, const QString &folder)
{
    // Only the language the string tables choose, so that a window never mixes two.
    if (lcid != chineseLcid)
        return nullptr;
    auto *translator = new QTranslator(&app);
    const QString from = folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), from) || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}
