// Day files, the log box and the report viewer's rows.
#include "centrum/dayfilewriter.h"
#include "centrum/logbox.h"
#include "centrum/reportview.h"

#include "centrum/texts.h"
#include "common/clsencryptxor.h"
#include "common/inifile.h"
#include "common/multilanguage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

#include "tests/centrum/candidate.h"

#include <gtest/gtest.h>

using namespace centrum;
using namespace report;

namespace {
const QDateTime sameSecond { QDate(2026, 12, 6), QTime(14, 5, 33) };
}

TEST(DayFiles, KeepEveryEntryWrittenInTheSameSecondAndAcrossRestarts)
{
    for (auto mode : { DayFileWriter::Mode::Append, DayFileWriter::Mode::Durable }) {
        QTemporaryDir dir;
        {
            DayFileWriter writer(dir.path(), QStringLiteral(".rpt"), mode);
            for (const char *v : { "one", "two", "three" })
                ASSERT_TRUE(writer.write(sameSecond, QString::fromLatin1(v)));
        }
        DayFileWriter restarted(dir.path(), QStringLiteral(".rpt"), mode);
        ASSERT_TRUE(restarted.write(sameSecond, QStringLiteral("four\r\nlines")));
        ASSERT_TRUE(restarted.write(sameSecond, QStringLiteral("五\n") + QChar(0) + QStringLiteral("行")));
        ASSERT_TRUE(restarted.write(sameSecond.addDays(1), QStringLiteral("next day")));

        const QString today = dir.filePath(QStringLiteral("2026-12-6.rpt"));
        EXPECT_EQ(reportEntries(today),
                  (QStringList { "one", "two", "three", "four  lines", "五 行" }));
        const QStringList keys = IniFile::load(today).keys(u"record");
        EXPECT_EQ(QSet<QString>(keys.begin(), keys.end()).size(), 5);
        EXPECT_TRUE(keys[0].startsWith(QStringLiteral("14:05:33")));
        EXPECT_EQ(reportEntries(dir.filePath(QStringLiteral("2026-12-7.rpt"))), QStringList { "next day" });
    }
}

TEST(LogBox, ShowsNewestFirstAndClearsAtThe512thLineAfterAStart)
{
    LogBox box;
    box.setCounter(1);
    for (int i = 1; i <= 511; ++i)
        box.add(QString::number(i));
    EXPECT_EQ(box.lines().size(), 511);
    EXPECT_EQ(box.lines().first(), QStringLiteral("511"));
    EXPECT_TRUE(box.text().startsWith(QStringLiteral("511\r\n510\r\n")));
    box.add(QStringLiteral("512"));
    EXPECT_EQ(box.lines(), QStringList { QStringLiteral("512") });
    EXPECT_EQ(box.text(), QStringLiteral("512\r\n"));
    box.add(QStringLiteral("513"));
    EXPECT_EQ(box.lines().size(), 2);
}

TEST(ReportRows, LayOutTheViewerTextInBothLanguages)
{
    const QString entry = "192.168.0.7:s01:" + clsEncryptXOR().HexEncrypt("87:maths1.dat:125");
    const QString english = reportText({ entry }, *centrum::stringTable(1033));
    EXPECT_EQ(english, QStringLiteral("ID or Name  \tMarks       \tTimeSpent   \tTests File  \tLocation    \r\n"
                                      "s01         \t87          \t2:5         \tmaths1.dat  \t192.168.0.7 \r\n"));
    const QString chinese = reportText({}, *centrum::stringTable(2052));
    EXPECT_TRUE(chinese.startsWith(QStringLiteral("考号          \t得分")));

    // A result stored as received, empty or cut short, is marked in the table's language.
    const QString cut = "10.0.0.3:cut:" + clsEncryptXOR().HexEncrypt("5:p.dat:7").chopped(3);
    for (const auto &[lcid, mark] : { std::pair { 1033, QStringLiteral("\t(result unreadable)") },
                                      std::pair { 2052, QStringLiteral("\t(成绩无法读取)    ") } }) {
        SCOPED_TRACE(lcid);
        const QStringList rows = reportText({ entry, QStringLiteral("10.0.0.2:empty:"), cut }, *centrum::stringTable(lcid))
                                     .split(QStringLiteral("\r\n"));
        ASSERT_EQ(rows.size(), 5);
        EXPECT_FALSE(rows[1].contains(mark.trimmed()));
        EXPECT_EQ(rows[2], QStringLiteral("empty       \t            \t            \t            \t10.0.0.2    ") + mark);
        EXPECT_TRUE(rows[3].startsWith(QStringLiteral("cut "))) << rows[3].toStdString();
        EXPECT_TRUE(rows[3].endsWith(mark)) << rows[3].toStdString();
    }
}

TEST(DayFiles, WriteABatchInOrderAndSplitItAtMidnight)
{
    for (auto mode : { DayFileWriter::Mode::Append, DayFileWriter::Mode::Durable }) {
        QTemporaryDir dir;
        DayFileWriter writer(dir.path(), QStringLiteral(".rpt"), mode);
        const QDateTime late { QDate(2026, 12, 6), QTime(23, 59, 59) };
        ASSERT_TRUE(writer.write({ { late, QStringLiteral("a") }, { late, QStringLiteral("b\n") + QChar(0) + u'c' },
                                   { late.addSecs(1), QStringLiteral("d") }, { late.addSecs(2), QStringLiteral("e") } }));
        EXPECT_EQ(reportEntries(dir.filePath(QStringLiteral("2026-12-6.rpt"))), (QStringList { "a", "b c" }));
        EXPECT_EQ(reportEntries(dir.filePath(QStringLiteral("2026-12-7.rpt"))), (QStringList { "d", "e" }));
        EXPECT_TRUE(IniFile::load(dir.filePath(QStringLiteral("2026-12-7.rpt"))).keys(u"record").value(1)
                        .startsWith(QStringLiteral("00:00:01")));
    }
}

TEST(DayFiles, KeepWhatAnotherWriterAddedOrChangedMeanwhile)
{
    QTemporaryDir dir;
    const QString today = dir.filePath(QStringLiteral("2026-12-6.rpt"));
    // Two servers of one folder (the window and the headless one) writing the same day.
    DayFileWriter first(dir.path(), QStringLiteral(".rpt"), DayFileWriter::Mode::Durable);
    DayFileWriter second(dir.path(), QStringLiteral(".rpt"), DayFileWriter::Mode::Durable);
    ASSERT_TRUE(first.write(sameSecond, QStringLiteral("1")));
    ASSERT_TRUE(second.write(sameSecond, QStringLiteral("2")));
    ASSERT_TRUE(first.write(sameSecond, QStringLiteral("3")));
    // An examiner's own line, added by hand between two results.
    {
        QFile f(today);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write("by-hand=4\n");
    }
    ASSERT_TRUE(first.write(sameSecond, QStringLiteral("5")));
    EXPECT_EQ(reportEntries(today), (QStringList { "1", "2", "3", "4", "5" }));
    // Entries are added at the end of the file in place; a line left without its end by
    // another hand is not run into.
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(today).constData(), &before), 0);
    ASSERT_TRUE(first.write(sameSecond, QStringLiteral("6")));
    struct stat after {};
    ASSERT_EQ(::stat(QFile::encodeName(today).constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    {
        QFile f(today);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write("by-hand=7");
    }
    ASSERT_TRUE(first.write(sameSecond, QStringLiteral("8")));
    ASSERT_TRUE(second.write(sameSecond, QStringLiteral("9")));
    EXPECT_EQ(reportEntries(today), (QStringList { "1", "2", "3", "4", "5", "6", "7", "8", "9" }));
}

TEST(DayFiles, ADurableWriteThatFailsLeavesTheFileAsItWasAndTheNextOneRecovers)
{
    QTemporaryDir dir;
    const QString today = dir.filePath(QStringLiteral("2026-12-6.rpt"));
    DayFileWriter writer(dir.path(), QStringLiteral(".rpt"), DayFileWriter::Mode::Durable);
    ASSERT_TRUE(writer.write(sameSecond, QStringLiteral("kept")));
    // A file that cannot be read is never overwritten: a folder in its place.
    ASSERT_TRUE(QFile::rename(today, today + QStringLiteral(".away")));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("2026-12-6.rpt")));
    QString why;
    EXPECT_FALSE(writer.write(sameSecond, QStringLiteral("refused"), &why));
    EXPECT_FALSE(why.isEmpty());
    ASSERT_TRUE(QDir(dir.path()).rmdir(QStringLiteral("2026-12-6.rpt")));
    ASSERT_TRUE(QFile::rename(today + QStringLiteral(".away"), today));
    ASSERT_TRUE(writer.write(sameSecond, QStringLiteral("next")));
    EXPECT_EQ(reportEntries(today), (QStringList { "kept", "next" }));
}

namespace {

QByteArray contentOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(DayFiles, TheLogFollowsItsFileWhenItIsMovedAwayReplacedOrEmptiedWhileOpen)
{
    QTemporaryDir dir;
    const QString today = dir.filePath(QStringLiteral("2026-12-6.log"));
    DayFileWriter log(dir.path(), QStringLiteral(".log"), DayFileWriter::Mode::Append);
    ASSERT_TRUE(log.write(sameSecond, QStringLiteral("first")));

    // An examiner moves the day's log aside: the next line starts a new file of that name.
    ASSERT_TRUE(QFile::rename(today, today + QStringLiteral(".old")));
    ASSERT_TRUE(log.write(sameSecond, QStringLiteral("second")));
    EXPECT_EQ(reportEntries(today + QStringLiteral(".old")), QStringList { "first" });
    EXPECT_EQ(reportEntries(today), QStringList { "second" });

    // Another file put in its place is written to, not the one moved away.
    {
        QFile other(dir.filePath(QStringLiteral("other")));
        ASSERT_TRUE(other.open(QIODevice::WriteOnly));
        other.write("[record]\nx=put in place\n");
    }
    ASSERT_TRUE(QFile::remove(today));
    ASSERT_TRUE(QFile::rename(dir.filePath(QStringLiteral("other")), today));
    ASSERT_TRUE(log.write(sameSecond, QStringLiteral("third")));
    EXPECT_EQ(reportEntries(today), (QStringList { "put in place", "third" }));

    // Emptied in place: the section starts again.
    {
        QFile f(today);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    }
    ASSERT_TRUE(log.write(sameSecond, QStringLiteral("fourth")));
    EXPECT_EQ(reportEntries(today), QStringList { "fourth" });
    EXPECT_TRUE(contentOf(today).startsWith("[record]\n"));
}

TEST(DayFiles, ALogLineCutShortByAFullDiskIsTakenBackSoTheNextLineStandsAlone)
{
    QTemporaryDir dir;
    const QString today = dir.filePath(QStringLiteral("2026-12-6.log"));
    DayFileWriter log(dir.path(), QStringLiteral(".log"), DayFileWriter::Mode::Append);
    ASSERT_TRUE(log.write(sameSecond, QStringLiteral("first")));
    // Room for only part of the next line, as on a disk that is nearly full.
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = rlim_t(QFileInfo(today).size() + 20);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    QString why;
    const bool written = log.write(sameSecond, QString(40, u'x'), &why);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);
    EXPECT_FALSE(written);
    EXPECT_FALSE(why.isEmpty());
    ASSERT_TRUE(log.write(sameSecond, QStringLiteral("after")));
    EXPECT_EQ(reportEntries(today), (QStringList { "first", "after" }));
}

TEST(DayFiles, ADurableFileGrowsExactlyAsTheSettingsWriterWouldWriteIt)
{
    // Files another hand shaped: line ends, sections after the records, blank lines.
    const QByteArray shapes[] = { "", "[record]\r\na=1\r\n", "[record]\na=1\n\n", "[record]\na=1\n[other]\nb=2\n",
                                  "\xEF\xBB\xBF; notes\n[Record]\na=1" };
    for (const QByteArray &shape : shapes) {
        SCOPED_TRACE(shape.toStdString());
        QTemporaryDir dir;
        const QString today = dir.filePath(QStringLiteral("2026-12-6.rpt"));
        if (!shape.isEmpty()) {
            QFile f(today);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(shape);
        }
        DayFileWriter writer(dir.path(), QStringLiteral(".rpt"), DayFileWriter::Mode::Durable);
        IniFile expected = IniFile::load(today);
        for (int round = 0; round < 3; ++round) {
            const QList<DayFileWriter::Entry> batch { { sameSecond, QStringLiteral("r%1a").arg(round) },
                                                      { sameSecond, QStringLiteral("r%1b").arg(round) } };
            ASSERT_TRUE(writer.write(batch));
            const QStringList keys = IniFile::load(today).keys(u"record");
            for (qsizetype i = 0; i < batch.size(); ++i)
                expected.setValue(u"record", keys[keys.size() - batch.size() + i], batch[i].value);
            EXPECT_EQ(contentOf(today), expected.text().toUtf8());
        }
    }
}

TEST(LogBox, StampsEachLineWithItsOwnDayAndTime)
{
    const QDateTime morning { QDate(2026, 12, 6), QTime(9, 5, 3) };
    EXPECT_EQ(shownStamp(morning), QStringLiteral("2026-12-6 09:05:03"));
    EXPECT_EQ(shownStamp(morning.addSecs(15 * 3600 - 1)), QStringLiteral("2026-12-7 00:05:02"));
    EXPECT_EQ(shownStamp(morning), QStringLiteral("2026-12-6 09:05:03"));
}

TEST(LogBox, TheServersClockShowsTheLocalTimeOfDay)
{
    // The zone's offset is kept for a second at a time; a zone east and one west of UTC
    // catch an offset applied the wrong way.
    const QByteArray zone = qgetenv("TZ");
    for (const char *tz : { "Asia/Shanghai", "America/New_York" }) {
        qputenv("TZ", tz);
        tzset();
        QThread::msleep(1000 - QTime::currentTime().msec() % 1000 + 5); // a new second: the offset is asked again
        const QDateTime system = QDateTime::currentDateTime();
        const QDateTime ours = localNow();
        EXPECT_LE(system.secsTo(ours), 1) << tz;
        EXPECT_EQ(ours.offsetFromUtc(), system.offsetFromUtc()) << tz;
        EXPECT_LE(qAbs(ours.time().msecsSinceStartOfDay() - system.time().msecsSinceStartOfDay()), 1000) << tz;
    }
    zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone);
    tzset();
}
