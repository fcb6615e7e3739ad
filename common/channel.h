// The result channel: one short text from the test-taking program to the login client on the same machine.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;
class QLocalSocket;

namespace channel {

// The only record tag the receiver acts on.
inline constexpr quint32 textTag = 3;
// Neither side holds more than this many bytes of a record's data. Enough for the answer sheet
// of a large paper, and small enough that the login client's report of it ("rprt", the ID of up
// to 48 bytes and the text) stays within the exam server's message limit of 512 KiB.
inline constexpr qsizetype bufferLimit = 512 * 1024 - 64;
// How long the sender waits for the receiver's reply.
inline constexpr int replyTimeoutMs = 10000;

// The local socket name a receiver titled title listens on: it holds the user id, so two
// users on one machine never meet, and the title's UTF-8 bytes in hex.
QString serverName(const QString &title);

// A record: tag and byte count (32-bit little-endian), then the bytes and one NUL.
QByteArray encodeRecord(quint32 tag, QByteArrayView text);

struct Record {
    quint32 tag = 0;
    QString text; // up to the first NUL of the data, or all of it when there is none
};

// Reads one record from the start of bytes. Data beyond bufferLimit is not taken: the
// record is complete once its first bufferLimit data bytes are there.
struct ParseResult {
    bool complete = false;
    Record record;
    qsizetype consumed = 0;
};
ParseResult parseRecord(QByteArrayView bytes);

} // namespace channel

// The sending side.
class CsendMessage
{
public:
    enum class Outcome {
        Delivered,  // the receiver handled the text and replied
        NoReceiver, // nobody listens under that title; nothing was sent
        TooLong,    // the text does not fit the receiver's buffer; nothing was sent
        NoReply,    // sent, but no reply came in time (the receiver may still act on it)
    };

    explicit CsendMessage(int replyTimeoutMs = channel::replyTimeoutMs) : m_timeoutMs(replyTimeoutMs) { }

    // Hands strTemp to the receiver titled wndTitle and waits for it to be handled.
    Outcome sendMsg(const QString &strTemp, const QString &wndTitle) const;

private:
    int m_timeoutMs;
};

// The receiving side: listens under the main window's title and passes each text on.
class Mmsg : public QObject
{
    Q_OBJECT
public:
    using SubmitHandler = std::function<void()>;

    explicit Mmsg(QObject *parent = nullptr);
    ~Mmsg() override;

    // Starts listening under title; submit runs after each text is stored. False, with
    // errorString, when the channel cannot be opened.
    bool installCopyDataHook(const QString &title, SubmitHandler submit);
    // Stops listening; harmless when not listening.
    void removeCopyDataHook();
    // Handles one received record: a text record becomes the pending result text and
    // starts the submission; other tags are ignored.
    void receiveCopyData(const channel::Record &record);

    QString pendingResultText() const { return m_pending; }
    QString errorString() const { return m_error; }
    bool isListening() const;

private:
    void readFrom(QLocalSocket *socket);

    QLocalServer *m_server = nullptr;
    SubmitHandler m_submit;
    QString m_pending;
    QString m_error;
};
