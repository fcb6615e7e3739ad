// INI settings: case-insensitive names, the two trimming rules, in-place writes, and report reading.
#include "common/creadini.h"
#include "common/inifile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class Ini : public ::testing::Test
{
protected:
    QString file() const { return m_dir.filePath(QStringLiteral("setting.ini")); }

    void write(const QByteArray &bytes) const
    {
        QFile f(file());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QByteArray content() const
    {
        QFile f(file());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QString read(const QString &section, const QString &key)
    {
        CReadINI ini;
        ini.setININame(file());
        ini.setSection(section);
        ini.setKey(key);
        return ini.ReadINISettings();
    }

    bool store(const QString &section, const QString &key, const QString &value)
    {
        CReadINI ini;
        ini.setININame(file());
        ini.setSection(section);
        ini.setKey(key);
        return ini.WriteINISettings(value);
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(Ini, NamesMatchWithoutRegardToCase)
{
    write("[Comm]\nrmtHost=10.0.0.5\nMSG=8601\n");
    EXPECT_EQ(read("comm", "rmthost"), QStringLiteral("10.0.0.5"));
    EXPECT_EQ(read("COMM", "msg"), QStringLiteral("8601"));

    ASSERT_TRUE(store("comm", "rmthost", "192.168.1.9"));
    EXPECT_EQ(read("comm", "rmtHost"), QStringLiteral("192.168.1.9"));
    EXPECT_EQ(content(), QByteArray("[Comm]\nrmtHost=192.168.1.9\nMSG=8601\n"));
}

TEST_F(Ini, PropertyReadTrimsBlanksButTheDirectReadKeepsThem)
{
    write("[comm]\nrmtHost=  10.0.0.5  \nempty=\n");
    EXPECT_EQ(read("comm", "rmtHost"), QStringLiteral("10.0.0.5"));
    CReadINI ini;
    EXPECT_EQ(ini.GetPrivateStringValue("comm", "rmtHost", file()), QStringLiteral("  10.0.0.5  "));
    EXPECT_EQ(ini.GetPrivateStringValue("comm", "empty", file()), QString());
    EXPECT_EQ(read("comm", "empty"), QString());
}

TEST_F(Ini, LongValuesComeBackCutTo254Characters)
{
    const QString longValue(300, u'v');
    ASSERT_TRUE(store("subject", "file", longValue));
    EXPECT_EQ(read("subject", "file"), longValue.left(254));
    CReadINI ini;
    EXPECT_EQ(ini.GetPrivateStringValue("subject", "file", file()).size(), 254);
}

TEST_F(Ini, MissingFileSectionOrKeyReadsEmptyAndReportsOnce)
{
    QStringList reports;
    auto readReporting = [&](const QString &section, const QString &key) {
        CReadINI ini;
        ini.setININame(file());
        ini.setSection(section);
        ini.setKey(key);
        ini.errorSink = [&](const QString &r) { reports << r; };
        return ini.ReadINISettings();
    };
    EXPECT_EQ(readReporting("comm", "msg"), QString());
    write("[comm]\nmsg=1\n");
    EXPECT_EQ(readReporting("other", "msg"), QString());
    EXPECT_EQ(readReporting("comm", "web"), QString());
    EXPECT_EQ(readReporting("comm", "msg"), QStringLiteral("1"));
    ASSERT_EQ(reports.size(), 3);
    EXPECT_EQ(reports[0], QStringLiteral("Error Number: -2147219990\r\nError Description: Initialization File Error!"));
}

TEST_F(Ini, WritesKeepCommentsOrderAndOtherSections)
{
    write("; server settings\r\n[comm]\r\nmsg = 8601\r\n\r\n[subject]\r\n# papers\r\nfile=/a.dat\r\n");
    ASSERT_TRUE(store("comm", "web", "8680"));
    ASSERT_TRUE(store("comm", "msg", "9000"));
    ASSERT_TRUE(store("subject", "file", "/b.dat"));
    ASSERT_TRUE(store("record", "09:00:01", "entry"));
    EXPECT_EQ(content(), QByteArray("; server settings\r\n[comm]\r\nmsg =9000\r\nweb=8680\r\n\r\n"
                                    "[subject]\r\n# papers\r\nfile=/b.dat\r\n[record]\r\n09:00:01=entry\r\n"));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList { "setting.ini" });
}

TEST_F(Ini, NamesWithSurroundingBlanksNameTheSameEntry)
{
    ASSERT_TRUE(store(" comm", "msg ", "80"));
    ASSERT_TRUE(store("comm", " msg", "81"));
    EXPECT_EQ(content(), QByteArray("[comm]\nmsg=81\n"));
    EXPECT_EQ(read(" comm ", " msg "), QStringLiteral("81"));
}

TEST_F(Ini, CreatesTheFileAndSectionWhenMissing)
{
    ASSERT_TRUE(store("comm", "rmthost", "127.0.0.1"));
    EXPECT_EQ(content(), QByteArray("[comm]\nrmthost=127.0.0.1\n"));
}

TEST_F(Ini, RefusesWritesThatWouldBreakTheFile)
{
    write("[comm]\nmsg=1\n");
    EXPECT_FALSE(store("comm", "msg", "1\n[evil]\nx=y"));
    EXPECT_FALSE(store("comm", "a=b", "1"));
    EXPECT_FALSE(store("co]mm", "msg", "1"));
    EXPECT_FALSE(store("comm", " ;msg", "1")); // would read back as a comment
    EXPECT_EQ(content(), QByteArray("[comm]\nmsg=1\n"));
}

TEST_F(Ini, WriteIntoAnUnwritableFolderFailsAndLeavesNothing)
{
    CReadINI ini;
    ini.setININame(m_dir.filePath("missing/setting.ini"));
    ini.setSection("comm");
    ini.setKey("msg");
    EXPECT_FALSE(ini.WriteINISettings("1"));
    EXPECT_FALSE(ini.lastError().isEmpty());
}

TEST_F(Ini, ReadLogCollectsEveryValueOfRecordInFileOrder)
{
    const QString longEntry = QStringLiteral("10.0.0.2:cand:") + QString(400, u'A');
    write(QStringLiteral("[other]\nx=no\n[record]\n09:00:01=first\n09:00:01=second\n; note\n09:00:02=%1\n")
              .arg(longEntry)
              .toUtf8());
    CReadINI ini;
    EXPECT_EQ(ini.readLog(file()), QStringLiteral("ok"));
    EXPECT_EQ(ini.entryCol, (QStringList { "first", "second", longEntry }));
}

TEST(IniFile, FirstMatchingSectionAndKeyCount)
{
    const IniFile ini = IniFile::fromText(
        QStringLiteral("[a]\nk=1\nk=2\n[A]\nk=3\n[b]\n  key  =  v\nnot an entry\n=novalue\n"));
    EXPECT_EQ(ini.value(u"a", u"K"), QStringLiteral("1"));
    EXPECT_EQ(ini.value(u"b", u"key"), QStringLiteral("  v"));
    EXPECT_EQ(ini.keys(u"b"), QStringList { "key" });
    EXPECT_FALSE(ini.value(u"c", u"k"));
}
