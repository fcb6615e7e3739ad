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
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace centrum {

class CandidateLinks;
class ServiceLog;

// A result is confirmed to its candidate only once it is on disk. Results received within the
// grouping time of the first of them share one sync of the report file instead of one each;
// none waits longer than that for its confirmation (and the write before it). The writes are
// made on a thread of their own: the sync waits on the disk, and the room's logins and papers
// go on meanwhile. One write is under way at a time, so entries reach the files in order.
class ResultRecorder : public QObject
{
    Q_OBJECT

public:
    ResultRecorder(CandidateLinks &links, ServiceLog &log, const QString &programFolder,
                   std::function<QDateTime()> now, std::chrono::milliseconds grouping,
                   std::function<void()> beforeWrite = {}, QObject *parent = nullptr);
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
    // Stores every result received with one durable write, here and now (after the write
    // under way, if any), then confirms each to its candidate.
    void flush();

    // The files of a day; neither is looked at.
    QString reportPath(const QDate &day) const;
    QString answerPath(const QDate &day) const;

private:
    struct PendingReport {
        qint16 index;
        quint64 serial;
        std::optional<report::AnswerEntry> answers;
        std::function<void(bool stored)> settled;
    };

    struct Outcome {
        bool stored = false;
        QString why;
        QList<DayFileWriter::Entry> spent; // the batch's list, for the next batch to fill
    };
    // A batch taken from those received, its answers keyed to their report entries: what one
    // write stores. Only while no write is under way (the keys come from the report's writer).
    struct Batch {
        QList<DayFileWriter::Entry> report;
        QList<DayFileWriter::Entry> answers;
    };
    Batch takeBatch();
    Outcome store(Batch batch);
    // The grouping time is up: the batch goes to the writing thread, or waits for the write
    // under way.
    void writeInBackground();
    // On the server's thread once the writing thread has stored a batch.
    void written();
    // Waits for the write under way, if any, and confirms its results.
    void settle();
    // Confirms each result written, then keeps the lists' room for the next batch: a room's
    // results come in batches all day.
    void confirm(QList<PendingReport> waiting, Outcome outcome);
    void writerLoop();

    CandidateLinks &m_links;
    ServiceLog &m_log;
    std::function<QDateTime()> m_now;
    std::chrono::milliseconds m_grouping;
    std::function<void()> m_beforeWrite; // on the writing thread
    DayFileWriter m_report;
    DayFileWriter m_answers;
    QList<PendingReport> m_waiting; // candidates whose results are not on disk yet
    QList<DayFileWriter::Entry> m_batch;
    QTimer m_timer;
    QString m_folder;

    // The server's thread only: the results of the write under way.
    bool m_writing = false;
    QList<PendingReport> m_inFlight;

    // Shared with the writing thread, which is started at the first write it makes.
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::optional<Batch> m_job;
    std::optional<Outcome> m_outcome;
    bool m_quit = false;
    std::thread m_writer;
};

} // namespace centrum
