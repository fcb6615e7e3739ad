// The answer file beside a day's report: each accepted answer sheet's answers and points, question by question.
#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace report {

// One question of an accepted sheet, in the paper's own order.
struct QuestionAnswer {
    QString answer;    // as the candidate gave it, in the paper's own option places
    double points = 0; // earned on this question, before the total's rounding
    bool operator==(const QuestionAnswer &) const = default;
};

// One accepted sheet: the key of its entry in the day's report, the candidate, the paper
// (file name without folder), the seconds used, the score stored in the report, and the answers.
struct AnswerEntry {
    QString reportKey;
    QString id;
    QString paper;
    qint64 seconds = 0;
    qint64 score = 0;
    QList<QuestionAnswer> questions;
    bool operator==(const AnswerEntry &) const = default;
};

// The value of an entry of section "record": "ans1:" report key ":" ID ":" paper ":" seconds
// ":" score ":" count ":" then answer "," points for each question, joined by ":". Texts are
// escaped as the answer sheet's are, so any text goes through.
QString formatAnswerEntry(const AnswerEntry &entry);
// Nothing, with why set, when the value is not such an entry.
std::optional<AnswerEntry> parseAnswerEntry(const QString &value, QString *why = nullptr);

// The entries of an answer file in file order. With a report file given, only those whose
// report entry is there, for the same ID: a sheet whose report could not be written has no
// result. Nothing, with why set, when a file is missing or unreadable; unreadable entries are
// counted in skipped.
std::optional<QList<AnswerEntry>> readAnswerFile(const QString &answerFile, const QString &reportFile = {},
                                                 QString *why = nullptr, qsizetype *skipped = nullptr);

// An entry and the line of the answer file it stands on (from 1).
struct AnswerLine {
    qsizetype line = 0;
    AnswerEntry entry;
};

// Why an answer file cannot be read whole: the line of the first entry that does not read,
// or 0 when the file itself cannot be read, and the reason.
struct AnswerFault {
    qsizetype line = 0;
    QString reason;
};

// Every entry of an answer file with its line, in file order, for readers that must say what
// they could not read rather than skip it. Nothing, with fault set, when the file is missing or
// unreadable or an entry of section "record" does not read (the first such).
std::optional<QList<AnswerLine>> readAnswerLines(const QString &answerFile, AnswerFault *fault = nullptr);

} // namespace report
