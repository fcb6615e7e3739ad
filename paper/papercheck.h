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

// What keeps one question from being taken and scored as its kind intends: a missing
// text, marks that are not a number above zero, an unknown kind, an answer that does not
// name existing options in the form its kind needs, an image id beyond 0 to 32767.
QStringList questionProblems(const oneChoice &question);

// Problems of the plain header line: six fields, time limit and total whole numbers from 1 to 32767.
QStringList headerProblems(const QString &plainHeader);

// Every problem of the paper file at path, in line order.
CheckResult checkPaper(const QString &path);

} // namespace paper
