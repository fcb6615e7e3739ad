// How the authoring windows tell the author something or ask before discarding work.
#include "vellum/prompter.h"

namespace vellum {

Prompter Prompter::messageBoxes()
{
    Prompter p;
    p.tell = [](QWidget *owner, QMessageBox::Icon icon, const QString &title, const QString &text) {
        QMessageBox box(icon, title, text, QMessageBox::Ok, owner);
        box.exec();
    };
    p.ask = [](QWidget *owner, const QString &title, const QString &text) {
        QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, owner);
        box.setDefaultButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    };
    return p;
}

} // namespace vellum
