// What the fault run and the kill storm take for granted: garbage stores nothing, and a
// report is judged whole only when every line of it is an entry that deciphers.
#include "bench/loadgen/faults.h"
#include "bench/loadgen/room.h"

#include "wire/wiremessages.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace loadgen;

TEST(Garbage, IsNeverAWholeReportNorALoginThatAFileConnectionCouldReach)
{
    for (unsigned draw = 0; draw < 3000; ++draw) {
        for (const bool last : { false, true }) {
            const std::string bytes = garbageMessage(draw * 2654435761u, int(draw), last);
            const wire::ParsedMessage m = wire::parseMessage(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
            if (m.status != wire::ParseStatus::Ok)
                continue;
            SCOPED_TRACE(bytes);
            EXPECT_NE(m.tag(), QStringLiteral("rprt"));
            if (m.tag() == QStringLiteral("infd")) {
                bool number = false;
                const uint port = m.afterId().toUInt(&number);
                EXPECT_TRUE(!number || port < 2 || port > 65535);
            }
        }
    }
}

TEST(ReportAfterCrash, IsWholeOnlyWithEveryLineAnEntryAndEveryConfirmedResultOnce)
{
    const QString good = QStringLiteral("127.0.0.1:a:") + QString::fromStdString(resultText(1, "p.dat"));
    const QString other = QStringLiteral("127.0.0.1:b:") + QString::fromStdString(resultText(2, "p.dat"));
    struct Case {
        const char *name;
        QString text;
        QStringList acknowledged;
        bool whole;
    };
    const QString head = QStringLiteral("[record]\n10:00:00-1=") + good + u'\n';
    const Case cases[] = {
        { "whole, an unconfirmed entry too", head + QStringLiteral("10:00:00-2=") + other + u'\n', { good }, true },
        { "a line cut short", head + QStringLiteral("10:00:00-2=") + other.left(30), { good }, false },
        { "a line without a key", head + other + u'\n', { good }, false },
        { "a confirmed entry missing", head, { good, other }, false },
        { "a confirmed entry twice", head + QStringLiteral("10:00:01-2=") + good + u'\n', { good }, false },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        QFile f(dir.filePath(QStringLiteral("2026-12-7.rpt")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.text.toUtf8());
        f.close();
        const auto problems = checkReportAfterCrash(dir.path(), { QStringLiteral("2026-12-7") }, {}, c.acknowledged);
        EXPECT_EQ(problems.empty(), c.whole) << (problems.empty() ? "" : problems.front());
    }
}
