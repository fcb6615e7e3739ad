// Read-only text windows of the server: the report viewer and the viewer for a log file.
#include "textwindow.h"

#include "multilanguage.h"

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

TextWindow::TextWindow(const CmultiLanguage &texts, QWidget *parent) : QDialog(parent)
{
    Text1 = readOnlyTextBox(QStringLiteral("Text1"), this);
    // The report's cells are padded with blanks, so columns line up only in a fixed font.
    Text1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Text1->setTabStopDistance(Text1->fontMetrics().horizontalAdvance(u' ') * 4);
    OKButton = new QPushButton(texts.getRes(7), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Text1);
    layout->addLayout(buttons);
    resize(760, 420);

    connect(OKButton, &QPushButton::clicked, this, &QDialog::close);
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

DlgRpt::DlgRpt(const CmultiLanguage &texts, QWidget *parent) : TextWindow(texts, parent), m_texts(texts)
{
    setObjectName(QStringLiteral("DlgRpt"));
}

void DlgRpt::showReport(const QString &rows)
{
    showText(m_texts.getRes(24), rows);
}

} // namespace centrum
