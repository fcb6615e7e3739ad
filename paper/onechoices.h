// A loaded paper: every question line deciphered into a record, numbered from 1.
#pragma once

#include "paper/onechoice.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

class oneChoices
{
public:
    enum class LoadStatus {
        Loaded,           // every line read; an empty or missing file gives no questions
        Unreadable,       // the file could not be opened: no questions
        BadLine,          // a line is not hex; the questions before it stay, the count is 0
        TooManyQuestions, // more than 32766 question lines; nothing is kept
    };

    // Loads every question of the paper at path, replacing earlier content. The header
    // line is skipped; lines are not checked.
    LoadStatus init(const QString &path);

    qint16 getCount() const { return m_count; }

    // Question i, 1 to getCount(); otherwise no record, and the missing-question handler
    // (the test-taking window's message) is told.
    oneChoice *getOne(int i);
    const oneChoice *getOne(int i) const;

    void setMissingQuestionHandler(std::function<void(int)> handler)
    {
        m_missingQuestion = std::move(handler);
    }

    // Why the last init did not give Loaded, with the file line (1-based) where it stopped.
    QString lastError() const { return m_lastError; }
    int errorLine() const { return m_errorLine; }

    // The deciphered header line: empty when the file cannot be opened or is empty, no
    // text when its first line is not hex.
    static std::optional<QString> getTitle(const QString &path);

private:
    std::vector<oneChoice> m_questions;
    qint16 m_count = 0;
    QString m_lastError;
    int m_errorLine = 0;
    std::function<void(int)> m_missingQuestion;
};
