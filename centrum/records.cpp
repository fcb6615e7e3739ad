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
    return QDir(m_folder).filePath(dayName(date) + m_suffix);
}

QString DayFileWriter::nextKey(const QString &path, const QDateTime &when)
{
    if (path != m_currentPath) {
        // A new day, or the first entry since the server started: take the keys already there.
        m_currentPath = path;
        const QStringList keys = IniFile::load(path).keys(u"record");
        m_keys = QSet<QString>(keys.begin(), keys.end());
        m_counter = int(keys.size());
    }
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
    const QString path = pathFor(when.date());
    const QString key = nextKey(path, when);
    QString clean = value;
    clean.replace(u'\r', u' ').replace(u'\n', u' ').remove(QChar(0));
    if (m_mode == Mode::Durable)
        return writeIniValue(path, QStringLiteral("record"), key, clean, why);

    // The server writes only this section, so appending is what the settings writer does.
    QFile file(path);
    const bool fresh = !file.exists() || file.size() == 0;
    if (!file.open(QIODevice::Append)) {
        if (why)
            *why = file.errorString();
        return false;
    }
    QByteArray line;
    if (fresh)
        line = "[record]\n";
    line += key.toUtf8() + '=' + clean.toUtf8() + '\n';
    if (file.write(line) != line.size()) {
        if (why)
            *why = file.errorString();
        return false;
    }
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
