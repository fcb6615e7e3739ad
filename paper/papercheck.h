// Checking a paper file: every line deciphers, the header is whole, every question can be taken.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

class oneChoice;

namespace paper {

struct Problem {
    int line = 0; // 1-based line of the file; 0 for the paper as a whole
    QString message;
};

struct CheckResult {
    bool opened = false; // false: the file could not be read at all (openError says why)
    QString openError;
    std::vector<Problem> problems;
};

// One thing that keeps a question from being taken and scored as its kind intends.
struct QuestionFault {
    enum class Kind {
        QuestionEmpty,
        MarksMissing,
        MarksNotNumber,     // value: the marks
        OptionAEmpty,
        OptionBEmpty,       // of a true-or-false question
        KindMissing,
        KindUnknown,        // value: the kind code
        SingleAnswer,       // value: the answer, not one digit from 1 to 6
        MultipleAnswer,     // value: the answer, not ascending digits from 1 to 6
        TrueFalseAnswer,    // value: the answer, not 1 or 2
        AnswerOptionEmpty,  // value: the letter of the empty option the answer names
    };
    Kind kind;
    QString value;

    // In English, as papertool and the server's log word it.
    QString message() const;
};

// What keeps one question from being taken and scored as its kind intends: a missing
// text, marks that are not a number above zero, an unknown kind, an answer that does not
// name existing options in the form its kind needs.
std::vector<QuestionFault> questionFaults(const oneChoice &question);
// The same, worded in English.
QStringList questionProblems(const oneChoice &question);

// Problems of the plain header line: six fields, time limit and total whole numbers from 1 to 32767.
QStringList headerProblems(const QString &plainHeader);

// Every problem of the paper file at path, in line order.
CheckResult checkPaper(const QString &path);

} // namespace paper
