// The server's read-only text window (the log viewer) and the parts its windows share.
#pragma once

#include <QDialog>

class CmultiLanguage;
class QPlainTextEdit;
class QPushButton;

namespace centrum {

// A box of text that is read, never typed into: keyboard users still move through it and
// select, and Tab leaves it for the next control.
QPlainTextEdit *readOnlyTextBox(const QString &objectName, QWidget *parent);

// Lays content out above a close button ("OKButton") at the bottom right of window and
// returns the button.
QPushButton *closeButtonBelow(QWidget *content, QDialog *window, const CmultiLanguage &texts);

// A read-only text box and a close button; Escape or Enter closes it.
class TextWindow : public QDialog
{
    Q_OBJECT
public:
    TextWindow(const CmultiLanguage &texts, QWidget *parent = nullptr);

    QPlainTextEdit *Text1;
    QPushButton *OKButton;

    // Shows text from its start, without holding up the owner.
    void showText(const QString &title, const QString &text);
};

} // namespace centrum
