// A paper as secure mode serves it: each candidate's copy without answers and named by a token, the answers scored here.
#pragma once

#include "centrum/serversecret.h"
#include "centrum/shuffledpaper.h"
#include "paper/onechoice.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class CmultiLanguage;

namespace centrum {

// A plain question line with its answer field emptied and each expected word of a fill-in
// question replaced by "_", so the test program still shows as many blanks. Every other field
// stays as it was.
QString answerlessLine(const QString &plainQuestionLine);

// A copy's header carries the candidate's token where the paper has a random number no reader
// uses; the token is the same for the same secret, ID and paper name, so a copy fetched again,
// also after a restart, is the same copy, and a sheet handed in proves which copy it came from.
// Every copy has the same length, so it can be announced before the candidate is known.
class SecurePaper
{
public:
    // The file's bytes and its name as announced; nothing, with why naming the line and its
    // fault (in the language of texts), when a line does not decipher or, shuffled, a choice
    // question could not be reordered without changing its meaning.
    static std::shared_ptr<const SecurePaper> parse(const QByteArray &file, const QString &name,
                                                    const ServerSecret &secret, const QByteArray &shuffleKey,
                                                    bool shuffle, const CmultiLanguage &texts, QString *why = nullptr);

    const QString &name() const { return m_name; }
    qsizetype size() const { return m_size; }
    int questionCount() const { return int(m_questions.size()); }

    QString tokenFor(const QString &id) const;
    QByteArray copyFor(const QString &id) const;
    // The same copy as two runs of bytes sent one after the other: unshuffled, the candidate's
    // own header line and the one body every copy shares (not copied for each candidate);
    // shuffled, no head and the whole copy, every line of it the candidate's own.
    struct Parts {
        QByteArray head;
        QByteArray rest;
    };
    Parts partsFor(const QString &id) const;

    // What a sheet earns, with its answers in the paper's own order.
    struct Marked {
        qint64 score = 0;
        QStringList answers;
        QList<double> points; // earned on each question, before the total's rounding
    };
    // answers: one per question in the order of id's copy; missing ones count as empty.
    Marked mark(const QString &id, const QStringList &answers) const;

private:
    QByteArray header(const QString &id) const;
    ShuffledPaper::Order orderFor(const QString &id) const;

    QString m_name;
    std::optional<ServerSecret> m_secret;
    QString m_headerRest;    // the plain header after its first field, "^" included
    QByteArray m_headerEnd;  // the header's line end
    QByteArray m_body;       // the question lines without answers, unshuffled
    std::shared_ptr<const ShuffledPaper> m_shuffled; // without answers; none when not shuffled
    QByteArray m_shuffleKey;
    std::vector<oneChoice> m_questions; // as the paper on disk has them, answers included
    qsizetype m_size = 0;
};

} // namespace centrum
