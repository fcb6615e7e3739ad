// Line-oriented text file access: streaming reads and writes, and an editable table of lines.
#include "common/vbfile.h"

#include "common/durablefile.h"
#include "common/errors.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <stdexcept>

vbFile::vbFile() = default;
vbFile::~vbFile() = default;

bool vbFile::fail(const QString &description)
{
    m_lastError = description;
    return false;
}

bool vbFile::openWith(QIODeviceBase::OpenMode mode)
{
    // A second open replaces the first; the earlier file is closed rather than leaked.
    m_file = std::make_unique<QFile>(m_fileName);
    m_open = false;
    if (m_fileName.isEmpty())
        return fail(QStringLiteral("No file name given"));
    if (!m_file->open(mode)) {
        const QString reason = m_file->errorString();
        m_file.reset();
        return fail(QStringLiteral("%1: %2").arg(m_fileName, reason));
    }
    m_open = true;
    return true;
}

bool vbFile::OpenForRead()
{
    return openWith(QIODevice::ReadOnly);
}

bool vbFile::OpenForRead(const QString &Filename)
{
    m_fileName = Filename;
    return OpenForRead();
}

bool vbFile::OpenForWrite()
{
    return openWith(QIODevice::WriteOnly | QIODevice::Truncate);
}

bool vbFile::OpenForWrite(const QString &Filename)
{
    m_fileName = Filename;
    return OpenForWrite();
}

bool vbFile::fEof() const
{
    return !m_open || m_file->atEnd();
}

QString vbFile::readLine()
{
    if (!m_open)
        return {};
    readLineBytes(m_lineBuffer);
    return QString::fromUtf8(m_lineBuffer);
}

bool vbFile::readLineBytes(QByteArray &line)
{
    line.resize(0); // keeps the storage
    if (!m_open || m_file->atEnd())
        return false;
    // QIODevice::readLine without a limit allocates a buffer per line; this one is reused.
    qsizetype used = 0;
    for (;;) {
        if (line.capacity() - used < 256)
            line.reserve(qMax<qsizetype>(2 * line.capacity(), used + 4096));
        line.resize(line.capacity());
        const qint64 room = line.size() - used; // readLine writes a terminating NUL in it
        const qint64 n = m_file->readLine(line.data() + used, room);
        if (n <= 0)
            break;
        used += qsizetype(n);
        if (line[used - 1] == '\n' || n < room - 1)
            break; // a whole line, or the end of the file
    }
    line.resize(used);
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return true;
}

void vbFile::forEachLine(const std::function<bool(QByteArrayView line)> &take)
{
    if (!m_open)
        return;
    // Large blocks into one buffer that stays in the cache; lines are handed out from it
    // in place. A line longer than the buffer grows it.
    constexpr qsizetype blockSize = 1 << 20;
    QByteArray &buffer = m_lineBuffer;
    buffer.resize(blockSize);
    qsizetype from = 0;   // the first byte not yet handed out
    qsizetype filled = 0; // the end of what was read
    const auto hand = [&take](const char *begin, const char *end) {
        if (end > begin && end[-1] == '\r')
            --end;
        return take(QByteArrayView(begin, end - begin));
    };
    bool more = true;
    while (more) {
        const char *data = buffer.constData();
        const void *newline = std::memchr(data + from, '\n', size_t(filled - from));
        if (newline) {
            const qsizetype end = static_cast<const char *>(newline) - data;
            more = hand(data + from, data + end);
            from = end + 1;
            continue;
        }
        // What is left is the start of a line: keep it, and read on behind it.
        std::memmove(buffer.data(), data + from, size_t(filled - from));
        filled -= from;
        from = 0;
        if (filled == buffer.size())
            buffer.resize(2 * buffer.size());
        const qint64 n = m_file->read(buffer.data() + filled, buffer.size() - filled);
        if (n <= 0) {
            if (filled > 0)
                hand(buffer.constData(), buffer.constData() + filled); // the last line has no line end
            from = filled;
            break;
        }
        filled += qsizetype(n);
    }
    // Bytes read ahead of the last line taken go back, so that reading can go on from there.
    if (filled > from)
        m_file->seek(m_file->pos() - (filled - from));
    buffer = QByteArray(); // the block is not kept for the lines that may follow one by one
}

QString vbFile::readToken()
{
    if (!m_open)
        return {};
    char c = 0;
    auto peek = [this, &c]() { return m_file->peek(&c, 1) == 1; };
    // Consumes one line end (CR LF or LF) or one comma after a field.
    auto endField = [this, &c, &peek]() {
        if (!peek())
            return;
        if (c == ',' || c == '\n') {
            m_file->getChar(&c);
        } else if (c == '\r') {
            m_file->getChar(&c);
            if (peek() && c == '\n')
                m_file->getChar(&c);
        }
    };

    while (peek() && (c == ' ' || c == '\t'))
        m_file->getChar(&c);

    QByteArray field;
    if (peek() && c == '"') {
        m_file->getChar(&c);
        while (m_file->getChar(&c) && c != '"')
            field += c;
        // Anything between the closing quote and the next comma is not part of the field.
        while (peek() && c != ',' && c != '\r' && c != '\n')
            m_file->getChar(&c);
    } else {
        while (peek() && c != ',' && c != '\r' && c != '\n') {
            field += c;
            m_file->getChar(&c);
        }
    }
    endField();
    return QString::fromUtf8(field);
}

bool vbFile::closeFile()
{
    if (!m_open)
        return true;
    m_open = false;
    const bool flushed = m_file->flush();
    const QString reason = m_file->errorString();
    m_file->close();
    m_file.reset();
    return flushed || fail(QStringLiteral("%1: %2").arg(m_fileName, reason));
}

bool vbFile::writeText(const QString &s)
{
    if (!m_file || !m_file->isWritable())
        return fail(QStringLiteral("%1: the file is not open for writing").arg(m_fileName));
    const QByteArray bytes = s.toUtf8();
    if (m_file->write(bytes) != bytes.size())
        return fail(QStringLiteral("%1: %2").arg(m_fileName, m_file->errorString()));
    return true;
}

bool vbFile::writeLine(const QString &s)
{
    return writeText(s + QStringLiteral("\r\n"));
}

bool vbFile::exists()
{
    if (m_fileName.isEmpty())
        return fail(QStringLiteral("No file name given"));
    if (m_fileName.contains(QChar(0)))
        return fail(QStringLiteral("The file name holds a NUL character"));
    return QFileInfo(m_fileName).isFile();
}

bool vbFile::Delete()
{
    if (m_open)
        closeFile();
    if (!exists())
        return fail(QStringLiteral("File not found"));
    QFile file(m_fileName);
    if (!file.remove())
        return fail(QStringLiteral("%1: %2").arg(m_fileName, file.errorString()));
    return true;
}

void vbFile::readAllLine()
{
    if (!m_open)
        return;
    QStringList lines;
    while (!m_file->atEnd()) {
        if (lines.size() >= maxLines)
            throw LineTableOverflow(
                QStringLiteral("%1 has more than %2 lines").arg(m_fileName, QString::number(maxLines)));
        lines.append(readLine());
    }
    m_lines = std::move(lines);
    lineCount = static_cast<qint16>(m_lines.size());
}

void vbFile::checkIndex(int index) const
{
    if (index < 0 || index >= lineCount || index >= m_lines.size())
        throw std::out_of_range("line index " + std::to_string(index) + " is outside the table");
}

QString vbFile::getLineByIndex(int index) const
{
    checkIndex(index);
    return m_lines[index];
}

void vbFile::setLineByIndex(int index, const QString &value)
{
    checkIndex(index);
    m_lines[index] = value;
}

void vbFile::AddLineByIndex(int index, const QString &value)
{
    if (index < 0)
        throw std::out_of_range("line index " + std::to_string(index) + " is outside the table");
    if (index >= maxLines)
        throw LineTableOverflow(QStringLiteral("a paper holds at most %1 lines").arg(maxLines));
    if (m_lines.size() > index)
        m_lines.resize(index);
    while (m_lines.size() < index)
        m_lines.append(QString());
    m_lines.append(value);
    lineCount = static_cast<qint16>(index + 1);
}

void vbFile::DelLineByIndex(int index)
{
    checkIndex(index);
    // The storage keeps its size: entries past lineCount are simply no longer meaningful.
    for (int i = index; i < lineCount - 1 && i + 1 < m_lines.size(); ++i)
        m_lines[i] = m_lines[i + 1];
    --lineCount;
}

QByteArray vbFile::tableBytes() const
{
    QByteArray bytes;
    const qsizetype count = std::min<qsizetype>(lineCount, m_lines.size());
    for (qsizetype i = 0; i < count; ++i) {
        bytes += m_lines[i].toUtf8();
        bytes += "\r\n";
    }
    return bytes;
}

bool vbFile::makeFile()
{
    QFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return fail(QStringLiteral("%1: %2").arg(m_fileName, file.errorString()));
    const QByteArray bytes = tableBytes();
    if (file.write(bytes) != bytes.size() || !file.flush())
        return fail(QStringLiteral("%1: %2").arg(m_fileName, file.errorString()));
    return true;
}

bool vbFile::replaceFile()
{
    QString error;
    return writeFileDurably(m_fileName, tableBytes(), &error) || fail(error);
}

QString vbFile::fileNameNoPath(const QString &ss)
{
    const qsizetype cut = std::max(ss.lastIndexOf(u'/'), ss.lastIndexOf(u'\\'));
    return cut < 0 ? ss : ss.mid(cut + 1);
}
