// The text each box of a window last held when it was accepted, so a refused keystroke can be taken back.
#include "vellum/acceptedtexts.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTextCursor>

namespace vellum {

void AcceptedTexts::show(QLineEdit *box, const QString &text)
{
    const QSignalBlocker quiet(box);
    box->setText(text);
    m_texts[box] = text;
}

void AcceptedTexts::show(QPlainTextEdit *box, const QString &text)
{
    const QSignalBlocker quiet(box);
    box->setPlainText(text);
    m_texts[box] = text;
}

void AcceptedTexts::takeBack(QWidget *box)
{
    const QString last = m_texts.value(box);
    if (auto *line = qobject_cast<QLineEdit *>(box)) {
        const int cursor = line->cursorPosition();
        const int grown = std::max(0, int(line->text().size() - last.size()));
        show(line, last);
        line->setCursorPosition(std::max(0, cursor - grown));
    } else if (auto *text = qobject_cast<QPlainTextEdit *>(box)) {
        const int cursor = text->textCursor().position();
        const int grown = std::max(0, int(text->toPlainText().size() - last.size()));
        show(text, last);
        QTextCursor c = text->textCursor();
        c.setPosition(std::clamp(cursor - grown, 0, int(last.size())));
        text->setTextCursor(c);
    }
}

} // namespace vellum
