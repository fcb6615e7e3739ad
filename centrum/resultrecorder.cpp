// The day's report: results stored in groups with one durable write, then confirmed.
#include "centrum/resultrecorder.h"

#include "centrum/candidatelinks.h"
#include "centrum/servicelog.h"
#include "wire/wiretags.h"

#include <utility>

namespace centrum {

ResultRecorder::ResultRecorder(CandidateLinks &links, ServiceLog &log, const QString &programFolder,
                               std::function<QDateTime()> now, std::chrono::milliseconds grouping, QObject *parent)
    : QObject(parent),
      m_links(links),
      m_log(log),
      m_now(std::move(now)),
      m_grouping(grouping),
      m_report(programFolder, QStringLiteral(".rpt"), DayFileWriter::Mode::Durable),
      m_answers(programFolder, QStringLiteral(".ans"), DayFileWriter::Mode::Durable)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &ResultRecorder::flush);
}

ResultRecorder::~ResultRecorder()
{
    // What was received is kept; those waiting to hear of it may be gone already.
    for (PendingReport &p : m_waiting)
        p.settled = nullptr;
    flush();
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

void ResultRecorder::flush()
{
    m_timer.stop();
    if (m_batch.isEmpty())
        return;
    QList<DayFileWriter::Entry> batch = std::exchange(m_batch, {});
    QList<PendingReport> waiting = std::exchange(m_waiting, {});
    // The answers first, each naming the key its report entry will take: a report entry never
    // stands without its answers, and answers whose report could not be written name no entry.
    QList<DayFileWriter::Entry> answers;
    for (qsizetype i = 0; i < waiting.size(); ++i) {
        if (!waiting[i].answers)
            continue;
        batch[i].key = m_report.reserveKey(batch[i].when);
        waiting[i].answers->reportKey = batch[i].key;
        answers.append({ batch[i].when, report::formatAnswerEntry(*waiting[i].answers), {} });
    }
    QString why;
    const bool stored = (answers.isEmpty() || m_answers.write(answers, &why)) && m_report.write(batch, &why);
    for (const PendingReport &p : waiting) {
        if (p.settled)
            p.settled(stored);
        if (!m_links.isOpen(p.index, p.serial))
            continue; // gone before the confirmation: its client delivers the result again
        if (stored) {
            m_links.send(p.index, p.serial, QByteArray(wire::tagFinished)); // confirmed only once the result is on disk
            continue;
        }
        // Unconfirmed, so the candidate's client keeps the result and can deliver it again.
        m_log.log(QStringLiteral("sock%1 errorNum:%2 des:%3").arg(p.index).arg(sectionMsgError).arg(why));
        m_links.close(p.index, p.serial);
    }
    // The lists keep their room for the next batch: a room's results come in batches all day.
    if (m_batch.isEmpty() && m_waiting.isEmpty()) {
        batch.clear();
        waiting.clear();
        m_batch.swap(batch);
        m_waiting.swap(waiting);
    }
}

} // namespace centrum
