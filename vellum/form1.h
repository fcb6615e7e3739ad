// The question editor window: composes questions one after another, or steps through and edits them.
#pragma once

#include "vellum/acceptedtexts.h"
#include "vellum/papersession.h"
#include "vellum/prompter.h"
#include "vellum/questioneditor.h"

#include <QWidget>

#include <array>

class CmultiLanguage;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace vellum {

class Form1 : public QWidget
{
    Q_OBJECT
public:
    Form1(PaperSession &session, const CmultiLanguage &texts, Prompter &prompter, QWidget *parent = nullptr);

    QPlainTextEdit *Text2;
    QLineEdit *Text3;
    std::array<QRadioButton *, 4> Option1;
    std::array<QRadioButton *, 6> Option4;
    std::array<QCheckBox *, 6> Check1;
    QLineEdit *Text5;
    std::array<QLineEdit *, 6> Text7;
    QLabel *Label16;
    QLabel *Label17;
    QLabel *Label18;
    // While editing: why the question on show is not stored, if it is not.
    QLabel *problemNote;
    QPushButton *Command2;
    QPushButton *CmdDel;
    QPushButton *Command6;
    QPushButton *Command3;
    QPushButton *Command5;
    QWidget *singleFrame;
    QWidget *checkFrame;

    const QuestionEditor &editor() const { return m_editor; }

signals:
    // The paper is written; the program may end.
    void saved();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void apnc();
    void wire();
    void showAnswerWidgets();
    void showRecord();
    void showCounter();
    void reportShown();
    void reportSkipped();
    void showStoreState();
    void refuse(QWidget *box, int entryNumber);
    void marksChanged(const QString &text);
    void marksFinished();
    void onAdd();
    void onClose();

    PaperSession &m_session;
    const CmultiLanguage &m_texts;
    Prompter &m_prompter;
    QuestionEditor m_editor;
    QButtonGroup *m_kindGroup;
    QButtonGroup *m_singleGroup;
    AcceptedTexts m_accepted;
    bool m_saved = false;
};

} // namespace vellum
