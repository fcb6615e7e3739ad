// Line-oriented text file access: streaming reads and writes, and an editable table of lines.
#include "vbfile.h"

#include "durablefile.h"
#include "errors.h"

#include <QFile>
#include <QFileInfo>

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
    QByteArray line = m_file->readLine();
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
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
