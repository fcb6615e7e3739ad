// The answer file: entries read back as written whatever their texts hold, and only those whose report entry exists.
#include "report/answerfile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using report::AnswerEntry;

TEST(AnswerFile, EntriesReadBackAsWrittenAndBrokenOnesAreRefused)
{
    const AnswerEntry rows[] = {
        { QStringLiteral("14:05:33-2"), QStringLiteral("a:b,c%"), QStringLiteral("期中:1.dat"), 125, 9,
          { { QStringLiteral("Paris~Ro,me~~~~~"), 2 }, { QString(), 0 }, { QStringLiteral("135"), 1.5 }, { QStringLiteral("x\ny"), 0 } } },
        { QStringLiteral("09:00:00-1"), QStringLiteral("s01"), QStringLiteral("p.dat"), 0, 0, {} },
    };
    for (const AnswerEntry &e : rows) {
        SCOPED_TRACE(e.id.toStdString());
        const QString value = report::formatAnswerEntry(e);
        EXPECT_FALSE(value.contains(u'\n'));
        EXPECT_EQ(report::parseAnswerEntry(value), e);
        // Cut short or with a field more, an entry no longer reads.
        EXPECT_FALSE(report::parseAnswerEntry(value.chopped(2) + (e.questions.isEmpty() ? QStringLiteral(":x,1") : QString())));
    }
    EXPECT_FALSE(report::parseAnswerEntry(QStringLiteral("ans1:k:id:p:x:0:0")));
}

TEST(AnswerFile, PointsAreWrittenInTheirShortestFormWholeOrNot)
{
    // The file's form, which readers of older files rely on: whole points without a fraction,
    // others to fifteen significant digits.
    const std::pair<double, const char *> cases[] = {
        { 0, "0" }, { 2, "2" }, { -3, "-3" }, { 1.5, "1.5" }, { 0.1 + 0.2, "0.3" },
        { 999999999999999, "999999999999999" }, { 1e20, "1e+20" }, { -0.0, "0" },
    };
    for (const auto &[points, text] : cases) {
        const QString value = report::formatAnswerEntry({ QStringLiteral("k"), QStringLiteral("s"), QStringLiteral("p.dat"), 1, 0,
                                                          { { QStringLiteral("A"), points } } });
        EXPECT_TRUE(value.endsWith(QStringLiteral(":A,") + QString::fromLatin1(text))) << value.toStdString();
    }
}

TEST(AnswerFile, AnswersWithoutTheirReportEntryForTheSameIdAreLeftOut)
{
    QTemporaryDir dir;
    const auto write = [&dir](const char *name, const QString &text) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.toUtf8());
    };
    const auto entry = [](const char *key, const char *id) {
        return report::formatAnswerEntry({ QString::fromLatin1(key), QString::fromLatin1(id), QStringLiteral("p.dat"), 5, 1, {} });
    };
    write("d.ans", QStringLiteral("[record]\n10:00:00-1=%1\n10:00:01-1=%2\n10:00:02-1=%3\n10:00:03-1=broken\n")
                       .arg(entry("10:00:00-1", "s01"), entry("10:00:01-2", "s02"), entry("10:00:01-3", "s03")));
    write("d.rpt", QStringLiteral("[record]\n10:00:00-1=127.0.0.1:s01:00\n10:00:01-3=127.0.0.1:s09:00\n"));
    qsizetype skipped = 0;
    const auto read = report::readAnswerFile(dir.filePath(QStringLiteral("d.ans")), dir.filePath(QStringLiteral("d.rpt")),
                                             nullptr, &skipped);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->size(), 1);
    EXPECT_EQ(read->front().id, QStringLiteral("s01"));
    EXPECT_EQ(skipped, 1);
    EXPECT_EQ(report::readAnswerFile(dir.filePath(QStringLiteral("d.ans")))->size(), 3);
}
