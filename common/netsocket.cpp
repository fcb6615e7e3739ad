// The event-driven TCP socket the exam server and the candidate client do their networking with.
#include "common/netsocket.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <cerrno>
#include <map>
#include <utility>

#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>

namespace {

// The system has ended the connection without our closing it: the peer reset or refused it,
// or it could not be made. A peer's orderly close leaves it waiting for ours instead.
bool connectionEnded(int fd)
{
    tcp_info info {};
    socklen_t size = sizeof info;
    return fd >= 0 && ::getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &size) == 0 && info.tcpi_state == TCP_CLOSE;
}

QString resetText()
{
    return QStringLiteral("Connection reset by peer");
}

} // namespace

// The listening ports of this process: each keeps its platform listener and the
// connections that wait to be accepted, so that an object can close and a new one
// listen on the same port within one event without refusing anyone meanwhile.
class PortHub
{
public:
    // What a connection nobody has accepted yet may send before the network holds it back:
    // a request or a login fits many times over, a flood waits in the peer's own memory.
    static constexpr qint64 waitingReadLimit = 64 * 1024;

    struct Waiting {
        int id;
        QTcpSocket *socket;
        QPointer<NetSocket> announcedTo;
    };
    struct Port {
        QPointer<QTcpServer> server;
        QPointer<NetSocket> owner;
        QList<Waiting> waiting;
    };

    static std::map<quint16, Port> &ports()
    {
        static std::map<quint16, Port> p;
        return p;
    }

    // The port the object now listens on, or 0 with why set.
    static quint16 listen(NetSocket *owner, quint16 port, QString *why)
    {
        auto &all = ports();
        if (port != 0) {
            auto it = all.find(port);
            if (it != all.end()) {
                if (it->second.owner && it->second.owner != owner) {
                    *why = QStringLiteral("The port %1 is already listened on").arg(port);
                    return 0;
                }
                it->second.owner = owner;
                scheduleDispatch(port);
                return port;
            }
        }
        // Owned by the application, so nothing outlives it when it ends without another turn of its loop.
        auto *server = new QTcpServer(QCoreApplication::instance());
        server->setMaxPendingConnections(100000);
        server->setListenBacklogSize(1024); // a room logging in at once must not overflow it
        // Peers are in the same room: no proxy, and no asking the system for one (a lookup in
        // a thread of its own for every connection).
        server->setProxy(QNetworkProxy::NoProxy);
        if (!server->listen(QHostAddress::Any, port)) {
            *why = server->errorString();
            delete server;
            return 0;
        }
        const quint16 actual = server->serverPort();
        Port &entry = all[actual];
        entry.server = server;
        entry.owner = owner;
        QObject::connect(server, &QTcpServer::newConnection, server, [actual] { takeNew(actual); });
        return actual;
    }

    static void release(quint16 port)
    {
        auto it = ports().find(port);
        if (it == ports().end())
            return;
        it->second.owner = nullptr;
        // Freed only when nobody listens again before the event loop turns.
        QTimer::singleShot(0, [port] {
            auto it = ports().find(port);
            if (it == ports().end() || it->second.owner)
                return;
            for (const Waiting &w : it->second.waiting)
                w.socket->deleteLater();
            if (it->second.server) {
                it->second.server->close();
                it->second.server->deleteLater();
            }
            ports().erase(it);
        });
    }

    static QList<int> waitingIds(quint16 port)
    {
        QList<int> ids;
        auto it = ports().find(port);
        if (it != ports().end())
            for (const Waiting &w : it->second.waiting)
                ids.append(w.id);
        return ids;
    }

    static QTcpSocket *take(int id)
    {
        for (auto &[port, entry] : ports()) {
            for (qsizetype i = 0; i < entry.waiting.size(); ++i) {
                if (entry.waiting[i].id == id) {
                    QTcpSocket *s = entry.waiting[i].socket;
                    entry.waiting.removeAt(i);
                    QObject::disconnect(s, nullptr, s, nullptr);
                    return s;
                }
            }
        }
        return nullptr;
    }

private:
    static void takeNew(quint16 port)
    {
        static int nextId = 0;
        auto it = ports().find(port);
        if (it == ports().end() || !it->second.server)
            return;
        while (QTcpSocket *s = it->second.server->nextPendingConnection()) {
            s->setParent(QCoreApplication::instance());
            s->setReadBufferSize(waitingReadLimit);
            const int id = ++nextId;
            it->second.waiting.append({ id, s, nullptr });
            // A client that gives up while waiting leaves the queue.
            QObject::connect(s, &QTcpSocket::disconnected, s, [port, id] {
                if (QTcpSocket *gone = take(id))
                    gone->deleteLater();
            });
        }
        scheduleDispatch(port);
    }

    static void scheduleDispatch(quint16 port)
    {
        QTimer::singleShot(0, [port] { dispatch(port); });
    }

    // Announces each waiting connection once to the object that listens now; a request
    // its listener leaves alone waits until someone accepts it.
    static void dispatch(quint16 port)
    {
        for (;;) {
            auto it = ports().find(port);
            if (it == ports().end() || !it->second.owner)
                return;
            QPointer<NetSocket> owner = it->second.owner;
            int id = 0;
            for (Waiting &w : it->second.waiting) {
                if (w.announcedTo != owner) {
                    w.announcedTo = owner;
                    id = w.id;
                    break;
                }
            }
            if (id == 0)
                return;
            owner->announce(id);
        }
    }
};

NetSocket::NetSocket(QObject *parent) : QObject(parent) { }

NetSocket::~NetSocket()
{
    close();
}

quint16 NetSocket::localPort() const
{
    if (m_state == State::Listening)
        return m_listeningPort;
    if (m_socket)
        return m_socket->localPort();
    return m_localPort;
}

bool NetSocket::listen()
{
    close();
    QString why;
    const quint16 port = PortHub::listen(this, m_localPort, &why);
    if (port == 0) {
        m_state = State::Error;
        emit error(int(QAbstractSocket::AddressInUseError), why);
        return false;
    }
    m_listeningPort = port;
    m_state = State::Listening;
    return true;
}

QList<int> NetSocket::pendingRequests() const
{
    if (m_state != State::Listening)
        return {};
    return PortHub::waitingIds(m_listeningPort);
}

bool NetSocket::accept(int requestId)
{
    if (m_state != State::Closed)
        return false;
    QTcpSocket *s = PortHub::take(requestId);
    if (!s)
        return false;
    adopt(s);
    m_state = s->state() == QAbstractSocket::ConnectedState ? State::Connected : State::Closing;
    // What arrived before the accept is reported as if it arrived now.
    QPointer<QTcpSocket> held(s);
    QTimer::singleShot(0, this, [this, held] {
        if (!held || held != m_socket)
            return;
        if (held->bytesAvailable() > 0)
            emit dataArrival(held->bytesAvailable());
        if (held->state() != QAbstractSocket::ConnectedState && m_state == State::Closing)
            emit closed();
    });
    return true;
}

void NetSocket::connectTo(const QString &host, quint16 port, const QString &localAddress)
{
    close();
    auto *s = new QTcpSocket(this);
    s->setProxy(QNetworkProxy::NoProxy); // as for the listener
    adopt(s);
    m_state = State::Connecting;
    m_oneAddress = !QHostAddress(host).isNull();
    if (!localAddress.isEmpty() && !s->bind(QHostAddress(localAddress))) {
        if (m_socket == s && m_state == State::Connecting) {
            m_state = State::Error;
            emit error(int(s->error()), s->errorString());
        }
        return;
    }
    s->connectToHost(host, port);
    watchActivity(true); // dialling an address, the socket is there now; a name is looked up first
}

void NetSocket::watchActivity(bool watch)
{
    if (!m_socket)
        return;
    for (QSocketNotifier *n : m_socket->findChildren<QSocketNotifier *>()) {
        if (watch)
            n->installEventFilter(this);
        else
            n->removeEventFilter(this);
    }
}

bool NetSocket::eventFilter(QObject *, QEvent *event)
{
    if (event->type() != QEvent::SockAct || !m_socket)
        return false;
    const int fd = int(m_socket->socketDescriptor());
    const netsocket::Readiness &told = netsocket::deliveredReadiness;
    if ((told.fd == fd && !told.errorOrHangUp) || !connectionEnded(fd))
        return false;
    if (m_state == State::Connected) {
        m_peerReset = true; // the platform reads it next, as if the peer had closed
        return false;
    }
    if (m_state != State::Connecting || !m_oneAddress)
        return false;
    // An attempt to connect to an address has ended. The platform answers a reset that comes
    // before it has seen the connection made by dialling again, for as long as the peer
    // listens; so the end is taken here, for the reason the system gives.
    int number = 0;
    socklen_t size = sizeof number;
    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &number, &size);
    failConnecting(number);
    return true;
}

void NetSocket::failConnecting(int number)
{
    QTcpSocket *s = m_socket;
    watchActivity(false);
    m_socket = nullptr;
    s->disconnect(this);
    s->abort();
    s->deleteLater(); // inside one of its own events
    m_state = State::Error;
    switch (number) {
    case ECONNREFUSED:
        emit error(int(QAbstractSocket::ConnectionRefusedError), QStringLiteral("Connection refused"));
        break;
    case ENETUNREACH:
        emit error(int(QAbstractSocket::NetworkError), QStringLiteral("Network unreachable"));
        break;
    case EHOSTUNREACH:
        emit error(int(QAbstractSocket::NetworkError), QStringLiteral("Host unreachable"));
        break;
    case ETIMEDOUT:
        emit error(int(QAbstractSocket::NetworkError), QStringLiteral("Connection timed out"));
        break;
    case 0: // the platform has taken the reason already: only a reset leaves it dialling
    case ECONNRESET:
        emit error(int(QAbstractSocket::RemoteHostClosedError), resetText());
        break;
    default:
        emit error(int(QAbstractSocket::NetworkError), qt_error_string(number));
    }
}

void NetSocket::adopt(QTcpSocket *s)
{
    s->setParent(this);
    s->setReadBufferSize(m_readLimit); // a waiting connection's limit gives way to this object's
    m_socket = s;
    m_peerReset = false;
    watchActivity(true);
    connect(s, &QTcpSocket::connected, this, [this] {
        m_state = State::Connected;
        watchActivity(true); // a socket that dialled a name is there only now
        emit connected();
    });
    connect(s, &QTcpSocket::readyRead, this, [this] {
        if (m_socket && m_socket->bytesAvailable() > 0)
            emit dataArrival(m_socket->bytesAvailable());
    });
    connect(s, &QTcpSocket::disconnected, this, [this] {
        if (m_state != State::Connected && m_state != State::Connecting)
            return;
        if (std::exchange(m_peerReset, false)) {
            m_state = State::Error;
            emit error(int(QAbstractSocket::RemoteHostClosedError), resetText());
            return;
        }
        m_state = State::Closing;
        emit closed();
    });
    connect(s, &QTcpSocket::bytesWritten, this, [this](qint64 n) {
        emit bytesSent(n);
        if (m_socket && m_socket->bytesToWrite() == 0)
            emit sendComplete();
    });
    connect(s, &QTcpSocket::errorOccurred, this, [this] { onSocketError(); });
}

void NetSocket::onSocketError()
{
    if (!m_socket)
        return;
    // The peer's close is the close event, not an error.
    if (m_socket->error() == QAbstractSocket::RemoteHostClosedError)
        return;
    m_state = State::Error;
    emit error(int(m_socket->error()), m_socket->errorString());
}

void NetSocket::send(const QByteArray &bytes)
{
    if (m_socket && m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->write(bytes);
}

QByteArray NetSocket::readAll()
{
    return m_socket ? m_socket->readAll() : QByteArray();
}

qint64 NetSocket::bytesAvailable() const
{
    return m_socket ? m_socket->bytesAvailable() : 0;
}

qint64 NetSocket::bytesToWrite() const
{
    return m_socket ? m_socket->bytesToWrite() : 0;
}

qint64 NetSocket::unacknowledgedBytes() const
{
    if (!m_socket)
        return 0;
    int queued = 0;
    const qintptr fd = m_socket->socketDescriptor();
    if (fd < 0 || ::ioctl(int(fd), SIOCOUTQ, &queued) != 0)
        queued = 0;
    return m_socket->bytesToWrite() + queued;
}

void NetSocket::setReadBufferSize(qint64 bytes)
{
    m_readLimit = bytes;
    if (m_socket)
        m_socket->setReadBufferSize(bytes);
}

void NetSocket::detach()
{
    watchActivity(false);
    QTcpSocket *s = m_socket;
    m_socket = nullptr;
    m_peerReset = false;
    if (!s)
        return;
    s->disconnect(this);
    s->setParent(QCoreApplication::instance());
    // What was handed over still goes out; then the connection ends and the object goes.
    connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
    connect(s, &QTcpSocket::errorOccurred, s, &QObject::deleteLater);
    // A child, so that it goes with the socket: a room's worth of closed connections must not
    // leave as many timers running for half a minute.
    auto *limit = new QTimer(s);
    limit->setSingleShot(true);
    connect(limit, &QTimer::timeout, s, [s] { s->abort(); s->deleteLater(); });
    limit->start(30000);
    if (s->state() == QAbstractSocket::UnconnectedState)
        s->deleteLater();
    else
        s->disconnectFromHost();
}

void NetSocket::close()
{
    if (m_state == State::Listening)
        PortHub::release(m_listeningPort);
    m_listeningPort = 0;
    detach();
    m_state = State::Closed;
}

QString NetSocket::remoteHostIP() const
{
    if (!m_socket)
        return {};
    QHostAddress a = m_socket->peerAddress();
    bool ok = false;
    const quint32 v4 = a.toIPv4Address(&ok);
    return ok ? QHostAddress(v4).toString() : a.toString();
}

quint16 NetSocket::remotePort() const
{
    return m_socket ? m_socket->peerPort() : 0;
}

QString NetSocket::localIP() const
{
    if (!m_socket)
        return {};
    QHostAddress a = m_socket->localAddress();
    bool ok = false;
    const quint32 v4 = a.toIPv4Address(&ok);
    return ok ? QHostAddress(v4).toString() : a.toString();
}

long raiseOpenFileLimit()
{
    rlimit r {};
    if (::getrlimit(RLIMIT_NOFILE, &r) != 0)
        return -1;
    if (r.rlim_cur < r.rlim_max) {
        r.rlim_cur = r.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &r);
        ::getrlimit(RLIMIT_NOFILE, &r);
    }
    return long(r.rlim_cur);
}
