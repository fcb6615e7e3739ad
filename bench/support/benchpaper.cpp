// Generated papers for the benchmarks: question lines of every kind, answers to score, files on disk.
#include "bench/support/benchpaper.h"

#include "paper/paperformat.h"

#include <QFile>

namespace bench {

namespace {

// Every question adds at most one mark, so even 32766 questions stay within the 16-bit
// full marks the test-taking program accepts; a blank's quarter mark rounds away at each step.
constexpr qint64 choiceMarks = 1;

QString kindOf(int k, Kinds kinds)
{
    if (kinds == Kinds::All && k % 4 == 0)
        return paper::kindTrueFalse;
    switch (k % 3) {
    case 1:
        return paper::kindSingle;
    case 2:
        return paper::kindMultiple;
    default:
        return paper::kindBlank;
    }
}

QString marksOf(const QString &kind)
{
    if (kind == paper::kindBlank)
        return QStringLiteral("0.25");
    if (kind == paper::kindMultiple)
        return QStringLiteral("1分"); // the unit after the number is read past
    return QStringLiteral("1");
}

QString correctAnswer(int k, const QString &kind)
{
    if (kind == paper::kindSingle)
        return QString::number(k % 6 + 1);
    if (kind == paper::kindMultiple)
        return k % 2 ? QStringLiteral("135") : QStringLiteral("2456");
    if (kind == paper::kindTrueFalse)
        return QString::number(k % 2 + 1);
    return {};
}

QString blankWord(int k, int b) { return QStringLiteral("词%1w%2").arg(k).arg(b); }

bool answeredRight(int k) { return k % 5 != 0; }

} // namespace

QString headerLine()
{
    return QStringLiteral("417^90^Benchmark 基准^Generated paper 生成的试卷^100^Bench 生成器");
}

QString questionLine(int k, Kinds kinds)
{
    const QString kind = kindOf(k, kinds);
    QStringList fields;
    if (kind == paper::kindBlank)
        fields << QStringLiteral("第%1题：The ____ of item %1 and its ____ 填写空白处的词语。").arg(k);
    else
        fields << QStringLiteral("第%1题：Which statement about item %1 is correct? 请选出正确的一项。").arg(k);
    fields << QStringLiteral("0") << correctAnswer(k, kind) << marksOf(kind) << kind;
    if (kind == paper::kindTrueFalse) {
        fields << QStringLiteral("True") << QStringLiteral("False");
    } else {
        for (int b = 1; b <= 6; ++b)
            fields << (kind == paper::kindBlank ? blankWord(k, b)
                                                : QStringLiteral("选项%1 option %1 of question %2").arg(b).arg(k));
    }
    return fields.join(paper::fieldSeparator);
}

QStringList paperLines(int count, Kinds kinds)
{
    QStringList lines { headerLine() };
    for (int k = 1; k <= count; ++k)
        lines << questionLine(k, kinds);
    return lines;
}

QStringList storedLines(const QStringList &plainLines)
{
    QStringList stored;
    stored.reserve(plainLines.size());
    for (const QString &line : plainLines)
        stored << paper::encipherLine(line);
    return stored;
}

bool writePaperFile(const QString &path, const QStringList &plainLines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    for (const QString &line : plainLines) {
        const QByteArray bytes = paper::encipherLine(line).toLatin1() + "\r\n";
        if (file.write(bytes) != bytes.size())
            return false;
    }
    return file.flush();
}

QStringList candidateAnswers(int count, Kinds kinds)
{
    QStringList answers;
    answers.reserve(count);
    for (int k = 1; k <= count; ++k) {
        const QString kind = kindOf(k, kinds);
        const bool right = answeredRight(k);
        if (kind == paper::kindBlank) {
            // Six blanks, each followed by "~"; the wrong ones miss every word but one.
            QString answer;
            for (int b = 1; b <= 6; ++b)
                answer += (right || b == 1 ? blankWord(k, b) : QStringLiteral("guess")) + QLatin1Char('~');
            answers << answer;
        } else {
            const QString correct = correctAnswer(k, kind);
            answers << (right ? correct : correct + QLatin1Char('9'));
        }
    }
    return answers;
}

qint64 expectedScore(int count, Kinds kinds)
{
    qint64 score = 0;
    for (int k = 1; k <= count; ++k) {
        if (kindOf(k, kinds) != paper::kindBlank && answeredRight(k))
            score += choiceMarks;
    }
    return score;
}

qint64 expectedFullMarks(int count, Kinds kinds)
{
    qint64 full = 0;
    for (int k = 1; k <= count; ++k) {
        if (kindOf(k, kinds) != paper::kindBlank)
            full += choiceMarks;
    }
    return full;
}

} // namespace bench
