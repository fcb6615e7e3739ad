// Text file access: streaming reads and writes, line-table edits, removal and the line limit.
#include "common/errors.h"
#include "common/vbfile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class VbFile : public ::testing::Test
{
protected:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    void writeBytes(const QString &name, const QByteArray &bytes) const
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QByteArray readBytes(const QString &name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    // A table holding the given lines, as the editor builds one.
    static void fill(vbFile &file, const QStringList &lines)
    {
        for (const QString &line : lines)
            file.AddLineByIndex(file.lineCount, line);
    }

    static QStringList table(const vbFile &file)
    {
        QStringList lines;
        for (int i = 0; i < file.lineCount; ++i)
            lines << file.getLineByIndex(i);
        return lines;
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(VbFile, MissingFileReadsAsAnEndedEmptyFile)
{
    vbFile file;
    EXPECT_FALSE(file.OpenForRead(path("missing.dat")));
    EXPECT_FALSE(file.getLastError().isEmpty());
    EXPECT_TRUE(file.fEof());
    EXPECT_EQ(file.readLine(), QString());
    EXPECT_EQ(file.readToken(), QString());
    file.readAllLine();
    EXPECT_EQ(file.lineCount, 0);
}

TEST_F(VbFile, ReadsLinesEndedByCrLfOrLfAndKeepsEmptyOnes)
{
    writeBytes("a.txt", "one\r\ntwo\n\r\n三\r\nlast");
    vbFile file;
    ASSERT_TRUE(file.OpenForRead(path("a.txt")));
    file.readAllLine();
    file.closeFile();
    EXPECT_EQ(table(file), (QStringList { "one", "two", "", "三", "last" }));
}

TEST_F(VbFile, WritesExactlyTheBytesAsked)
{
    vbFile file;
    ASSERT_TRUE(file.OpenForWrite(path("w.txt")));
    EXPECT_TRUE(file.writeLine(QStringLiteral("ab")));
    EXPECT_TRUE(file.writeText(QStringLiteral("ab")));
    EXPECT_TRUE(file.closeFile());
    EXPECT_EQ(readBytes("w.txt"), QByteArray("ab\r\nab"));

    // After closing, a write has nowhere to go and says so.
    EXPECT_FALSE(file.writeLine(QStringLiteral("lost")));
    EXPECT_FALSE(file.getLastError().isEmpty());
}

TEST_F(VbFile, ReadTokenSplitsCommaFieldsAndUnquotes)
{
    writeBytes("t.txt", "  a, \"b,c\" ,d\r\ne\n");
    vbFile file;
    ASSERT_TRUE(file.OpenForRead(path("t.txt")));
    EXPECT_EQ(file.readToken(), QStringLiteral("a"));
    EXPECT_EQ(file.readToken(), QStringLiteral("b,c"));
    EXPECT_EQ(file.readToken(), QStringLiteral("d"));
    EXPECT_EQ(file.readToken(), QStringLiteral("e"));
    EXPECT_TRUE(file.fEof());
}

TEST_F(VbFile, AddingBelowTheCountTruncatesTheTable)
{
    vbFile file;
    fill(file, { "0", "1", "2", "3", "4" });
    file.AddLineByIndex(2, QStringLiteral("new"));
    EXPECT_EQ(table(file), (QStringList { "0", "1", "new" }));
}

TEST_F(VbFile, DeletingShiftsLaterLinesUp)
{
    vbFile file;
    fill(file, { "a", "b", "c" });
    file.DelLineByIndex(0);
    EXPECT_EQ(table(file), (QStringList { "b", "c" }));
    file.DelLineByIndex(1);
    EXPECT_EQ(table(file), (QStringList { "b" }));
}

TEST_F(VbFile, DelLastLineKeepsOnlyTheHeader)
{
    vbFile file;
    fill(file, { "header", "q1", "q2" });
    file.DelLastLine();
    EXPECT_EQ(table(file), (QStringList { "header" }));
}

TEST_F(VbFile, IndexesOutsideTheMeaningfulLinesThrow)
{
    vbFile file;
    fill(file, { "a", "b", "c" });
    file.DelLineByIndex(2);
    EXPECT_THROW(file.getLineByIndex(2), std::out_of_range); // stored, but no longer meaningful
    EXPECT_THROW(file.getLineByIndex(-1), std::out_of_range);
    EXPECT_THROW(file.setLineByIndex(5, QStringLiteral("x")), std::out_of_range);
    EXPECT_THROW(file.DelLineByIndex(7), std::out_of_range);
    EXPECT_THROW(file.AddLineByIndex(-1, QStringLiteral("x")), std::out_of_range);
    file.lineCount = 10; // a caller's count beyond the table still cannot reach past it
    EXPECT_THROW(file.getLineByIndex(5), std::out_of_range);
}

TEST_F(VbFile, MakeFileAppendsAndReplaceFileReplaces)
{
    vbFile file;
    file.setFilename(path("p.dat"));
    fill(file, { "h", "q" });
    ASSERT_TRUE(file.makeFile());
    ASSERT_TRUE(file.makeFile());
    EXPECT_EQ(readBytes("p.dat"), QByteArray("h\r\nq\r\nh\r\nq\r\n"));

    ASSERT_TRUE(file.OpenForWrite());
    file.closeFile();
    ASSERT_TRUE(file.makeFile());
    EXPECT_EQ(readBytes("p.dat"), QByteArray("h\r\nq\r\n"));

    file.setLineByIndex(1, QStringLiteral("题"));
    ASSERT_TRUE(file.replaceFile());
    EXPECT_EQ(readBytes("p.dat"), QByteArray("h\r\n\xE9\xA2\x98\r\n"));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList { "p.dat" });
}

TEST_F(VbFile, ReplaceFileIntoAMissingFolderFailsAndSaysWhy)
{
    vbFile file;
    file.setFilename(path("no/such/folder/p.dat"));
    fill(file, { "h" });
    EXPECT_FALSE(file.replaceFile());
    EXPECT_FALSE(file.getLastError().isEmpty());
}

TEST_F(VbFile, DeleteRemovesTheFileOrReportsFileNotFound)
{
    writeBytes("d.txt", "x\r\n");
    vbFile file;
    ASSERT_TRUE(file.OpenForRead(path("d.txt")));
    EXPECT_TRUE(file.Delete()); // closes the open file first
    EXPECT_FALSE(QFile::exists(path("d.txt")));
    EXPECT_FALSE(file.Delete());
    EXPECT_EQ(file.getLastError(), QStringLiteral("File not found"));

    file.setFilename(m_dir.path());
    EXPECT_FALSE(file.exists()); // a folder is not a file
}

TEST_F(VbFile, TableRefusesToPassItsSixteenBitLimit)
{
    QByteArray many;
    for (int i = 0; i < vbFile::maxLines + 1; ++i)
        many += "x\r\n";
    writeBytes("big.txt", many);
    vbFile file;
    ASSERT_TRUE(file.OpenForRead(path("big.txt")));
    EXPECT_THROW(file.readAllLine(), LineTableOverflow);
    EXPECT_EQ(file.lineCount, 0);

    EXPECT_NO_THROW(file.AddLineByIndex(vbFile::maxLines - 1, QStringLiteral("last")));
    EXPECT_EQ(file.lineCount, vbFile::maxLines);
    EXPECT_THROW(file.AddLineByIndex(vbFile::maxLines, QStringLiteral("one too many")), LineTableOverflow);
}

TEST(FileNameNoPath, TakesTheNameAfterTheLastSlashOfEitherKind)
{
    EXPECT_EQ(vbFile::fileNameNoPath(QStringLiteral("C:\\tests\\a.dat")), QStringLiteral("a.dat"));
    EXPECT_EQ(vbFile::fileNameNoPath(QStringLiteral("/home/exam/试卷.dat")), QStringLiteral("试卷.dat"));
    EXPECT_EQ(vbFile::fileNameNoPath(QStringLiteral("a.dat")), QStringLiteral("a.dat"));
    EXPECT_EQ(vbFile::fileNameNoPath(QStringLiteral("C:\\tests\\")), QString());
    EXPECT_EQ(vbFile::fileNameNoPath(QStringLiteral("/a\\b/c d.dat")), QStringLiteral("c d.dat"));
}

TEST_F(VbFile, LinesAreTheSameWhicheverWayTheyAreRead)
{
    // Line ends of both kinds, a CR inside a line, a CR at the very end, NUL bytes, a line far
    // longer than any read block, lines across block edges, and no line end after the last line.
    const QByteArray longLine = QByteArray(3 * 1024 * 1024 + 17, 'x');
    QByteArray many;
    for (int i = 0; i < 40000; ++i)
        many += QByteArray::number(i) + (i % 2 ? "\r\n" : "\n");
    const std::vector<std::pair<QByteArray, QList<QByteArray>>> files = {
        { "", {} },
        { "\r\n", { "" } },
        { "one\r\ntwo\n\r\nlast", { "one", "two", "", "last" } },
        { "a\rb\r\nc\r", { "a\rb", "c" } },
        { QByteArray("n\0l\r\n\0", 6), { QByteArray("n\0l", 3), QByteArray("\0", 1) } },
        { "head\r\n" + longLine + "\r\ntail", { "head", longLine, "tail" } },
    };
    for (const auto &[bytes, expected] : files) {
        writeBytes("lines.txt", bytes);
        QList<QByteArray> seen;
        vbFile file;
        ASSERT_TRUE(file.OpenForRead(path("lines.txt")));
        file.forEachLine([&seen](QByteArrayView line) {
            seen << line.toByteArray();
            return true;
        });
        EXPECT_TRUE(file.fEof());
        EXPECT_EQ(seen, expected) << bytes.left(40).toStdString();

        seen.clear();
        ASSERT_TRUE(file.OpenForRead(path("lines.txt")));
        QByteArray line;
        while (file.readLineBytes(line))
            seen << line;
        EXPECT_EQ(seen, expected);
        EXPECT_TRUE(line.isEmpty());
        file.closeFile();
    }

    writeBytes("many.txt", many);
    vbFile file;
    ASSERT_TRUE(file.OpenForRead(path("many.txt")));
    int n = 0;
    bool inOrder = true;
    file.forEachLine([&](QByteArrayView line) {
        inOrder = inOrder && line == QByteArray::number(n++);
        return true;
    });
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(n, 40000);
}

TEST_F(VbFile, ReadingGoesOnAfterTheLastLineTakenWhateverWasReadAhead)
{
    QByteArray bytes;
    for (int i = 0; i < 30000; ++i)
        bytes += "line " + QByteArray::number(i) + "\r\n";
    writeBytes("a.txt", bytes);
    vbFile file;
    ASSERT_TRUE(file.OpenForRead(path("a.txt")));
    EXPECT_EQ(file.readLine(), QStringLiteral("line 0"));
    int taken = 0;
    file.forEachLine([&taken](QByteArrayView) { return ++taken < 20000; });
    EXPECT_EQ(taken, 20000);
    EXPECT_FALSE(file.fEof());
    EXPECT_EQ(file.readLine(), QStringLiteral("line 20001"));
    QByteArray line;
    ASSERT_TRUE(file.readLineBytes(line));
    EXPECT_EQ(line, "line 20002");
}
