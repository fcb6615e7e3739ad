// The report viewer: one report file's rows, the figures and chart of its scores, and its export as CSV.
#include "centrum/dlgrpt.h"

#include "centrum/csvexport.h"

#include "centrum/questionstab.h"
#include "centrum/reportview.h"
#include "centrum/scorehistogram.h"
#include "centrum/texts.h"
#include "centrum/textwindow.h"
#include "common/multilanguage.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace centrum {

DlgRpt::DlgRpt(const CmultiLanguage &texts, Desktop desktop, QWidget *parent)
    : QDialog(parent), m_texts(texts), m_desktop(std::move(desktop))
{
    setObjectName(QStringLiteral("DlgRpt"));
    Text1 = readOnlyTextBox(QStringLiteral("Text1"), this);
    // The report's cells are padded with blanks, so columns line up only in a fixed font.
    Text1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Text1->setTabStopDistance(Text1->fontMetrics().horizontalAdvance(u' ') * 4);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label1->setWordWrap(true);
    Picture1 = new ScoreHistogram(this);
    Picture1->setAccessibleName(m_texts.getRes(text::ScoreDistribution));
    Command1 = new QPushButton(m_texts.getRes(text::ExportCsvButton), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    OKButton = new QPushButton(m_texts.getRes(text::Close), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);

    questions = new QuestionsTab(m_texts, m_desktop, this);

    auto *results = new QWidget(this);
    auto *export1 = new QHBoxLayout;
    export1->addWidget(Command1);
    export1->addStretch();
    auto *resultsLayout = new QVBoxLayout(results);
    resultsLayout->setContentsMargins(0, 0, 0, 0);
    // The table takes most of the height as the window grows; the chart keeps a share of it.
    resultsLayout->addWidget(Text1, 3);
    resultsLayout->addWidget(Label1);
    resultsLayout->addWidget(Picture1, 2);
    resultsLayout->addLayout(export1);
    tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tabs"));
    // A day without answers looks as it always has: one page, no tab bar.
    tabs->setTabBarAutoHide(true);
    tabs->setDocumentMode(true);
    tabs->addTab(results, m_texts.getRes(text::ResultsTab));
    questions->hide();

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tabs, 1);
    layout->addLayout(buttons);
    // Hidden pages' controls are passed over.
    setTabOrder(tabs, Text1);
    setTabOrder(Text1, Command1);
    setTabOrder(Command1, questions->paperChoice);
    setTabOrder(questions->paperChoice, questions->table);
    setTabOrder(questions->table, questions->exportButton);
    setTabOrder(questions->exportButton, OKButton);
    resize(760, 620);

    connect(Command1, &QPushButton::clicked, this, &DlgRpt::exportCsv);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::close);
}

void DlgRpt::showReport(const report::ReportView &report, std::optional<report::Roster> roster, PaperLocator locate)
{
    m_report = report;
    m_roster = std::move(roster);
    setWindowTitle(m_texts.getRes(text::ReportsTitle));
    Text1->setPlainText(reportRowsText(m_report.rows, m_texts));
    Text1->moveCursor(QTextCursor::Start);
    const report::ScoreSummary summary = report::summarize(m_report.rows);
    Label1->setText(summaryText(summary, m_texts));
    Picture1->setHistogram(report::histogramOf(summary.scores), m_texts.getRes(text::MarksColumn), m_texts.getRes(text::CandidatesAxis),
                           summaryText(summary, m_texts));

    // The questions' tab only for a day whose answers were kept.
    std::optional<DayAnswers> day = readDayAnswers(m_report.path, m_texts);
    const int shown = tabs->indexOf(questions);
    if (!day && shown >= 0)
        tabs->removeTab(shown);
    if (day) {
        if (!locate) {
            const QDir beside = QFileInfo(m_report.path).absoluteDir();
            locate = [beside](const QString &paper) { return beside.filePath(paper); };
        }
        questions->showDay(std::move(*day), m_report.path, std::move(locate));
        if (shown < 0)
            tabs->addTab(questions, m_texts.getRes(text::QuestionsTab));
    }
    tabs->setCurrentIndex(0);
    show();
    raise();
    activateWindow();
    Text1->setFocus();
}

void DlgRpt::exportCsv()
{
    // Beside the report, named by its day; after an export elsewhere, in that folder instead.
    const QString folder = exportCsvFile(this, m_texts, m_desktop, m_texts.getRes(text::ExportCsvTitle),
                                         report::csvPathFor(m_report.path), m_exportFolder, [this] {
                                             return reportCsvText(m_report.rows, m_roster ? &*m_roster : nullptr, m_texts);
                                         });
    if (!folder.isEmpty())
        m_exportFolder = folder;
}

} // namespace centrum
