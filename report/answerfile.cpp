// The answer file beside a day's report: each accepted answer sheet's answers and points, question by question.
#include "report/answerfile.h"

#include "common/inifile.h"
#include "paper/answersheet.h"
#include "report/report.h"

#include <QFileInfo>
#include <QHash>

#include <charconv>
#include <cmath>

namespace report {

namespace {

constexpr QStringView entryMark = u"ans1";
constexpr int fixedFields = 7; // mark, report key, ID, paper, seconds, score, count

QString pointsText(double points)
{
    return QString::number(points, 'g', 15);
}

// As pointsText, added at the end of out; whole points, nearly all of them, without the
// floating-point formatting.
void appendPoints(QString &out, double points)
{
    if (points == std::trunc(points) && std::abs(points) < 1e15) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, qint64(points)).ptr;
        out.append(QLatin1StringView(digits, end - digits));
        return;
    }
    out.append(pointsText(points));
}

std::optional<qint64> integer(QStringView text)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok && !text.startsWith(u'+') ? std::optional(value) : std::nullopt;
}

// The file, or nothing with the reason (without the path) when it is missing or unreadable.
std::optional<IniFile> loadFile(const QString &path, QString &reason)
{
    if (!QFileInfo(path).isFile()) {
        reason = QStringLiteral("no such file");
        return std::nullopt;
    }
    QString error;
    IniFile file = IniFile::load(path, &error);
    if (!error.isEmpty()) {
        const QString prefix = path + QStringLiteral(": ");
        reason = error.startsWith(prefix) ? error.sliced(prefix.size()) : error;
        return std::nullopt;
    }
    return file;
}

} // namespace

QString formatAnswerEntry(const AnswerEntry &entry)
{
    QString out = entryMark.toString();
    out.reserve(64 + entry.questions.size() * 8);
    for (const QString &text : { entry.reportKey, entry.id, entry.paper }) {
        out += u':';
        paper::appendEscapedSheetText(out, text);
    }
    out += u':' + QString::number(entry.seconds) + u':' + QString::number(entry.score) + u':'
         + QString::number(entry.questions.size());
    for (const QuestionAnswer &q : entry.questions) {
        out += u':';
        paper::appendEscapedSheetText(out, q.answer);
        out += u',';
        appendPoints(out, q.points);
    }
    return out;
}

std::optional<AnswerEntry> parseAnswerEntry(const QString &value, QString *why)
{
    const auto refuse = [why](const QString &reason) -> std::optional<AnswerEntry> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    const QList<QStringView> fields = QStringView(value).split(u':');
    if (fields.size() < fixedFields || fields[0] != entryMark)
        return refuse(QStringLiteral("not an answer entry (ans1:key:ID:paper:seconds:score:count:answers)"));
    AnswerEntry entry;
    QString *texts[3] = { &entry.reportKey, &entry.id, &entry.paper };
    const char *names[3] = { "report key", "ID", "paper" };
    for (int i = 0; i < 3; ++i) {
        std::optional<QString> text = paper::unescapeSheetText(fields[i + 1]);
        if (!text)
            return refuse(QStringLiteral("the %1 holds a broken escape").arg(QLatin1StringView(names[i])));
        *texts[i] = std::move(*text);
    }
    const auto seconds = integer(fields[4]);
    const auto score = integer(fields[5]);
    const auto count = integer(fields[6]);
    if (!seconds || !score || !count)
        return refuse(QStringLiteral("the seconds, the score or the count is not a whole number"));
    if (*count != fields.size() - fixedFields)
        return refuse(QStringLiteral("the count says %1 answers, the entry holds %2")
                          .arg(QString::number(*count), QString::number(fields.size() - fixedFields)));
    entry.seconds = *seconds;
    entry.score = *score;
    for (qsizetype i = fixedFields; i < fields.size(); ++i) {
        const qsizetype number = i - fixedFields + 1;
        const qsizetype comma = fields[i].lastIndexOf(u',');
        std::optional<QString> answer;
        if (comma >= 0)
            answer = paper::unescapeSheetText(fields[i].first(comma));
        if (!answer)
            return refuse(QStringLiteral("answer %1 is not an escaped text and its points").arg(number));
        bool ok = false;
        const double points = fields[i].sliced(comma + 1).toDouble(&ok);
        if (!ok)
            return refuse(QStringLiteral("the points of answer %1 are not a number").arg(number));
        entry.questions.append({ std::move(*answer), points });
    }
    return entry;
}

std::optional<QList<AnswerEntry>> readAnswerFile(const QString &answerFile, const QString &reportFile, QString *why,
                                                 qsizetype *skipped)
{
    const auto load = [why](const QString &path) -> std::optional<IniFile> {
        QString reason;
        std::optional<IniFile> file = loadFile(path, reason);
        if (!file && why)
            *why = path + QStringLiteral(": ") + reason;
        return file;
    };
    const std::optional<IniFile> answers = load(answerFile);
    if (!answers)
        return std::nullopt;
    std::optional<IniFile> reports;
    if (!reportFile.isEmpty() && !(reports = load(reportFile)))
        return std::nullopt;

    QList<AnswerEntry> entries;
    if (skipped)
        *skipped = 0;
    for (const QString &value : answers->values(u"record")) {
        std::optional<AnswerEntry> entry = parseAnswerEntry(value);
        if (!entry) {
            if (skipped)
                ++*skipped;
            continue;
        }
        if (reports) {
            const std::optional<QString> reported = reports->value(u"record", entry->reportKey);
            if (!reported || reportRow(*reported).id != entry->id)
                continue;
        }
        entries.append(std::move(*entry));
    }
    return entries;
}

std::optional<QList<AnswerLine>> readAnswerLines(const QString &answerFile, AnswerFault *fault)
{
    QString reason;
    const std::optional<IniFile> file = loadFile(answerFile, reason);
    if (!file) {
        if (fault)
            *fault = { 0, reason };
        return std::nullopt;
    }
    const QStringList values = file->values(u"record");
    const QList<qsizetype> lines = file->valueLines(u"record");
    QList<AnswerLine> entries;
    for (qsizetype i = 0; i < values.size(); ++i) {
        std::optional<AnswerEntry> entry = parseAnswerEntry(values[i], &reason);
        if (!entry) {
            if (fault)
                *fault = { lines[i], reason };
            return std::nullopt;
        }
        entries.append({ lines[i], std::move(*entry) });
    }
    return entries;
}

} // namespace report
