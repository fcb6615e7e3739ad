// A paper read once at service start, from which each candidate gets a copy in an order of its own.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class CmultiLanguage;

namespace paper {
struct QuestionFault;
}

namespace centrum {

// What the paper check found wrong with a question, worded in the language of texts.
QString questionFaultText(const paper::QuestionFault &fault, const CmultiLanguage &texts);

// A whole number from 0 to bound - 1, for a bound of at least 1.
using RandomSource = std::function<quint32(quint32 bound)>;

// The numbers that order one candidate's copy: always the same for the same key and ID, and
// not to be foretold from the ID without the key.
RandomSource keyedOrder(const QByteArray &key, const QString &id);

// The questions of a paper, and the options of its single-choice and multiple-select
// questions, put in a fresh order for each copy, every answer following its options. The
// header stays the first line; fill-in and true-or-false questions keep their options' order.
// Only the order of lines and of options changes, so a copy is exactly as long as the file.
class ShuffledPaper
{
public:
    enum class Answers { Kept, Removed };

    // The file's bytes; nothing, with why naming the line and its fault (in the language of
    // texts), when a line does not decipher or a choice question could not be reordered
    // without changing its meaning. With the answers removed, every copy's questions are
    // those of answerlessLine, drawn in the same order as with them kept.
    static std::shared_ptr<const ShuffledPaper> parse(const QByteArray &file, const CmultiLanguage &texts,
                                                      QString *why = nullptr, Answers answers = Answers::Kept);

    // The order a copy was drawn in, by place in the copy (from 0).
    struct Order {
        std::vector<int> question;            // the question's own place in the paper
        std::vector<std::vector<int>> option; // the option's own place, by place shown; empty when unmoved
    };

    // A copy; with header given, that stored line stands in the place of the paper's own.
    QByteArray copyFor(const RandomSource &random, QByteArrayView header = {}) const;
    // The order copyFor draws from the same numbers, without making the copy.
    Order orderFor(const RandomSource &random) const;
    qsizetype size() const { return m_size; }
    int questionCount() const { return int(m_questions.size()); }

private:
    struct Question {
        QByteArray stored; // as the file holds it; sent as it is when its options keep their order
        // A choice question's plain line in pieces; no options when they keep their order.
        QString head;      // text, image id and the blanks before the answer, each with its "^"
        QString answer;    // option positions from 1, ascending
        QString middle;    // "^" marks "^" kind
        QStringList options; // the run of options from A, up to the first empty one
        QString tail;      // any fields after that run, each with its "^"
    };

    QByteArray m_header;
    bool m_answersRemoved = false;
    std::vector<QByteArray> m_lineEnds; // the end of the line at each place, the header's first
    std::vector<Question> m_questions;
    qsizetype m_size = 0;
};

} // namespace centrum
