// Question sheets: a paper's questions as comma-separated rows or plain-text blocks, read and written.
#pragma once

#include "paper/onechoice.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

class oneChoices;

namespace sheet {

// The columns of a comma-separated sheet, in order; the header row export writes.
inline const QStringList columns = { "kind", "question", "A", "B", "C", "D", "E", "F", "answer", "marks", "picture" };

struct Problem {
    int line = 0; // the 1-based line of the file where the question's row starts; 0 for the file as a whole
    QString message;
};

struct Reading {
    std::vector<oneChoice> questions; // every question read, in order, ready to be written as a paper line
    std::vector<Problem> problems;    // a question with a problem is not among the questions
};

// Rows of comma-separated cells: kind, question, options A to F, answer, marks and an
// optional picture number. An optional header row (first cell "kind") and empty rows are skipped.
// A line break inside the question or an option becomes one space.
Reading readCsv(QStringView text);

// Plain-text blocks: the question on one line, its options on lines "A. ..." or "A) ...",
// then "ANSWER: X"; blocks are parted by empty lines. Every question is single choice and
// carries the given marks.
Reading readAiken(QStringView text, const QString &marks);

// True when the text reads as plain-text blocks: one of its lines begins with "ANSWER:".
bool looksLikeAiken(QStringView text);

// What keeps a text out of a paper line: the field separator "^" and control characters,
// line breaks included; each problem names the text as what.
QStringList textProblems(const QString &what, const QString &text);

// The comma-separated sheet of a paper's questions, header row first, each record ended by CR LF.
QString writeCsv(const oneChoices &paper);

} // namespace sheet
