// The bytes of served files kept between sends: a file changed on disk is always sent as it is now.
#include "centrum/filecache.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <unistd.h>
#include <utime.h>

#include <gtest/gtest.h>

using namespace centrum;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// Dates the file an hour back, as a paper prepared before the exam; every file so dated
// gets the same time.
void ageFile(const QString &path)
{
    static const time_t hourAgo = ::time(nullptr) - 3600;
    const utimbuf times { hourAgo, hourAgo };
    ASSERT_EQ(::utime(QFile::encodeName(path).constData(), &times), 0);
}

} // namespace

TEST(FileCache, ServesWhatIsOnDiskNowWhateverChanged)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("paper.dat"));
    FileCache cache;

    writeFile(path, "first version");
    EXPECT_EQ(cache.bytesOf(path), QByteArray("first version"));
    // Rewritten at once with the same length: the times may not have moved.
    writeFile(path, "other version");
    EXPECT_EQ(cache.bytesOf(path), QByteArray("other version"));

    // An old file, sent twice, then rewritten in place with the same length.
    writeFile(path, "settled bytes");
    ageFile(path);
    EXPECT_EQ(cache.bytesOf(path), QByteArray("settled bytes"));
    EXPECT_EQ(cache.bytesOf(path), QByteArray("settled bytes"));
    writeFile(path, "changed bytes");
    EXPECT_EQ(cache.bytesOf(path), QByteArray("changed bytes"));

    // Copies that keep their source's times, one over the other at once: only the change
    // time tells them apart, and it may not have moved.
    writeFile(path, "kept times 1");
    ageFile(path);
    EXPECT_EQ(cache.bytesOf(path), QByteArray("kept times 1"));
    writeFile(path, "kept times 2");
    ageFile(path);
    EXPECT_EQ(cache.bytesOf(path), QByteArray("kept times 2"));

    // Another file of the same length and time moved into its place.
    const QString other = dir.filePath(QStringLiteral("other"));
    writeFile(other, "moved in byte");
    ageFile(other);
    ASSERT_EQ(::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()), 0);
    EXPECT_EQ(cache.bytesOf(path), QByteArray("moved in byte"));

    ASSERT_TRUE(QFile::remove(path));
    EXPECT_FALSE(cache.bytesOf(path));
}

TEST(FileCache, LeavesLargeEmptyAndNonFilesToBeReadInPieces)
{
    QTemporaryDir dir;
    FileCache cache;
    const QString large = dir.filePath(QStringLiteral("large"));
    writeFile(large, QByteArray(FileCache::maxFileBytes + 1, 'x'));
    EXPECT_FALSE(cache.bytesOf(large));
    const QString empty = dir.filePath(QStringLiteral("empty"));
    writeFile(empty, {});
    EXPECT_FALSE(cache.bytesOf(empty));
    EXPECT_FALSE(cache.bytesOf(dir.path()));
}
