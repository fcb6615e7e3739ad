// What the server's windows ask of the desktop: warning boxes and a viewer for log files.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace centrum {

struct Desktop {
    // A warning box with an OK button, owned by owner.
    std::function<void(QWidget *owner, const QString &title, const QString &text)> warn;
    // A question box with Yes and No, owned by owner; true for Yes.
    std::function<bool(QWidget *owner, const QString &title, const QString &text)> ask;
    // Hands a text file to the desktop's own viewer; false when none took it.
    std::function<bool(const QString &path)> openText;

    // Real message boxes, and the desktop's viewer when one is registered for the file's kind.
    static Desktop real();
};

} // namespace centrum
