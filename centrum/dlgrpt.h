// The report viewer: one report file's rows, the figures and chart of its scores, and its export as CSV.
#pragma once

#include "centrum/dayquestions.h"
#include "centrum/desktop.h"
#include "report/report.h"
#include "report/roster.h"

#include <optional>

#include <QDialog>

class CmultiLanguage;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace centrum {

class QuestionsTab;
class ScoreHistogram;

// The report viewer: the rows of one report file, the figures of its scores under them, a
// chart of the scores, and an export of the rows as CSV. A day held in secure mode has a
// second tab with how each question of its papers worked.
class DlgRpt : public QDialog
{
    Q_OBJECT
public:
    DlgRpt(const CmultiLanguage &texts, Desktop desktop, QWidget *parent = nullptr);

    QTabWidget *tabs; // the results; the questions when the day has an answer file
    QPlainTextEdit *Text1;
    QLabel *Label1;           // the figures of the scores
    ScoreHistogram *Picture1; // the scores' chart
    QPushButton *Command1;    // Export CSV
    QPushButton *OKButton;
    QuestionsTab *questions;

    // With a roster, the export adds each candidate's name and seat and a row for each absentee.
    // The papers the day's answers name are read from where locate says; without it, beside the report.
    void showReport(const report::ReportView &report, std::optional<report::Roster> roster = std::nullopt,
                    PaperLocator locate = {});
    const report::ReportView &report() const { return m_report; }

private:
    void exportCsv();

    const CmultiLanguage &m_texts;
    Desktop m_desktop;
    report::ReportView m_report;
    std::optional<report::Roster> m_roster;
    // The folder of the last export, offered again for the next report.
    QString m_exportFolder;
};

} // namespace centrum
