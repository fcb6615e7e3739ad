// Finding a desktop program for a log file from the desktop's lists, and reading a day file for our own viewer.
#include "serverfixture.h"
#include "texthandler.h"

#include <QDir>

using namespace centrum;

namespace {

void writeText(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

} // namespace

TEST(DesktopHandler, IsFoundForALogFileOnlyThroughAnExistingProgramEntry)
{
    QTemporaryDir root;
    const QString config = root.filePath(QStringLiteral("config"));
    const QString apps = root.filePath(QStringLiteral("apps"));
    const DesktopDirs dirs { { config }, { apps } };
    const QString log = root.filePath(QStringLiteral("2026-12-6.log"));

    EXPECT_FALSE(hasDesktopHandler(log, dirs)) << "no lists at all";
    // Plain text is what a log file is; a listed program whose entry is gone does not count.
    writeText(apps + QStringLiteral("/mimeinfo.cache"), "[MIME Cache]\ntext/plain=gone.desktop;\nimage/png=paint.desktop;\n");
    writeText(apps + QStringLiteral("/paint.desktop"), "[Desktop Entry]\n");
    EXPECT_FALSE(hasDesktopHandler(log, dirs));
    writeText(apps + QStringLiteral("/gone.desktop"), "[Desktop Entry]\n");
    EXPECT_TRUE(hasDesktopHandler(log, dirs));
    EXPECT_FALSE(hasDesktopHandler(root.filePath(QStringLiteral("a.wav")), dirs));

    // The user's own choice, for the log kind itself, naming an entry in a subfolder.
    QFile::remove(apps + QStringLiteral("/mimeinfo.cache"));
    EXPECT_FALSE(hasDesktopHandler(log, dirs));
    writeText(config + QStringLiteral("/mimeapps.list"), "[Default Applications]\ntext/x-log=kde-logview.desktop\n");
    EXPECT_FALSE(hasDesktopHandler(log, dirs));
    writeText(apps + QStringLiteral("/kde/logview.desktop"), "[Desktop Entry]\n");
    EXPECT_TRUE(hasDesktopHandler(log, dirs));
}

TEST_F(ServerTest, DayFilesAreReadWholeForTheViewerOrTheReasonIsGiven)
{
    QFile f(path(QStringLiteral("2026-12-6.log")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[record]\n14:05:33-1= 服务启动\n");
    f.close();
    EXPECT_EQ(server().recordFileText(QStringLiteral("2026-12-6.log")), QStringLiteral("[record]\n14:05:33-1= 服务启动\n"));

    QString why;
    m_server.reset();
    EXPECT_FALSE(server(2052).recordFileText(QStringLiteral("2026-12-7.log"), &why));
    EXPECT_TRUE(why.startsWith(QStringLiteral("文件无法读取:") + path(QStringLiteral("2026-12-7.log")))) << why.toStdString();
}
