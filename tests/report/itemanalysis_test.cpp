// Item analysis: facility, discrimination with ties at the group edge, reliability, option and word counts, flags.
#include "report/itemanalysis.h"

#include "paper/onechoices.h"

#include <QTemporaryDir>

#include "tests/support/paperfiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

using namespace report;

namespace {

AnswerEntry sheet(const char *paper, std::initializer_list<QuestionAnswer> questions)
{
    return { {}, QStringLiteral("s"), QString::fromLatin1(paper), 60, 0, QList<QuestionAnswer>(questions) };
}

QuestionKey key(QuestionKind kind, double marks, const char *answer, QStringList options)
{
    return { kind, marks, QString::fromLatin1(answer), options };
}

void expectFigure(std::optional<double> got, std::optional<double> want, const char *what)
{
    ASSERT_EQ(got.has_value(), want.has_value()) << what;
    if (want) {
        EXPECT_NEAR(*got, *want, 1e-9) << what;
    }
}

struct Expected {
    std::optional<double> facility, correlation, upperLower;
    unsigned flags;
    qsizetype answered, blank;
};

void expectQuestions(const PaperFigures &f, const std::vector<Expected> &want)
{
    ASSERT_EQ(f.questions.size(), qsizetype(want.size()));
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "question " << i + 1);
        const QuestionFigures &q = f.questions[qsizetype(i)];
        expectFigure(q.facility, want[i].facility, "facility");
        expectFigure(q.correlation, want[i].correlation, "correlation");
        expectFigure(q.upperLower, want[i].upperLower, "upper-lower");
        EXPECT_EQ(q.flags, want[i].flags);
        EXPECT_EQ(q.answered, want[i].answered);
        EXPECT_EQ(q.blank, want[i].blank);
    }
}

const QStringList abcd { "a", "b", "c", "d" };
// Q1 single (B), Q2 multiple (A and C), Q3 true-or-false (A) that all get right; 1 mark each.
const QList<QuestionKey> choiceKeys { key(QuestionKind::Single, 1, "2", abcd), key(QuestionKind::Multiple, 1, "13", { "a", "b", "c" }),
                                      key(QuestionKind::TrueFalse, 1, "1", { "T", "F" }) };
// Totals 3, 3, 3, 2, 2, 1; groups of round(0.27 * 6) = 2. Top: the three 3s two thirds each;
// bottom: the 1 whole, the two 2s (one right on Q1 only, one on Q2 only) half each.
const QList<AnswerEntry> choiceSheets {
    sheet("p.dat", { { "2", 1 }, { "13", 1 }, { "1", 1 } }), sheet("p.dat", { { "2", 1 }, { "13", 1 }, { "1", 1 } }),
    sheet("p.dat", { { "2", 1 }, { "13", 1 }, { "1", 1 } }), sheet("p.dat", { { "2", 1 }, { "1", 0 }, { "1", 1 } }),
    sheet("p.dat", { { "1", 0 }, { "13", 1 }, { "1", 1 } }), sheet("p.dat", { { "3", 0 }, { "", 0 }, { "1", 1 } }),
};

} // namespace

TEST(ItemAnalysis, ChoicePaperWithTiesAtTheGroupEdgeInAnyOrder)
{
    QList<AnswerEntry> entries = choiceSheets;
    entries.append(sheet("q.dat", { { "2", 1 }, { "13", 1 }, { "1", 1 } }));
    entries.append(sheet("p.dat", { { "2", 1 }, { "13", 1 } }));
    for (bool reversed : { false, true }) {
        SCOPED_TRACE(reversed ? "reversed" : "in order");
        if (reversed)
            std::reverse(entries.begin(), entries.end());
        const PaperFigures f = analyse(entries, QStringLiteral("p.dat"), choiceKeys);
        EXPECT_EQ(f.candidates, 6);
        EXPECT_EQ(f.otherPapers, 1);
        EXPECT_EQ(f.otherShape, 1);
        EXPECT_NEAR(f.mean, 7.0 / 3, 1e-12);
        EXPECT_EQ(f.median, 2.5);
        EXPECT_NEAR(f.standardDeviation, std::sqrt(5.0 / 9), 1e-12); // deviations 2/3 x3, -1/3 x2, -4/3
        // All or nothing: p = 4/6, 4/6, 1, sum pq = 4/9; KR-20 = 3/2 (1 - (4/9)/(5/9)) = 0.3.
        EXPECT_TRUE(f.kr20);
        expectFigure(f.reliability, 0.3, "KR-20");
        // Q1: points 1,1,1,1,0,0, rest (Q2 + Q3) 2,2,2,1,2,1: sxy = 1/3, sxx = syy = 4/3,
        //     r = 1/4; top (3 * 2/3)/2 = 1, bottom (0 + 1/2 (1 + 0))/2 = 1/4. Q2 the same way round.
        // Q3: no spread, no correlation; both groups 1.
        expectQuestions(f, { { 4.0 / 6, 0.25, 0.75, FlagNone, 6, 0 },
                             { 4.0 / 6, 0.25, 0.75, FlagNone, 5, 1 },
                             { 1.0, std::nullopt, 0.0, FlagEasy, 6, 0 } });
        EXPECT_EQ(f.questions[0].options, (QList<OptionCount> { { 1, 1, false }, { 2, 4, true }, { 3, 1, false }, { 4, 0, false } }));
        EXPECT_EQ(f.questions[1].options, (QList<OptionCount> { { 1, 5, true }, { 2, 0, false }, { 3, 4, true } }));
        EXPECT_EQ(f.questions[2].options, (QList<OptionCount> { { 1, 6, true }, { 2, 0, false } }));
        EXPECT_EQ(f.questions[1].kind, QuestionKind::Multiple);
    }
}

TEST(ItemAnalysis, OneCandidateHasNoCorrelationNorReliability)
{
    const PaperFigures f = analyse({ choiceSheets[4] }, QStringLiteral("p.dat"), choiceKeys);
    EXPECT_EQ(f.candidates, 1);
    EXPECT_EQ(f.mean, 2);
    EXPECT_EQ(f.median, 2);
    EXPECT_EQ(f.standardDeviation, 0);
    EXPECT_FALSE(f.reliability);
    // The one candidate is both groups.
    expectQuestions(f, { { 0.0, std::nullopt, 0.0, FlagHard, 1, 0 },
                         { 1.0, std::nullopt, 0.0, FlagEasy, 1, 0 },
                         { 1.0, std::nullopt, 0.0, FlagEasy, 1, 0 } });
}

TEST(ItemAnalysis, WithoutThePaperMarksAreTheMostEarnedAndChoicesHaveNoKey)
{
    // Marks 1, 2, 3. Counts right 3,2,1,0 (mean 1.5, var 5/4); p = 3/4, 1/2, 1/4: sum pq = 10/16;
    // KR-20 = 3/2 (1 - (5/8)/(5/4)) = 0.75 (alpha on points: 3/2 (1 - (3/16 + 1 + 27/16)/(21/4)) = 0.68).
    const QList<AnswerEntry> entries { sheet("p.dat", { { "1", 1 }, { "2", 2 }, { "13", 3 } }),
                                       sheet("p.dat", { { "1", 1 }, { "2", 2 }, { "3", 0 } }),
                                       sheet("p.dat", { { "1", 1 }, { "4", 0 }, { "", 0 } }),
                                       sheet("p.dat", { { "", 0 }, { "4", 0 }, { "", 0 } }),
                                       sheet("p.dat", { { "1", 1 } }) };
    const PaperFigures f = analyse(entries, QStringLiteral("p.dat"));
    EXPECT_EQ(f.otherShape, 1);
    EXPECT_TRUE(f.kr20);
    expectFigure(f.reliability, 0.75, "KR-20");
    for (const QuestionFigures &q : f.questions) {
        EXPECT_EQ(q.kind, QuestionKind::Unknown);
        EXPECT_EQ(q.marks, q.number);
    }
    // Options up to the last chosen, none marked correct.
    EXPECT_EQ(f.questions[1].options, (QList<OptionCount> { { 1, 0, false }, { 2, 2, false }, { 3, 0, false }, { 4, 2, false } }));
    EXPECT_EQ(f.questions[2].options, (QList<OptionCount> { { 1, 1, false }, { 2, 0, false }, { 3, 2, false } }));
    EXPECT_EQ(f.questions[2].blank, 2);
}

TEST(ItemAnalysis, FillInPaperScoredBlankByBlankCountsWrongWords)
{
    // Q1: blanks Paris and Rome, 1 point each (2 marks); Q2: one blank H2O worth 2.
    const QList<QuestionKey> keys { key(QuestionKind::Blank, 2, "", { "Paris", "Rome", "", "", "", "" }),
                                    key(QuestionKind::Blank, 2, "", { "H2O" }) };
    const QList<AnswerEntry> entries {
        sheet("f.dat", { { "Paris~Rome~~~~~", 2 }, { "H2O~~~~~~", 2 } }),
        sheet("f.dat", { { "Paris~rome~~~~~", 1 }, { "water~~~~~~", 0 } }),
        sheet("f.dat", { { "Lyon~Roma~~~~~", 0 }, { "H2O!~~~~~~", 2 } }),
        sheet("f.dat", { { "~~~~~~", 0 }, { "", 0 } }),
        sheet("f.dat", { { "Lyon~Rom~~~~~", 0 }, { "Water~~~~~~", 0 } }),
        sheet("f.dat", { { "Amiens~Rm~~~~~", 0 }, { "H2O~~~~~~", 2 } }),
    };
    const PaperFigures f = analyse(entries, QStringLiteral("f.dat"), keys);
    // Q1 points 2,1,0,0,0,0 (var 3.5/6 = 7/12); Q2 2,0,2,0,0,2 (var 1); totals 4,1,2,0,0,2 (mean 1.5,
    // var 11.5/6 = 23/12). Alpha = 2 (1 - (7/12 + 1)/(23/12)) = 8/23.
    EXPECT_FALSE(f.kr20);
    expectFigure(f.reliability, 8.0 / 23, "alpha");
    EXPECT_EQ(f.questions[0].facility, 0.25);
    EXPECT_EQ(f.questions[0].answered, 5);
    EXPECT_EQ(f.questions[1].blank, 1);
    // Most common first, then in text order, three at most; "H2O!" holds the word and is not wrong.
    using W = QList<WordCount>;
    EXPECT_EQ(f.questions[0].blanks, (QList<BlankWords> { { 1, W { { "Lyon", 2 }, { "Amiens", 1 } } },
                                                           { 2, W { { "Rm", 1 }, { "Rom", 1 }, { "Roma", 1 } } } }));
    EXPECT_EQ(f.questions[1].blanks, (QList<BlankWords> { { 1, W { { "Water", 1 }, { "water", 1 } } } }));
    EXPECT_TRUE(f.questions[0].options.isEmpty());

    // Without the paper the answers' "~" make them fill-ins, and every word written is listed.
    const PaperFigures bare = analyse(entries, QStringLiteral("f.dat"));
    EXPECT_EQ(bare.questions[0].answered, 5);
    EXPECT_EQ(bare.questions[1].blanks, (QList<BlankWords> { { 1, W { { "H2O", 2 }, { "H2O!", 1 }, { "Water", 1 } } } }));
}

TEST(ItemAnalysis, KeysComeFromThePaperAndTheCommonestPaperIsChosen)
{
    QTemporaryDir dir;
    oneChoices paper;
    ASSERT_EQ(paper.init(writePaper(dir.filePath(QStringLiteral("k.dat")),
                                    { "1^60^S^T^10^A", "Q1^0^2^3^9^a^b^c", "Q2^0^^1.5^7^x^^y", "Q3^0^1^2^6^T^F" })),
              oneChoices::LoadStatus::Loaded);
    const QList<QuestionKey> keys = questionKeys(paper);
    ASSERT_EQ(keys.size(), 3);
    EXPECT_EQ(keys[0].kind, QuestionKind::Single);
    EXPECT_EQ(keys[0].answer, QStringLiteral("2"));
    EXPECT_EQ(keys[0].marks, 3);
    EXPECT_EQ(keys[1].kind, QuestionKind::Blank);
    EXPECT_EQ(keys[1].marks, 3); // 1.5 for each of two expected words
    EXPECT_EQ(keys[1].options.mid(0, 3), (QStringList { "x", "", "y" }));
    EXPECT_EQ(keys[2].kind, QuestionKind::TrueFalse);

    const QList<AnswerEntry> entries { sheet("b", {}), sheet("a", {}), sheet("a", {}), sheet("b", {}) };
    EXPECT_EQ(commonestPaper(entries), QStringLiteral("b"));
    EXPECT_EQ(commonestPaper({}), QString());
}

TEST(ItemAnalysis, AWrongKeyIsFlaggedForNegativeDiscriminationAlone)
{
    // 200 candidates of normal ability, 20 four-option questions of spread difficulty. A candidate who
    // knows a question picks its right option, otherwise any of the four. Question 8 is keyed C but B is right.
    std::mt19937 random(20240611);
    std::normal_distribution<double> ability;
    std::uniform_real_distribution<double> chance(0, 1);
    std::uniform_int_distribution<int> guess(1, 4);
    const int count = 20, wrongKey = 7;
    QList<QuestionKey> keys;
    for (int i = 0; i < count; ++i)
        keys.append(key(QuestionKind::Single, 1, i == wrongKey ? "3" : "2", abcd));
    QList<AnswerEntry> entries;
    for (int c = 0; c < 200; ++c) {
        const double theta = ability(random);
        AnswerEntry e = sheet("g.dat", {});
        for (int i = 0; i < count; ++i) {
            const double difficulty = -1.5 + 3.0 * i / (count - 1);
            const bool knows = chance(random) < 1 / (1 + std::exp(-1.7 * (theta - difficulty)));
            const QString answer = QString::number(knows ? 2 : guess(random));
            e.questions.append({ answer, answer == keys[i].answer ? 1.0 : 0.0 });
        }
        entries.append(e);
    }
    const PaperFigures f = analyse(entries, QStringLiteral("g.dat"), keys);
    ASSERT_EQ(f.questions.size(), count);
    for (const QuestionFigures &q : f.questions) {
        SCOPED_TRACE(q.number);
        EXPECT_EQ(bool(q.flags & FlagNegativeDiscrimination), q.number == wrongKey + 1) << q.correlation.value_or(NAN);
    }
    EXPECT_LT(*f.questions[wrongKey].upperLower, 0);
    EXPECT_TRUE(f.kr20);
    EXPECT_GT(*f.reliability, 0.7);
}
