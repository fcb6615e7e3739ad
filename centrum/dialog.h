// The list of the server's day files of one kind, logs or reports, from which one is opened.
#pragma once

#include <QDialog>

class CmultiLanguage;
class QListWidget;
class QPushButton;

namespace centrum {

class Dialog : public QDialog
{
    Q_OBJECT
public:
    Dialog(const CmultiLanguage &texts, QWidget *parent = nullptr);

    QListWidget *File1;
    QPushButton *OKButton;
    // True while the list shows report files.
    bool rpt = false;

    // Titles the window for its kind, lists names, and shows it without holding up its owner.
    void showFiles(const QStringList &names, bool reports);

signals:
    // A file was opened from the list by a click (the first click of a double-click) or Enter.
    void fileChosen(const QString &fileName, bool report);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    const CmultiLanguage &m_texts;
};

} // namespace centrum
