// Where a program keeps its files: beside itself when it may write there, else in the user's own folder.
#include "common/datafolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class DataFolderChoice : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(program()));
        write(program() + QStringLiteral("/setting.ini"), "[comm]\nmsg=8601\n");
        write(program() + QStringLiteral("/index.html"), "<html></html>");
        write(program() + QStringLiteral("/centrumd"), "#!/bin/sh\n");
        QFile::setPermissions(program() + QStringLiteral("/centrumd"), QFile::ReadOwner | QFile::ExeOwner);
    }

    QString program() const { return m_dir.filePath(QStringLiteral("lib/exam-suite/centrum")); }
    QString home() const { return m_dir.filePath(QStringLiteral("home")); }
    QString userFolder() const { return home() + QStringLiteral("/.local/share/exam-suite/centrum"); }

    static void write(const QString &path, const QByteArray &bytes)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    static QByteArray read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir m_dir;
};

TEST_F(DataFolderChoice, WritableProgramFolderKeepsTheFilesBesideTheProgram)
{
    const DataFolder chosen = chooseDataFolder(program(), true, QString(), home());
    EXPECT_EQ(chosen.path, program());
    EXPECT_FALSE(chosen.perUser);
    EXPECT_FALSE(QFileInfo::exists(home())) << "nothing is made for the user";
}

TEST_F(DataFolderChoice, InstalledFolderGivesTheUserAFolderWithTheShippedDefaultsOnce)
{
    const DataFolder first = chooseDataFolder(program(), false, QString(), home());
    EXPECT_TRUE(first.perUser);
    EXPECT_EQ(first.path, userFolder());
    EXPECT_TRUE(first.problem.isEmpty()) << first.problem.toStdString();
    EXPECT_EQ(read(userFolder() + QStringLiteral("/setting.ini")), "[comm]\nmsg=8601\n");
    EXPECT_EQ(read(userFolder() + QStringLiteral("/index.html")), "<html></html>");
    EXPECT_FALSE(QFileInfo::exists(userFolder() + QStringLiteral("/centrumd"))) << "programs stay installed";
    const auto others = QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    EXPECT_FALSE(QFile::permissions(userFolder()) & others) << "results and reports are the user's own";

    // The user's changes survive the next start, the folder's permissions included; a shipped
    // file the user lost comes back.
    write(userFolder() + QStringLiteral("/setting.ini"), "[comm]\nmsg=9000\n");
    QFile::remove(userFolder() + QStringLiteral("/index.html"));
    QFile::setPermissions(userFolder(), QFile::permissions(userFolder()) | others);
    const DataFolder again = chooseDataFolder(program(), false, QString(), home());
    EXPECT_EQ(again.path, userFolder());
    EXPECT_EQ(read(userFolder() + QStringLiteral("/setting.ini")), "[comm]\nmsg=9000\n");
    EXPECT_EQ(read(userFolder() + QStringLiteral("/index.html")), "<html></html>");
    EXPECT_EQ(QFile::permissions(userFolder()) & others, others);
}

TEST_F(DataFolderChoice, XdgDataHomeNamesTheBaseOnlyWhenAbsolute)
{
    EXPECT_EQ(perUserFolder(QStringLiteral("/usr/lib/exam-suite/candidate/"), QStringLiteral("/data"), home()),
              QStringLiteral("/data/exam-suite/candidate"));
    EXPECT_EQ(perUserFolder(program(), QStringLiteral("relative/data"), home()), userFolder());
    EXPECT_EQ(perUserFolder(program(), QString(), home()), userFolder());
}

TEST_F(DataFolderChoice, UserFolderThatCannotBeMadeIsReported)
{
    write(home(), "a file where the home folder should be");
    const DataFolder chosen = chooseDataFolder(program(), false, QString(), home());
    EXPECT_TRUE(chosen.perUser);
    EXPECT_FALSE(chosen.problem.isEmpty());
}

} // namespace
