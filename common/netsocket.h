// The event-driven TCP socket the exam server and the candidate client do their networking with.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QTcpSocket;

namespace netsocket {
// What an event loop that reads readiness from the system tells while it delivers it for a
// connection: whether the system reported an error or hang-up with it. Without either, the
// connection has not ended and NetSocket need not ask. fd -1: the loop does not say.
struct Readiness {
    int fd = -1;
    bool errorOrHangUp = false;
};
inline thread_local Readiness deliveredReadiness;
} // namespace netsocket

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
// A connection the peer resets is reported as an error, not as the peer's close; so is a
// reset of a connection being made, which the platform would otherwise answer by dialling
// again for as long as the peer listens.
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

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

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
    void adopt(QTcpSocket *socket);
    void detach();
    void onSocketError();
    // Looks at the connection's activity before the platform reads it, to tell a reset from a close.
    void watchActivity(bool watch);
    // Ends an attempt to connect that the system has ended, for the reason it gives.
    void failConnecting(int number);

    friend class PortHub;
    void announce(int requestId) { emit connectionRequest(requestId); }

    State m_state = State::Closed;
    quint16 m_localPort = 0;
    QPointer<QTcpSocket> m_socket;
    quint16 m_listeningPort = 0;
    qint64 m_readLimit = 0;
    bool m_peerReset = false;  // the peer reset the connection; the platform reports it as a close
    bool m_oneAddress = false; // dialling an address rather than a name that may have several
};

// Raises this process's limit of open files to the hard limit, so that a room of connections
// is not cut off at the usual soft limit of 1024; returns the soft limit now in force, -1
// when it cannot be read.
long raiseOpenFileLimit();
