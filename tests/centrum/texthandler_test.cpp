// Finding a desktop program for a log file from the desktop's lists, and reading a day file for our own viewer.
#include "centrum/texthandler.h"
#include "tests/centrum/serverfixture.h"

#include <QDir>

using namespace centrum;

TEST(DesktopHandler, IsFoundForALogFileOnlyThroughAnExistingProgramEntry)
{
    QTemporaryDir root;
    const DesktopDirs dirs { { root.filePath("config") }, { root.filePath("apps") } };
    const auto write = [&root](const QString &name, const QByteArray &text) {
        QDir().mkpath(QFileInfo(root.filePath(name)).absolutePath());
        QFile f(root.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    };
    const QString log = root.filePath(QStringLiteral("2026-12-6.log"));
    EXPECT_FALSE(hasDesktopHandler(log, dirs)) << "no lists at all";
    // A log file is plain text; a listed program whose entry is gone does not count.
    write("apps/mimeinfo.cache", "[MIME Cache]\ntext/plain=gone.desktop;\nimage/png=paint.desktop;\n");
    write("apps/paint.desktop", "[Desktop Entry]\n");
    EXPECT_FALSE(hasDesktopHandler(log, dirs));
    write("apps/gone.desktop", "[Desktop Entry]\n");
    EXPECT_TRUE(hasDesktopHandler(log, dirs));
    EXPECT_FALSE(hasDesktopHandler(root.filePath("a.wav"), dirs));

    // The user's own choice for the log kind itself, naming an entry in a subfolder.
    QFile::remove(root.filePath("apps/mimeinfo.cache"));
    write("config/mimeapps.list", "[Default Applications]\ntext/x-log=kde-logview.desktop\n");
    EXPECT_FALSE(hasDesktopHandler(log, dirs));
    write("apps/kde/logview.desktop", "[Desktop Entry]\n");
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
    EXPECT_TRUE(why.startsWith("文件无法读取:" + path("2026-12-7.log"))) << why.toStdString();
}
