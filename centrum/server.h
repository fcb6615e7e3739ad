// The exam server's service: message connections, paper transfer, records and downloads.
#pragma once

#include "classfile.h"
#include "cuser.h"
#include "records.h"
#include "shuffledpaper.h"
#include "wiremessages.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRandomGenerator>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <array>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class CmultiLanguage;
class NetSocket;

namespace centrum {

// What differs between a test and a real run.
struct ServerSeams {
    QString programFolder;
    int lcid = 1033;
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
    // A paper transfer, a browser connection, or a candidate connection holding no whole
    // message, that makes no progress this long is given up. One transfer at a time is
    // served, so a stalled candidate holds up the whole queue this long; a workstation on
    // the network takes a paper in well under a second.
    std::chrono::milliseconds stallTimeout { 10000 };
    // Results received within this time of each other are stored with one sync of the
    // report file; none waits longer than this for its confirmation.
    std::chrono::milliseconds reportGrouping { 10 };
    // Where the order of a shuffled paper comes from.
    RandomSource random = [](quint32 bound) { return QRandomGenerator::global()->bounded(bound); };
};

// The service behind the server window and the headless server. Everything runs on the
// thread that owns it, one event at a time.
class Server : public QObject
{
    Q_OBJECT

public:
    explicit Server(ServerSeams seams, QObject *parent = nullptr);
    ~Server() override;

    struct StartResult {
        enum class Refusal { None, NoPapers, BadPaper, BadPort, Listen, Unreadable };
        bool messageService = false; // candidates are served
        bool httpService = false;    // browsers are served
        Refusal refusal = Refusal::None;
        QString problem;             // why something did not start, as logged
    };
    // Reads setting.ini and starts listening; safe to repeat. Open connections stay served.
    StartResult start();
    // Stops both listeners; open connections stay served.
    void stop();
    bool isRunning() const { return m_listener != 0; }
    bool isHttpRunning() const;
    quint16 messagePort() const { return m_msgPort; }
    quint16 webPort() const;

    // Lets an ID that has logged in this run fetch the paper once more, and logs it; false
    // when the ID has not logged in.
    bool allowAgain(const QString &id);
    bool isLoggedIn(const QString &id) const { return m_logins.contains(id); }
    // The IDs logged in this run, in the order of their text.
    QStringList loggedInIds() const;

    // The paper list as configured, and as measured by the last start.
    QStringList configuredPapers() const;
    const QList<ClassFile> &papers() const { return m_papers; }
    // Makes path the whole paper list; false, with why set, for a path that cannot be served.
    bool addTests(const QString &path, QString *why = nullptr);

    QString settingsPath() const;
    QString programFolder() const { return m_seams.programFolder; }
    // A line for the log box and the day's log from outside the service, such as where its files are.
    void note(const QString &text) { log(text); }
    const CmultiLanguage &texts() const { return *m_texts; }
    const LogBox &logBox() const { return m_logBox; }
    QString logPath(const QDate &day) const { return m_log.pathFor(day); }
    // Names of the day files of one kind in the program folder, oldest day first.
    QStringList recordFiles(bool reports) const;
    // The report viewer's text for a report file of the program folder.
    QString reportView(const QString &fileName) const;
    // A day file of the program folder, by the name recordFiles gives.
    QString recordFilePath(const QString &fileName) const;
    // A day file's whole text, for reading on screen; nothing, with why set, when it cannot be read.
    std::optional<QString> recordFileText(const QString &fileName, QString *why = nullptr) const;
    // The server window's title: program name, "Local IP:" and the machine's address.
    QString windowTitle() const;
    QString reportPath(const QDate &day) const { return m_report.pathFor(day); }

    // The machine's first address other than loopback, for the window title.
    static QString localIpAddress();

    // State that tests look at.
    int waitingCount() const { return int(m_queue.size()); }
    int loginCount() const { return int(m_logins.size()); }
    qint16 highestIndex() const { return m_highest; }
    QList<qint16> freeSockets() const { return m_free; }
    qint16 listenerIndex() const { return m_listener; }
    bool isTransferring() const { return m_served.has_value(); }
    // Bytes the candidate sent back on the file connection and still held here.
    qint64 fileConnectionUnread() const;

signals:
    // A line as the log box shows it: date, time and text.
    void logLine(const QString &shownLine);
    void runningChanged(bool running);
    // Tests follow the pieces of a paper transfer.
    void paperPieceSent(qint64 bytes);

private:
    struct Connection {
        NetSocket *socket = nullptr;
        quint64 serial = 0;
        QList<ClassFile> papers; // the list as it stood when the candidate connected
        qint16 paperNo = 1;      // the candidate's own place in it, from 1
        QByteArray buffer;
        bool settled = false;        // a login or a report has come whole
        std::optional<qint64> dueAt; // when it is let go unless a message comes whole, on m_clock
    };
    struct Served {
        qint16 index;
        quint64 serial;
        QString uID;
        qint16 sentNo = 0; // the candidate's paper whose sending has begun
        bool lastSent = false; // the last paper of the candidate's list went out whole
    };
    struct HttpSlot {
        NetSocket *socket = nullptr;
        QByteArray request;
        QPointer<CtransFile> sender;
        bool answered = false;
        bool isFile = false;
        QTimer *idle = nullptr;
    };

    // Control characters are shown as a replacement character: much of the text comes from peers.
    void log(const QString &text);
    QString text(int id) const;
    QString extra(int id) const;

    bool startMessageService(StartResult &result, bool shuffle);
    bool makeListener(int failedIndex);
    NetSocket *createSocket(qint16 index);
    // Closes and forgets the socket at index (the listener included); a used index is kept
    // for reuse.
    void destroySocket(qint16 index);
    QString errorSockLine(int k) const;

    void onConnectionRequest(qint16 k, int requestId);
    void onData(qint16 k);
    void handleMessage(qint16 k, const wire::ParsedMessage &m);
    void onPeerClosed(qint16 k);
    void onSocketError(qint16 k, int number, const QString &description);

    bool isDuplicate(const QString &id);
    void startFileConnection(const Cuser &user);
    void sendCurrentPaper();
    // Logs why the paper transfer ends, as a socket error, and ends it.
    void abandonTransfer(int number, const QString &why);
    void endTransfer();
    void serveQueue();
    void noteProgress();
    // Notes when the paper on its way has wholly gone out.
    void notePaperWritten();
    // A candidate whose paper did not wholly go out may log in again: its ID is forgotten and
    // its connection closed, which its client takes as a failed fetch.
    void releaseUnservedLogin();
    // Forgets the logins of the queued candidates of a connection that is going.
    void dropQueued(qint16 k, quint64 serial);

    // A message connection that never sent a whole login or report, or holds part of a
    // message, for the stall time is let go.
    void watchPatience(qint16 k);
    void letGoOfStalled();
    Connection *connectionOf(qint16 k, quint64 serial);

    // Stores the results received since the first of them with one durable write, then
    // confirms each to its candidate.
    void flushReports();

    void onHttpRequest(int requestId);
    void onHttpData(int i);
    void onHttpSendComplete(int i);
    void freeHttpSlot(int i);

    ServerSeams m_seams;
    std::unique_ptr<CmultiLanguage> m_texts;
    DayFileWriter m_log;
    DayFileWriter m_report;
    LogBox m_logBox;

    QList<ClassFile> m_papers;
    quint16 m_msgPort = 0;
    std::map<qint16, Connection> m_sockets;
    qint16 m_highest = 0;
    qint16 m_listener = 0;
    QList<qint16> m_free;
    QList<Cuser> m_queue;
    QSet<QString> m_logins; // exact, case-sensitive IDs; a room's worth is looked up at every login
    quint64 m_nextSerial = 0;

    FileCache m_fileCache; // the papers and the downloads' files
    NetSocket *m_file = nullptr; // the file connection
    std::optional<Served> m_served;
    bool m_requestEarly = false; // the file was asked for before the connection reported itself
    QPointer<CtransFile> m_sender;
    QTimer m_watchdog;
    qint64 m_queuedAtProgress = 0; // bytes the candidate had not yet taken at the last progress
    QElapsedTimer m_clock;
    QTimer m_letGo; // set for the earliest dueAt of the message connections

    struct PendingReport {
        qint16 index;
        quint64 serial;
    };
    QList<PendingReport> m_reportWaiting; // candidates whose results are not on disk yet
    QList<DayFileWriter::Entry> m_reportBatch;
    QTimer m_reportTimer;

    NetSocket *m_pimp = nullptr; // the browsers' listener
    std::array<HttpSlot, 21> m_hoe;
};

} // namespace centrum
