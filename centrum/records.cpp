// The server's day files (log and report), the log box, and the rows of the report viewer.
#include "records.h"

#include "clsencryptxor.h"
#include "creadini.h"
#include "inifile.h"
#include "multilanguage.h"
#include "numbers.h"
#include "tokenizer.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

namespace centrum {

QString dayName(const QDate &date)
{
    return date.toString(QStringLiteral("yyyy-M-d"));
}

QString shownStamp(const QDateTime &when)
{
    return dayName(when.date()) + u' ' + when.time().toString(QStringLiteral("HH:mm:ss"));
}

DayFileWriter::DayFileWriter(QString folder, QString suffix, Mode mode)
    : m_folder(std::move(folder)), m_suffix(std::move(suffix)), m_mode(mode)
{
}

QString DayFileWriter::pathFor(const QDate &date) const
{
    // Asked for at every entry; the day changes once a day.
    if (date != m_pathDate) {
        m_pathDate = date;
        m_path = QDir(m_folder).filePath(dayName(date) + m_suffix);
    }
    return m_path;
}

void DayFileWriter::knowKeys(const QString &path)
{
    if (path == m_currentPath)
        return;
    // A new day, or the first entry since the server started: take the keys already there.
    m_currentPath = path;
    const QStringList keys = IniFile::load(path).keys(u"record");
    m_keys = QSet<QString>(keys.begin(), keys.end());
    m_counter = int(keys.size());
}

QString DayFileWriter::nextKey(const QString &path, const QDateTime &when)
{
    knowKeys(path);
    const QString time = when.time().toString(QStringLiteral("HH:mm:ss"));
    QString key;
    do
        key = time + u'-' + QString::number(++m_counter);
    while (m_keys.contains(key));
    m_keys.insert(key);
    return key;
}

bool DayFileWriter::write(const QDateTime &when, const QString &value, QString *why)
{
    return write(QList<Entry> { { when, value } }, why);
}

bool DayFileWriter::write(const QList<Entry> &entries, QString *why)
{
    bool ok = true;
    for (qsizetype from = 0; from < entries.size();) {
        // One write for each day's file: entries of a batch around midnight go to two files.
        const QString path = pathFor(entries[from].when.date());
        QList<Entry> lines;
        qsizetype to = from;
        for (; to < entries.size() && pathFor(entries[to].when.date()) == path; ++to) {
            QString clean = entries[to].value;
            clean.replace(u'\r', u' ').replace(u'\n', u' ').remove(QChar(0));
            lines.append({ entries[to].when, clean });
        }
        from = to;
        ok = (m_mode == Mode::Durable ? writeDurably(path, lines, why) : append(path, lines, why)) && ok;
    }
    return ok;
}

bool DayFileWriter::append(const QString &path, const QList<Entry> &lines, QString *why)
{
    // The server writes only this section, so appending is what the settings writer does.
    QFile file(path);
    if (!file.open(QIODevice::Append)) {
        if (why)
            *why = file.errorString();
        return false;
    }
    QByteArray bytes;
    if (file.size() == 0)
        bytes = "[record]\n";
    for (const Entry &e : lines)
        bytes += nextKey(path, e.when).toUtf8() + '=' + e.value.toUtf8() + '\n';
    if (file.write(bytes) != bytes.size()) {
        if (why)
            *why = file.errorString();
        return false;
    }
    return true;
}

DayFileWriter::Stamp DayFileWriter::stampOf(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return { true, quint64(st.st_ino), qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec };
}

bool DayFileWriter::writeDurably(const QString &path, const QList<Entry> &lines, QString *why)
{
    if (!m_document || m_documentPath != path || stampOf(path) != m_documentStamp) {
        QString readError;
        IniFile loaded = IniFile::load(path, &readError);
        if (!readError.isEmpty()) {
            // Never overwrite a file whose content could not be read.
            m_document.reset();
            if (why)
                *why = readError;
            return false;
        }
        m_document = std::move(loaded);
        m_documentPath = path;
        // Keys another writer took meanwhile are not to be taken again: that would replace its entry.
        knowKeys(path);
        for (const QString &key : m_document->keys(u"record"))
            m_keys.insert(key);
    }
    for (const Entry &e : lines) {
        if (!m_document->setValue(u"record", nextKey(path, e.when), e.value, why)) {
            m_document.reset(); // what is on disk is what counts next time
            return false;
        }
    }
    if (!m_document->save(path, why)) {
        m_document.reset();
        return false;
    }
    m_documentStamp = stampOf(path);
    return true;
}

void LogBox::add(const QString &shownLine)
{
    if (m_counter > 511) {
        m_lines = QStringList { shownLine };
        m_counter = 0;
    } else {
        m_lines.prepend(shownLine);
    }
    ++m_counter;
}

QString LogBox::text() const
{
    QString out;
    for (const QString &line : m_lines)
        out += line + QStringLiteral("\r\n");
    return out;
}

ReportRow reportRow(const QString &entry)
{
    ReportRow row;
    const QStringList parts = ParseString(entry, QStringLiteral(":")).value_or(QStringList { entry });
    row.address = parts.value(0);
    row.id = parts.value(1);
    const QString result = parts.value(2);
    if (result.isEmpty())
        return row;
    const auto plain = clsEncryptXOR(clsEncryptXOR::HexMode::Tolerant).tryHexDecrypt(result);
    if (!plain)
        return row;
    const QStringList fields = ParseString(*plain, QStringLiteral(":")).value_or(QStringList { *plain });
    row.score = fields.value(0);
    row.paper = fields.value(1);
    if (fields.size() > 2) {
        const auto seconds = numbers::roundHalfEven(numbers::leadingNumber(fields[2]));
        if (seconds && *seconds >= 0)
            row.time = QString::number(*seconds / 60) + u':' + QString::number(*seconds % 60);
    }
    return row;
}

QStringList reportEntries(const QString &reportFile)
{
    CReadINI reader;
    reader.readLog(reportFile);
    return reader.entryCol;
}

namespace {

QString rowText(const QStringList &cells)
{
    QStringList padded;
    for (const QString &c : cells)
        padded.append(c.trimmed().leftJustified(12)); // longer texts stay whole
    return padded.join(u'\t') + QStringLiteral("\r\n");
}

} // namespace

QString reportText(const QStringList &entries, const CmultiLanguage &texts)
{
    QString out = rowText({ texts.getRes(19), texts.getRes(20), texts.getRes(21), texts.getRes(22),
                            texts.getRes(23) });
    for (const QString &entry : entries) {
        const ReportRow r = reportRow(entry);
        out += rowText({ r.id, r.score, r.time, r.paper, r.address });
    }
    return out;
}

} // namespace centrum
