// The result text a test ends with, "score:paper:seconds": written by the test-taking program, read by the report.
#include "paper/resulttext.h"

#include "common/tokenizer.h"

#include <utility>

namespace paper {

QString formatResultText(qint64 score, const QString &paperName, qint64 seconds)
{
    return QString::number(score) + u':' + paperName + u':' + QString::number(seconds);
}

ResultText parseResultText(const QString &text)
{
    OuterSplit parts = splitAtFirstAndLast(text, u':');
    return { std::move(parts.first), std::move(parts.middle), std::move(parts.last) };
}

} // namespace paper
