// How the authoring windows tell the author something or ask before discarding work.
#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

namespace vellum {

struct Prompter {
    // A message box with an OK button.
    std::function<void(QWidget *owner, QMessageBox::Icon icon, const QString &title, const QString &text)> tell;
    // A question with Yes and No; true for Yes.
    std::function<bool(QWidget *owner, const QString &title, const QString &text)> ask;

    // Real message boxes.
    static Prompter messageBoxes();
};

} // namespace vellum
