// Log lines on stdout never make the service wait for whoever reads them.
#include "centrum/consolelog.h"

#include "tests/centrum/candidate.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

TEST(ConsoleLog, AFullPipeNeitherBlocksNorLosesTheOrderOfWhatItShows)
{
    ensureApp();
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const int flagsBefore = ::fcntl(fds[1], F_GETFL);
    QByteArray shown;
    ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
    auto drain = [&] {
        char buf[65536];
        ssize_t n;
        while ((n = ::read(fds[0], buf, sizeof buf)) > 0)
            shown.append(buf, n);
    };
    {
        centrum::ConsoleLog log(fds[1], 200 * 1024);
        const QByteArray line(99, 'x');
        // Far more than a pipe holds while nobody reads: every call returns at once.
        for (int i = 0; i < 4000; ++i)
            log.writeLine(QByteArray::number(i).rightJustified(5, '0') + line);
        EXPECT_GT(log.dropped(), 0);
        EXPECT_GT(log.waiting(), 0);

        // The reader catches up: what waited goes out, then the count of what was dropped.
        ASSERT_TRUE(waitFor([&] {
            drain();
            return log.waiting() == 0;
        }));
        log.writeLine("after"); // written as the loop turns, or at the latest as the log goes
    }
    drain();
    EXPECT_EQ(::fcntl(fds[1], F_GETFL), flagsBefore);
    // The first lines in order with none missing, the note of the dropped rest, "after", the end.
    const QList<QByteArray> lines = shown.split('\n');
    ASSERT_GT(lines.size(), 3);
    const qsizetype kept = lines.size() - 3;
    for (qsizetype i = 0; i < kept; ++i)
        ASSERT_TRUE(lines[i].startsWith(QByteArray::number(i).rightJustified(5, '0'))) << i;
    EXPECT_EQ(lines[kept], QByteArray::number(4000 - kept) + " lines not shown here");
    EXPECT_EQ(lines[kept + 1], QByteArray("after"));
    ::close(fds[0]);
    ::close(fds[1]);
}
