// The text each box of a window last held when it was accepted, so a refused keystroke can be taken back.
#pragma once

#include <QHash>
#include <QString>

class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace vellum {

class AcceptedTexts
{
public:
    // Takes what the author typed into box as accepted.
    void accept(QWidget *box, const QString &text) { m_texts[box] = text; }

    // Shows text in box without reporting it as typed, and accepts it.
    void show(QLineEdit *box, const QString &text);
    void show(QPlainTextEdit *box, const QString &text);

    // Puts the last accepted text back into a line or text box after a refused keystroke,
    // the cursor where the typing had left it.
    void takeBack(QWidget *box);

private:
    QHash<QWidget *, QString> m_texts;
};

} // namespace vellum
