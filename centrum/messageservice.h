// The candidates' message service: the announcement, logins, the queue for papers, results.
#pragma once

#include "centrum/classfile.h"
#include "centrum/cuser.h"
#include "centrum/serversecret.h"
#include "centrum/shuffledpaper.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <optional>

namespace wire {
struct ParsedMessage;
enum class Arrival;
}

namespace centrum {

class MessageConnections;
class PaperTransfers;
class ResultRecorder;
class SecureSheets;
class ServiceLog;

// How a start of the service went.
struct StartResult {
    enum class Refusal { None, NoPapers, BadPaper, BadPort, Listen, Unreadable, BadTransfers, BadSecret };
    bool messageService = false; // candidates are served
    bool httpService = false;    // browsers are served
    Refusal refusal = Refusal::None;
    QString problem;             // why something did not start, as logged
};

// Every candidate connecting is announced the first paper of the list. A login that is not a
// duplicate of this run's is served a paper transfer at once when there is room, or queued;
// a result goes to the recorder, whatever its shape: a report that still looks incomplete is
// taken as it stands once the connection has been quiet for the settle time, or is closed. A
// connection that sends no whole login or report, or holds part of a message, for the stall
// time is let go.
//
// When resuming is on, a candidate whose paper reached its workstation whole and who has not yet
// sent a result may log in again from the workstation of its first login, after its client or
// the workstation was restarted: it is sent the paper again (a shuffled paper in the same
// order), and its test program takes up where it was. From any other workstation the login is
// refused, as a second login always is; Allow Again moves a candidate to another workstation.
class MessageService : public QObject
{
    Q_OBJECT

public:
    MessageService(MessageConnections &connections, PaperTransfers &transfers, ResultRecorder &recorder,
                   SecureSheets &sheets, ServiceLog &log, QString programFolder, std::chrono::milliseconds stallTimeout,
                   std::chrono::milliseconds reportSettle, QObject *parent = nullptr);

    // Forgets the logins of the last run, reads the papers of paperList and listens on port.
    // With a secret, each paper is shuffled for each candidate under a key derived from the
    // secret and the paper, so an unchanged paper gives a candidate the same copy in every run.
    // With secureSecret, secure mode: each candidate is sent a copy without answers, and results
    // are taken only as answer sheets, scored here (answerFile and reportFile: the day's, for the
    // results already stored). A repeated start replaces the listener; accepted connections stay
    // as they are.
    bool start(quint16 port, const QStringList &paperList, const ServerSecret *shuffleSecret, bool resume,
               StartResult &result, const ServerSecret *secureSecret = nullptr, const QString &answerFile = {},
               const QString &reportFile = {});
    // Stops listening; open connections stay served.
    void stopListening();
    bool isListening() const;

    const QList<ClassFile> &papers() const { return m_papers; }
    // Lets an ID that has logged in this run fetch the paper once more, and logs it; false
    // when the ID has not logged in.
    bool allowAgain(const QString &id);
    bool isLoggedIn(const QString &id) const { return m_logins.contains(id); }
    // The IDs logged in this run, in the order of their text.
    QStringList loggedInIds() const;
    int loginCount() const { return int(m_logins.size()); }
    int waitingCount() const { return int(m_queue.size()); }

    // Starts transfers for the queued candidates while there is room.
    void serveQueue();
    // Forgets a login and closes its connection, when that is still there. A candidate who has
    // had its paper whole keeps its login.
    void releaseLogin(const QString &id, qint16 index, quint64 serial);
    // The last paper of the candidate's list reached its workstation whole.
    void noteDelivered(const QString &id);
    // Only these IDs may log in, when set: any other is refused and its connection closed.
    void setAdmitted(std::optional<QSet<QString>> ids) { m_admitted = std::move(ids); }

signals:
    // A login was taken: the candidate waits for its papers, or takes its test up again.
    void loginTaken(const QString &id, const QString &address, const QString &paper, qint64 totalBytes, bool resumed);
    // A login of an ID that is not admitted was refused.
    void loginRefused(const QString &id, const QString &address);
    // A login was forgotten before the candidate had its paper: it may log in again.
    void loginDropped(const QString &id);
    void allowedAgain(const QString &id);
    // A result is on disk: as received, or as scored from an answer sheet in secure mode.
    void resultReceived(const QString &id, const QString &address, const QString &resultText);

private:
    void onConnectionRequest(qint16 k, int requestId);
    void onData(qint16 k);
    // Handles the whole messages at the front of what the connection holds.
    void takeMessages(qint16 k, quint64 serial, wire::Arrival arrival);
    void handleMessage(qint16 k, const wire::ParsedMessage &m);
    // The connection is ending: what the candidate sent is all there is. False when the
    // connection went meanwhile.
    bool takeLastMessages(qint16 k);
    void onPeerClosed(qint16 k);
    void onSocketError(qint16 k, int number, const QString &description);

    // A second login of an ID that may take up its test again.
    bool mayResume(const Cuser &user) const;
    // Forgets a login whose candidate was sent nothing it could use.
    void forgetUnserved(const QString &id);
    // Forgets the logins of the queued candidates of a connection that is going.
    void dropQueued(qint16 k, quint64 serial);
    // A message connection that never sent a whole login or report, or holds part of a
    // message, for the stall time is let go.
    void watchPatience(qint16 k);
    void letGoOfStalled();
    // A report that still looks incomplete waits the settle time for the rest.
    void awaitRestOfReport(qint16 k);
    void takeSettledReports();

    MessageConnections &m_connections;
    PaperTransfers &m_transfers;
    ResultRecorder &m_recorder;
    SecureSheets &m_sheets;
    ServiceLog &m_log;
    QString m_folder;
    std::chrono::milliseconds m_stallTimeout;
    std::chrono::milliseconds m_reportSettle;
    QList<ClassFile> m_papers;
    QList<Cuser> m_queue;
    QSet<QString> m_logins; // exact, case-sensitive IDs; a room's worth is looked up at every login
    std::optional<QSet<QString>> m_admitted;
    bool m_resume = false;
    // This run's, when resuming is on: the address of each ID's first login, the IDs whose
    // paper reached the workstation whole since then, and the IDs that sent a result.
    QHash<QString, QString> m_firstAddress;
    QSet<QString> m_delivered;
    QSet<QString> m_submitted;
    QElapsedTimer m_clock;
    QTimer m_letGo; // set for the earliest dueAt of the message connections
    QTimer m_settle; // set for the earliest settleAt of the message connections
};

} // namespace centrum
