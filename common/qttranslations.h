// Qt's own texts (standard buttons, the file dialog, the menus of text boxes) in the program's language.
#pragma once

#include <QString>

class QCoreApplication;
class QTranslator;

// Installs Qt's translations for the language the program speaks by the locale number lcid:
// Chinese for 2052, none for every other number, whose programs speak English. They are read
// from folder, Qt's own translations folder when it is empty. The translator is a child of
// app; null when none was installed, as where the translations are missing: Qt then stays English.
QTranslator *installQtTranslations(QCoreApplication &app, int lcid, const QString &folder = {});
