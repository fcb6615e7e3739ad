// Line-oriented text file access: streaming reads and writes, and an editable table of lines.
#pragma once

#include <QByteArrayView>
#include <QIODeviceBase>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QFile;

// One object stands for one named file. Text is UTF-8 on disk; every line written ends
// with CR LF, and reading takes CR LF or a lone LF as a line end. Nothing is enciphered here.
class vbFile
{
public:
    vbFile();
    ~vbFile();
    vbFile(const vbFile &) = delete;
    vbFile &operator=(const vbFile &) = delete;

    // Number of meaningful entries of the line table, as 16-bit as the file format's counts.
    qint16 lineCount = 0;

    // Streaming. Opens record a failure for getLastError and return false; they never throw.
    bool OpenForRead();
    bool OpenForRead(const QString &Filename);
    bool fEof() const;
    QString readLine();
    // The next line's bytes without its line end, into line, whose storage is reused from
    // call to call; false, with line empty, when nothing is open or the file is used up.
    bool readLineBytes(QByteArray &line);
    // Hands every remaining line's bytes, without their line ends, to take in order until
    // take returns false; the lines end as readLine's do. The file is read in large blocks
    // and each line handed out in place, so a line costs no copy; a view lives only during
    // its call. Afterwards the file is read up to the last line taken.
    void forEachLine(const std::function<bool(QByteArrayView line)> &take);
    // The next comma-separated field: leading blanks skipped, a quoted field without its quotes.
    QString readToken();
    // False when buffered text could not be written out.
    bool closeFile();
    bool OpenForWrite();
    bool OpenForWrite(const QString &Filename);
    // False, with the reason recorded, when nothing is open for writing or the write fails.
    bool writeText(const QString &s);
    bool writeLine(const QString &s);

    bool exists();
    QString getLastError() const { return m_lastError; }
    // Closes the file if open, then removes it; "File not found" when there is none.
    bool Delete();

    void setFilename(const QString &fname) { m_fileName = fname; }
    QString getFilename() const { return m_fileName; }

    // Line table. Indexes outside 0 .. lineCount-1 throw std::out_of_range; a table that
    // would pass 32767 lines throws LineTableOverflow.
    void readAllLine();
    QString getLineByIndex(int index) const;
    void setLineByIndex(int index, const QString &value);
    // Truncates the table to entries 0..index, with value in entry index.
    void AddLineByIndex(int index, const QString &value);
    void DelLineByIndex(int index);
    // Only line 0 (the paper's header) stays meaningful.
    void DelLastLine() { lineCount = 1; }
    // Appends the table's lines to the file, creating it when missing.
    bool makeFile();
    // Replaces the file with the table's lines through a temporary file and a rename,
    // so the old file stays whole until the new one is complete.
    bool replaceFile();

    // The part after the last "/" or "\"; the whole text when there is none.
    static QString fileNameNoPath(const QString &ss);

    static constexpr int maxLines = 32767;

private:
    bool openWith(QIODeviceBase::OpenMode mode);
    bool fail(const QString &description);
    QByteArray tableBytes() const;
    void checkIndex(int index) const;

    std::unique_ptr<QFile> m_file;
    bool m_open = false;
    QString m_lastError;
    QString m_fileName;
    QStringList m_lines;
    QByteArray m_lineBuffer; // readLine's, kept so that a line costs no allocation of its own
};
