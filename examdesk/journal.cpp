// Writing and reading the journal's lines, and where the test's own files are kept.
#include "examdesk/journal.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <limits>

namespace examdesk {

namespace {
const QByteArray magic = "examdesk journal 1";
const QByteArray checksumKey = "checksum=";

QByteArray escaped(const QString &text)
{
    QByteArray out;
    for (const char c : text.toUtf8()) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::optional<QString> unescaped(const QByteArray &text)
{
    QByteArray out;
    for (qsizetype k = 0; k < text.size(); ++k) {
        if (text[k] != '\\') {
            out += text[k];
            continue;
        }
        if (++k == text.size())
            return std::nullopt;
        switch (text[k]) {
        case '\\': out += '\\'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        default: return std::nullopt;
        }
    }
    return QString::fromUtf8(out);
}

std::optional<qint64> wholeNumber(const QByteArray &text)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok ? std::optional(value) : std::nullopt;
}
} // namespace

QByteArray paperHash(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
}

QByteArray encodeJournal(const Journal &journal)
{
    QByteArray body = magic + '\n';
    body += "paper=" + journal.paperHash + '\n';
    body += "started=" + journal.started.toUTC().toString(Qt::ISODateWithMs).toLatin1() + '\n';
    body += "used=" + QByteArray::number(journal.secondsUsed) + '\n';
    body += "current=" + QByteArray::number(journal.currentItem) + '\n';
    body += QByteArray("state=") + (journal.submitted ? "submitted" : "open") + '\n';
    body += "answers=" + QByteArray::number(journal.answers.size()) + '\n';
    for (const QString &answer : journal.answers)
        body += "a=" + escaped(answer) + '\n';
    return body + checksumKey + paperHash(body) + '\n';
}

std::optional<Journal> decodeJournal(const QByteArray &data)
{
    const qsizetype at = data.lastIndexOf('\n' + checksumKey);
    if (at < 0 || !data.endsWith('\n'))
        return std::nullopt;
    const QByteArray body = data.left(at + 1);
    if (data.mid(at + 1 + checksumKey.size()).chopped(1) != paperHash(body))
        return std::nullopt;

    QList<QByteArray> lines = body.split('\n');
    lines.removeLast(); // after the last line break
    const QByteArrayList keys = { "paper", "started", "used", "current", "state", "answers" };
    if (lines.size() < 1 + keys.size() || lines.first() != magic)
        return std::nullopt;
    QList<QByteArray> values;
    for (qsizetype k = 0; k < keys.size(); ++k) {
        const QByteArray &line = lines.at(1 + k);
        if (!line.startsWith(keys.at(k) + '='))
            return std::nullopt;
        values.append(line.mid(keys.at(k).size() + 1));
    }

    Journal journal;
    journal.paperHash = values.at(0);
    journal.started = QDateTime::fromString(QString::fromLatin1(values.at(1)), Qt::ISODateWithMs);
    const std::optional<qint64> used = wholeNumber(values.at(2));
    const std::optional<qint64> current = wholeNumber(values.at(3));
    const std::optional<qint64> count = wholeNumber(values.at(5));
    const bool submitted = values.at(4) == "submitted";
    if (!journal.started.isValid() || !used || *used < 0 || *used > std::numeric_limits<qint32>::max() || !current
        || *current < 1 || *current > std::numeric_limits<qint16>::max() || (!submitted && values.at(4) != "open")
        || !count || *count != lines.size() - 1 - keys.size())
        return std::nullopt;
    journal.secondsUsed = qint32(*used);
    journal.currentItem = qint16(*current);
    journal.submitted = submitted;
    for (qsizetype k = 1 + keys.size(); k < lines.size(); ++k) {
        const std::optional<QString> answer = lines.at(k).startsWith("a=") ? unescaped(lines.at(k).mid(2)) : std::nullopt;
        if (!answer)
            return std::nullopt;
        journal.answers.append(*answer);
    }
    return journal;
}

QStringList keptFilePaths(const QString &paperPath, const QString &spareFolder, const QString &suffix)
{
    QStringList paths = { paperPath + suffix };
    if (!spareFolder.isEmpty() && QFileInfo(spareFolder) != QFileInfo(QFileInfo(paperPath).absolutePath()))
        paths.append(QDir(spareFolder).filePath(QFileInfo(paperPath).fileName() + suffix));
    return paths;
}

} // namespace examdesk
