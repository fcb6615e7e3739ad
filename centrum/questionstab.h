// The report viewer's "Questions" tab: how each question of the day's papers worked, as a table, a chart and CSV.
#pragma once

#include "centrum/dayquestions.h"
#include "centrum/desktop.h"

#include <QWidget>

class CmultiLanguage;
class QComboBox;
class QLabel;
class QPushButton;
class QStandardItemModel;
class QTableView;

namespace centrum {

class QuestionChart;

class QuestionsTab : public QWidget
{
    Q_OBJECT
public:
    QuestionsTab(const CmultiLanguage &texts, Desktop desktop, QWidget *parent = nullptr);

    // What a cell holds for sorting: numbers for the columns of figures, the text for the rest.
    static constexpr int SortRole = Qt::UserRole + 1;

    QLabel *paperLabel;
    QComboBox *paperChoice; // shown when the sheets name more than one paper
    QLabel *summary;        // the paper's figures, and what was left out or is missing
    QTableView *table;
    QuestionChart *chart;
    QPushButton *exportButton;

    // The day's sheets; each paper they name is read from where locate says, the commonest shown first.
    void showDay(DayAnswers day, const QString &reportPath, PaperLocator locate);
    const report::PaperFigures &figures() const { return m_shown.figures; }
    QStandardItemModel *model() const { return m_model; }

private:
    void showPaper(int index);
    void exportCsv();

    const CmultiLanguage &m_texts;
    Desktop m_desktop;
    QStandardItemModel *m_model;
    DayAnswers m_day;
    QString m_reportPath;
    PaperLocator m_locate;
    PaperAnalysis m_shown;
    // The folder of the last export, offered again for the next one.
    QString m_exportFolder;
};

} // namespace centrum
