// Question sheets: a paper's questions as comma-separated rows or plain-text blocks, read and written.
#include "tools/papertool/sheet.h"

#include "common/csv.h"
#include "paper/fieldrules.h"
#include "paper/onechoices.h"
#include "paper/papercheck.h"
#include "paper/paperformat.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <optional>

namespace sheet {

namespace {

constexpr int optionCount = oneChoice::optionCount;

QChar letterOf(int slot)
{
    return QChar(u'A' + slot);
}

// One question as a sheet gives it, before it becomes a record.
struct Draft {
    QString kind;              // the kind code; empty when the sheet's kind could not be read
    bool answerRead = true;    // false when the answer could not be read (a problem says why)
    QString answer;            // option positions as the paper keeps them
    QString text;
    std::array<QString, optionCount> options;
    QString marks;
    qint16 image = 0;
};

} // namespace

QStringList textProblems(const QString &what, const QString &text)
{
    QStringList problems;
    if (paper::holdsSeparator(text))
        problems << QStringLiteral("%1 holds \"^\", which separates the fields of a paper line").arg(what);
    for (QChar c : text) {
        if (c == u'\n' || c == u'\r') {
            problems << QStringLiteral("%1 holds a line break; a paper line holds one line of text").arg(what);
            break;
        }
        if (c.category() == QChar::Other_Control) {
            problems << QStringLiteral("%1 holds the control character U+%2, which a paper line cannot hold")
                            .arg(what, QStringLiteral("%1").arg(c.unicode(), 4, 16, QChar(u'0')).toUpper());
            break;
        }
    }
    return problems;
}

namespace {

// Checks a draft as the authoring program checks a question and, when it passes, makes its record.
std::optional<oneChoice> take(const Draft &d, QStringList &problems)
{
    problems << textProblems(QStringLiteral("the question"), d.text);
    for (int i = 0; i < optionCount; ++i)
        problems << textProblems(QStringLiteral("option %1").arg(letterOf(i)), d.options[i]);
    // A paper line keeps the options up to the first empty one; those after it would vanish.
    int firstEmpty = 0;
    while (firstEmpty < optionCount && !d.options[firstEmpty].isEmpty())
        ++firstEmpty;
    for (int i = firstEmpty + 1; i < optionCount; ++i) {
        if (!d.options[i].isEmpty()) {
            problems << QStringLiteral("option %1 follows the empty option %2 and would be lost")
                            .arg(letterOf(i), letterOf(firstEmpty));
            break;
        }
    }
    const bool marksValid = paper::classifyMarks(d.marks) == paper::MarksText::Valid;
    if (d.marks.isEmpty())
        problems << QStringLiteral("the marks are missing");
    else if (!marksValid)
        problems << QStringLiteral("the marks \"%1\" are not a number greater than zero").arg(d.marks);

    oneChoice q;
    q.setContext(d.text);
    for (int i = 0; i < optionCount; ++i)
        q.setOption(i, d.options[i]);
    q.setImg(d.image);
    q.setAnswer(d.answer);
    // The paper's own checks, for what the sheet's reading has not reported already: a kind
    // or answer that could not be read is checked as a fill-in, which has no answer to check,
    // and marks already reported count as valid.
    const bool answerChecked = !d.kind.isEmpty() && d.answerRead;
    q.setType(answerChecked ? d.kind : paper::kindBlank);
    q.setPoint(marksValid ? d.marks.trimmed() : QStringLiteral("1"));
    problems << paper::questionProblems(q);
    if (problems.isEmpty() && !q.validateLine())
        problems << QStringLiteral("the question is incomplete");
    if (!problems.isEmpty())
        return std::nullopt;
    q.setType(d.kind);
    return q;
}

void addRow(Reading &out, int line, const Draft &d, QStringList problems)
{
    if (auto q = take(d, problems); q && problems.isEmpty()) {
        out.questions.push_back(std::move(*q));
        return;
    }
    for (const QString &p : problems)
        out.problems.push_back({ line, p });
}

// The kind cell: a name, the authoring program's Chinese name, or the paper's code.
QString kindCode(const QString &cell)
{
    const QString k = cell.toLower();
    if (k == u"single" || k == u"9" || k == u"单选")
        return paper::kindSingle;
    if (k == u"multiple" || k == u"8" || k == u"多选")
        return paper::kindMultiple;
    if (k == u"blank" || k == u"7" || k == u"填空")
        return paper::kindBlank;
    if (k == u"truefalse" || k == u"6" || k == u"判断")
        return paper::kindTrueFalse;
    return {};
}

QString kindName(const QString &code)
{
    if (code == paper::kindSingle)
        return QStringLiteral("single");
    if (code == paper::kindMultiple)
        return QStringLiteral("multiple");
    if (code == paper::kindBlank)
        return QStringLiteral("blank");
    if (code == paper::kindTrueFalse)
        return QStringLiteral("truefalse");
    return code;
}

// Letters of the correct options (blanks and commas between them allowed) as option positions in order.
std::optional<QString> digitsOfLetters(const QString &cell, bool single, QStringList &problems)
{
    QString letters = cell.toUpper();
    letters.remove(u' ');
    letters.remove(u',');
    if (letters.isEmpty()) {
        problems << QStringLiteral("the answer is missing: give the letters of the correct options, such as B or AC");
        return std::nullopt;
    }
    std::array<bool, optionCount> named {};
    for (QChar c : letters) {
        if (c < u'A' || c > u'F') {
            problems << QStringLiteral("the answer \"%1\" is not letters from A to F").arg(cell);
            return std::nullopt;
        }
        bool &seen = named[c.unicode() - u'A'];
        if (seen) {
            problems << QStringLiteral("the answer \"%1\" names option %2 twice").arg(cell, c);
            return std::nullopt;
        }
        seen = true;
    }
    if (single && letters.size() > 1) {
        problems << QStringLiteral("a single-choice answer is one letter, not \"%1\"").arg(cell);
        return std::nullopt;
    }
    QString digits;
    for (int i = 0; i < optionCount; ++i) {
        if (named[i])
            digits += QChar(u'1' + i);
    }
    return digits;
}

// A true-or-false answer: option A holds the true statement, option B the false one.
std::optional<QString> trueFalseDigit(const QString &cell, QStringList &problems)
{
    const QString a = cell.toLower();
    if (a == u"true" || a == u"t" || a == u"a" || a == u"对")
        return QStringLiteral("1");
    if (a == u"false" || a == u"f" || a == u"b" || a == u"错")
        return QStringLiteral("2");
    if (a.isEmpty())
        problems << QStringLiteral("the answer is missing: give True or False");
    else
        problems << QStringLiteral("a true-or-false answer is True or False, not \"%1\"").arg(cell);
    return std::nullopt;
}

enum Column { Kind, Question, OptionA, Answer = OptionA + optionCount, Marks, Picture, ColumnCount };

// A line break typed into a cell (Alt+Enter) becomes one space, as a question typed into the
// authoring program stays on one line; CR LF is one break.
QString oneLine(const QString &cell)
{
    static const QRegularExpression lineBreak(QStringLiteral("\\r\\n|\\r|\\n"));
    return QString(cell).replace(lineBreak, QStringLiteral(" "));
}

bool isHeaderRow(const QStringList &cells)
{
    const QString first = cells.value(Kind).trimmed().toLower();
    return first == u"kind" || first == u"类型" || first == u"题型";
}

} // namespace

Reading readCsv(QStringView text)
{
    Reading out;
    const csv::Reading rows = csv::read(text);
    bool first = true;
    for (const csv::Record &row : rows.records) {
        QStringList cells;
        for (const QString &c : row.fields)
            cells << c.trimmed();
        if (std::all_of(cells.cbegin(), cells.cend(), [](const QString &c) { return c.isEmpty(); }))
            continue;
        if (std::exchange(first, false) && isHeaderRow(cells))
            continue;

        QStringList problems;
        qsizetype used = cells.size();
        while (used > ColumnCount && cells[used - 1].isEmpty())
            --used;
        if (used > ColumnCount)
            problems << QStringLiteral("the row has %1 cells; a sheet has eleven columns: kind, question, "
                                       "A to F, answer, marks, picture").arg(used);

        Draft d;
        d.text = oneLine(cells.value(Question));
        for (int i = 0; i < optionCount; ++i)
            d.options[i] = oneLine(cells.value(OptionA + i));
        d.marks = cells.value(Marks);
        if (const auto image = paper::imageIdOf(cells.value(Picture)))
            d.image = *image;
        else
            problems << QStringLiteral("the picture \"%1\" is not a whole number from 0 to 32767").arg(cells.value(Picture));

        const QString kindCell = cells.value(Kind);
        const QString answerCell = cells.value(Answer);
        d.kind = kindCode(kindCell);
        if (kindCell.isEmpty())
            problems << QStringLiteral("the kind is missing");
        else if (d.kind.isEmpty())
            problems << QStringLiteral("the kind \"%1\" is none of single, multiple, blank, truefalse (or 9, 8, 7, 6)").arg(kindCell);

        std::optional<QString> answer;
        if (d.kind == paper::kindSingle || d.kind == paper::kindMultiple) {
            answer = digitsOfLetters(answerCell, d.kind == paper::kindSingle, problems);
        } else if (d.kind == paper::kindTrueFalse) {
            answer = trueFalseDigit(answerCell, problems);
            if (d.options[0].isEmpty() && d.options[1].isEmpty()) {
                d.options[0] = QStringLiteral("True");
                d.options[1] = QStringLiteral("False");
            }
        } else if (d.kind == paper::kindBlank) {
            if (answerCell.isEmpty())
                answer = QString();
            else
                problems << QStringLiteral("a fill-in-the-blank row keeps its expected words in options A to F; "
                                           "its answer cell must be empty, not \"%1\"").arg(answerCell);
        }
        d.answerRead = answer.has_value();
        d.answer = answer.value_or(QString());
        addRow(out, row.line, d, problems);
    }
    if (rows.unclosedQuoteLine > 0)
        out.problems.push_back({ rows.unclosedQuoteLine, QStringLiteral("a quoted cell is never closed: a \" is missing") });
    return out;
}

bool looksLikeAiken(QStringView text)
{
    static const QRegularExpression answerLine(QStringLiteral("^[ \\t]*ANSWER[ \\t]*[:：]"),
                                               QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
    return answerLine.match(text.toString()).hasMatch();
}

Reading readAiken(QStringView text, const QString &marks)
{
    static const QRegularExpression optionLine(QStringLiteral("^([A-Z])[ \\t]*[.)．）、][ \\t]*(.*)$"));
    static const QRegularExpression answerLine(QStringLiteral("^ANSWER[ \\t]*[:：](.*)$"), QRegularExpression::CaseInsensitiveOption);

    Reading out;
    if (text.startsWith(u'\uFEFF'))
        text = text.mid(1);
    const auto lines = text.split(u'\n');

    struct Block {
        int line = 0;
        Draft draft;
        int options = 0;
        bool answered = false;
        QStringList problems;
    };
    std::optional<Block> block;
    auto finish = [&]() {
        if (!block)
            return;
        if (!block->answered) {
            block->problems << QStringLiteral("the question has no \"ANSWER:\" line");
            block->draft.answerRead = false;
        }
        addRow(out, block->line, block->draft, block->problems);
        block.reset();
    };

    for (qsizetype n = 0; n < lines.size(); ++n) {
        QString line = lines[n].toString();
        if (line.endsWith(u'\r'))
            line.chop(1);
        line = line.trimmed();
        if (line.isEmpty()) {
            finish();
            continue;
        }
        if (block && block->answered)
            finish(); // a question may follow its predecessor's answer without an empty line
        if (!block) {
            block.emplace();
            block->line = int(n + 1);
            block->draft.kind = paper::kindSingle;
            block->draft.marks = marks;
            block->draft.text = line;
            continue;
        }
        Block &b = *block;
        if (const auto m = answerLine.match(line); m.hasMatch()) {
            b.answered = true;
            const QString letter = m.captured(1).trimmed().toUpper();
            if (letter.size() == 1 && letter[0] >= u'A' && letter[0] <= u'F') {
                b.draft.answer = QString(QChar(letter[0].unicode() - u'A' + u'1'));
            } else {
                b.problems << QStringLiteral("the answer \"%1\" is not one letter from A to F").arg(letter);
                b.draft.answerRead = false;
            }
        } else if (const auto o = optionLine.match(line); o.hasMatch()) {
            const int slot = o.captured(1)[0].unicode() - u'A';
            if (slot >= optionCount) {
                b.problems << QStringLiteral("option %1: a question holds options A to F").arg(o.captured(1));
            } else if (slot != b.options) {
                b.problems << QStringLiteral("option %1 comes where option %2 belongs").arg(o.captured(1), letterOf(b.options));
            } else {
                b.draft.options[slot] = o.captured(2).trimmed();
                ++b.options;
            }
        } else if (b.options == 0) {
            const QString runsOver = QStringLiteral("the question runs over more than one line; a paper line holds one line of text");
            if (!b.problems.contains(runsOver))
                b.problems << runsOver;
        } else {
            b.problems << QStringLiteral("line %1 is neither an option such as \"C. ...\" nor \"ANSWER: ...\"").arg(n + 1);
        }
    }
    finish();
    return out;
}

QString writeCsv(const oneChoices &paper)
{
    QString out = csv::record(columns);
    for (int k = 1; k <= paper.getCount(); ++k) {
        const oneChoice *q = paper.getOne(k);
        const QString kind = q->getType();
        QString answer = q->getAnswer();
        if (kind == paper::kindBlank) {
            answer.clear(); // a fill-in's answer field carries no meaning
        } else if (kind == paper::kindTrueFalse && (answer == u"1" || answer == u"2")) {
            answer = answer == u"1" ? QStringLiteral("True") : QStringLiteral("False");
        } else if (kind == paper::kindSingle || kind == paper::kindMultiple) {
            for (QChar &c : answer) {
                if (c >= u'1' && c <= u'6')
                    c = QChar(c.unicode() - u'1' + u'A');
            }
        }
        QStringList row = { kindName(kind), q->getContext() };
        for (int i = 0; i < optionCount; ++i)
            row << q->getOption(i);
        row << answer << q->getPoint() << (q->getImg() != 0 ? QString::number(q->getImg()) : QString());
        out += csv::record(row);
    }
    return out;
}

} // namespace sheet
