// A paper read once at service start, from which each candidate gets a copy in an order of its own.
#include "centrum/shuffledpaper.h"

#include "centrum/securepaper.h"
#include "centrum/texts.h"
#include "paper/linefields.h"
#include "paper/onechoice.h"
#include "paper/papercheck.h"
#include "paper/paperformat.h"

#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>

namespace centrum {

namespace {

constexpr int fixedFields = 5;
constexpr int maxFields = fixedFields + oneChoice::optionCount;


template <typename T> void shuffle(T *items, int count, const RandomSource &random)
{
    for (int i = count - 1; i > 0; --i)
        std::swap(items[i], items[random(quint32(i + 1))]);
}

// A copy's draws, in the order every copy takes them: first the questions' order, then, place
// by place, the order of each moved question's options. A copy and its order alone must take
// the same numbers in the same turn, or a secure sheet would be scored against another order.
std::vector<int> drawQuestions(int count, const RandomSource &random)
{
    std::vector<int> order(static_cast<size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    shuffle(order.data(), count, random);
    return order;
}

using Shown = std::array<int, oneChoice::optionCount>; // shown[new place] = old place

Shown drawOptions(qsizetype count, const RandomSource &random)
{
    Shown shown {};
    std::iota(shown.begin(), shown.begin() + count, 0);
    shuffle(shown.data(), int(count), random);
    return shown;
}

} // namespace

QString questionFaultText(const paper::QuestionFault &fault, const CmultiLanguage &texts)
{
    using Kind = paper::QuestionFault::Kind;
    text::Id id = text::QuestionTextEmpty;
    switch (fault.kind) {
    case Kind::QuestionEmpty: id = text::QuestionTextEmpty; break;
    case Kind::MarksMissing: id = text::QuestionMarksMissing; break;
    case Kind::MarksNotNumber: id = text::QuestionMarksNotNumber; break;
    case Kind::OptionAEmpty: id = text::QuestionOptionAEmpty; break;
    case Kind::OptionBEmpty: id = text::QuestionOptionBEmpty; break;
    case Kind::KindMissing: id = text::QuestionKindMissing; break;
    case Kind::KindUnknown: id = text::QuestionKindUnknown; break;
    case Kind::SingleAnswer: id = text::SingleAnswerForm; break;
    case Kind::MultipleAnswer: id = text::MultipleAnswerForm; break;
    case Kind::TrueFalseAnswer: id = text::TrueFalseAnswerForm; break;
    case Kind::AnswerOptionEmpty: id = text::AnswerNamesEmptyOption; break;
    }
    const QString wording = texts.getRes(id);
    return wording.contains(u"%1") ? wording.arg(fault.value) : wording;
}

RandomSource keyedOrder(const QByteArray &key, const QString &id)
{
    const QByteArray digest = QMessageAuthenticationCode::hash(id.toUtf8(), key, QCryptographicHash::Sha256);
    std::array<quint32, 8> seed {};
    std::memcpy(seed.data(), digest.constData(), std::min(sizeof(seed), size_t(digest.size())));
    auto generator = std::make_shared<QRandomGenerator>(seed.data(), qsizetype(seed.size()));
    return [generator](quint32 bound) { return generator->bounded(bound); };
}

std::shared_ptr<const ShuffledPaper> ShuffledPaper::parse(const QByteArray &file, const CmultiLanguage &texts,
                                                          QString *why, Answers answers)
{
    auto paper = std::make_shared<ShuffledPaper>();
    paper->m_size = file.size();
    paper->m_answersRemoved = answers == Answers::Removed;
    auto refuse = [&texts, why](int line, const QString &fault) {
        if (why)
            *why = texts.getRes(text::AtLine).arg(line).arg(fault);
        return nullptr;
    };

    int lineNumber = 0;
    qsizetype from = 0;
    while (from < file.size()) {
        const qsizetype newline = file.indexOf('\n', from);
        qsizetype end = newline < 0 ? file.size() : newline;
        const qsizetype next = newline < 0 ? file.size() : newline + 1;
        if (end > from && file[end - 1] == '\r')
            --end;
        const QByteArray stored = file.mid(from, end - from);
        paper->m_lineEnds.push_back(file.mid(end, next - end));
        from = next;
        ++lineNumber;

        qsizetype bad = 0;
        const std::optional<QString> plain = paper::decipherLine(QByteArrayView(stored), &bad);
        if (!plain)
            return refuse(lineNumber, texts.getRes(text::NotHexadecimal).arg(bad + 1));
        if (lineNumber == 1) {
            paper->m_header = stored;
            continue;
        }
        Question &q = paper->m_questions.emplace_back();
        q.stored = paper->m_answersRemoved ? paper::encipherLine(answerlessLine(*plain)).toLatin1() : stored;
        oneChoice record;
        record.init(*plain);
        if (record.getType() != paper::kindSingle && record.getType() != paper::kindMultiple)
            continue;

        // What the checks refuse could not be remapped with certainty.
        const std::vector<paper::QuestionFault> faults = paper::questionFaults(record);
        if (!faults.empty())
            return refuse(lineNumber, questionFaultText(faults.front(), texts));
        // A copy is as long as the file only when each line is enciphered as it is written.
        if (stored.size() != plain->size() * 4)
            return refuse(lineNumber, texts.getRes(text::DigitCount).arg(stored.size()));
        const QStringList fields = paper::LineFields(*plain).toList();
        if (fields.size() > maxFields)
            return refuse(lineNumber, texts.getRes(text::FieldCount).arg(fields.size()));
        q.answer = record.getAnswer();
        if (!fields[2].endsWith(q.answer))
            return refuse(lineNumber, texts.getRes(text::AnswerFieldExtra).arg(fields[2]));
        int run = 0;
        while (fixedFields + run < fields.size() && !record.getOption(run).isEmpty())
            ++run;
        for (QChar digit : std::as_const(q.answer)) {
            if (digit.unicode() - u'0' > run)
                return refuse(lineNumber, texts.getRes(text::AnswerAfterEmpty));
        }
        if (run < 2)
            continue; // nothing to reorder
        const QChar sep = paper::fieldSeparator;
        q.head = fields[0] + sep + fields[1] + sep
               + (paper->m_answersRemoved ? QString() : fields[2].chopped(q.answer.size()));
        q.middle = sep + fields[3] + sep + fields[4];
        q.options = fields.mid(fixedFields, run);
        for (qsizetype i = fixedFields + run; i < fields.size(); ++i)
            q.tail += sep + fields[i];
    }
    if (lineNumber == 0)
        return refuse(1, texts.getRes(text::PaperFileEmpty));
    return paper;
}

ShuffledPaper::Order ShuffledPaper::orderFor(const RandomSource &random) const
{
    Order drawn;
    drawn.question = drawQuestions(questionCount(), random);
    drawn.option.resize(drawn.question.size());
    for (size_t place = 0; place < drawn.question.size(); ++place) {
        const Question &q = m_questions[size_t(drawn.question[place])];
        if (!q.options.isEmpty()) {
            const Shown shown = drawOptions(q.options.size(), random);
            drawn.option[place].assign(shown.begin(), shown.begin() + q.options.size());
        }
    }
    return drawn;
}

QByteArray ShuffledPaper::copyFor(const RandomSource &random, QByteArrayView header) const
{
    QByteArray out;
    out.reserve(m_size);
    out += header.isNull() ? QByteArrayView(m_header) : header;
    out += m_lineEnds[0];

    const int count = questionCount();
    const std::vector<int> order = drawQuestions(count, random);
    for (int place = 0; place < count; ++place) {
        const Question &q = m_questions[size_t(order[size_t(place)])];
        if (q.options.isEmpty()) {
            out += q.stored;
        } else {
            const int n = int(q.options.size());
            const Shown shown = drawOptions(n, random);
            Shown placeOf;
            for (int i = 0; i < n; ++i)
                placeOf[size_t(shown[size_t(i)])] = i;
            // The answer's digits name the options' new places, ascending.
            QVarLengthArray<char16_t, oneChoice::optionCount> answer(q.answer.size());
            for (qsizetype i = 0; i < answer.size(); ++i)
                answer[i] = char16_t(u'1' + placeOf[size_t(q.answer[i].unicode() - u'1')]);
            std::sort(answer.begin(), answer.end());

            // Enciphered in its parts, straight into the copy: no plain line is put together.
            paper::EncipheredLine line(out);
            line << q.head;
            if (!m_answersRemoved)
                line << QStringView(answer.data(), answer.size());
            line << q.middle;
            const char16_t separator = paper::fieldSeparator.unicode();
            for (int i = 0; i < n; ++i)
                line << QStringView(&separator, 1) << q.options[shown[size_t(i)]];
            line << q.tail;
        }
        out += m_lineEnds[size_t(place) + 1];
    }
    return out;
}

} // namespace centrum
