// Scoring answers against a paper: all or nothing per choice question, per blank for fill-ins.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class oneChoice;
class oneChoices;

namespace paper {

// A running total of marks. Each contribution is added in double precision and the sum
// rounded at once to the nearest integer, ties to even, so fractions round at every step.
// It is kept wide: a total that no longer fits exactly marks the total as overflowed.
class MarksTotal
{
public:
    void add(double points);
    std::optional<qint64> value() const;

private:
    qint64 m_total = 0;
    bool m_overflow = false;
};

// The points a marks text is worth: its leading number, 0 when there is none.
double pointsOf(const QString &marksText);

// Adds what the candidate's answer earns on one question. Choice and true/false questions
// earn the points when the answer equals the correct one exactly; fill-ins earn them once
// for each non-empty option text found anywhere in the answer.
void addScore(MarksTotal &total, const oneChoice &question, const QString &correctAnswer,
              const QString &marksText, const QString &userAnswer);

// Adds what one question is worth at most.
void addFullMarks(MarksTotal &total, const oneChoice &question, const QString &marksText);

// The score of answers (question 1 first; missing answers are empty) and the full marks.
std::optional<qint64> scoreAnswers(const oneChoices &paper, const QStringList &userAnswers);
std::optional<qint64> fullMarks(const oneChoices &paper);

} // namespace paper
