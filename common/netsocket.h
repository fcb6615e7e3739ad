// The event-driven TCP socket the exam server and the candidate client do their networking with.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

class NetLink;

// One socket object: it listens, or holds one connection, or is closed. Every operation
// returns at once; results arrive as signals on the thread that owns the object.
//
// A connection request on a listening object carries a request id. accept(id) may be
// called on any closed object, the listening one included after close(); a request that
// nobody accepts stays waiting on its port and can be accepted later (pendingRequests()).
// A port that is closed and listened on again within the same event keeps its queue of
// waiting connections, so moving the listening role from one object to another loses no
// client.
//
// A connection the peer resets is reported as an error, not as the peer's close. Connections
// are plain non-blocking descriptors: what one costs is its buffers and two notifiers.
class NetSocket : public QObject
{
    Q_OBJECT

public:
    enum class State { Closed, Listening, Connecting, Connected, Closing, Error };
    Q_ENUM(State)

    explicit NetSocket(QObject *parent = nullptr);
    ~NetSocket() override;

    void setLocalPort(quint16 port) { m_localPort = port; }
    quint16 localPort() const;
    // False, with error() also emitted, when the port cannot be listened on.
    bool listen();
    // Takes over a waiting connection; false when the id is unknown or this object is not closed.
    bool accept(int requestId);
    // Ids of the connections waiting on this object's listening port, oldest first.
    QList<int> pendingRequests() const;
    // From localAddress when one is given, so that the peer sees the address it knows this
    // machine by; a local address that cannot be taken is reported as an error.
    void connectTo(const QString &host, quint16 port, const QString &localAddress = {});

    // Queued in order; never waits.
    void send(const QByteArray &bytes);
    // Part of bytes, shared rather than copied: a paper held in memory goes out in pieces.
    void send(const QByteArray &bytes, qsizetype from, qsizetype length);
    void send(const QString &text) { send(text.toUtf8()); }
    QByteArray readAll();
    qint64 bytesAvailable() const;
    // Bytes handed to send() and not yet given to the network.
    qint64 bytesToWrite() const;
    // Bytes handed to send() that the peer has not acknowledged yet: those still here and
    // those the system holds for the peer. Falls as the peer takes what it was sent.
    qint64 unacknowledgedBytes() const;
    // At most this many received bytes are kept unread (0: no limit); past it the network
    // holds the peer back until they are read. Applies to every connection this object holds.
    void setReadBufferSize(qint64 bytes);

    // Ends the connection or stops listening; closing a closed object does nothing.
    void close();

    State state() const { return m_state; }
    QString remoteHostIP() const;
    quint16 remotePort() const;
    QString localIP() const;

signals:
    void connectionRequest(int requestId);
    void connected();
    void dataArrival(qint64 bytesTotal);
    // The peer closed the connection.
    void closed();
    // Some bytes left; sendComplete() follows once nothing is left to send.
    void bytesSent(qint64 bytes);
    void sendComplete();
    void error(int number, const QString &description);

private:
    friend class NetLink;
    friend class PortHub;

    void adopt(NetLink *link);
    void detach();
    // Dials the next address of a name looked up, or ends in error when none is left.
    void dialNext(int lastError);
    void announce(int requestId) { emit connectionRequest(requestId); }

    // What the connection reports.
    void linkConnected();
    void linkRead();
    void linkSent(qint64 bytes);
    void linkEnded(int number);

    State m_state = State::Closed;
    quint64 m_identity = 0; // never used again, as an address may be; a new one once closed
    quint16 m_localPort = 0;
    NetLink *m_link = nullptr;
    quint64 m_linkSerial = 0; // changes with every connection held, for work left for later
    quint16 m_listeningPort = 0;
    qint64 m_readLimit = 0;
    // A name being dialled: the addresses not tried yet, the port and the local address.
    QList<QHostAddress> m_addresses;
    quint16 m_dialPort = 0;
    QString m_dialFrom;
    int m_lookup = -1;
};

// Raises this process's limit of open files to the hard limit, so that a room of connections
// is not cut off at the usual soft limit of 1024; returns the soft limit now in force, -1
// when it cannot be read.
long raiseOpenFileLimit();
