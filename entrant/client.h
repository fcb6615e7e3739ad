// The login client's logic: login, fetching the paper, the test, and delivering the result.
#pragma once

#include "common/channel.h"
#include "common/multilanguage.h"
#include "entrant/texts.h"

#include <QFile>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class NetSocket;

namespace entrant {

class Launcher;

enum class State {
    Ready,      // the login controls wait for an ID
    Fetching,   // logged in; the paper comes
    Testing,    // the test-taking program runs; the window is hidden until it ends without a result
    Submitting, // the result goes to the server, or waits for another try
};

// What the window shows.
struct View {
    State state = State::Ready;
    bool windowShown = true;
    bool loginControlsShown = true;
    bool submitShown = false;
    bool restartShown = false; // the test-taking program ended without a result
    QString status;
};

// What differs between a test and a real run.
struct ClientSeams {
    QString programFolder;
    int lcid = 1033;
    Launcher *launcher = nullptr; // outlives the client
    QString channelTitle;         // the result channel's name; empty for the window title
};

// One candidate and one test a run. Everything runs on the thread that owns it, one event
// at a time; the window calls the operations and shows view() whenever viewChanged comes.
class Client : public QObject
{
    Q_OBJECT

public:
    explicit Client(ClientSeams seams, QObject *parent = nullptr);
    ~Client() override;

    QString text(int entry) const { return m_texts->getRes(entry); }
    QString windowTitle() const { return text(text::Title); }
    const View &view() const { return m_view; }

    // Key k of section s of the program folder's setting.ini, read afresh; empty when missing.
    QString getInf(const QString &s, const QString &k) const;
    // True when no server address is set, so the window asks for one.
    bool needsServerAddress() const;
    // Stores a non-empty answer of the address prompt as it was typed.
    void saveServerAddress(const QString &answer);

    // The login button: starts fetching the paper for the typed ID.
    void login(const QString &typed);
    // Shows text on the status line until the next step replaces it.
    void note(const QString &text);
    // Delivers the pending result; also the retry after a failed delivery.
    void submit();
    // Starts the test-taking program again on the paper already received, after it ended
    // without handing in a result.
    void restartTest();

    // True from the start of a result delivery until the server confirms it.
    bool resultUndelivered() const { return m_submitMode; }
    QString pendingResultText() const { return m_channel.pendingResultText(); }
    // True when what the test program handed in is a secure copy's answer sheet, not a score.
    bool pendingIsAnswerSheet() const;
    // Whether a message connection or the file socket is still open.
    bool connectionsOpen() const;
    Mmsg &channel() { return m_channel; }

signals:
    void viewChanged();
    // The result was delivered: the program ends.
    void finished();

private:
    QString settingsPath() const;
    std::optional<quint16> readPort(const QString &key, QString *problem) const;
    // Listens for the server's file connection on port (0: one the system picks); false when
    // it cannot be had.
    bool listenForFile(quint16 port);

    void onMessageData();
    void handleMessage(const QByteArray &message);
    void onAnnouncement(const QString &payload);
    void onFinished();
    void onFileRequest(int requestId);
    void onFileData();
    void onFileClosed();
    bool completePaper(QString *why);
    void startTest();
    void onExamdeskEnded();

    // Ends the exchange: both sockets and the paper file are closed, the status shown, and
    // the window offers the login again, or the retry of the delivery.
    void fail(const QString &status);
    void closeConnections();
    void dropPaperFile();
    void setStatus(const QString &status);
    void show(State state, bool windowShown, bool loginControls, bool submitButton, bool restartButton = false);

    ClientSeams m_seams;
    std::unique_ptr<CmultiLanguage> m_texts;
    View m_view;
    Mmsg m_channel;

    NetSocket *m_msg = nullptr;  // the message connection
    NetSocket *m_file = nullptr; // listens for the server's file connection, then holds it
    QByteArray m_msgBuffer;
    bool m_submitMode = false;

    QString m_loginId;
    quint16 m_filePort = 0; // the port actually listened on, as the login message tells it
    QString m_paperName;
    QString m_paperPath;
    qint64 m_expected = 0;
    qint64 m_received = 0;
    bool m_paperComplete = false;
    QFile m_paper;
};

} // namespace entrant
