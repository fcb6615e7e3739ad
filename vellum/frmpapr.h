// The header editor: the first window, where a paper's header is filled in or a paper is opened.
#pragma once

#include "common/showdialog.h"
#include "vellum/acceptedtexts.h"
#include "vellum/papersession.h"
#include "vellum/prompter.h"

#include <QWidget>

class CmultiLanguage;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vellum {

class FrmPapr : public QWidget
{
    Q_OBJECT
public:
    FrmPapr(PaperSession &session, const CmultiLanguage &texts, Prompter &prompter, QWidget *parent = nullptr);

    QLineEdit *TxtT;
    QLineEdit *txtS;
    QLineEdit *txtTL;
    QLineEdit *txtTP;
    QLineEdit *txtA;
    QLineEdit *txtFN;
    QPushButton *Command1;
    QPushButton *Command3;
    QPushButton *CmdOpen;
    QPushButton *CmdShut;
    QLabel *folderNote; // where papers go, when that is not beside the program

    showdialog &openDialog() { return m_dialog; }

    // Opens the paper at path as the open button does after the dialog.
    void openPaper(const QString &path);
    // Says below the buttons that papers are kept in folder, the user's own.
    void showFolderNote(const QString &folder);

signals:
    // The header line is stored: the question editor takes over.
    void questionsRequested();

private:
    void apnc();
    void watch(QLineEdit *box, HeaderField field);
    void onOpen();
    void onLeave(PaperSession::Leave leave);

    PaperSession &m_session;
    const CmultiLanguage &m_texts;
    Prompter &m_prompter;
    showdialog m_dialog;
    AcceptedTexts m_accepted;
};

} // namespace vellum
