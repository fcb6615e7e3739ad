// The dialog for choosing one paper file to open, centred over its owner window.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// What the dialog gives back; the full path is folder followed by files entry 1.
struct OpenDialogResult {
    qint16 count = 0;       // 1 after a choice, 0 after cancel
    QStringList files;      // the chosen file's name, no folder
    QString folder;         // the chosen file's folder, ending in "/"; empty after cancel
    bool cancelled = true;

    QString fullPath() const { return count > 0 ? folder + files.value(0) : QString(); }
};

// One dialog setting per owner; the path chosen last is preselected the next time.
class showdialog
{
public:
    QString filterText;      // shown as "<filterText> (*.dat)"
    QString pattern = QStringLiteral("*.dat");
    QString title;
    QString initialFolder;

    // Blocks until the dialog closes.
    OpenDialogResult showOpenFileDialog(QWidget *owner);

    // Splits a chosen path at the last "/" or "\" into folder (with the separator) and name.
    static OpenDialogResult resultOf(const QString &path);

private:
    QString m_lastPath;
};
