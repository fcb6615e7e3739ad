// The paper loader: counts, the skipped header, reloading, and what stops it.
#include "paper/onechoices.h"
#include "paper/paperformat.h"

#include <QTemporaryDir>

#include "tests/support/paperfiles.h"

#include <gtest/gtest.h>

namespace {

class Loader : public ::testing::Test
{
protected:
    // Writes plain lines enciphered, each ended by CR LF, plus any raw tail.
    QString paperOf(const QStringList &plainLines, const QByteArray &rawTail = {})
    {
        return writePaper(m_dir.filePath(QStringLiteral("p%1.dat").arg(++m_count)), plainLines, rawTail);
    }

    QTemporaryDir m_dir;
    int m_count = 0;
};

} // namespace

TEST_F(Loader, SkipsTheHeaderAndNumbersQuestionsFromOne)
{
    oneChoices paper;
    ASSERT_EQ(paper.init(paperOf({ "1^90^S^T^100^A", "Q1^0^1^1^9^a", "Q2^0^2^1^9^a^b" })),
              oneChoices::LoadStatus::Loaded);
    ASSERT_EQ(paper.getCount(), 2);
    EXPECT_EQ(paper.getOne(1)->getContext(), QStringLiteral("Q1"));
    EXPECT_EQ(paper.getOne(2)->getAnswer(), QStringLiteral("2"));
    // The record handed out is the stored one, not a copy.
    paper.getOne(1)->setAnswer(QStringLiteral("changed"));
    EXPECT_EQ(paper.getOne(1)->getAnswer(), QStringLiteral("changed"));
}

TEST_F(Loader, OneLineFileHasNoQuestionsAndAskingForOneIsReported)
{
    oneChoices paper;
    QList<int> missing;
    paper.setMissingQuestionHandler([&](int i) { missing << i; });
    ASSERT_EQ(paper.init(paperOf({ "1^90^S^T^100^A" })), oneChoices::LoadStatus::Loaded);
    EXPECT_EQ(paper.getCount(), 0);
    EXPECT_EQ(paper.getOne(1), nullptr);
    EXPECT_EQ(paper.getOne(0), nullptr);
    EXPECT_EQ(missing, (QList<int> { 1, 0 }));
}

TEST_F(Loader, AnExtraEmptyLineIsOneMoreEmptyQuestion)
{
    oneChoices paper;
    ASSERT_EQ(paper.init(paperOf({ "h", "Q^0^1^1^9^a" }, "\r\n")), oneChoices::LoadStatus::Loaded);
    ASSERT_EQ(paper.getCount(), 2);
    EXPECT_EQ(paper.getOne(2)->getContext(), QString());
}

TEST_F(Loader, LoadingAgainReplacesTheQuestions)
{
    oneChoices paper;
    paper.init(paperOf({ "h", "a^0^1^1^9^x", "b^0^1^1^9^x", "c^0^1^1^9^x" }));
    paper.init(paperOf({ "h", "d^0^1^1^9^x" }));
    ASSERT_EQ(paper.getCount(), 1);
    EXPECT_EQ(paper.getOne(1)->getContext(), QStringLiteral("d"));
}

TEST_F(Loader, MissingFileGivesNoQuestionsAndAnEmptyTitle)
{
    oneChoices paper;
    const QString missing = m_dir.filePath(QStringLiteral("none.dat"));
    EXPECT_EQ(paper.init(missing), oneChoices::LoadStatus::Unreadable);
    EXPECT_EQ(paper.getCount(), 0);
    EXPECT_EQ(oneChoices::getTitle(missing), QString());
}

TEST_F(Loader, ALineThatIsNotHexStopsTheLoadAndNamesTheLine)
{
    oneChoices paper;
    const QString path = paperOf({ "h", "Q1^0^1^1^9^a" }, "ZZZZ\r\n");
    EXPECT_EQ(paper.init(path), oneChoices::LoadStatus::BadLine);
    EXPECT_EQ(paper.errorLine(), 3);
    EXPECT_TRUE(paper.lastError().contains(u"line 3"));
    EXPECT_EQ(paper.getCount(), 0); // the count is only set by a complete load

    // Nor does an earlier load's count survive a failed one.
    ASSERT_EQ(paper.init(paperOf({ "h", "a^0^1^1^9^x", "b^0^1^1^9^x", "c^0^1^1^9^x" })),
              oneChoices::LoadStatus::Loaded);
    EXPECT_EQ(paper.init(path), oneChoices::LoadStatus::BadLine);
    EXPECT_EQ(paper.getCount(), 0);
    EXPECT_EQ(paper.getOne(1), nullptr);

    EXPECT_FALSE(oneChoices::getTitle(paperOf({}, "not hex\r\n")));
}

TEST_F(Loader, TitleIsTheDecipheredFirstLine)
{
    EXPECT_EQ(oneChoices::getTitle(paperOf({ "417^90^S^T^100^A", "q" })),
              QStringLiteral("417^90^S^T^100^A"));
    EXPECT_EQ(oneChoices::getTitle(paperOf({ "" })), QString());
}

TEST_F(Loader, RefusesMoreQuestionsThanSixteenBitsCount)
{
    QStringList lines { "h" };
    for (int i = 0; i <= paper::maxQuestions; ++i)
        lines << QStringLiteral("q");
    oneChoices paper;
    EXPECT_EQ(paper.init(paperOf(lines)), oneChoices::LoadStatus::TooManyQuestions);
    EXPECT_EQ(paper.getCount(), 0);
    lines.removeLast();
    EXPECT_EQ(paper.init(paperOf(lines)), oneChoices::LoadStatus::Loaded);
    EXPECT_EQ(paper.getCount(), paper::maxQuestions);
}

TEST_F(Loader, LongLinesAndALastLineWithoutItsEndLoadWhole)
{
    // A question far longer than a read block, then one whose line end is missing.
    const QString longText = QString(700 * 1024, u'长');
    QFile file(m_dir.filePath(QStringLiteral("long.dat")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(paper::encipherLine(QStringLiteral("h")).toLatin1() + "\r\n");
    file.write(paper::encipherLine(longText + QStringLiteral("^0^1^1^9^a")).toLatin1() + "\n");
    file.write(paper::encipherLine(QStringLiteral("last^0^2^1^9^a^b")).toLatin1());
    file.close();

    oneChoices paper;
    ASSERT_EQ(paper.init(file.fileName()), oneChoices::LoadStatus::Loaded);
    ASSERT_EQ(paper.getCount(), 2);
    EXPECT_EQ(paper.getOne(1)->getContext(), longText);
    EXPECT_EQ(paper.getOne(2)->getOption(1), QStringLiteral("b"));
}

TEST_F(Loader, ABadCharacterIsNamedByItsPlaceAmongTheLinesCharacters)
{
    // "é" takes two bytes in the file, but the message counts characters.
    oneChoices paper;
    EXPECT_EQ(paper.init(paperOf({ "h" }, "0D000D00\xC3\xA9" "0\r\n")), oneChoices::LoadStatus::BadLine);
    EXPECT_TRUE(paper.lastError().contains(QStringLiteral("line 2: not hexadecimal at character 9")))
        << paper.lastError().toStdString();
}
