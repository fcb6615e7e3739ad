// The dialog that picks an ID which may log in once more, for a candidate whose workstation failed.
#include "centrum/dlgallow.h"

#include "centrum/texts.h"
#include "common/multilanguage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace centrum {

DlgAllow::DlgAllow(const CmultiLanguage &texts, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DlgAllow"));
    setWindowTitle(texts.getRes(text::AllowAgain));
    setWindowModality(Qt::WindowModal);
    Label1 = new QLabel(texts.getRes(text::AllowPrompt), this);
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Label1->setBuddy(Text1);
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    OKButton = new QPushButton(texts.getRes(text::AllowOk), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    CancelButton = new QPushButton(texts.getRes(text::AllowCancel), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Text1);
    layout->addWidget(List1, 1);
    layout->addLayout(buttons);
    setTabOrder(Text1, List1);
    setTabOrder(List1, OKButton);
    setTabOrder(OKButton, CancelButton);
    resize(340, 380);

    connect(List1, &QListWidget::currentTextChanged, Text1, &QLineEdit::setText);
    connect(List1, &QListWidget::itemActivated, this, &DlgAllow::choose);
    connect(Text1, &QLineEdit::textChanged, this,
            [this](const QString &id) { OKButton->setEnabled(!id.trimmed().isEmpty()); });
    connect(OKButton, &QPushButton::clicked, this, &DlgAllow::choose);
    OKButton->setEnabled(false);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void DlgAllow::showIds(const QStringList &ids)
{
    List1->clear();
    List1->addItems(ids);
    open();
    // Nothing is chosen until the examiner types or moves into the list.
    List1->setCurrentItem(nullptr);
    Text1->clear();
    Text1->setFocus();
}

void DlgAllow::choose()
{
    const QString id = Text1->text().trimmed();
    // Enter on a list entry may also reach the OK button: the ID goes once.
    if (id.isEmpty() || !isVisible())
        return;
    accept();
    emit idChosen(id);
}

} // namespace centrum
