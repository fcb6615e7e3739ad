// The list of the server's day files of one kind, logs or reports, from which one is opened.
#include "dialog.h"

#include "centrum/texts.h"
#include "multilanguage.h"
#include "textwindow.h"

#include <QListWidget>
#include <QPushButton>

namespace centrum {

Dialog::Dialog(const CmultiLanguage &texts, QWidget *parent) : QDialog(parent), m_texts(texts)
{
    setObjectName(QStringLiteral("Dialog"));
    File1 = new QListWidget(this);
    File1->setObjectName(QStringLiteral("File1"));
    OKButton = closeButtonBelow(File1, this, m_texts);
    // Enter on a list entry opens the file; it must not reach the close button too.
    OKButton->setAutoDefault(false);
    resize(340, 380);

    connect(File1, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { emit fileChosen(item->text(), rpt); });
}

void Dialog::showFiles(const QStringList &names, bool reports)
{
    setWindowTitle(m_texts.getRes(reports ? text::ReportFileList : text::LogFileList));
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
