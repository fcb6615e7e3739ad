// The report viewer's "Questions" tab for a day held in secure mode: the same cells as papertool, numeric
// sorting, flagged questions marked, and no tab for a day without answers.
#include "centrum/dialog.h"
#include "centrum/dlgrpt.h"
#include "centrum/form1.h"
#include "centrum/itemtable.h"
#include "centrum/questionstab.h"
#include "centrum/texts.h"
#include "common/clsencryptxor.h"
#include "paper/onechoices.h"
#include "tests/centrum/serverfixture.h"
#include "tests/support/paperfiles.h"

#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include <algorithm>

using namespace centrum;

namespace {

const QStringList paperLines = {
    QStringLiteral("1^30^Science^Mid^10^Office"),
    QStringLiteral("Closest planet?^0^2^2^9^Venus^Mercury^Mars^Earth"),
    QStringLiteral("Primes?^0^13^3^8^2^9^7^11"),
    QStringLiteral("Gold ___ and iron ___^0^^1^7^Au^Fe"),
    QStringLiteral("Water boils at 100 °C^0^1^1^6^True^False"),
    QStringLiteral("Longest river?^0^3^2^9^Yellow^Pearl^Yangtze"),
};

class QuestionsTabTest : public ServerTest
{
protected:
    // Twelve candidates, the strongest first: question 1 is hard, 4 is answered right by the weaker ones, 5 by
    // everyone; 9, 10 and 12 answered make a text sort go wrong. One more sheet is for another paper.
    void writeDay()
    {
        QDir(folder()).mkdir(QStringLiteral("papers"));
        ASSERT_FALSE(writePaper(path(QStringLiteral("papers/mid.dat")), paperLines).isEmpty());
        writeSettings(path(QStringLiteral("papers/mid.dat")));
        DayFileWriter reports(folder(), QStringLiteral(".rpt"), DayFileWriter::Mode::Durable);
        DayFileWriter answers(folder(), QStringLiteral(".ans"), DayFileWriter::Mode::Durable);
        const auto sheet = [&](const QString &id, const QString &paper, const QList<report::QuestionAnswer> &given) {
            report::AnswerEntry e { reports.reserveKey(fixedNow), id, paper, 100, 0, given };
            double total = 0;
            for (const report::QuestionAnswer &a : given)
                total += a.points;
            e.score = qint64(total);
            ASSERT_TRUE(answers.write(fixedNow, report::formatAnswerEntry(e)));
            const QString result = QStringLiteral("%1:%2:100").arg(e.score).arg(paper);
            ASSERT_TRUE(reports.write(
                { { fixedNow, "127.0.0.1:" + id + u':' + clsEncryptXOR().HexEncrypt(result), e.reportKey } }));
        };
        for (int i = 0; i < 12; ++i) {
            const QString fill = i < 5 ? QStringLiteral("Au~Fe~~~~") : i < 9 ? QStringLiteral("Au~~~~~") : QString();
            sheet(QStringLiteral("S%1").arg(i, 2, 10, QChar(u'0')), QStringLiteral("mid.dat"),
                  { { i >= 10      ? QString()
                          : i == 0 ? QStringLiteral("2")
                                   : QString::number(1 + 2 * (i % 2)),
                      i == 0 ? 2.0 : 0.0 },
                    { i < 7 ? QStringLiteral("13") : QStringLiteral("1"), i < 7 ? 3.0 : 0.0 },
                    { fill,
                      i < 5       ? 2.0
                          : i < 9 ? 1.0
                                  : 0.0 },
                    { i >= 6 ? QStringLiteral("1") : QStringLiteral("2"), i >= 6 ? 1.0 : 0.0 },
                    { QStringLiteral("3"), 2.0 } });
        }
        sheet(QStringLiteral("X01"), QStringLiteral("other.dat"), { { QStringLiteral("1"), 1.0 } });
    }

    // Opens the newest day from the server window as an examiner would.
    DlgRpt &openDay()
    {
        if (!m_form) {
            Desktop desktop;
            desktop.warn = [](QWidget *, const QString &, const QString &) {};
            desktop.ask = [](QWidget *, const QString &, const QString &) { return false; };
            desktop.openText = [](const QString &) { return false; };
            m_form = std::make_unique<Form1>(server(), desktop);
            m_form->show();
        }
        QTest::mouseClick(m_form->Command2, Qt::LeftButton);
        QTest::keyClick(m_form->fileList()->File1, Qt::Key_Return);
        return *m_form->reportViewer();
    }

    static QList<QStringList> shownCells(const QStandardItemModel &model)
    {
        QList<QStringList> rows;
        for (int r = 0; r < model.rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < model.columnCount(); ++c)
                cells << model.item(r, c)->text();
            rows.append(cells);
        }
        return rows;
    }

    const Cmlo m_texts { textEntries() };
    std::unique_ptr<Form1> m_form;
};

TEST_F(QuestionsTabTest, ShowsTheCellsPapertoolShowsSortsFiguresAsNumbersAndMarksFlaggedQuestions)
{
    writeDay();
    DlgRpt &viewer = openDay();
    ASSERT_EQ(viewer.tabs->count(), 2);
    EXPECT_EQ(viewer.tabs->tabText(1), QStringLiteral("&Questions"));
    QuestionsTab &tab = *viewer.questions;
    ASSERT_EQ(tab.paperChoice->count(), 2);
    EXPECT_EQ(tab.paperChoice->currentText(), QStringLiteral("mid.dat (12 sheets)")) << "the commonest paper first";

    // The paper is found where the settings name it, so kinds, marks and answers are known.
    oneChoices paper;
    ASSERT_EQ(paper.init(path(QStringLiteral("papers/mid.dat"))), oneChoices::LoadStatus::Loaded);
    const auto entries =
        report::readAnswerFile(path(QStringLiteral("2026-12-6.ans")), path(QStringLiteral("2026-12-6.rpt")));
    ASSERT_TRUE(entries);
    const report::PaperFigures expected =
        report::analyse(*entries, QStringLiteral("mid.dat"), report::questionKeys(paper));
    EXPECT_EQ(shownCells(*tab.model()), itemRows(expected, m_texts));
    EXPECT_EQ(tab.summary->text(), itemSummaryLines(expected, m_texts).join(u'\n'));

    // A flagged question's row carries a sign, a background and its reasons; the others none.
    int flagged = 0;
    for (int r = 0; r < tab.model()->rowCount(); ++r) {
        const unsigned flags = expected.questions[r].flags;
        flagged += flags != report::FlagNone;
        SCOPED_TRACE(r);
        EXPECT_EQ(tab.model()->item(r, int(ItemColumn::Facility))->toolTip(),
                  flags ? flagText(flags, m_texts) : QString());
        EXPECT_EQ(!tab.model()->item(r, 0)->icon().isNull(), flags != report::FlagNone);
        EXPECT_EQ(tab.model()->item(r, int(ItemColumn::Flags))->background().style() != Qt::NoBrush,
                  flags != report::FlagNone);
    }
    EXPECT_GE(flagged, 2);

    // A click on a heading sorts by the figures themselves: 9 answered before 10 and 12.
    QHeaderView *header = tab.table->horizontalHeader();
    for (const ItemColumn column : { ItemColumn::Answered, ItemColumn::Facility, ItemColumn::Correlation }) {
        SCOPED_TRACE(int(column));
        const int c = int(column);
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(c) + header->sectionSize(c) / 2, header->height() / 2));
        ASSERT_EQ(header->sortIndicatorSection(), c);
        QList<double> shown;
        for (int r = 0; r < tab.model()->rowCount(); ++r) {
            const report::QuestionFigures &q = expected.questions[tab.model()->item(r, 0)->text().toInt() - 1];
            const std::optional<double> figure = column == ItemColumn::Answered ? double(q.answered)
                : column == ItemColumn::Facility                                ? q.facility
                                                                                : q.correlation;
            shown << figure.value_or(-2);
        }
        EXPECT_TRUE(std::is_sorted(shown.cbegin(), shown.cend()) || std::is_sorted(shown.crbegin(), shown.crend()))
            << QDebug::toString(shown).toStdString();
    }
}

TEST_F(QuestionsTabTest, SaysWhenThePaperIsMissingAndHasNoTabForADayWithoutAnswers)
{
    writeDay();
    ASSERT_TRUE(QFile::rename(path(QStringLiteral("papers/mid.dat")), path(QStringLiteral("papers/moved.dat"))));
    DlgRpt &viewer = openDay();
    ASSERT_EQ(viewer.tabs->count(), 2);
    const QStringList lines = viewer.questions->summary->text().split(u'\n');
    EXPECT_TRUE(lines.contains(
        m_texts.getRes(text::PaperNotUsed)
            .arg(QDir::toNativeSeparators(path(QStringLiteral("papers/mid.dat"))), m_texts.getRes(text::FileMissing))))
        << lines.join(u'|').toStdString();
    EXPECT_EQ(viewer.questions->model()->rowCount(), 5) << "the sheets are analysed without the paper";

    // The same viewer, opened again on a day without an answer file.
    ASSERT_TRUE(QFile::remove(path(QStringLiteral("2026-12-6.ans"))));
    openDay();
    EXPECT_EQ(viewer.tabs->count(), 1);
    EXPECT_EQ(viewer.tabs->indexOf(viewer.questions), -1);
    EXPECT_FALSE(viewer.tabs->tabBar()->isVisible());
}

} // namespace
