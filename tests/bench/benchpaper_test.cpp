// The benchmarks' generated papers: they load and check clean, keep their promised shape, and
// their answers score what the generator says, so the timings are taken on sound work.
#include "bench/support/benchpaper.h"
#include "examdesk/texts.h"

#include "examdesk/testsession.h"
#include "paper/onechoices.h"
#include "paper/papercheck.h"
#include "paper/paperformat.h"
#include "paper/scoring.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using bench::Kinds;

namespace {

int optionsOf(const oneChoice &q)
{
    int n = 0;
    while (n < oneChoice::optionCount && !q.getOption(n).isEmpty())
        ++n;
    return n;
}

class GeneratedPaper : public ::testing::TestWithParam<Kinds>
{
protected:
    QString write(int count)
    {
        const QString path = m_dir.filePath(QStringLiteral("g%1.dat").arg(count));
        return bench::writePaperFile(path, bench::paperLines(count, GetParam())) ? path : QString();
    }
    QTemporaryDir m_dir;
};

} // namespace

TEST_P(GeneratedPaper, LoadsWholeAndChecksCleanWithSixOptionsOnEveryChoiceLine)
{
    const QString path = write(97);
    ASSERT_FALSE(path.isEmpty());
    const paper::CheckResult check = paper::checkPaper(path);
    ASSERT_TRUE(check.opened);
    for (const paper::Problem &p : check.problems)
        ADD_FAILURE() << "line " << p.line << ": " << p.message.toStdString();

    oneChoices loaded;
    ASSERT_EQ(loaded.init(path), oneChoices::LoadStatus::Loaded);
    ASSERT_EQ(loaded.getCount(), 97);
    QSet<QString> kinds;
    for (int k = 1; k <= loaded.getCount(); ++k) {
        const oneChoice &q = *loaded.getOne(k);
        kinds << q.getType();
        EXPECT_EQ(optionsOf(q), q.getType() == paper::kindTrueFalse ? 2 : 6) << "question " << k;
        EXPECT_TRUE(q.getContext().contains(QStringLiteral("第%1题").arg(k)));
    }
    const QSet<QString> expected = GetParam() == Kinds::All
        ? QSet<QString> { paper::kindSingle, paper::kindMultiple, paper::kindBlank, paper::kindTrueFalse }
        : QSet<QString> { paper::kindSingle, paper::kindMultiple, paper::kindBlank };
    EXPECT_EQ(kinds, expected);
}

TEST_P(GeneratedPaper, AnswersScoreWhatTheGeneratorPromises)
{
    for (int count : { 1, 2, 3, 4, 12, 97 }) {
        const QString path = write(count);
        oneChoices loaded;
        ASSERT_EQ(loaded.init(path), oneChoices::LoadStatus::Loaded);
        const QStringList answers = bench::candidateAnswers(count, GetParam());
        ASSERT_EQ(answers.size(), count);
        EXPECT_EQ(paper::scoreAnswers(loaded, answers), bench::expectedScore(count, GetParam())) << count;
        EXPECT_EQ(paper::fullMarks(loaded), bench::expectedFullMarks(count, GetParam())) << count;
        // Some answers are wrong, so a scorer that gave everything full marks would show.
        if (count >= 10) {
            EXPECT_LT(bench::expectedScore(count, GetParam()), bench::expectedFullMarks(count, GetParam()));
        }
    }
}

TEST_P(GeneratedPaper, StoredLinesAreTheFileLines)
{
    const QStringList plain = bench::paperLines(5, GetParam());
    const QStringList stored = bench::storedLines(plain);
    const QString path = write(5);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromLatin1(file.readAll()), stored.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    EXPECT_EQ(paper::decipherLine(stored[0]), bench::headerLine());
}

INSTANTIATE_TEST_SUITE_P(BothMixes, GeneratedPaper, ::testing::Values(Kinds::ChoiceAndBlank, Kinds::All));

TEST(GeneratedPaperLimits, TheLargestPaperStaysWithinTheMarksTheTestWindowAccepts)
{
    // examdesk refuses a paper worth more than 32767; the window benchmark takes the largest one.
    EXPECT_LE(bench::expectedFullMarks(paper::maxQuestions, Kinds::All), 32767);
    EXPECT_LE(bench::expectedFullMarks(paper::maxQuestions, Kinds::ChoiceAndBlank), 32767);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("start.dat"));
    ASSERT_TRUE(bench::writePaperFile(path, bench::paperLines(40, Kinds::All)));
    Cmlo table(examdesk::textEntries());
    examdesk::TestSession session(table, path, [] { return QDateTime::currentDateTimeUtc(); });
    EXPECT_EQ(session.startTest(), std::nullopt);
    EXPECT_EQ(session.questionCount(), 40);
}
