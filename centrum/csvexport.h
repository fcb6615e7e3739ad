// Saving a table as CSV from the server's windows: where to, then the file written whole or a warning.
#pragma once

#include "centrum/desktop.h"

#include <QString>

#include <functional>

class CmultiLanguage;
class QWidget;

namespace centrum {

// Asks where to save under title, offering suggestedPath's name in its folder (in lastFolder
// instead, after an export elsewhere), and writes the text csv gives there. The folder of the
// file written; empty when the examiner cancelled or the file could not be written (a warning
// has said why).
QString exportCsvFile(QWidget *owner, const CmultiLanguage &texts, const Desktop &desktop, const QString &title,
                      const QString &suggestedPath, const QString &lastFolder, const std::function<QString()> &csv);

} // namespace centrum
