// Paper checks: the problems each kind of damaged or invalid line is reported with.
#include "paper/onechoice.h"
#include "paper/papercheck.h"
#include "paper/paperformat.h"

#include <QTemporaryDir>

#include "tests/support/paperfiles.h"

#include <gtest/gtest.h>

namespace {

QStringList problemsOf(const QString &line)
{
    oneChoice q;
    q.init(line);
    return paper::questionProblems(q);
}

class Check : public ::testing::Test
{
protected:
    paper::CheckResult check(const QStringList &plainLines, const QByteArray &rawTail = {})
    {
        const QString path = writePaper(m_dir.filePath(QStringLiteral("c.dat")), plainLines, rawTail);
        return paper::checkPaper(path);
    }

    static QList<int> lines(const paper::CheckResult &r)
    {
        QList<int> out;
        for (const auto &p : r.problems)
            out << p.line;
        return out;
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST(QuestionProblems, ValidQuestionsOfEveryKindPass)
{
    for (const char *line : { "Q^0^2^2^9^a^b", "Q^0^24^1.5^8^a^b^c^d", "Q^0^^3^7^w1^w2",
                              "Q^0^^3^7^w1", "Q^0^1^1^6^True^False", "Q^3^6^1^9^a^b^c^d^e^f" })
        EXPECT_TRUE(problemsOf(QString::fromUtf8(line)).isEmpty()) << line;
}

TEST(QuestionProblems, AnswersMustHaveTheFormTheirKindNeeds)
{
    struct Row {
        const char *line;
        const char *mentions;
    };
    const Row rows[] = {
        { "Q^0^7^2^9^a^b", "single-choice" },
        { "Q^0^12^2^9^a^b", "single-choice" },
        { "Q^0^3^2^9^a^b", "option C" },
        { "Q^0^31^2^8^a^b^c", "ascending" },
        { "Q^0^11^2^8^a^b", "ascending" },
        { "Q^0^^2^8^a^b", "ascending" },
        { "Q^0^14^2^8^a^b^c", "option D" },
        { "Q^0^3^2^6^True^False", "true-or-false" },
        { "Q^0^1^2^6^True", "option B" },
        { "Q^0^1^2^5^a", "kind code \"5\"" },
        { "Q^0^1^2^^a", "kind code is missing" },
        { "Q^0^1^0^9^a", "greater than zero" },
        { "Q^0^1^abc^9^a", "greater than zero" },
        { "Q^0^1^^9^a", "marks are missing" },
        { "^0^1^1^9^a", "text is empty" },
        { "Q^0^1^1^9", "option A" },
    };
    for (const Row &r : rows) {
        const QString joined = problemsOf(QString::fromUtf8(r.line)).join(u'|');
        EXPECT_TRUE(joined.contains(QString::fromUtf8(r.mentions))) << r.line << " -> " << joined.toStdString();
    }
}

TEST(HeaderProblems, SixFieldsAndSixteenBitPositiveNumbers)
{
    EXPECT_TRUE(paper::headerProblems(QStringLiteral("1^90^S^T^100^A")).isEmpty());
    EXPECT_FALSE(paper::headerProblems(QStringLiteral("1^90^S^T^100")).isEmpty());
    EXPECT_FALSE(paper::headerProblems(QStringLiteral("1^90^S^T^1^0^0^A")).isEmpty());
    EXPECT_FALSE(paper::headerProblems(QStringLiteral("1^0^S^T^100^A")).isEmpty());
    EXPECT_FALSE(paper::headerProblems(QStringLiteral("1^32768^S^T^100^A")).isEmpty());
    EXPECT_FALSE(paper::headerProblems(QStringLiteral("1^90^S^T^x^A")).isEmpty());
}

TEST_F(Check, AGoodPaperHasNoProblems)
{
    const auto r = check({ "1^90^S^T^5^A", "Q^0^2^2^9^a^b", "Q^0^^3^7^w" });
    EXPECT_TRUE(r.opened);
    EXPECT_TRUE(r.problems.empty());
}

TEST_F(Check, EachProblemCarriesItsFileLine)
{
    const auto r = check({ "1^90^S^T^5^A", "Q^0^2^2^9^a^b", "Q^0^9^2^9^a", "Q^0^1^1^9^a^with^caret^a^b^c^d" },
                         "XYZ!\r\n");
    EXPECT_EQ(lines(r), (QList<int> { 3, 4, 5 }));
}

TEST_F(Check, WholePaperProblemsHaveNoLine)
{
    EXPECT_EQ(lines(check({ "1^90^S^T^5^A" })), QList<int> { 0 });
    EXPECT_EQ(lines(check({})), QList<int> { 0 });
    EXPECT_EQ(lines(check({ "1^90^S^T^5^A", "Q^0^1^20000^9^a", "Q^0^1^20000^9^a" })), QList<int> { 0 });
}

TEST_F(Check, DamagedHexIsReported)
{
    // Seven digits: it still deciphers, but a whole character is missing.
    const auto r = check({ "1^90^S^T^5^A", "Q^0^1^1^9^a" },
                         "3D003F0\r\n");
    ASSERT_FALSE(r.problems.empty());
    EXPECT_EQ(lines(r).front(), 3);
    EXPECT_TRUE(r.problems.front().message.contains(u"multiple of four"));
}

TEST(CheckFile, MissingFileIsNotOpened)
{
    const auto r = paper::checkPaper(QStringLiteral("/nonexistent/paper.dat"));
    EXPECT_FALSE(r.opened);
    EXPECT_FALSE(r.openError.isEmpty());
}
