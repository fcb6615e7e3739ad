// The answer record of one test: the paper's answers and points beside the candidate's answers.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class oneChoices;

namespace examdesk {

class testRecord
{
public:
    // Takes the answers and points of questions 1 to i of ocz and clears the candidate's
    // answers; slots 0 to i exist.
    void setAns(qint16 i, const oneChoices &ocz);

    // The answer to question ndx + 1. An index outside 0 to the count throws std::out_of_range.
    void addSel(int ndx, const QString &val);
    QString getUsel(int ndx) const;

    // Score and full marks, counted wide so that no paper wraps them; empty only when a
    // total leaves what can be counted exactly.
    std::optional<qint64> getResult(const oneChoices &ocz) const;
    std::optional<qint64> getFullPoint(const oneChoices &ocz) const;

    int questionCount() const { return int(m_correctAnswers.size()); }

    // Called after addSel changed an answer: the test keeps its journal from it.
    void setOnChange(std::function<void()> onChange) { m_onChange = std::move(onChange); }

private:
    QStringList m_correctAnswers;
    QStringList m_pointValues;
    QStringList m_userAnswers;
    std::function<void()> m_onChange;
};

} // namespace examdesk
