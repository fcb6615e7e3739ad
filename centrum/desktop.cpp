// What the server's windows ask of the desktop: warning boxes and a viewer for log files.
#include "centrum/desktop.h"

#include "centrum/texthandler.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

namespace centrum {

Desktop Desktop::real()
{
    Desktop d;
    d.warn = [](QWidget *owner, const QString &title, const QString &text) {
        QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, owner);
        box.exec();
    };
    d.ask = [](QWidget *owner, const QString &title, const QString &text) {
        QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, owner);
        box.setDefaultButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    };
    d.openText = [](const QString &path) {
        // Without a registered viewer the opener would fall back to a browser, or to nothing.
        if (!hasDesktopHandler(path, DesktopDirs::fromSystem()))
            return false;
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };
    return d;
}

} // namespace centrum
