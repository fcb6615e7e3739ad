// The result text a test ends with, "score:paper:seconds": written by the test-taking program, read by the report.
#pragma once

#include <QString>

#include <optional>

namespace paper {

// The fields of a result text, as text: a report shows what a candidate's copy held even
// when it is not a number.
struct ResultText {
    QString score;
    QString paper;                  // the paper's file name, without folder
    std::optional<QString> seconds; // none when the text holds fewer than two ":"
};

// The plain result: score, ":", the paper's file name, ":", the seconds used.
QString formatResultText(qint64 score, const QString &paperName, qint64 seconds);

// The score ends at the first ":" and the seconds follow the last one, so a paper name
// holding ":" stays whole. With one ":" the rest is the paper; with none the whole text is
// the score.
ResultText parseResultText(const QString &text);

} // namespace paper
