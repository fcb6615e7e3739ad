// The day's report: results stored in groups with one durable write, then confirmed.
#pragma once

#include "centrum/dayfilewriter.h"
#include "report/answerfile.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

namespace centrum {

class CandidateLinks;
class ServiceLog;

// A result is confirmed to its candidate only once it is on disk. Results received within the
// grouping time of the first of them share one sync of the report file instead of one each;
// none waits longer than that for its confirmation.
class ResultRecorder : public QObject
{
    Q_OBJECT

public:
    ResultRecorder(CandidateLinks &links, ServiceLog &log, const QString &programFolder,
                   std::function<QDateTime()> now, std::chrono::milliseconds grouping, QObject *parent = nullptr);
    // What was received is kept, even when it can no longer be confirmed.
    ~ResultRecorder() override;

    // A result ("IP:ID:result") from the candidate at a message connection; settled, when
    // given, is told whether it was stored.
    void add(qint16 index, quint64 serial, const QString &entry, std::function<void(bool stored)> settled = {});
    // A result scored from an answer sheet: its answers go to the day's answer file, named by
    // the key of the report entry, and both are on disk before the candidate is confirmed.
    // settled is told whether they were stored.
    void addSheet(qint16 index, quint64 serial, const QString &entry, report::AnswerEntry answers,
                  std::function<void(bool stored)> settled);
    // Stores the results received since the first of them with one durable write, then
    // confirms each to its candidate.
    void flush();

    QString reportPath(const QDate &day) const { return m_report.pathFor(day); }
    QString answerPath(const QDate &day) const { return m_answers.pathFor(day); }

private:
    struct PendingReport {
        qint16 index;
        quint64 serial;
        std::optional<report::AnswerEntry> answers;
        std::function<void(bool stored)> settled;
    };

    CandidateLinks &m_links;
    ServiceLog &m_log;
    std::function<QDateTime()> m_now;
    std::chrono::milliseconds m_grouping;
    DayFileWriter m_report;
    DayFileWriter m_answers;
    QList<PendingReport> m_waiting; // candidates whose results are not on disk yet
    QList<DayFileWriter::Entry> m_batch;
    QTimer m_timer;
};

} // namespace centrum
