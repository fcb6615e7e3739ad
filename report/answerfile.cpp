// The answer file beside a day's report: each accepted answer sheet's answers and points, question by question.
#include "report/answerfile.h"

#include "common/inifile.h"
#include "paper/answersheet.h"
#include "report/report.h"

#include <QFileInfo>
#include <QHash>

namespace report {

namespace {

constexpr QStringView entryMark = u"ans1";
constexpr int fixedFields = 7; // mark, report key, ID, paper, seconds, score, count

QString pointsText(double points)
{
    return QString::number(points, 'g', 15);
}

std::optional<qint64> integer(QStringView text)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok && !text.startsWith(u'+') ? std::optional(value) : std::nullopt;
}

} // namespace

QString formatAnswerEntry(const AnswerEntry &entry)
{
    QString out = entryMark.toString();
    for (const QString &text : { entry.reportKey, entry.id, entry.paper })
        out += u':' + paper::escapeSheetText(text);
    out += u':' + QString::number(entry.seconds) + u':' + QString::number(entry.score) + u':'
         + QString::number(entry.questions.size());
    for (const QuestionAnswer &q : entry.questions)
        out += u':' + paper::escapeSheetText(q.answer) + u',' + pointsText(q.points);
    return out;
}

std::optional<AnswerEntry> parseAnswerEntry(const QString &value)
{
    const QList<QStringView> fields = QStringView(value).split(u':');
    if (fields.size() < fixedFields || fields[0] != entryMark)
        return std::nullopt;
    AnswerEntry entry;
    QString *texts[3] = { &entry.reportKey, &entry.id, &entry.paper };
    for (int i = 0; i < 3; ++i) {
        std::optional<QString> text = paper::unescapeSheetText(fields[i + 1]);
        if (!text)
            return std::nullopt;
        *texts[i] = std::move(*text);
    }
    const auto seconds = integer(fields[4]);
    const auto score = integer(fields[5]);
    const auto count = integer(fields[6]);
    if (!seconds || !score || !count || *count != fields.size() - fixedFields)
        return std::nullopt;
    entry.seconds = *seconds;
    entry.score = *score;
    for (qsizetype i = fixedFields; i < fields.size(); ++i) {
        const qsizetype comma = fields[i].lastIndexOf(u',');
        if (comma < 0)
            return std::nullopt;
        std::optional<QString> answer = paper::unescapeSheetText(fields[i].first(comma));
        bool ok = false;
        const double points = fields[i].sliced(comma + 1).toDouble(&ok);
        if (!answer || !ok)
            return std::nullopt;
        entry.questions.append({ std::move(*answer), points });
    }
    return entry;
}

std::optional<QList<AnswerEntry>> readAnswerFile(const QString &answerFile, const QString &reportFile, QString *why,
                                                 qsizetype *skipped)
{
    const auto load = [why](const QString &path) -> std::optional<IniFile> {
        if (!QFileInfo(path).isFile()) {
            if (why)
                *why = path + QStringLiteral(": no such file");
            return std::nullopt;
        }
        QString error;
        IniFile file = IniFile::load(path, &error);
        if (!error.isEmpty()) {
            if (why)
                *why = error;
            return std::nullopt;
        }
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

} // namespace report
