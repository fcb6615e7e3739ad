// Read-only text windows of the server (report viewer, log viewer) and the parts its windows share.
#pragma once

#include "desktop.h"
#include "report.h"

#include <QDialog>

class CmultiLanguage;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace centrum {

class ScoreHistogram;

// A box of text that is read, never typed into: keyboard users still move through it and
// select, and Tab leaves it for the next control.
QPlainTextEdit *readOnlyTextBox(const QString &objectName, QWidget *parent);

// Lays content out above a close button ("OKButton") at the bottom right of window and
// returns the button.
QPushButton *closeButtonBelow(QWidget *content, QDialog *window, const CmultiLanguage &texts);

// A read-only text box and a close button; Escape or Enter closes it.
class TextWindow : public QDialog
{
    Q_OBJECT
public:
    TextWindow(const CmultiLanguage &texts, QWidget *parent = nullptr);

    QPlainTextEdit *Text1;
    QPushButton *OKButton;

    // Shows text from its start, without holding up the owner.
    void showText(const QString &title, const QString &text);
};

// The report viewer: the rows of one report file, the figures of its scores under them, a
// chart of the scores, and an export of the rows as CSV.
class DlgRpt : public QDialog
{
    Q_OBJECT
public:
    DlgRpt(const CmultiLanguage &texts, Desktop desktop, QWidget *parent = nullptr);

    QPlainTextEdit *Text1;
    QLabel *Label1;           // the figures of the scores
    ScoreHistogram *Picture1; // the scores' chart
    QPushButton *Command1;    // Export CSV
    QPushButton *OKButton;

    void showReport(const report::ReportView &report);
    const report::ReportView &report() const { return m_report; }

private:
    void exportCsv();

    const CmultiLanguage &m_texts;
    Desktop m_desktop;
    report::ReportView m_report;
    // The folder of the last export, offered again for the next report.
    QString m_exportFolder;
};

} // namespace centrum
