// The item analysis table's cells, summary lines and CSV, made from figures built by hand.
#include "centrum/itemtable.h"
#include "centrum/texts.h"
#include "common/csv.h"
#include "common/multilanguage.h"

#include <QSet>

#include <gtest/gtest.h>

using report::BlankWords;
using report::OptionCount;
using report::PaperFigures;
using report::QuestionFigures;
using report::QuestionKind;

namespace {

const Cmlo english(centrum::textEntries());

QuestionFigures question(int number, QuestionKind kind, double marks)
{
    QuestionFigures q;
    q.number = number;
    q.kind = kind;
    q.marks = marks;
    return q;
}

} // namespace

TEST(ItemTable, RowsShowTwoDecimalsEmptyCellsChoicesAndFlags)
{
    PaperFigures f;
    QuestionFigures single = question(1, QuestionKind::Single, 2);
    single.answered = 45;
    single.blank = 1;
    single.facility = 0.6521;
    single.correlation = -0.004; // rounds to no sign at all
    single.upperLower = -0.126;
    single.options = { { 1, 12, false }, { 2, 30, true }, { 3, 4, false } };
    single.flags = report::FlagNegativeDiscrimination;
    QuestionFigures multiple = question(2, QuestionKind::Multiple, 1.5);
    multiple.options = { { 1, 3, true }, { 2, 0, false }, { 4, 7, true } };
    multiple.flags = report::FlagHard | report::FlagNegativeDiscrimination;
    // No candidate, so no figure: the cells stay empty rather than show a made-up 0.
    QuestionFigures blank = question(3, QuestionKind::Blank, 4);
    blank.blanks = { { 1, { { QStringLiteral("paris"), 3 }, { QStringLiteral("Rome"), 2 } } },
                     { 2, {} },
                     { 3, { { QStringLiteral("北京"), 1 } } } };
    QuestionFigures tf = question(4, QuestionKind::TrueFalse, 1);
    tf.facility = 1;
    tf.correlation = 0.3;
    tf.upperLower = 0;
    tf.options = { { 1, 9, true }, { 2, 0, false } };
    tf.flags = report::FlagEasy;
    f.questions = { single, multiple, blank, tf, question(5, QuestionKind::Unknown, 0) };

    const QList<QStringList> expected = {
        { "1", "Multi-Choice", "2", "45", "1", "0.65", "0.00", "-0.13", "A 12, B* 30, C 4", "negative discrimination: check the key" },
        { "2", "Multi-Select", "1.5", "0", "0", "", "", "", "A* 3, B 0, D* 7",
          "hard: facility under 0.2; negative discrimination: check the key" },
        { "3", "Fill-in-the-blank", "4", "0", "0", "", "", "", "1: paris 3, Rome 2; 3: 北京 1", "" },
        { "4", "True or False", "1", "0", "0", "1.00", "0.30", "0.00", "A* 9, B 0", "easy: facility over 0.95" },
        { "5", "Unknown", "0", "0", "0", "", "", "", "", "" },
    };
    const QList<QStringList> rows = centrum::itemRows(f, english);
    ASSERT_EQ(rows.size(), expected.size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(rows[i], expected[i]);
        EXPECT_EQ(rows[i].size(), qsizetype(centrum::ItemColumn::Count));
    }

    // The CSV holds the same cells under the header; cells with commas come back whole.
    const csv::Reading csvRows = csv::read(centrum::itemCsvText(f, english));
    ASSERT_EQ(csvRows.records.size(), size_t(expected.size() + 1));
    EXPECT_EQ(csvRows.records[0].fields, centrum::itemHeader(english));
    EXPECT_EQ(csvRows.records[0].fields.join(u','),
              QStringLiteral("No.,Kind,Marks,Answered,Blank,Facility,Discrimination r,Upper-lower,Choices / wrong words,Flags"));
    for (qsizetype i = 0; i < expected.size(); ++i)
        EXPECT_EQ(csvRows.records[size_t(i + 1)].fields, expected[i]) << "row " << i + 1;
}

TEST(ItemTable, SummaryNamesTheReliabilityAndCountsWhatWasLeftOut)
{
    struct Row {
        const char *name;
        qsizetype candidates;
        std::optional<double> reliability;
        bool kr20;
        qsizetype otherPapers;
        qsizetype otherShape;
        QStringList lines;
    };
    const Row rows[] = {
        { "alpha", 30, 0.8149, false, 0, 0,
          { "Paper: 期中.dat   Candidates: 30", "Mean: 12.50   Median: 13.00   Standard deviation: 2.35",
            "Reliability (Cronbach's alpha): 0.81" } },
        { "kr20 and left out", 30, 0.7, true, 4, 2,
          { "Paper: 期中.dat   Candidates: 30", "Mean: 12.50   Median: 13.00   Standard deviation: 2.35",
            "Reliability (KR-20): 0.70", "Entries for other papers: 4 (left out)",
            "Entries with another number of questions: 2 (left out)" } },
        { "no candidates", 0, std::nullopt, false, 3, 0,
          { "Paper: 期中.dat   Candidates: 0",
            "Reliability: cannot be worked out (fewer than two candidates or questions, or no spread)",
            "Entries for other papers: 3 (left out)" } },
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        PaperFigures f;
        f.paper = QStringLiteral("期中.dat");
        f.candidates = r.candidates;
        f.mean = 12.5;
        f.median = 13;
        f.standardDeviation = 2.3456;
        f.reliability = r.reliability;
        f.kr20 = r.kr20;
        f.otherPapers = r.otherPapers;
        f.otherShape = r.otherShape;
        EXPECT_EQ(centrum::itemSummaryLines(f, english), r.lines);
    }
}

TEST(ItemTable, EveryNameAndReasonHasATextInBothLanguages)
{
    const Cmlc chinese(centrum::textEntries());
    for (const CmultiLanguage *texts : { static_cast<const CmultiLanguage *>(&english), static_cast<const CmultiLanguage *>(&chinese) }) {
        const QStringList header = centrum::itemHeader(*texts);
        EXPECT_EQ(QSet<QString>(header.begin(), header.end()).size(), qsizetype(centrum::ItemColumn::Count));
        EXPECT_FALSE(header.contains(QString()));
        const unsigned all = report::FlagHard | report::FlagEasy | report::FlagNegativeDiscrimination;
        EXPECT_EQ(centrum::flagText(all, *texts).split(QStringLiteral("; ")).size(), 3);
        EXPECT_FALSE(centrum::flagText(all, *texts).contains(u'%'));
        PaperFigures f;
        f.candidates = 2;
        f.otherPapers = 1;
        f.otherShape = 1;
        for (const QString &line : centrum::itemSummaryLines(f, *texts))
            EXPECT_FALSE(line.isEmpty() || line.contains(u'%')) << line.toStdString();
    }
    EXPECT_EQ(centrum::itemHeader(chinese).first(), QStringLiteral("题号"));
}
