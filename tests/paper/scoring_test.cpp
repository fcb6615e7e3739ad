// Scoring: exact matches for choice questions, per-blank fill-ins, rounding at every step, wide totals.
#include "paper/onechoices.h"
#include "paper/paperformat.h"
#include "paper/scoring.h"

#include <QTemporaryDir>

#include "tests/support/paperfiles.h"

#include <gtest/gtest.h>

namespace {

class Scoring : public ::testing::Test
{
protected:
    const oneChoices &load(const QStringList &questionLines)
    {
        QStringList lines { QStringLiteral("1^60^S^T^10^A") };
        lines += questionLines;
        const QString path = writePaper(m_dir.filePath(QStringLiteral("p.dat")), lines);
        EXPECT_EQ(m_paper.init(path), oneChoices::LoadStatus::Loaded);
        return m_paper;
    }

    qint64 score(const QStringList &answers) { return paper::scoreAnswers(m_paper, answers).value_or(-1); }
    qint64 full() { return paper::fullMarks(m_paper).value_or(-1); }

    QTemporaryDir m_dir;
    oneChoices m_paper;
};

} // namespace

TEST_F(Scoring, SingleChoiceNeedsTheExactAnswerText)
{
    load({ "Q^0^2^5^9^a^b" });
    EXPECT_EQ(score({ "2" }), 5);
    EXPECT_EQ(score({ "02" }), 0);
    EXPECT_EQ(score({ "2 " }), 0);
    EXPECT_EQ(score({}), 0);
    EXPECT_EQ(full(), 5);
}

TEST_F(Scoring, MultipleSelectGivesNoPartialCredit)
{
    load({ "Q^0^135^4^8^a^b^c^d^e" });
    EXPECT_EQ(score({ "135" }), 4);
    for (const char *wrong : { "13", "1356", "153" })
        EXPECT_EQ(score({ wrong }), 0) << wrong;
}

TEST_F(Scoring, EmptyCorrectAnswerScoresWhenUnanswered)
{
    load({ "Q^0^^3^9^a" });
    EXPECT_EQ(score({}), 3);
    EXPECT_EQ(score({ "1" }), 0);
}

TEST_F(Scoring, FillInCountsEachExpectedWordFoundAnywhereInTheAnswer)
{
    load({ "Q^0^^2^7^Paris^Rome" });
    EXPECT_EQ(score({ "Rome~Paris~~~~~" }), 4);
    EXPECT_EQ(score({ "Paris~~~~~~" }), 2);
    EXPECT_EQ(score({ "~~~~~~" }), 0);
    EXPECT_EQ(full(), 4);

    load({ "Q^0^^1^7^cat^cat" });
    EXPECT_EQ(score({ "catalog~~~~~~" }), 2); // one entry meets both blanks
    EXPECT_EQ(score({ "Cat~~~~~~" }), 0);     // case counts
}

TEST_F(Scoring, FractionsRoundAtEveryStepHalvesToEven)
{
    QStringList tenHalves;
    for (int i = 0; i < 10; ++i)
        tenHalves << QStringLiteral("Q^0^1^0.5^9^a");
    load(tenHalves);
    EXPECT_EQ(full(), 0);
    EXPECT_EQ(score(QStringList(10, QStringLiteral("1"))), 0);

    load({ "Q^0^1^1^9^a", "Q^0^1^1.5^9^a", "Q^0^1^0.5^9^a" });
    // 0+1 = 1, 1+1.5 = 2.5 -> 2, 2+0.5 = 2.5 -> 2
    EXPECT_EQ(full(), 2);
}

TEST_F(Scoring, MarksTextsCountByTheirLeadingNumber)
{
    load({ "Q^0^1^2分^9^a", "Q^0^1^分2^9^a", "Q^0^1^^9^a", "Q^0^1^1^5^a" });
    EXPECT_EQ(full(), 3);                             // an unknown kind still counts as one answer
    EXPECT_EQ(score({ "1", "1", "1", "1" }), 3);
}

TEST_F(Scoring, TotalsBeyondSixteenBitsDoNotWrap)
{
    load({ "Q^0^1^30000^9^a", "Q^0^1^30000^9^a" });
    EXPECT_EQ(full(), 60000);
    EXPECT_EQ(score({ "1", "1" }), 60000);
    load({ "Q^0^1^1e300^9^a" });
    EXPECT_FALSE(paper::fullMarks(m_paper).has_value());
}
