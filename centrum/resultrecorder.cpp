// The day's report: results stored in groups with one durable write, then confirmed.
#include "centrum/resultrecorder.h"

#include "centrum/candidatelinks.h"
#include "centrum/servicelog.h"
#include "wire/wiretags.h"

#include <QDir>

#include <utility>

namespace centrum {

namespace {

const QString reportSuffix = QStringLiteral(".rpt");
const QString answerSuffix = QStringLiteral(".ans");

} // namespace

ResultRecorder::ResultRecorder(CandidateLinks &links, ServiceLog &log, const QString &programFolder,
                               std::function<QDateTime()> now, std::chrono::milliseconds grouping,
                               std::function<void()> beforeWrite, QObject *parent)
    : QObject(parent),
      m_links(links),
      m_log(log),
      m_now(std::move(now)),
      m_grouping(grouping),
      m_beforeWrite(std::move(beforeWrite)),
      m_report(programFolder, reportSuffix, DayFileWriter::Mode::Durable),
      m_answers(programFolder, answerSuffix, DayFileWriter::Mode::Durable),
      m_folder(programFolder)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &ResultRecorder::writeInBackground);
}

ResultRecorder::~ResultRecorder()
{
    // What was received is kept; those waiting to hear of it may be gone already.
    for (PendingReport &p : m_inFlight)
        p.settled = nullptr;
    for (PendingReport &p : m_waiting)
        p.settled = nullptr;
    flush();
    if (m_writer.joinable()) {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_quit = true;
        }
        m_wake.notify_all();
        m_writer.join();
    }
}

QString ResultRecorder::reportPath(const QDate &day) const
{
    return QDir(m_folder).filePath(dayName(day) + reportSuffix);
}

QString ResultRecorder::answerPath(const QDate &day) const
{
    return QDir(m_folder).filePath(dayName(day) + answerSuffix);
}

void ResultRecorder::add(qint16 index, quint64 serial, const QString &entry, std::function<void(bool stored)> settled)
{
    // A room submitting at once shares one sync of the report file instead of one each.
    if (m_batch.isEmpty())
        m_timer.start(m_grouping);
    m_batch.append({ m_now(), entry, {} });
    m_waiting.append({ index, serial, std::nullopt, std::move(settled) });
}

void ResultRecorder::addSheet(qint16 index, quint64 serial, const QString &entry, report::AnswerEntry answers,
                              std::function<void(bool stored)> settled)
{
    add(index, serial, entry, std::move(settled));
    m_waiting.last().answers = std::move(answers);
}

ResultRecorder::Batch ResultRecorder::takeBatch()
{
    Batch batch { std::exchange(m_batch, {}), {} };
    // The answers first, each naming the key its report entry will take: a report entry never
    // stands without its answers, and answers whose report could not be written name no entry.
    for (qsizetype i = 0; i < m_waiting.size(); ++i) {
        if (!m_waiting[i].answers)
            continue;
        batch.report[i].key = m_report.reserveKey(batch.report[i].when);
        m_waiting[i].answers->reportKey = batch.report[i].key;
        batch.answers.append({ batch.report[i].when, report::formatAnswerEntry(*m_waiting[i].answers), {} });
    }
    return batch;
}

ResultRecorder::Outcome ResultRecorder::store(Batch batch)
{
    Outcome outcome;
    outcome.stored = (batch.answers.isEmpty() || m_answers.write(batch.answers, &outcome.why))
        && m_report.write(batch.report, &outcome.why);
    outcome.spent = std::move(batch.report);
    return outcome;
}

void ResultRecorder::flush()
{
    m_timer.stop();
    settle();
    if (m_batch.isEmpty())
        return;
    Batch batch = takeBatch();
    QList<PendingReport> waiting = std::exchange(m_waiting, {});
    confirm(std::move(waiting), store(std::move(batch)));
}

void ResultRecorder::writeInBackground()
{
    if (m_writing || m_batch.isEmpty())
        return; // the write under way takes this batch up when it is done
    Batch batch = takeBatch();
    m_inFlight = std::exchange(m_waiting, {});
    m_writing = true;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_job = std::move(batch);
        if (!m_writer.joinable())
            m_writer = std::thread([this] { writerLoop(); });
    }
    m_wake.notify_all();
}

void ResultRecorder::writerLoop()
{
    std::unique_lock<std::mutex> hold(m_lock);
    for (;;) {
        m_wake.wait(hold, [this] { return m_quit || m_job; });
        if (!m_job)
            return;
        Batch batch = std::move(*m_job);
        m_job.reset();
        hold.unlock();
        if (m_beforeWrite)
            m_beforeWrite();
        Outcome outcome = store(std::move(batch));
        hold.lock();
        m_outcome = std::move(outcome);
        m_wake.notify_all();
        // The destructor joins this thread before the object goes, and a call still posted goes with it.
        QMetaObject::invokeMethod(this, &ResultRecorder::written, Qt::QueuedConnection);
    }
}

void ResultRecorder::settle()
{
    if (!m_writing)
        return;
    Outcome outcome;
    {
        std::unique_lock<std::mutex> hold(m_lock);
        m_wake.wait(hold, [this] { return m_outcome.has_value(); });
        outcome = std::move(*m_outcome);
        m_outcome.reset();
    }
    m_writing = false;
    confirm(std::exchange(m_inFlight, {}), std::move(outcome));
}

void ResultRecorder::written()
{
    if (!m_writing)
        return; // settled already, by a flush
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (!m_outcome)
            return;
    }
    settle();
    // Results that came while the disk was busy and have waited their grouping time go now.
    if (!m_batch.isEmpty() && !m_timer.isActive())
        writeInBackground();
}

void ResultRecorder::confirm(QList<PendingReport> waiting, Outcome outcome)
{
    for (const PendingReport &p : waiting) {
        if (p.settled)
            p.settled(outcome.stored);
        if (!m_links.isOpen(p.index, p.serial))
            continue; // gone before the confirmation: its client delivers the result again
        if (outcome.stored) {
            m_links.send(p.index, p.serial, QByteArray(wire::tagFinished)); // confirmed only once the result is on disk
            continue;
        }
        // Unconfirmed, so the candidate's client keeps the result and can deliver it again.
        m_log.log(QStringLiteral("sock%1 errorNum:%2 des:%3").arg(p.index).arg(sectionMsgError).arg(outcome.why));
        m_links.close(p.index, p.serial);
    }
    if (m_batch.isEmpty() && m_waiting.isEmpty()) {
        outcome.spent.clear();
        waiting.clear();
        m_batch.swap(outcome.spent);
        m_waiting.swap(waiting);
    }
}

} // namespace centrum
