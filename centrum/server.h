// The exam server's service: its parts, wired together behind the API its windows and tests use.
#pragma once

#include "centrum/classfile.h"
#include "centrum/dayfiles.h"
#include "centrum/dayfilewriter.h"
#include "centrum/downloadservice.h"
#include "centrum/filecache.h"
#include "centrum/logbox.h"
#include "centrum/messageconnections.h"
#include "centrum/messageservice.h"
#include "centrum/papertransfers.h"
#include "centrum/resultrecorder.h"
#include "centrum/securesheets.h"
#include "centrum/roomstate.h"
#include "centrum/servicelog.h"
#include "centrum/shuffledpaper.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

class CmultiLanguage;

namespace centrum {

// What differs between a test and a real run.
struct ServerSeams {
    QString programFolder;
    int lcid = 1033;
    std::function<QDateTime()> now = localNow;
    // A paper transfer, a browser connection, or a candidate connection holding no whole
    // message, that makes no progress this long is given up.
    std::chrono::milliseconds stallTimeout { 10000 };
    // A paper transfer that makes no progress this long no longer counts against the papers
    // sent at the same time, so a stalled candidate holds up the queue only this long, and
    // only for its own place. A workstation on the network asks for its paper and takes each
    // piece within milliseconds; one that is only slow goes on and merely shares the network
    // with one more transfer.
    std::chrono::milliseconds transferQuiet { 250 };
    // A report whose result is not whole groups of four digits (or is empty) is taken as it
    // stands once nothing more has come for this long, or the candidate has closed. A result
    // sent whole comes in one segment on a LAN and is taken at once; the wait outlasts the
    // first resend of a lost segment, so a report split in two is not cut short.
    std::chrono::milliseconds reportSettle { 500 };
    // Results received within this time of each other are stored with one sync of the
    // report file; none waits longer than this for its confirmation.
    std::chrono::milliseconds reportGrouping { 10 };
    // Called on the thread that writes the report, before each batch it writes there.
    std::function<void()> beforeReportWrite = {};
    // Where the server's secret is drawn from when its folder has none yet; the keys that, with
    // each candidate's ID, order its copy of a shuffled paper are derived from that secret.
    RandomSource random = [](quint32 bound) { return QRandomGenerator::system()->bounded(bound); };
    // Changes to the room's table are announced at most this often.
    std::chrono::milliseconds roomBatch { 150 };
};

// The service behind the server window and the headless server. Everything runs on the
// thread that owns it, one event at a time, but for the writes of the day's report and
// answers, which wait on the disk on a thread of their own.
//
// The message service accepts candidates and hands each login to the paper transfers, or
// queues it; the transfers signal when a candidate is to be released and when there is room
// for the next; results go to the recorder, which confirms them on the candidates'
// connections; the download service answers browsers; every part logs through one log.
class Server : public QObject
{
    Q_OBJECT

public:
    using StartResult = centrum::StartResult;

    explicit Server(ServerSeams seams, QObject *parent = nullptr);
    ~Server() override;

    // Reads setting.ini and starts listening; safe to repeat. Open connections stay served. When
    // papers are shuffled or secure mode is on, the server's secret is read, or made at the
    // first such start.
    StartResult start();
    // Stops both listeners; open connections stay served.
    void stop();
    bool isRunning() const { return m_messages.isListening(); }
    bool isHttpRunning() const { return m_downloads.isRunning(); }
    quint16 messagePort() const { return m_connections.port(); }
    quint16 webPort() const { return m_downloads.port(); }

    // Lets an ID that has logged in this run fetch the paper once more, and logs it; false
    // when the ID has not logged in.
    bool allowAgain(const QString &id) { return m_messages.allowAgain(id); }
    bool isLoggedIn(const QString &id) const { return m_messages.isLoggedIn(id); }
    // The IDs logged in this run, in the order of their text.
    QStringList loggedInIds() const { return m_messages.loggedInIds(); }

    // Each candidate of this run and where it stands, fed by the service's events.
    const RoomState &room() const { return m_room; }
    RoomState &room() { return m_room; }
    // Reads a roster and uses it from now on, also for the next start (subject/roster); false,
    // with why set as logged, when it cannot be read.
    bool loadRoster(const QString &path, QString *why = nullptr);
    // Candidates' message connections open now.
    int connectedCount() const;

    // The paper list as configured, and as measured by the last start.
    QStringList configuredPapers() const;
    const QList<ClassFile> &papers() const { return m_messages.papers(); }
    // Where a paper a sheet names (its file name) is read from: the paper of that name this run
    // serves or the settings list, a name without folder in the program folder.
    QString paperPath(const QString &paperName) const;
    // Makes path the whole paper list; false, with why set, for a path that cannot be served.
    bool addTests(const QString &path, QString *why = nullptr);

    QString settingsPath() const;
    QString programFolder() const { return m_folder; }
    // A line for the log box and the day's log from outside the service, such as where its files are.
    void note(const QString &text) { m_log.log(text); }
    const CmultiLanguage &texts() const { return m_log.texts(); }
    const LogBox &logBox() const { return m_log.logBox(); }
    QString logPath(const QDate &day) const { return m_log.logPath(day); }
    // Names of the day files of one kind in the program folder, oldest day first.
    // The log's last lines are written first, so that the day's log is there and whole.
    QStringList recordFiles(bool reports)
    {
        m_log.flush();
        return m_dayFiles.names(reports);
    }
    // A day file of the program folder, by the name recordFiles gives.
    QString recordFilePath(const QString &fileName) const { return m_dayFiles.path(fileName); }
    // A day file's whole text, for reading on screen; nothing, with why set, when it cannot be read.
    std::optional<QString> recordFileText(const QString &fileName, QString *why = nullptr) const
    {
        return m_dayFiles.text(fileName, why);
    }
    // The server window's title: program name, "Local IP:" and the machine's address.
    QString windowTitle() const;
    QString reportPath(const QDate &day) const { return m_recorder.reportPath(day); }
    QString answerPath(const QDate &day) const { return m_recorder.answerPath(day); }
    // Results refused in secure mode since the program started.
    int refusedResults() const { return m_sheets.refusedCount(); }

    // The machine's first address other than loopback, for the window title.
    static QString localIpAddress();

    // State that tests look at.
    int waitingCount() const { return m_messages.waitingCount(); }
    int loginCount() const { return m_messages.loginCount(); }
    qint16 highestIndex() const { return m_connections.highestIndex(); }
    QList<qint16> freeSockets() const { return m_connections.freeIndices(); }
    qint16 listenerIndex() const { return m_connections.listenerIndex(); }
    bool isTransferring() const { return m_transfers.isTransferring(); }
    // Papers sent at the same time, as the last start read it.
    int transferLimit() const { return m_transfers.limit(); }
    // Bytes the candidate sent back on the file connection and still held here.
    qint64 fileConnectionUnread() const { return m_transfers.fileConnectionUnread(); }

signals:
    // A line as the log box shows it: date, time and text.
    void logLine(const QString &shownLine);
    void runningChanged(bool running);
    // Tests follow the pieces of a paper transfer.
    void paperPieceSent(qint64 bytes);

private:
    // The roster of setting value name (in the program folder unless a full path); nothing,
    // with why set, when it cannot be read.
    std::optional<report::Roster> readRoster(const QString &name, QString *why) const;
    void useRoster(const std::optional<report::Roster> &roster);

    QString m_folder;
    ServiceLog m_log;
    RoomState m_room;
    bool m_strict = false; // this run admits only the roster's IDs
    DayFiles m_dayFiles;
    FileCache m_fileCache; // the papers and the downloads' files
    MessageConnections m_connections;
    ResultRecorder m_recorder;
    SecureSheets m_sheets;
    PaperTransfers m_transfers;
    MessageService m_messages;
    DownloadService m_downloads;
    RandomSource m_random; // draws the server's secret
    std::function<QDateTime()> m_now;
};

} // namespace centrum
