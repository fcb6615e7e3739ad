// Item analysis: how each question of a paper worked, from the answers and points kept for every accepted sheet.
#pragma once

#include "report/answerfile.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class oneChoices;

namespace report {

enum class QuestionKind { Unknown, Single, Multiple, Blank, TrueFalse };

// What the analysis knows of a question from its paper. Without the paper a question is of
// kind Unknown and its marks are the most points any candidate earned on it.
struct QuestionKey {
    QuestionKind kind = QuestionKind::Unknown;
    double marks = 0;     // the most the question is worth: a fill-in's points times its expected words
    QString answer;       // the correct answer of a choice question as stored: option numbers "1" to "6"
    QStringList options;  // slots A to F: the option texts of a choice question, a fill-in's expected words; empty = none
};

// The keys of a loaded paper, question 1 first.
QList<QuestionKey> questionKeys(const oneChoices &paper);

// How many candidates chose an option (1 for A up to 6 for F).
struct OptionCount {
    int option = 0;
    qsizetype count = 0;
    bool correct = false; // the option is part of the correct answer (never, without the paper)
    bool operator==(const OptionCount &) const = default;
};

struct WordCount {
    QString word;
    qsizetype count = 0;
    bool operator==(const WordCount &) const = default;
};

// A blank of a fill-in question and the words most often written in it that do not hold its
// expected word (without the paper: the words most often written in it).
struct BlankWords {
    int blank = 0;            // 1 for the first blank
    QList<WordCount> words;   // at most three, most common first, then in text order
    bool operator==(const BlankWords &) const = default;
};

enum QuestionFlag : unsigned {
    FlagNone = 0,
    FlagHard = 1,                   // facility under 0.2
    FlagEasy = 2,                   // facility over 0.95
    FlagNegativeDiscrimination = 4, // the correlation with the rest of the paper is below 0, or,
                                    // where it cannot be worked out, the upper-lower difference is
};

inline constexpr double hardBelow = 0.2;
inline constexpr double easyAbove = 0.95;
inline constexpr double groupShare = 0.27; // the top and bottom groups by total score

struct QuestionFigures {
    int number = 0; // from 1, in the paper's own order
    QuestionKind kind = QuestionKind::Unknown;
    double marks = 0;
    qsizetype answered = 0; // an answer that is not empty (a fill-in with at least one blank written)
    qsizetype blank = 0;
    // Mean points as a share of the marks; none without candidates or marks.
    std::optional<double> facility;
    // Pearson correlation of the question's points with the rest of each candidate's total
    // (the total less this question); none where either has no spread.
    std::optional<double> correlation;
    // Facility in the top group less facility in the bottom group. Each group is the
    // max(1, round(0.27 N)) candidates with the highest (lowest) totals; candidates tied at a
    // group's edge share its remaining places in equal parts. None without candidates or marks.
    std::optional<double> upperLower;
    QList<OptionCount> options; // choice and true-or-false questions: every option of the paper, A first
    QList<BlankWords> blanks;   // fill-in questions: every blank with an expected word, the first first
    unsigned flags = FlagNone;
};

struct PaperFigures {
    QString paper;                // the file name the entries name
    qsizetype candidates = 0;     // entries analysed
    qsizetype otherPapers = 0;    // entries for another paper, left out
    qsizetype otherShape = 0;     // entries for this paper with another number of questions, left out
    // Of each candidate's total: the sum of its question points, before any rounding.
    double mean = 0;
    double median = 0;            // the mean of the two middle totals when the count is even
    double standardDeviation = 0; // of the population (divided by N)
    // Cronbach's alpha over the questions' points, or KR-20 when every point of every question
    // is 0 or its full marks; none with fewer than two candidates or questions, or no spread.
    std::optional<double> reliability;
    bool kr20 = false;
    QList<QuestionFigures> questions;
};

// A paper the entries name and how many of them do.
struct PaperSheets {
    QString paper;
    qsizetype sheets = 0;
    bool operator==(const PaperSheets &) const = default;
};
// Every paper the entries name, the commonest first; among equals, the one named first.
QList<PaperSheets> papersBySheets(const QList<AnswerEntry> &entries);
// The first of them; empty without entries.
QString commonestPaper(const QList<AnswerEntry> &entries);

// The figures of one paper over entries (those of other papers are counted and left out).
// With keys (one per question) the kinds, marks and correct answers come from the paper; an
// entry with another number of questions is counted and left out. Without keys, the first
// entry for the paper sets the number of questions, a question whose answers hold "~" is read
// as fill-in, one whose answers are option numbers as a choice with no correct option known.
PaperFigures analyse(const QList<AnswerEntry> &entries, const QString &paper, const QList<QuestionKey> &keys = {});

} // namespace report
