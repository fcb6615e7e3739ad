// One paper transfer: the file connection to one candidate, the papers sent on it, its watchdog.
#pragma once

#include "centrum/cuser.h"
#include "centrum/shuffledpaper.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>

class NetSocket;

namespace centrum {

class CandidateLinks;
class CtransFile;
class FileCache;
class ServiceLog;

// Sends a candidate the papers of its list, one at a time as it asks, on a connection to the
// file port it gave at login. The candidate's place in its list is its message connection's,
// asked for through links. A transfer that fails or stalls logs why and reports givenUp; its
// owner ends it. One that has made no progress for the quiet time reports wentQuiet first: it
// is then only waiting, until it makes progress again or the stall time gives it up.
class PaperTransfer : public QObject
{
    Q_OBJECT

public:
    PaperTransfer(const Cuser &candidate, CandidateLinks &links, ServiceLog &log, FileCache &cache,
                  std::chrono::milliseconds stallTimeout, std::chrono::milliseconds quietTimeout,
                  QObject *parent = nullptr);
    ~PaperTransfer() override;

    // Connects to the candidate's file port.
    void begin(const Cuser &candidate);
    // Stops sending and closes the file connection; the object may then serve another candidate.
    void stop();
    // Serves another candidate, once stopped.
    void reset(const Cuser &candidate);

    bool serves(qint16 index, quint64 serial) const;
    qint16 index() const { return m_served.index; }
    quint64 serial() const { return m_served.serial; }
    const QString &candidateId() const { return m_served.uID; }
    // The last paper of the candidate's list reached the workstation whole.
    bool listDelivered() const { return m_served.delivered; }
    // No progress for the quiet time, and none since.
    bool isQuiet() const { return m_quiet; }
    QString peerAddress() const;
    // Bytes the candidate sent back on the file connection and still held here.
    qint64 unread() const;

    // The candidate asked for the file; it may see the file connection before this side does.
    void paperRequested();
    // The next paper of a list, for the candidate already connected for files; the watchdog
    // counts its bytes going out, not the asking.
    void loginAgain();
    void noteProgress();
    void closeFile();
    // The candidate said "over" for the last paper of its list.
    void noteListDelivered();

signals:
    void pieceSent(qint64 bytes);
    // The transfer was given up, and why is logged: it is to be ended.
    void givenUp();
    // The transfer has made no progress for the quiet time.
    void wentQuiet();
    // The last paper of the candidate's list reached the workstation whole.
    void delivered();

private:
    struct Served {
        qint16 index;
        quint64 serial;
        QString uID;
        qint16 sentNo = 0;     // the candidate's paper whose sending has begun
        bool delivered = false; // the last paper of the candidate's list reached the workstation
    };

    void sendCurrentPaper();
    // Notes the list delivered once the workstation's system has acknowledged every byte of its
    // last paper. Handing the last byte to this side's system is not enough: a workstation that
    // dies or stops reading with part of the paper still on its way has not got it, and its ID
    // is to be freed when the transfer is given up.
    void noteIfAcknowledged();
    // Logs why the transfer ends, as a socket error, and gives it up.
    void abandon(int number, const QString &why);
    void onWatchdog();
    void onQuietTimer();
    // Starts the timer again for what is left of the timeout since the last progress, if any is.
    bool waitsOn(QTimer &timer, std::chrono::milliseconds timeout);

    CandidateLinks &m_links;
    ServiceLog &m_log;
    FileCache &m_cache;
    std::chrono::milliseconds m_stallTimeout;
    Served m_served;
    NetSocket *m_file = nullptr; // the file connection
    bool m_requestEarly = false; // the file was asked for before the connection reported itself
    CtransFile *m_sender = nullptr; // a child
    QTimer m_watchdog;
    std::chrono::milliseconds m_quietTimeout;
    QTimer m_quietTimer;
    bool m_quiet = false;
    qint64 m_queuedAtProgress = 0; // bytes the candidate had not yet taken at the last progress
    std::chrono::steady_clock::time_point m_progressAt;
};

} // namespace centrum
