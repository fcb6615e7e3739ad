// The server's read-only text window (the log viewer) and the parts its windows share.
#include "centrum/textwindow.h"

#include "centrum/texts.h"
#include "common/multilanguage.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace centrum {

QPlainTextEdit *readOnlyTextBox(const QString &objectName, QWidget *parent)
{
    auto *box = new QPlainTextEdit(parent);
    box->setObjectName(objectName);
    box->setReadOnly(true);
    box->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    box->setTabChangesFocus(true);
    return box;
}

QPushButton *closeButtonBelow(QWidget *content, QDialog *window, const CmultiLanguage &texts)
{
    auto *button = new QPushButton(texts.getRes(text::Close), window);
    button->setObjectName(QStringLiteral("OKButton"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(button);
    auto *layout = new QVBoxLayout(window);
    layout->addWidget(content);
    layout->addLayout(buttons);
    QObject::connect(button, &QPushButton::clicked, window, &QDialog::close);
    return button;
}

TextWindow::TextWindow(const CmultiLanguage &texts, QWidget *parent) : QDialog(parent)
{
    Text1 = readOnlyTextBox(QStringLiteral("Text1"), this);
    // The report's cells are padded with blanks, so columns line up only in a fixed font.
    Text1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Text1->setTabStopDistance(Text1->fontMetrics().horizontalAdvance(u' ') * 4);
    OKButton = closeButtonBelow(Text1, this, texts);
    OKButton->setDefault(true);
    resize(760, 420);
}

void TextWindow::showText(const QString &title, const QString &text)
{
    setWindowTitle(title);
    Text1->setPlainText(text);
    Text1->moveCursor(QTextCursor::Start);
    show();
    raise();
    activateWindow();
    Text1->setFocus();
}

} // namespace centrum
