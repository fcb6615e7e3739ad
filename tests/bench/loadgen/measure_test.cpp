// The load generator's figures and checks: percentiles, web answers, report entries, /proc texts.
#include "bench/loadgen/measure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace loadgen;

TEST(Percentile, TakesTheNearestRankOfUnsortedSamples)
{
    std::vector<double> hundred;
    for (int i = 100; i >= 1; --i)
        hundred.push_back(i);
    EXPECT_EQ(percentile(hundred, 50), 50);
    EXPECT_EQ(percentile(hundred, 99), 99);
    EXPECT_EQ(percentile(hundred, 100), 100);
    EXPECT_EQ(percentile({ 7, 3 }, 50), 3);
    EXPECT_EQ(percentile({ 7, 3 }, 99), 7);
    EXPECT_EQ(percentile({ 5 }, 1), 5);
    EXPECT_EQ(percentile({}, 50), 0);
}

TEST(HttpAnswers, AreWholeOnlyWithStatus200AndTheNamedLength)
{
    struct Row {
        const char *answer;
        int64_t expected;
        const char *problem; // empty: a good answer
    };
    const Row rows[] = {
        { "HTTP/1.0 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello", 5, "" },
        { "HTTP/1.1 200 OK\r\nServer: x\r\ncontent-length:5\r\n\r\nhello", -1, "" },
        { "HTTP/1.1 200 OK\r\n\r\nhello", 5, "" }, // no length named: the close ends it
        { "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhell", 5, "body of 4 bytes, Content-Length 5" },
        { "HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\nhell", 5, "body of 4 bytes, the file has 5" },
        { "HTTP/1.0 404 Not Found\r\nContent-Length: 14\r\n\r\n404 Not Found\n", -1, "status 404" },
        { "HTTP/1.0 200 OK\r\nContent-Length: 5x\r\n\r\nhello", -1, "unreadable Content-Length" },
        { "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n", 5, "no complete head" },
        { "", 5, "no complete head" },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.answer);
        EXPECT_EQ(checkHttpAnswer(parseHttpAnswer(row.answer), row.expected), row.problem);
    }
}

TEST(ReportEntries, NewOnesAreWhatTheLaterReadingHoldsBeyondTheEarlier)
{
    // The same result delivered twice is two entries: the second counts as new.
    EXPECT_EQ(newEntries({ "a", "b" }, { "a", "b", "b", "c" }), (QStringList { "b", "c" }));
    EXPECT_EQ(newEntries({}, { "x" }), QStringList { "x" });
    EXPECT_EQ(compareEntries({ "b", "a" }, { "a", "b" }), "");
    EXPECT_NE(compareEntries({ "a" }, { "a", "b" }).find("1 missing, 0 unexpected; missing e.g. b"), std::string::npos);
    EXPECT_NE(compareEntries({ "a", "a" }, { "a" }).find("0 missing, 1 unexpected"), std::string::npos);
}

TEST(ReportEntries, AreReadFromEveryGivenDayOfTheServersFolder)
{
    QTemporaryDir dir;
    for (const auto &[name, text] : { std::pair { "2026-12-6.rpt", "[record]\n23:59:59-1=a\n" },
                                      std::pair { "2026-12-7.rpt", "[other]\nk=no\n[record]\n00:00:01-1=b\n" } }) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    EXPECT_EQ(reportValues(dir.path(), { "2026-12-6", "2026-12-7", "2026-12-8" }), (QStringList { "a", "b" }));
}

TEST(ProcTexts, GiveResidentMemoryAndCpuTicks)
{
    EXPECT_EQ(residentKib("Name:\tcentrumd\nVmPeak:\t  9000 kB\nVmRSS:\t   23456 kB\nRssAnon:\t 100 kB\n"), 23456);
    EXPECT_FALSE(residentKib("Name:\tzombie\nState:\tZ\n"));
    // The command name may hold blanks and parentheses.
    const char stat[] = "4242 (cent rumd) (x) S 1 4242 4242 0 -1 4194560 500 0 0 0 17 5 0 0 20 0 1 0 100 1000 300";
    EXPECT_EQ(cpuTicks(stat), 22);
    EXPECT_FALSE(cpuTicks("4242 (short) S 1 2"));
    EXPECT_TRUE(cpuTicks(readProcFile(int(QCoreApplication::applicationPid()), "stat")));
    EXPECT_GT(residentKib(readProcFile(int(QCoreApplication::applicationPid()), "status")).value_or(0), 0);
}
