// A paper as secure mode serves it: each candidate's copy without answers and named by a token, the answers scored here.
#include "centrum/securepaper.h"

#include "centrum/texts.h"
#include "common/multilanguage.h"
#include "paper/answersheet.h"
#include "paper/linefields.h"
#include "paper/onechoice.h"
#include "paper/paperformat.h"
#include "paper/scoring.h"

#include <algorithm>
#include <numeric>

namespace centrum {

namespace {

constexpr int optionField = 5; // options A to F are fields 6 to 11

// A choice answer of the copy in the paper's own option places. Only an answer of the form a
// right one has (ascending places that exist) is mapped: any other earns nothing on the copy,
// and left as it is it earns nothing on the paper either.
QString answerInPaper(const QString &answer, const std::vector<int> &ownPlace)
{
    const int n = int(ownPlace.size());
    for (qsizetype i = 0; i < answer.size(); ++i) {
        const int place = answer[i].unicode() - u'1';
        if (place < 0 || place >= n || (i > 0 && answer[i] <= answer[i - 1]))
            return answer;
    }
    QString mapped = answer;
    for (QChar &digit : mapped)
        digit = QChar(u'1' + ownPlace[size_t(digit.unicode() - u'1')]);
    std::sort(mapped.begin(), mapped.end());
    return mapped;
}

} // namespace

QString answerlessLine(const QString &plainQuestionLine)
{
    const paper::LineFields fields(plainQuestionLine);
    if (fields.count() < 3)
        return plainQuestionLine;
    oneChoice record;
    record.init(plainQuestionLine);
    const bool blank = record.getType() == paper::kindBlank;
    QString out;
    out.reserve(plainQuestionLine.size());
    for (qsizetype i = 0; i < fields.count(); ++i) {
        if (i > 0)
            out += paper::fieldSeparator;
        const qsizetype option = i - optionField;
        if (i == 2)
            continue;
        if (blank && option >= 0 && option < oneChoice::optionCount && !record.getOption(int(option)).isEmpty())
            out += u'_';
        else
            out += fields.at(i);
    }
    return out;
}

std::shared_ptr<const SecurePaper> SecurePaper::parse(const QByteArray &file, const QString &name,
                                                      const ServerSecret &secret, const QByteArray &shuffleKey,
                                                      bool shuffle, const CmultiLanguage &texts, QString *why)
{
    auto paper = std::make_shared<SecurePaper>();
    paper->m_name = name;
    paper->m_secret = secret;
    auto refuse = [&texts, why](int line, const QString &fault) {
        if (why)
            *why = texts.getRes(text::AtLine).arg(line).arg(fault);
        return nullptr;
    };
    int lineNumber = 0;
    for (qsizetype from = 0; from < file.size();) {
        const qsizetype newline = file.indexOf('\n', from);
        qsizetype end = newline < 0 ? file.size() : newline;
        const qsizetype next = newline < 0 ? file.size() : newline + 1;
        if (end > from && file[end - 1] == '\r')
            --end;
        const QByteArrayView lineEnd = QByteArrayView(file).sliced(end, next - end);
        qsizetype bad = 0;
        const std::optional<QString> plain = paper::decipherLine(QByteArrayView(file).sliced(from, end - from), &bad);
        from = next;
        ++lineNumber;
        if (!plain)
            return refuse(lineNumber, texts.getRes(text::NotHexadecimal).arg(bad + 1));
        if (lineNumber == 1) {
            const qsizetype caret = plain->indexOf(paper::fieldSeparator);
            paper->m_headerRest = caret < 0 ? QString() : plain->mid(caret);
            paper->m_headerEnd = lineEnd.toByteArray();
            continue;
        }
        paper->m_questions.emplace_back().init(*plain);
        paper->m_body += paper::encipherLine(answerlessLine(*plain)).toLatin1();
        paper->m_body += lineEnd;
    }
    if (lineNumber == 0)
        return refuse(1, texts.getRes(text::PaperFileEmpty));
    if (shuffle) {
        paper->m_shuffled = ShuffledPaper::parse(file, texts, why, ShuffledPaper::Answers::Removed);
        if (!paper->m_shuffled)
            return nullptr;
        paper->m_shuffleKey = shuffleKey;
    }
    // Every token has the same number of digits, and a new order only moves lines and options.
    paper->m_size = paper->copyFor(QString()).size();
    return paper;
}

QString SecurePaper::tokenFor(const QString &id) const
{
    const QByteArray paperName = m_name.toUtf8();
    // The name's length first, so that no name and ID run into each other ambiguously.
    const QByteArray data = QByteArray::number(paperName.size()) + ':' + paperName + id.toUtf8();
    return paper::tokenFromMac(m_secret->derive("answer sheet token", data));
}

QByteArray SecurePaper::header(const QString &id) const
{
    return paper::encipherLine(tokenFor(id) + m_headerRest).toLatin1();
}

QByteArray SecurePaper::copyFor(const QString &id) const
{
    const Parts parts = partsFor(id);
    return parts.head + parts.rest;
}

SecurePaper::Parts SecurePaper::partsFor(const QString &id) const
{
    if (m_shuffled)
        return { {}, m_shuffled->copyFor(keyedOrder(m_shuffleKey, id), header(id)) };
    return { header(id) + m_headerEnd, m_body };
}

ShuffledPaper::Order SecurePaper::orderFor(const QString &id) const
{
    if (m_shuffled)
        return m_shuffled->orderFor(keyedOrder(m_shuffleKey, id));
    ShuffledPaper::Order order;
    order.question.resize(m_questions.size());
    std::iota(order.question.begin(), order.question.end(), 0);
    order.option.resize(m_questions.size());
    return order;
}

SecurePaper::Marked SecurePaper::mark(const QString &id, const QStringList &answers) const
{
    const ShuffledPaper::Order order = orderFor(id);
    const int count = questionCount();
    Marked marked;
    marked.answers = QStringList(count);
    for (int place = 0; place < count; ++place) {
        const QString answer = place < answers.size() ? answers[place] : QString();
        const std::vector<int> &options = order.option[size_t(place)];
        marked.answers[order.question[size_t(place)]] = options.empty() ? answer : answerInPaper(answer, options);
    }
    paper::MarksTotal total;
    marked.points.reserve(count);
    for (int k = 0; k < count; ++k) {
        const oneChoice &q = m_questions[size_t(k)];
        const QString &answer = marked.answers[k];
        paper::addScore(total, q, q.getAnswer(), q.getPoint(), answer);
        // What the question earned before the total rounds it, for a later look at each question.
        int hits = 0;
        if (q.getType() != paper::kindBlank)
            hits = answer == q.getAnswer() ? 1 : 0;
        else {
            for (int b = 0; b < oneChoice::optionCount; ++b)
                hits += !q.getOption(b).isEmpty() && answer.contains(q.getOption(b)) ? 1 : 0;
        }
        marked.points.append(hits * paper::pointsOf(q.getPoint()));
    }
    // As the test program does, a total past what it can count reads as 0.
    marked.score = total.value().value_or(0);
    return marked;
}

} // namespace centrum
