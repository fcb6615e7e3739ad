// The room at a glance: each candidate of this service run, where it stands, and the counts.
#include "centrum/roomstate.h"

#include "centrum/texts.h"
#include "common/multilanguage.h"
#include "report/report.h"

#include <algorithm>
#include <utility>

namespace centrum {

RoomState::RoomState(std::function<QDateTime()> now, std::chrono::milliseconds batch, QObject *parent)
    : QObject(parent), m_now(std::move(now))
{
    m_batch.setSingleShot(true);
    m_batch.setInterval(batch);
    connect(&m_batch, &QTimer::timeout, this, &RoomState::changed);
}

RoomState::~RoomState() = default;

void RoomState::startRun(std::optional<report::Roster> roster)
{
    m_rows.clear();
    m_index.clear();
    m_refusedRows = 0;
    m_roster = std::move(roster);
    applyRoster();
}

void RoomState::setRoster(std::optional<report::Roster> roster)
{
    m_roster = std::move(roster);
    // Rows of the old roster whose candidates never came go; everyone else stays.
    QList<CandidateRow> kept;
    for (CandidateRow &r : m_rows) {
        if (r.state == CandidateState::Absent)
            continue;
        r.expected = false;
        r.name.clear();
        r.seat.clear();
        kept.append(std::move(r));
    }
    m_rows = std::move(kept);
    m_index.clear();
    for (int i = 0; i < int(m_rows.size()); ++i)
        m_index.insert(m_rows[i].id, i);
    applyRoster();
}

void RoomState::applyRoster()
{
    if (m_roster) {
        for (const report::RosterEntry &e : m_roster->entries()) {
            CandidateRow &r = rowFor(e.id);
            r.expected = true;
            r.name = e.name;
            r.seat = e.seat;
        }
    }
    m_batch.stop();
    m_changes = { rowCount(), -1, -1 };
    emit resetRows();
}

CandidateRow &RoomState::rowFor(const QString &id)
{
    const auto it = m_index.constFind(id);
    if (it != m_index.cend())
        return m_rows[*it];
    m_index.insert(id, rowCount());
    CandidateRow row;
    row.id = id;
    m_rows.append(row);
    return m_rows.last();
}

const CandidateRow *RoomState::find(const QString &id) const
{
    const auto it = m_index.constFind(id);
    return it == m_index.cend() ? nullptr : &m_rows[*it];
}

CandidateRow *RoomState::existing(const QString &id)
{
    const auto it = m_index.constFind(id);
    return it == m_index.cend() ? nullptr : &m_rows[*it];
}

void RoomState::touch(int i)
{
    m_changes.firstChanged = m_changes.firstChanged < 0 ? i : std::min(m_changes.firstChanged, i);
    m_changes.lastChanged = std::max(m_changes.lastChanged, i);
    if (!m_batch.isActive())
        m_batch.start();
}

void RoomState::loggedIn(const QString &id, const QString &address, const QString &paper, qint64 totalBytes, bool resumed)
{
    CandidateRow &r = rowFor(id);
    r.address = address;
    if (!r.loginTime.isValid())
        r.loginTime = m_now();
    r.state = resumed ? CandidateState::Resumed : CandidateState::Waiting;
    r.paper = paper;
    r.sent = 0;
    r.total = totalBytes;
    touch(r);
}

void RoomState::refused(const QString &id, const QString &address)
{
    if (!m_index.contains(id)) {
        if (m_refusedRows >= refusedRowsShown)
            return;
        ++m_refusedRows;
    }
    CandidateRow &r = rowFor(id);
    // An ID that came in before the roster was loaded keeps what it did.
    if (r.state == CandidateState::Absent || r.state == CandidateState::Refused) {
        r.state = CandidateState::Refused;
        r.address = address;
    }
    touch(r);
}

void RoomState::paperProgress(const QString &id, qint64 bytes)
{
    CandidateRow *const found = existing(id);
    if (!found)
        return;
    CandidateRow &r = *found;
    r.sent += bytes;
    if (r.state == CandidateState::Waiting)
        r.state = CandidateState::Receiving;
    touch(r);
}

void RoomState::delivered(const QString &id)
{
    CandidateRow *const found = existing(id);
    if (!found)
        return;
    CandidateRow &r = *found;
    if (r.state == CandidateState::Submitted)
        return;
    r.state = CandidateState::Testing;
    r.sent = r.total;
    touch(r);
}

void RoomState::transferFailed(const QString &id)
{
    CandidateRow *const found = existing(id);
    if (!found)
        return;
    CandidateRow &r = *found;
    if (r.state == CandidateState::Submitted)
        return;
    r.state = CandidateState::TransferFailed;
    touch(r);
}

void RoomState::allowedAgain(const QString &id)
{
    CandidateRow &r = rowFor(id);
    r.state = CandidateState::AllowedAgain;
    touch(r);
}

void RoomState::resultReceived(const QString &id, const QString &address, const QString &resultText)
{
    CandidateRow &r = rowFor(id);
    const report::ReportRow read = report::reportRow(report::reportEntry(address, id, resultText));
    r.state = CandidateState::Submitted;
    r.address = address;
    r.resultTime = m_now();
    r.score = read.score.trimmed();
    if (!read.paper.isEmpty())
        r.paper = read.paper;
    r.secondsUsed = -1;
    const qsizetype colon = read.time.indexOf(u':');
    if (colon > 0)
        r.secondsUsed = read.time.left(colon).toLongLong() * 60 + read.time.mid(colon + 1).toLongLong();
    touch(r);
}

RoomCounters RoomState::counters() const
{
    RoomCounters c;
    for (const CandidateRow &r : m_rows) {
        if (r.expected)
            ++c.expected;
        if (r.loginTime.isValid())
            ++c.loggedIn;
        if (r.state == CandidateState::Testing || r.state == CandidateState::Resumed)
            ++c.taking;
        else if (r.state == CandidateState::Submitted)
            ++c.submitted;
        else if (r.state == CandidateState::Absent)
            ++c.absent;
    }
    return c;
}

QList<int> RoomState::notSubmitted() const
{
    QList<int> rows;
    for (int i = 0; i < rowCount(); ++i) {
        const CandidateState s = m_rows[i].state;
        if (s != CandidateState::Submitted && s != CandidateState::Refused)
            rows.append(i);
    }
    return rows;
}

RoomState::Changes RoomState::takeChanges()
{
    m_batch.stop();
    Changes c = std::exchange(m_changes, {});
    c.rowCount = rowCount();
    m_changes.rowCount = c.rowCount;
    return c;
}

QString stateText(const CmultiLanguage &texts, const CandidateRow &row, bool rosterLoaded)
{
    const QString mark = rosterLoaded && !row.expected ? texts.getRes(text::Unexpected) : QString();
    const qint64 sent = row.sent, total = row.total;
    switch (row.state) {
    case CandidateState::Absent:
        return texts.getRes(text::StateAbsent) + mark;
    case CandidateState::Waiting:
        return texts.getRes(text::StateWaiting) + mark;
    case CandidateState::Receiving:
        return texts.getRes(text::StateReceiving).arg(total > 0 ? std::min<qint64>(100, sent * 100 / total) : 0) + mark;
    case CandidateState::Testing:
        return texts.getRes(text::StateTesting) + mark;
    case CandidateState::Submitted:
        return texts.getRes(text::StateSubmitted) + mark;
    case CandidateState::TransferFailed:
        return texts.getRes(text::StateTransferFailed) + mark;
    case CandidateState::AllowedAgain:
        return texts.getRes(text::StateAllowedAgain) + mark;
    case CandidateState::Resumed:
        return texts.getRes(text::StateResumed) + mark;
    case CandidateState::Refused:
        return texts.getRes(text::StateRefused) + mark;
    }
    return {};
}

QString countersText(const CmultiLanguage &texts, const RoomCounters &c)
{
    return texts.getRes(text::Counters).arg(c.expected).arg(c.loggedIn).arg(c.taking).arg(c.submitted).arg(c.absent);
}

} // namespace centrum
