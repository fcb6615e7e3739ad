// The list of the server's day files of one kind, logs or reports, from which one is opened.
#include "dialog.h"

#include "multilanguage.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace centrum {

Dialog::Dialog(const CmultiLanguage &texts, QWidget *parent) : QDialog(parent), m_texts(texts)
{
    setObjectName(QStringLiteral("Dialog"));
    File1 = new QListWidget(this);
    File1->setObjectName(QStringLiteral("File1"));
    OKButton = new QPushButton(m_texts.getRes(7), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    // Enter on a list entry opens the file; it must not reach the close button too.
    OKButton->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(File1);
    layout->addLayout(buttons);
    resize(340, 380);

    connect(OKButton, &QPushButton::clicked, this, &QDialog::close);
    connect(File1, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { emit fileChosen(item->text(), rpt); });
}

void Dialog::showFiles(const QStringList &names, bool reports)
{
    setWindowTitle(m_texts.getRes(reports ? 13 : 12));
    rpt = reports;
    File1->clear();
    File1->addItems(names);
    // The newest day is the one usually wanted.
    if (File1->count() > 0)
        File1->setCurrentRow(File1->count() - 1);
    show();
    raise();
    activateWindow();
    File1->setFocus();
}

} // namespace centrum
