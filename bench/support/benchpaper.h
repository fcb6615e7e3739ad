// Generated papers for the benchmarks: question lines of every kind, answers to score, files on disk.
#pragma once

#include <QString>
#include <QStringList>

namespace bench {

// Which kinds a generated paper rotates through.
enum class Kinds {
    ChoiceAndBlank, // single choice, multiple select, fill-in: six options or blanks on every line
    All,            // the same, and every fourth question true-or-false with its two options
};

// The plain header line of a generated paper: 90 minutes, subject, title, total, author.
QString headerLine();

// The plain line of question k (1-based) of a generated paper.
QString questionLine(int k, Kinds kinds);

// The header and questions 1 to count, plain.
QStringList paperLines(int count, Kinds kinds);

// The same lines as they are stored: each enciphered.
QStringList storedLines(const QStringList &plainLines);

// Writes the stored lines, each ended by CR LF; false when the file cannot be written.
bool writePaperFile(const QString &path, const QStringList &plainLines);

// A candidate's answers to the generated questions 1 to count, in the form the question
// views store them: every fifth question wrong, the rest right.
QStringList candidateAnswers(int count, Kinds kinds);

// What the answers of candidateAnswers score and what the paper is worth, worked out from
// the generator's own rules rather than by the scoring code.
qint64 expectedScore(int count, Kinds kinds);
qint64 expectedFullMarks(int count, Kinds kinds);

} // namespace bench
