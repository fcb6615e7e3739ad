// Saving a table as CSV from the server's windows: where to, then the file written whole or a warning.
#include "centrum/csvexport.h"

#include "centrum/texts.h"
#include "common/multilanguage.h"
#include "report/report.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace centrum {

QString exportCsvFile(QWidget *owner, const CmultiLanguage &texts, const Desktop &desktop, const QString &title,
                      const QString &suggestedPath, const QString &lastFolder, const std::function<QString()> &csv)
{
    const QFileInfo suggested(suggestedPath);
    const QString folder = lastFolder.isEmpty() ? suggested.absolutePath() : lastFolder;
    QFileDialog dialog(owner, title, folder, texts.getRes(text::CsvFiles) + QStringLiteral(" (*.csv)"));
    dialog.setObjectName(QStringLiteral("exportCsvDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.selectFile(QDir(folder).filePath(suggested.fileName()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString chosen = dialog.selectedFiles().constFirst();
    QString why;
    if (!report::writeCsvFile(chosen, csv(), &why)) {
        desktop.warn(owner, texts.getRes(text::Warning), texts.getRes(text::CsvNotWritten) + why);
        return {};
    }
    return QFileInfo(chosen).absolutePath();
}

} // namespace centrum
