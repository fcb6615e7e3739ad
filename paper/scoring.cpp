// Scoring answers against a paper: all or nothing per choice question, per blank for fill-ins.
#include "paper/scoring.h"

#include "common/numbers.h"
#include "paper/onechoices.h"
#include "paper/paperformat.h"

namespace paper {

void MarksTotal::add(double points)
{
    if (m_overflow)
        return;
    const auto rounded = numbers::roundHalfEven(double(m_total) + points);
    if (rounded)
        m_total = *rounded;
    else
        m_overflow = true;
}

std::optional<qint64> MarksTotal::value() const
{
    if (m_overflow)
        return std::nullopt;
    return m_total;
}

double pointsOf(const QString &marksText)
{
    return numbers::leadingNumber(marksText);
}

void addScore(MarksTotal &total, const oneChoice &question, const QString &correctAnswer,
              const QString &marksText, const QString &userAnswer)
{
    const double points = pointsOf(marksText);
    if (question.getType() != kindBlank) {
        if (userAnswer == correctAnswer)
            total.add(points);
        return;
    }
    // Each expected word is looked for in the whole answer, not only in its own blank.
    for (int b = 0; b < oneChoice::optionCount; ++b) {
        const QString word = question.getOption(b);
        if (!word.isEmpty() && userAnswer.contains(word, Qt::CaseSensitive))
            total.add(points);
    }
}

void addFullMarks(MarksTotal &total, const oneChoice &question, const QString &marksText)
{
    const double points = pointsOf(marksText);
    if (question.getType() != kindBlank) {
        total.add(points);
        return;
    }
    for (int b = 0; b < oneChoice::optionCount; ++b) {
        if (!question.getOption(b).isEmpty())
            total.add(points);
    }
}

std::optional<qint64> scoreAnswers(const oneChoices &paper, const QStringList &userAnswers)
{
    MarksTotal total;
    for (int k = 1; k <= paper.getCount(); ++k) {
        const oneChoice *q = paper.getOne(k);
        const QString answer = k - 1 < userAnswers.size() ? userAnswers[k - 1] : QString();
        addScore(total, *q, q->getAnswer(), q->getPoint(), answer);
    }
    return total.value();
}

std::optional<qint64> fullMarks(const oneChoices &paper)
{
    MarksTotal total;
    for (int k = 1; k <= paper.getCount(); ++k) {
        const oneChoice *q = paper.getOne(k);
        addFullMarks(total, *q, q->getPoint());
    }
    return total.value();
}

} // namespace paper
