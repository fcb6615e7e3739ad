// Scoring the candidate's answers against the record taken from the paper.
#include "examdesk/testrecord.h"

#include "paper/onechoices.h"
#include "paper/scoring.h"

#include <stdexcept>

namespace examdesk {

void testRecord::setAns(qint16 i, const oneChoices &ocz)
{
    m_correctAnswers.clear();
    m_pointValues.clear();
    for (int k = 1; k <= i; ++k) {
        const oneChoice *question = ocz.getOne(k);
        m_correctAnswers.append(question ? question->getAnswer() : QString());
        m_pointValues.append(question ? question->getPoint() : QString());
    }
    m_userAnswers = QStringList(qMax<int>(i, 0) + 1, QString());
}

void testRecord::addSel(int ndx, const QString &val)
{
    if (ndx < 0 || ndx >= m_userAnswers.size())
        throw std::out_of_range("answer index outside the paper");
    if (m_userAnswers.at(ndx) == val)
        return;
    m_userAnswers[ndx] = val;
    if (m_onChange)
        m_onChange();
}

QString testRecord::getUsel(int ndx) const
{
    if (ndx < 0 || ndx >= m_userAnswers.size())
        throw std::out_of_range("answer index outside the paper");
    return m_userAnswers.at(ndx);
}

std::optional<qint64> testRecord::getResult(const oneChoices &ocz) const
{
    paper::MarksTotal total;
    for (int k = 1; k <= m_correctAnswers.size(); ++k) {
        if (const oneChoice *question = ocz.getOne(k))
            paper::addScore(total, *question, m_correctAnswers.at(k - 1), m_pointValues.at(k - 1),
                            m_userAnswers.at(k - 1));
    }
    return total.value();
}

std::optional<qint64> testRecord::getFullPoint(const oneChoices &ocz) const
{
    paper::MarksTotal total;
    for (int k = 1; k <= m_correctAnswers.size(); ++k) {
        if (const oneChoice *question = ocz.getOne(k))
            paper::addFullMarks(total, *question, m_pointValues.at(k - 1));
    }
    return total.value();
}

} // namespace examdesk
