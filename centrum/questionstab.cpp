// The report viewer's "Questions" tab: how each question of the day's papers worked, as a table, a chart and CSV.
#include "centrum/questionstab.h"

#include "centrum/csvexport.h"
#include "centrum/itemtable.h"
#include "centrum/questionchart.h"
#include "centrum/texts.h"
#include "common/multilanguage.h"
#include "report/report.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <limits>

namespace centrum {

namespace {

// The sort key of a question's cell: its figure where the column holds one (a figure that cannot be worked out sorts
// below every other), otherwise its text.
QVariant sortKey(const report::QuestionFigures &q, ItemColumn column, const QString &text)
{
    const auto figure = [](const std::optional<double> &v) {
        return v.value_or(std::numeric_limits<double>::lowest());
    };
    switch (column) {
    case ItemColumn::Number:
        return double(q.number);
    case ItemColumn::Marks:
        return q.marks;
    case ItemColumn::Answered:
        return double(q.answered);
    case ItemColumn::Blank:
        return double(q.blank);
    case ItemColumn::Facility:
        return figure(q.facility);
    case ItemColumn::Correlation:
        return figure(q.correlation);
    case ItemColumn::UpperLower:
        return figure(q.upperLower);
    default:
        return text;
    }
}

bool isFigure(ItemColumn column)
{
    return column != ItemColumn::Kind && column != ItemColumn::Choices && column != ItemColumn::Flags;
}

} // namespace

QuestionsTab::QuestionsTab(const CmultiLanguage &texts, Desktop desktop, QWidget *parent)
    : QWidget(parent), m_texts(texts), m_desktop(std::move(desktop))
{
    setObjectName(QStringLiteral("questionsTab"));
    paperChoice = new QComboBox(this);
    paperChoice->setObjectName(QStringLiteral("paperChoice"));
    paperChoice->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    paperLabel = new QLabel(texts.getRes(text::PaperLabel), this);
    paperLabel->setBuddy(paperChoice);
    summary = new QLabel(this);
    summary->setObjectName(QStringLiteral("questionsSummary"));
    summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    summary->setWordWrap(true);

    m_model = new QStandardItemModel(this);
    m_model->setSortRole(SortRole);
    table = new QTableView(this);
    table->setObjectName(QStringLiteral("questionsTable"));
    table->setAccessibleName(texts.getRes(text::QuestionsTable));
    table->setModel(m_model);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(false);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->horizontalHeader()->setSortIndicatorShown(true);
    // The paper's own order first; a header's default order would be the other way round.
    table->horizontalHeader()->setSortIndicator(int(ItemColumn::Number), Qt::AscendingOrder);
    table->setSortingEnabled(true);
    // From the keyboard, as in the room's table: Ctrl+1 to Ctrl+9 and Ctrl+0 sort by the first to tenth column, and the
    // same keys again turn the order round.
    for (int column = 0; column < int(ItemColumn::Count) && column < 10; ++column) {
        auto *sortKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_0 + (column + 1) % 10)), table);
        sortKey->setContext(Qt::WidgetShortcut);
        connect(sortKey, &QShortcut::activated, this, [this, column] {
            const QHeaderView *header = table->horizontalHeader();
            const bool again = header->sortIndicatorSection() == column;
            const Qt::SortOrder order =
                again && header->sortIndicatorOrder() == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
            table->sortByColumn(column, order);
        });
    }

    chart = new QuestionChart(this);
    chart->setAccessibleName(texts.getRes(text::QuestionsChart));
    exportButton = new QPushButton(texts.getRes(text::ExportCsvButton), this);
    exportButton->setObjectName(QStringLiteral("exportQuestions"));

    auto *choice = new QHBoxLayout;
    choice->addWidget(paperLabel);
    choice->addWidget(paperChoice);
    choice->addStretch();
    // The examiner gives the table or the chart more room as the paper needs.
    auto *split = new QSplitter(Qt::Vertical, this);
    split->setChildrenCollapsible(false);
    split->addWidget(table);
    split->addWidget(chart);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(exportButton);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(choice);
    layout->addWidget(summary);
    layout->addWidget(split, 1);
    layout->addLayout(buttons);
    setTabOrder(paperChoice, table);
    setTabOrder(table, exportButton);

    connect(paperChoice, &QComboBox::currentIndexChanged, this, &QuestionsTab::showPaper);
    connect(exportButton, &QPushButton::clicked, this, &QuestionsTab::exportCsv);
}

void QuestionsTab::showDay(DayAnswers day, const QString &reportPath, PaperLocator locate)
{
    m_day = std::move(day);
    m_reportPath = reportPath;
    m_locate = std::move(locate);
    const QSignalBlocker quiet(paperChoice);
    paperChoice->clear();
    for (const report::PaperSheets &p : m_day.papers)
        paperChoice->addItem(m_texts.getRes(text::PaperSheets).arg(p.paper).arg(p.sheets), p.paper);
    const bool several = m_day.papers.size() > 1;
    paperLabel->setVisible(several);
    paperChoice->setVisible(several);
    paperChoice->setCurrentIndex(m_day.papers.isEmpty() ? -1 : 0);
    showPaper(paperChoice->currentIndex());
}

void QuestionsTab::showPaper(int index)
{
    const QString paper = index >= 0 ? paperChoice->itemData(index).toString() : QString();
    m_shown = {};
    if (!paper.isEmpty())
        m_shown = analysePaper(m_day.entries, paper, m_locate(paper), m_texts);
    const report::PaperFigures &f = m_shown.figures;

    QStringList lines = paper.isEmpty() ? QStringList() : itemSummaryLines(f, m_texts);
    if (!m_shown.withoutPaper.isEmpty())
        lines << m_shown.withoutPaper;
    lines << m_day.notes;
    summary->setText(lines.join(u'\n'));

    // Flagged rows stand out by a warning sign and a light background, with dark text on it whatever the desktop's
    // colours, and say why when the pointer rests on them.
    const QList<QStringList> rows = paper.isEmpty() ? QList<QStringList>() : itemRows(f, m_texts);
    const QIcon warning = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    const QBrush flaggedBackground(QColor(0xff, 0xe4, 0xc4));
    const QBrush flaggedText(Qt::black);
    m_model->clear();
    m_model->setHorizontalHeaderLabels(itemHeader(m_texts));
    QList<QuestionChart::Point> points;
    for (qsizetype i = 0; i < rows.size() && i < f.questions.size(); ++i) {
        const report::QuestionFigures &q = f.questions[i];
        const bool flagged = q.flags != report::FlagNone;
        const QString why = flagged ? flagText(q.flags, m_texts) : QString();
        QList<QStandardItem *> cells;
        for (int c = 0; c < int(ItemColumn::Count); ++c) {
            const auto column = ItemColumn(c);
            auto *cell = new QStandardItem(rows[i].value(c));
            cell->setEditable(false);
            cell->setData(sortKey(q, column, cell->text()), SortRole);
            if (isFigure(column))
                cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (flagged) {
                cell->setBackground(flaggedBackground);
                cell->setForeground(flaggedText);
                cell->setToolTip(why);
                if (column == ItemColumn::Number)
                    cell->setIcon(warning);
            }
            cells.append(cell);
        }
        m_model->appendRow(cells);
        if (q.facility && q.correlation)
            points.append({ q.number, *q.facility, *q.correlation, flagged });
    }
    const QHeaderView *header = table->horizontalHeader();
    table->sortByColumn(header->sortIndicatorSection(), header->sortIndicatorOrder());
    table->resizeColumnsToContents();
    chart->setPoints(points,
                     { m_texts.getRes(text::FacilityAxis), m_texts.getRes(text::DiscriminationAxis),
                       m_texts.getRes(text::NothingToChart), m_texts.getRes(text::HardBound),
                       m_texts.getRes(text::EasyBound), m_texts.getRes(text::FlaggedLegend) });
    exportButton->setEnabled(!paper.isEmpty());
}

void QuestionsTab::exportCsv()
{
    // Beside the report, named by its day; after an export elsewhere, in that folder instead.
    const QFileInfo report(m_reportPath);
    const QString folder =
        exportCsvFile(this, m_texts, m_desktop, m_texts.getRes(text::ExportQuestionsTitle),
                      report.dir().filePath(report.completeBaseName() + QStringLiteral("-questions.csv")), m_exportFolder,
                      [this] { return itemCsvText(m_shown.figures, m_texts); });
    if (!folder.isEmpty())
        m_exportFolder = folder;
}

} // namespace centrum
