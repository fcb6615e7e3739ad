// The dialog for choosing one paper file to open, centred over its owner window.
#include "common/showdialog.h"

#include "common/vbfile.h"

#include <QFileDialog>

OpenDialogResult showdialog::resultOf(const QString &path)
{
    OpenDialogResult result;
    if (path.isEmpty())
        return result;
    const QString name = vbFile::fileNameNoPath(path);
    result.folder = path.chopped(name.size());
    result.files << name;
    result.count = 1;
    result.cancelled = false;
    return result;
}

OpenDialogResult showdialog::showOpenFileDialog(QWidget *owner)
{
    // A parented dialog is centred over its parent by the window system.
    QFileDialog dialog(owner, title, initialFolder,
                       QStringLiteral("%1 (%2)").arg(filterText, pattern));
    dialog.setObjectName(QStringLiteral("openPaperDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (!m_lastPath.isEmpty())
        dialog.selectFile(m_lastPath);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    m_lastPath = dialog.selectedFiles().constFirst();
    return resultOf(m_lastPath);
}
