// The dialog that picks an ID which may log in once more, for a candidate whose workstation failed.
#pragma once

#include <QDialog>

class CmultiLanguage;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace centrum {

class DlgAllow : public QDialog
{
    Q_OBJECT
public:
    DlgAllow(const CmultiLanguage &texts, QWidget *parent = nullptr);

    QLabel *Label1;
    QLineEdit *Text1;   // the ID, typed or taken from the list
    QListWidget *List1; // the IDs logged in so far
    QPushButton *OKButton;
    QPushButton *CancelButton;

    // Lists the IDs, empties the box and shows the dialog over its owner.
    void showIds(const QStringList &ids);

signals:
    // OK, Enter or a double-click on an ID; the ID without blanks around it.
    void idChosen(const QString &id);

private:
    void choose();
};

} // namespace centrum
