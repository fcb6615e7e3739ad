// The result text a test ends with, "score:paper:seconds": written by the test-taking program, read by the report.
#include "paper/resulttext.h"

namespace paper {

QString formatResultText(qint64 score, const QString &paperName, qint64 seconds)
{
    return QString::number(score) + u':' + paperName + u':' + QString::number(seconds);
}

ResultText parseResultText(const QString &text)
{
    const qsizetype first = text.indexOf(u':');
    if (first < 0)
        return { text, {}, std::nullopt };
    const qsizetype last = text.lastIndexOf(u':');
    if (first == last)
        return { text.left(first), text.mid(first + 1), std::nullopt };
    return { text.left(first), text.mid(first + 1, last - first - 1), text.mid(last + 1) };
}

} // namespace paper
