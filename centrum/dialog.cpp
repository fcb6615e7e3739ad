// The list of the server's day files of one kind, logs or reports, from which one is opened.
#include "centrum/dialog.h"

#include "centrum/texts.h"
#include "centrum/textwindow.h"
#include "common/multilanguage.h"

#include <QKeyEvent>
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

    // One click opens a file. A double-click opens it once, by its first click: the list's own
    // activation on the second would open it again (a log may start an external editor).
    connect(File1, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { emit fileChosen(item->text(), rpt); });
    File1->installEventFilter(this);
}

bool Dialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == File1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && File1->currentItem()) {
            emit fileChosen(File1->currentItem()->text(), rpt);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
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
