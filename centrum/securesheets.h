// Secure mode's results: answer sheets checked against the copies issued, scored, and stored with their answers.
#pragma once

#include "centrum/classfile.h"

#include <QHash>
#include <QList>
#include <QString>

#include <functional>

#include <memory>
#include <optional>

namespace centrum {

class CandidateLinks;
class ResultRecorder;
class SecurePaper;
class ServiceLog;

// While secure mode is on, a result is taken only as an answer sheet from a copy this server
// issued to the ID that hands it in, once per ID and paper in a day (unless the examiner
// allows the ID again). The sheet is scored here and stored as an ordinary report entry, its
// answers beside it; anything else is refused, logged with why and where from, and its
// connection closed without a confirmation.
class SecureSheets
{
public:
    SecureSheets(CandidateLinks &links, ResultRecorder &recorder, ServiceLog &log);
    ~SecureSheets();

    // Takes the run's papers (those made for secure mode) and the results already stored in
    // the day's answer and report files; false, with why set, when those cannot be read, and
    // then what was taken before stays.
    bool start(const QList<ClassFile> &papers, const QString &answerFile, const QString &reportFile, QString *why);
    // Results are taken as they come again.
    void stop();
    bool isOn() const { return !m_papers.isEmpty(); }

    // A report on a message connection: false when it was refused (and the connection closed).
    // The same sheet again, once stored, is confirmed again and not stored twice: its client
    // did not see the first confirmation. A sheet taken is told to stored, with the
    // enciphered result text it was stored as, once it is on disk.
    bool receive(qint16 index, quint64 serial, const QString &address, const QString &id, const QString &result,
                 std::function<void(const QString &resultText)> stored = {});
    // The ID may hand in a sheet again, for any paper; false when it had no result.
    bool allowAgain(const QString &id);
    int refusedCount() const { return m_refused; }

    // What a sheet is big enough to arrive in several reads from: it is taken only once the
    // connection has been quiet, so that a piece is never scored as the whole.
    static constexpr qsizetype wholeInOneRead = 1200;

private:
    void refuse(qint16 index, quint64 serial, const QString &address, const QString &id, const QString &why);

    CandidateLinks &m_links;
    ResultRecorder &m_recorder;
    ServiceLog &m_log;
    QHash<QString, std::shared_ptr<const SecurePaper>> m_papers; // by the name announced
    // A result stored or being stored, by ID and paper.
    struct Result {
        QString answers; // the seconds and the answers in the paper's order, to know the same sheet again
        bool stored = false;
    };
    QHash<QString, Result> m_results;
    int m_refused = 0;
};

} // namespace centrum
