// The paper transfers under way, and who may begin one.
#pragma once

#include "centrum/cuser.h"
#include "centrum/shuffledpaper.h"

#include <QList>
#include <QObject>
#include <QString>

#include <chrono>

namespace centrum {

class CandidateLinks;
class FileCache;
class PaperTransfer;
class ServiceLog;

// Owns one PaperTransfer for each candidate being sent papers. Up to the limit are served at
// once, each on its own file connection; the others wait their turn in the message service's
// queue. A workstation takes a paper in well under a second: a transfer that has gone quiet no
// longer counts against the limit while it waits out the stall time.
class PaperTransfers : public QObject
{
    Q_OBJECT

public:
    PaperTransfers(CandidateLinks &links, ServiceLog &log, FileCache &cache, std::chrono::milliseconds stallTimeout,
                   std::chrono::milliseconds quietTimeout, QObject *parent = nullptr);
    ~PaperTransfers() override;

    // Papers sent at the same time; those under way stay when it is lowered.
    void setLimit(int limit) { m_limit = limit; }
    int limit() const { return m_limit; }
    // Another transfer may begin now.
    bool hasRoom() const;
    bool isTransferring() const { return !m_active.isEmpty(); }
    // Begins sending papers to a candidate whose message connection is still there.
    void start(const Cuser &candidate);
    // The transfer serving a message connection; none when it is served by none.
    PaperTransfer *servedTo(qint16 index, quint64 serial) const;
    // A request for the file names no candidate: it goes to the transfer of the connection it
    // came on, else to the one that began first.
    void paperRequested(qint16 index, quint64 serial);
    // A candidate whose paper did not wholly go out may log in again: reports unserved.
    void releaseUnserved(const PaperTransfer &transfer);
    // Stops a transfer and forgets it; reports roomFreed.
    void end(PaperTransfer *transfer);
    // Bytes the candidates sent back on the file connections and still held here.
    qint64 fileConnectionUnread() const;

signals:
    void paperPieceSent(qint64 bytes);
    // A piece of a candidate's paper was handed out.
    void progress(const QString &id, qint64 bytes);
    // The candidate's ID is to be forgotten and its connection closed, which its client takes
    // as a failed fetch.
    void unserved(const QString &id, qint16 index, quint64 serial);
    // A transfer ended or went quiet: the next candidate may be served.
    void roomFreed();
    // The last paper of the candidate's list reached its workstation whole.
    void delivered(const QString &id);

private:
    void retire(PaperTransfer *transfer);

    CandidateLinks &m_links;
    ServiceLog &m_log;
    FileCache &m_cache;
    std::chrono::milliseconds m_stallTimeout;
    std::chrono::milliseconds m_quietTimeout;
    int m_limit = 1;
    QList<PaperTransfer *> m_active; // children, oldest first
    // Ended transfers, kept to serve the next candidates: a room makes and unmakes no object and
    // connection for each. Those ended in a loop turn are taken up from the next one on, as
    // one may end inside its own signal.
    QList<PaperTransfer *> m_idle;
    QList<PaperTransfer *> m_ending;
};

} // namespace centrum
