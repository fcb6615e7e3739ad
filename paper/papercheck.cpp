// Checking a paper file: every line deciphers, the header is whole, every question can be taken.
#include "paper/papercheck.h"

#include "common/numbers.h"
#include "common/vbfile.h"
#include "paper/linefields.h"
#include "paper/onechoice.h"
#include "paper/paperformat.h"
#include "paper/scoring.h"

#include <limits>

namespace paper {

namespace {

constexpr int fieldsOfHeader = 6;
constexpr int fixedQuestionFields = 5;
constexpr int maxQuestionFields = fixedQuestionFields + oneChoice::optionCount;

QChar letterOf(int slot)
{
    return QChar(u'A' + slot);
}

bool isWholeNumberIn(const QString &text, int low, int high)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 6)
        return false;
    for (QChar c : t) {
        if (!c.isDigit() || c.unicode() > u'9')
            return false;
    }
    const int v = t.toInt();
    return v >= low && v <= high;
}

// Options named by a choice answer must exist, or the candidate could never pick them.
void checkNamedOptions(const oneChoice &q, const QString &answer, std::vector<QuestionFault> &faults)
{
    for (QChar digit : answer) {
        const int slot = digit.unicode() - u'1';
        if (q.getOption(slot).isEmpty())
            faults.push_back({ QuestionFault::Kind::AnswerOptionEmpty, letterOf(slot) });
    }
}

bool allDigitsOneToSix(const QString &answer)
{
    for (QChar c : answer) {
        if (c < u'1' || c > u'6')
            return false;
    }
    return true;
}

} // namespace

QString QuestionFault::message() const
{
    switch (kind) {
    case Kind::QuestionEmpty:
        return QStringLiteral("the question text is empty");
    case Kind::MarksMissing:
        return QStringLiteral("the marks are missing");
    case Kind::MarksNotNumber:
        return QStringLiteral("the marks \"%1\" are not a number greater than zero").arg(value);
    case Kind::OptionAEmpty:
        return QStringLiteral("option A is empty");
    case Kind::OptionBEmpty:
        return QStringLiteral("option B is empty");
    case Kind::KindMissing:
        return QStringLiteral("the kind code is missing");
    case Kind::KindUnknown:
        return QStringLiteral("the kind code \"%1\" is none of 9, 8, 7, 6").arg(value);
    case Kind::SingleAnswer:
        return QStringLiteral("a single-choice answer must be one digit from 1 to 6, not \"%1\"").arg(value);
    case Kind::MultipleAnswer:
        return QStringLiteral("a multiple-select answer must be digits from 1 to 6 in ascending order, not \"%1\"").arg(value);
    case Kind::TrueFalseAnswer:
        return QStringLiteral("a true-or-false answer must be 1 or 2, not \"%1\"").arg(value);
    case Kind::AnswerOptionEmpty:
        return QStringLiteral("the answer names option %1, which is empty").arg(value);
    }
    return {};
}

std::vector<QuestionFault> questionFaults(const oneChoice &q)
{
    using Kind = QuestionFault::Kind;
    std::vector<QuestionFault> faults;
    if (q.getContext().isEmpty())
        faults.push_back({ Kind::QuestionEmpty, {} });

    const QString marks = q.getPoint();
    if (marks.isEmpty())
        faults.push_back({ Kind::MarksMissing, {} });
    else if (!(pointsOf(marks) > 0))
        faults.push_back({ Kind::MarksNotNumber, marks });

    if (q.getOption(0).isEmpty())
        faults.push_back({ Kind::OptionAEmpty, {} });

    const QString kind = q.getType();
    const QString answer = q.getAnswer();
    if (kind.isEmpty()) {
        faults.push_back({ Kind::KindMissing, {} });
    } else if (!isKnownKind(kind)) {
        faults.push_back({ Kind::KindUnknown, kind });
    } else if (kind == kindSingle) {
        if (answer.size() != 1 || !allDigitsOneToSix(answer))
            faults.push_back({ Kind::SingleAnswer, answer });
        else
            checkNamedOptions(q, answer, faults);
    } else if (kind == kindMultiple) {
        bool ascending = !answer.isEmpty() && allDigitsOneToSix(answer);
        for (qsizetype i = 1; ascending && i < answer.size(); ++i)
            ascending = answer[i - 1] < answer[i];
        if (!ascending)
            faults.push_back({ Kind::MultipleAnswer, answer });
        else
            checkNamedOptions(q, answer, faults);
    } else if (kind == kindTrueFalse) {
        if (answer != u"1" && answer != u"2")
            faults.push_back({ Kind::TrueFalseAnswer, answer });
        if (q.getOption(1).isEmpty())
            faults.push_back({ Kind::OptionBEmpty, {} });
    }
    return faults;
}

QStringList questionProblems(const oneChoice &q)
{
    QStringList problems;
    for (const QuestionFault &f : questionFaults(q))
        problems << f.message();
    return problems;
}

QStringList headerProblems(const QString &plainHeader)
{
    QStringList problems;
    const int fields = int(LineFields(plainHeader).count());
    if (fields != fieldsOfHeader) {
        problems << QStringLiteral("the header has %1 fields instead of six").arg(fields);
        return problems;
    }
    const Header h = readHeader(plainHeader);
    if (!isWholeNumberIn(h.timeLimit, 1, std::numeric_limits<qint16>::max()))
        problems << QStringLiteral("the time limit \"%1\" is not a whole number of minutes from 1 to 32767").arg(h.timeLimit);
    if (!isWholeNumberIn(h.total, 1, std::numeric_limits<qint16>::max()))
        problems << QStringLiteral("the total \"%1\" is not a whole number from 1 to 32767").arg(h.total);
    return problems;
}

CheckResult checkPaper(const QString &path)
{
    CheckResult result;
    vbFile file;
    if (!file.OpenForRead(path)) {
        result.openError = file.getLastError();
        return result;
    }
    result.opened = true;
    auto report = [&result](int line, const QString &message) {
        result.problems.push_back({ line, message });
    };

    MarksTotal full;
    int lineNumber = 0;
    int questions = 0;
    while (!file.fEof()) {
        const QString stored = file.readLine();
        ++lineNumber;
        qsizetype bad = 0;
        const auto plain = decipherLine(stored, &bad);
        if (!plain) {
            report(lineNumber, QStringLiteral("not hexadecimal at character %1").arg(bad + 1));
            continue;
        }
        if (stored.size() % 4 != 0)
            report(lineNumber, QStringLiteral("the line has %1 digits, not a multiple of four").arg(stored.size()));
        if (lineNumber == 1) {
            for (const QString &p : headerProblems(*plain))
                report(lineNumber, p);
            continue;
        }
        ++questions;
        if (questions == maxQuestions + 1)
            report(lineNumber, QStringLiteral("a paper holds at most %1 questions").arg(maxQuestions));

        oneChoice q;
        q.init(*plain);
        const LineFields lineFields(*plain);
        const int fields = int(lineFields.count());
        if (fields > maxQuestionFields)
            report(lineNumber, QStringLiteral("the line has %1 fields, more than eleven: is there a \"^\" inside a text?").arg(fields));
        else if (fields < fixedQuestionFields)
            report(lineNumber, QStringLiteral("the line has %1 fields, fewer than five").arg(fields));
        // The record reads an out-of-range image id as 0, so look at the field itself.
        const auto image = numbers::roundHalfEven(numbers::leadingNumber(lineFields.at(1)));
        if (!image || *image < 0 || *image > std::numeric_limits<qint16>::max())
            report(lineNumber, QStringLiteral("the image id is not a whole number from 0 to 32767"));
        for (const QString &p : questionProblems(q))
            report(lineNumber, p);
        addFullMarks(full, q, q.getPoint());
    }
    file.closeFile();

    if (lineNumber == 0)
        report(0, QStringLiteral("the file is empty: there is no header"));
    else if (questions == 0)
        report(0, QStringLiteral("the paper has no questions"));
    const auto fullValue = full.value();
    if (!fullValue || *fullValue > std::numeric_limits<qint16>::max())
        report(0, QStringLiteral("the full marks exceed 32767, more than the test-taking program can count"));
    return result;
}

} // namespace paper
