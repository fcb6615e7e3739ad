// The room at a glance: each candidate of this service run, where it stands, and the counts.
#pragma once

#include "report/roster.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

class CmultiLanguage;

namespace centrum {

// Where a candidate stands, in the order an exam goes.
enum class CandidateState {
    Absent,         // on the roster, not logged in yet
    Waiting,        // logged in, waiting for the paper to begin
    Receiving,      // the paper is on its way
    Testing,        // the paper reached the workstation whole
    Submitted,      // the result came in
    TransferFailed, // the paper did not reach the workstation: the candidate logs in again
    AllowedAgain,   // the examiner let the ID log in once more
    Resumed,        // logged in again from its workstation to take up its test
    Refused,        // not on the roster, and the server admits only those on it
};

struct CandidateRow {
    QString id;
    QString name;  // from the roster
    QString seat;  // from the roster
    bool expected = false; // on the roster
    QString address;       // the workstation of the last login
    QDateTime loginTime;   // the first login of this run
    CandidateState state = CandidateState::Absent;
    qint64 sent = 0;  // bytes of the candidate's papers handed out so far
    qint64 total = 0; // bytes of all of them
    QString paper;
    QDateTime resultTime;
    QString score;           // deciphered from the result text
    qint64 secondsUsed = -1; // none until a result reads
};

struct RoomCounters {
    int expected = 0;
    int loggedIn = 0;
    int taking = 0;
    int submitted = 0;
    int absent = 0;
};

// Fed by the service's events on its thread; read by the server window's table and by the
// headless server's status. Rows are only ever appended while a run lasts, so a row keeps
// its number; a new run or another roster starts them afresh. Changes are gathered and
// announced once a batch, so a room logging in at once costs the window one update a batch.
class RoomState : public QObject
{
    Q_OBJECT

public:
    // The rows changed or added since the last batch.
    struct Changes {
        int rowCount = 0; // rows now
        int firstChanged = -1;
        int lastChanged = -1;
    };

    RoomState(std::function<QDateTime()> now, std::chrono::milliseconds batch, QObject *parent = nullptr);
    ~RoomState() override;

    // A new service run: only the roster's candidates, all absent.
    void startRun(std::optional<report::Roster> roster);
    // At most this many IDs refused at login get a row of their own; the log keeps every
    // refusal, so a client trying ID after ID cannot grow the table without end.
    static constexpr int refusedRowsShown = 1000;
    // Another roster during a run: those who came stay, with the new roster's marks.
    void setRoster(std::optional<report::Roster> roster);
    const report::Roster *roster() const { return m_roster ? &*m_roster : nullptr; }

    // The events of the exchange.
    void loggedIn(const QString &id, const QString &address, const QString &paper, qint64 totalBytes, bool resumed);
    void refused(const QString &id, const QString &address);
    void paperProgress(const QString &id, qint64 bytes);
    void delivered(const QString &id);
    void transferFailed(const QString &id);
    void allowedAgain(const QString &id);
    void resultReceived(const QString &id, const QString &address, const QString &resultText);

    int rowCount() const { return int(m_rows.size()); }
    const CandidateRow &row(int i) const { return m_rows[i]; }
    const CandidateRow *find(const QString &id) const;
    RoomCounters counters() const;
    // Rows of candidates expected or logged in who have no result yet, in row order.
    QList<int> notSubmitted() const;

    // What changed since the last call; the batch timer stops.
    Changes takeChanges();

signals:
    // Rows changed or were added: takeChanges tells which. Once a batch.
    void changed();
    // Every row may be another: read them all again. Sent at once.
    void resetRows();

private:
    CandidateRow &rowFor(const QString &id);
    CandidateRow *existing(const QString &id); // nothing for an ID without a row
    void touch(int i);
    void touch(const CandidateRow &row) { touch(int(&row - m_rows.constData())); }
    void applyRoster();

    std::function<QDateTime()> m_now;
    QList<CandidateRow> m_rows;
    QHash<QString, int> m_index;
    int m_refusedRows = 0; // rows made for IDs refused at login
    std::optional<report::Roster> m_roster;
    Changes m_changes;
    QTimer m_batch;
};


// A row's state as shown: the paper's progress, and a mark for an ID not on the roster.
QString stateText(const CmultiLanguage &texts, const CandidateRow &row, bool rosterLoaded);
// The counters' line.
QString countersText(const CmultiLanguage &texts, const RoomCounters &c);

} // namespace centrum
