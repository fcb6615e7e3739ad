// The event-driven TCP socket the exam server and the candidate client do their networking with.
#include "common/netsocket.h"

#include <QAbstractSocket>
#include <QCoreApplication>
#include <QHostInfo>
#include <QScopeGuard>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

// What one read takes from the system at most: a paper's piece, or a room's worth of messages.
constexpr qint64 readChunk = 64 * 1024;
// How long a closed connection may take to hand over what it still has to send.
constexpr int drainMs = 30000;

// A notifier that calls its connection straight from the event that wakes it, with no signal
// between: a room of candidates wakes thousands of them, and makes a few for each candidate.
class LinkNotifier final : public QSocketNotifier
{
public:
    template <typename Handler>
    LinkNotifier(int fd, Type type, QObject *parent, Handler handler)
        : QSocketNotifier(qintptr(fd), type, parent), m_handler(std::move(handler))
    {
    }

protected:
    bool event(QEvent *e) override
    {
        if (e->type() != QEvent::SockAct && e->type() != QEvent::SockClose)
            return QSocketNotifier::event(e);
        m_handler();
        return true;
    }

private:
    std::function<void()> m_handler;
};

QString resetText()
{
    return QStringLiteral("Connection reset by peer");
}

// The error event for a system error number, in the numbering callers know.
std::pair<int, QString> describe(int number)
{
    switch (number) {
    case ECONNREFUSED:
        return { int(QAbstractSocket::ConnectionRefusedError), QStringLiteral("Connection refused") };
    case ENETUNREACH:
        return { int(QAbstractSocket::NetworkError), QStringLiteral("Network unreachable") };
    case EHOSTUNREACH:
        return { int(QAbstractSocket::NetworkError), QStringLiteral("Host unreachable") };
    case ETIMEDOUT:
        return { int(QAbstractSocket::NetworkError), QStringLiteral("Connection timed out") };
    case ECONNRESET:
    case EPIPE:
        return { int(QAbstractSocket::RemoteHostClosedError), resetText() };
    case EADDRINUSE:
        return { int(QAbstractSocket::AddressInUseError), QStringLiteral("The address is already in use") };
    case EADDRNOTAVAIL:
        return { int(QAbstractSocket::SocketAddressNotAvailableError), QStringLiteral("The address is not available") };
    case EACCES:
        return { int(QAbstractSocket::SocketAccessError), QStringLiteral("The address is protected") };
    default:
        return { int(QAbstractSocket::NetworkError), QString::fromLocal8Bit(std::strerror(number)) };
    }
}

// Closes connections' descriptors on a thread of its own. Taking a TCP connection down is
// the kernel's costliest step of a short exchange (the peer's side of it runs in the caller's
// time when the peer is on the same machine), and the loop has other connections to serve
// meanwhile. A descriptor is handed over only once nothing watches it; its number is not
// given out again until it is closed. Listening descriptors are closed at once: a port
// freed must be free when the close returns.
//
// The loop's descriptors of a turn go over together when the loop next turns, so the thread
// is woken once for them rather than once a connection.
class BackgroundCloser
{
public:
    // False when no thread could be started: the caller closes the descriptor itself.
    static bool take(int fd)
    {
        static BackgroundCloser *closer = start(); // never destroyed: the thread may outlive main
        if (!closer)
            return false;
        QCoreApplication *app = QCoreApplication::instance();
        if (!app || QThread::currentThread() != app->thread()) {
            closer->hand({ fd });
            return true;
        }
        closer->m_turn.push_back(fd);
        if (closer->m_turn.size() == 1)
            QMetaObject::invokeMethod(app, [] { closer->hand(std::exchange(closer->m_turn, {})); }, Qt::QueuedConnection);
        return true;
    }

private:
    void hand(const std::vector<int> &fds)
    {
        bool idle;
        {
            const std::lock_guard hold(m_lock);
            idle = m_fds.empty();
            m_fds.insert(m_fds.end(), fds.begin(), fds.end());
        }
        if (idle) // otherwise the thread has not yet taken the list it was woken for
            m_wake.notify_one();
    }

    static BackgroundCloser *start()
    {
        auto *closer = new BackgroundCloser;
        try {
            std::thread([closer] { closer->run(); }).detach();
        } catch (const std::system_error &) {
            delete closer;
            return nullptr;
        }
        return closer;
    }

    [[noreturn]] void run()
    {
        std::vector<int> taken;
        for (;;) {
            {
                std::unique_lock hold(m_lock);
                m_wake.wait(hold, [this] { return !m_fds.empty(); });
                taken.swap(m_fds);
            }
            for (int fd : taken)
                ::close(fd);
            taken.clear();
        }
    }

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::vector<int> m_fds;
    std::vector<int> m_turn; // the loop thread's, not yet handed over
};

void closeInBackground(int fd)
{
    if (!BackgroundCloser::take(fd))
        ::close(fd);
}

struct SocketAddress {
    sockaddr_storage storage {};
    socklen_t size = 0;

    const sockaddr *get() const { return reinterpret_cast<const sockaddr *>(&storage); }
    int family() const { return storage.ss_family; }
};

SocketAddress toSocketAddress(const QHostAddress &address, quint16 port)
{
    SocketAddress a;
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto *in6 = reinterpret_cast<sockaddr_in6 *>(&a.storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&in6->sin6_addr, &bytes, sizeof bytes);
        in6->sin6_scope_id = address.scopeId().toUInt();
        a.size = sizeof(sockaddr_in6);
    } else {
        auto *in = reinterpret_cast<sockaddr_in *>(&a.storage);
        in->sin_family = AF_INET;
        in->sin_port = htons(port);
        in->sin_addr.s_addr = htonl(address.toIPv4Address());
        a.size = sizeof(sockaddr_in);
    }
    return a;
}

// An address as text: dotted IPv4, which every file connection dials, is read by the system's
// parser; anything else as QHostAddress reads it (null when it is a name).
QHostAddress addressOf(const QString &text)
{
    char latin[INET_ADDRSTRLEN];
    if (text.size() < qsizetype(sizeof latin)) {
        bool ascii = true;
        for (qsizetype i = 0; i < text.size() && ascii; ++i) {
            ascii = text[i].unicode() < 0x80;
            latin[i] = char(text[i].unicode());
        }
        latin[text.size()] = '\0';
        in_addr v4 {};
        if (ascii && ::inet_pton(AF_INET, latin, &v4) == 1)
            return QHostAddress(quint32(ntohl(v4.s_addr)));
    }
    return QHostAddress(text);
}

quint16 portOf(const SocketAddress &a)
{
    if (a.family() == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6 *>(&a.storage)->sin6_port);
    if (a.family() == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in *>(&a.storage)->sin_port);
    return 0;
}

// An IPv4 peer of a listener that takes both kinds is shown as the IPv4 address it is.
QString ipOf(const SocketAddress &a)
{
    if (a.size == 0)
        return {};
    // IPv4, the usual case, written by hand: it is worked out for every connection of a room.
    const unsigned char *v4 = nullptr;
    if (a.storage.ss_family == AF_INET) {
        v4 = reinterpret_cast<const unsigned char *>(&reinterpret_cast<const sockaddr_in *>(&a.storage)->sin_addr);
    } else if (a.storage.ss_family == AF_INET6) {
        const in6_addr &in6 = reinterpret_cast<const sockaddr_in6 *>(&a.storage)->sin6_addr;
        if (IN6_IS_ADDR_V4MAPPED(&in6))
            v4 = in6.s6_addr + 12;
    }
    if (!v4)
        return QHostAddress(a.get()).toString();
    QString text;
    text.reserve(15);
    for (int i = 0; i < 4; ++i) {
        if (i > 0)
            text.append(u'.');
        const int b = v4[i];
        if (b >= 100)
            text.append(QChar(u'0' + b / 100));
        if (b >= 10)
            text.append(QChar(u'0' + b / 10 % 10));
        text.append(QChar(u'0' + b % 10));
    }
    return text;
}

SocketAddress localAddressOf(int fd)
{
    SocketAddress a;
    a.size = sizeof a.storage;
    if (fd < 0 || ::getsockname(fd, reinterpret_cast<sockaddr *>(&a.storage), &a.size) != 0)
        a.size = 0;
    return a;
}

} // namespace

// Ends the links still there when the application goes, as its children would be.
class LinkKeeper final : public QObject
{
public:
    static void ensure()
    {
        if (!keeper() && QCoreApplication::instance())
            keeper() = new LinkKeeper(QCoreApplication::instance());
    }

    ~LinkKeeper() override;

private:
    using QObject::QObject;

    static LinkKeeper *&keeper()
    {
        static LinkKeeper *one = nullptr;
        return one;
    }
};

// One TCP connection on a non-blocking descriptor: what arrived and is not read yet, what
// is still to go out, and the notifiers that say when either can move. It belongs to a
// socket object, or waits on its port to be accepted, or, handed back by a socket object
// that closed, sends what it still holds and ends.
//
// A link belongs to no other object: it moves between its port, its owner and itself several
// times in its life, and a room makes thousands. Those left when the application ends go with it.
// A link that ended serves the next connection, with its notifiers and buffers, from the
// next turn of the loop on (it may end within its own handler).
class NetLink final : public QObject
{
public:
    static NetLink *make(int fd, const SocketAddress &peer)
    {
        auto &ready = shared().spare;
        if (ready.empty())
            return new NetLink(fd, peer);
        NetLink *link = ready.back();
        ready.pop_back();
        link->m_fd = fd;
        link->m_peer = peer;
        link->m_retired = false;
        // The notifiers are off since the last descriptor closed; they watch this one once turned on.
        for (QSocketNotifier *n : { link->m_reader, link->m_writer }) {
            if (n)
                n->setSocket(fd);
        }
        return link;
    }

    // The links kept for reuse are let go too, so that none is left over when the application ends.
    static void dropSpares()
    {
        shared().spare.clear();
        shared().retired.clear();
    }

private:
    NetLink(int fd, const SocketAddress &peer) : m_fd(fd), m_peer(peer)
    {
        LinkKeeper::ensure();
        m_next = std::exchange(all(), this);
        if (m_next)
            m_next->m_previous = this;
    }

public:
    ~NetLink() override
    {
        unscheduleFlush();
        closeDescriptor();
        if (m_owner && m_owner->m_link == this) { // ended with the application before its owner
            m_owner->m_link = nullptr;
            ++m_owner->m_linkSerial;
        }
        (m_previous ? m_previous->m_next : all()) = m_next;
        if (m_next)
            m_next->m_previous = m_previous;
    }

    // Every link there is, newest first.
    static NetLink *&all()
    {
        static NetLink *first = nullptr;
        return first;
    }

    int fd() const { return m_fd; }
    bool ended() const { return m_fd < 0; }
    const SocketAddress &peer() const { return m_peer; }
    const QString &peerIP()
    {
        if (m_peerIP.isEmpty())
            m_peerIP = ipOf(m_peer);
        return m_peerIP;
    }
    const QString &localIP()
    {
        if (m_localIP.isEmpty())
            m_localIP = ipOf(localAddressOf(m_fd));
        return m_localIP;
    }
    qint64 bytesAvailable() const { return m_in.size(); }
    qint64 bytesToWrite() const { return m_outBytes; }

    // Reports to this socket object from now on, or to nobody (null).
    void setOwner(NetSocket *owner) { m_owner = owner; }
    void setWaitingId(int id) { m_waitingId = id; }
    int waitingId() const { return m_waitingId; }

    void setReadLimit(qint64 bytes)
    {
        m_readLimit = bytes;
        updateReader();
    }

    // Starts reading (and, dialling, waiting for the connection to be made).
    void start(bool dialling)
    {
        m_dialling = dialling;
        // A turn's sends go out in one call already: holding a short message back until the
        // peer has acknowledged the last one would only make the exchange wait. An accepted
        // connection has it from its listening descriptor already.
        if (dialling) {
            const int yes = 1;
            ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        }
        if (!m_reader)
            m_reader = new LinkNotifier(m_fd, QSocketNotifier::Read, this, [this] { onReadable(); });
        m_reader->setEnabled(!dialling);
        if (dialling)
            watchWrites(true);
    }

    QByteArray readAll()
    {
        QByteArray bytes = std::exchange(m_in, {});
        updateReader();
        return bytes;
    }

    void send(const QByteArray &bytes, qsizetype from, qsizetype length)
    {
        if (length <= 0 || ended())
            return;
        m_out.push_back({ bytes, from, from + length });
        m_outBytes += length;
        if (!m_writer || !m_writer->isEnabled())
            scheduleFlush();
    }

    qint64 unacknowledgedBytes() const
    {
        int queued = 0;
        // Before its first send the system holds nothing of this connection's: no need to ask.
        if (m_fd < 0 || !m_handedAny || ::ioctl(m_fd, SIOCOUTQ, &queued) != 0)
            queued = 0;
        return m_outBytes + queued;
    }

    // Hands back what is still to go out to the link itself: it sends it within the time
    // allowed and ends. What arrives meanwhile is read and let go.
    void drainAndEnd()
    {
        m_owner = nullptr;
        m_waitingId = 0;
        m_draining = true;
        if (m_outBytes == 0 || ended() || m_dialling) {
            finish();
            return;
        }
        m_readLimit = 0;
        m_in.clear();
        updateReader();
        if (!m_drainLimit) {
            m_drainLimit = new QTimer(this);
            m_drainLimit->setSingleShot(true);
            connect(m_drainLimit, &QTimer::timeout, this, &NetLink::finish);
        }
        m_drainLimit->start(drainMs);
    }

    // Closes the descriptor now; the link serves another connection once the loop turns.
    void finish()
    {
        unscheduleFlush();
        closeDescriptor();
        m_owner = nullptr;
        m_waitingId = 0;
        if (std::exchange(m_retired, true))
            return;
        if (m_drainLimit)
            m_drainLimit->stop();
        m_peerIP.clear();
        m_localIP.clear();
        m_in.clear();
        m_readLimit = 0;
        m_dialling = false;
        m_draining = false;
        m_handedAny = false;
        if (!QCoreApplication::instance()) {
            deleteLater();
            return;
        }
        shared().retired.push_back(this);
        if (shared().retired.size() == 1)
            QMetaObject::invokeMethod(QCoreApplication::instance(), &NetLink::takeBackRetired, Qt::QueuedConnection);
    }

    static void flushScheduled();

private:
    void closeDescriptor()
    {
        if (m_fd < 0)
            return;
        // Off before the number is given back: the system hands it to the next connection.
        if (m_reader)
            m_reader->setEnabled(false);
        if (m_writer)
            m_writer->setEnabled(false);
        closeInBackground(m_fd);
        m_fd = -1;
        m_out.clear();
        m_outBytes = 0;
    }

    void updateReader()
    {
        if (m_reader && m_fd >= 0 && !m_dialling)
            m_reader->setEnabled(m_readLimit <= 0 || m_in.size() < m_readLimit);
    }

    void watchWrites(bool on)
    {
        if (!m_writer && on) {
            m_writer = new LinkNotifier(m_fd, QSocketNotifier::Write, this, [this] { onWritable(); });
        }
        if (m_writer)
            m_writer->setEnabled(on);
    }

    void onReadable()
    {
        if (m_fd < 0)
            return;
        const qint64 room = m_readLimit > 0 ? m_readLimit - m_in.size() : readChunk;
        if (room <= 0) {
            updateReader();
            return;
        }
        // One buffer a thread, off the stack: a read's handlers run deep below it.
        thread_local char buffer[readChunk];
        const ssize_t n = ::recv(m_fd, buffer, size_t(std::min(room, readChunk)), 0);
        if (n > 0) {
            if (m_draining)
                return;
            m_in.append(buffer, qsizetype(n));
            if (m_owner)
                m_owner->linkRead();
            else if (m_waitingId == 0) // not waiting either: nobody reads it any more
                m_in.clear();
            updateReader();
        } else if (n == 0) {
            end(0);
        } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            end(errno);
        }
    }

    void onWritable()
    {
        if (m_fd < 0)
            return;
        if (m_dialling) {
            int number = 0;
            socklen_t size = sizeof number;
            if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &number, &size) != 0)
                number = errno;
            if (number == EINPROGRESS || number == EALREADY)
                return;
            if (number != 0) {
                watchWrites(false);
                end(number);
                return;
            }
            // The reader first: the kernel is then told once, that reading takes over from writing.
            m_dialling = false;
            updateReader();
            watchWrites(false);
            if (m_owner)
                m_owner->linkConnected();
            if (m_outBytes > 0)
                flush();
            return;
        }
        flush();
    }

    // Gives the system what it takes of what is to go out; the notifier waits for the rest.
    void flush()
    {
        if (m_fd < 0 || m_dialling)
            return;
        qint64 total = 0;
        bool blocked = false;
        while (!m_out.empty()) {
            iovec pieces[16];
            int count = 0;
            qint64 asked = 0;
            for (auto it = m_out.begin(); it != m_out.end() && count < int(std::size(pieces)); ++it, ++count) {
                pieces[count].iov_base = const_cast<char *>(it->bytes.constData() + it->from);
                pieces[count].iov_len = size_t(it->to - it->from);
                asked += qint64(pieces[count].iov_len);
            }
            msghdr message {};
            message.msg_iov = pieces;
            message.msg_iovlen = size_t(count);
            const ssize_t n = ::sendmsg(m_fd, &message, MSG_NOSIGNAL);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                if (errno == EAGAIN || errno == EWOULDBLOCK) {
                    blocked = true;
                    break;
                }
                const int number = errno;
                end(number);
                return;
            }
            consume(qint64(n));
            total += n;
            if (n < asked) { // the system's buffer is full: it says when there is room again
                blocked = true;
                break;
            }
        }
        watchWrites(blocked);
        if (total == 0)
            return;
        m_handedAny = true;
        if (m_owner)
            m_owner->linkSent(total);
        else if (m_draining && m_outBytes == 0)
            finish();
    }

    void consume(qint64 n)
    {
        m_outBytes -= n;
        while (n > 0) {
            Piece &first = m_out.front();
            const qint64 left = first.to - first.from;
            if (n < left) {
                first.from += qsizetype(n);
                return;
            }
            n -= left;
            m_out.pop_front();
        }
    }

    // The connection is over: the peer closed it (0) or the system ended it (an error number).
    void end(int number)
    {
        unscheduleFlush();
        closeDescriptor();
        if (m_owner)
            m_owner->linkEnded(number);
        else if (m_waitingId != 0)
            endWaiting();
        else
            finish();
    }

    void endWaiting();

    // Sends are written when the loop next turns, all of a turn's together: a message and
    // what follows it go out in one call, and the signals come from the loop as they would
    // from the system.
    void scheduleFlush()
    {
        if (m_flushScheduled || m_fd < 0)
            return;
        m_flushScheduled = true;
        shared().flushQueue.push_back(this);
        if (!std::exchange(shared().flushPosted, true))
            QMetaObject::invokeMethod(QCoreApplication::instance(), &NetLink::flushScheduled, Qt::QueuedConnection);
    }

    void unscheduleFlush()
    {
        if (!std::exchange(m_flushScheduled, false))
            return;
        for (auto *queue : { &shared().flushQueue, &shared().flushRunning })
            std::replace(queue->begin(), queue->end(), this, static_cast<NetLink *>(nullptr));
    }

    // What the links of the loop's thread share.
    struct Shared {
        std::vector<NetLink *> spare;        // ended, ready for the next connection
        std::vector<NetLink *> retired;      // ended in this turn: ready from the next
        std::vector<NetLink *> flushQueue;   // with sends for the next turn
        std::vector<NetLink *> flushRunning; // being flushed in this turn
        bool flushPosted = false;
    };
    static Shared &shared()
    {
        static Shared lists;
        return lists;
    }

    // A room's worth is kept; beyond that, links that end go.
    static void takeBackRetired()
    {
        constexpr std::size_t kept = 1024;
        for (NetLink *link : std::exchange(shared().retired, {})) {
            if (shared().spare.size() < kept)
                shared().spare.push_back(link);
            else
                delete link;
        }
    }

    NetLink *m_previous = nullptr;
    NetLink *m_next = nullptr;
    int m_fd = -1;
    SocketAddress m_peer;
    QString m_peerIP; // worked out once: the log names it often
    QString m_localIP;
    NetSocket *m_owner = nullptr;
    int m_waitingId = 0; // waiting on its port to be accepted
    QSocketNotifier *m_reader = nullptr;
    QSocketNotifier *m_writer = nullptr; // made when the system first cannot take everything
    QTimer *m_drainLimit = nullptr;
    bool m_retired = false;
    QByteArray m_in;
    // What is to go out: parts of arrays shared with the sender, not copies.
    struct Piece {
        QByteArray bytes;
        qsizetype from;
        qsizetype to;
    };
    std::deque<Piece> m_out;
    qint64 m_outBytes = 0;
    qint64 m_readLimit = 0;
    bool m_dialling = false;
    bool m_draining = false;
    bool m_handedAny = false; // the system took bytes of this connection's to send
    bool m_flushScheduled = false;
};

LinkKeeper::~LinkKeeper()
{
    keeper() = nullptr;
    NetLink::dropSpares();
    while (NetLink *link = NetLink::all())
        delete link;
}

void NetLink::flushScheduled()
{
    // What a handler called from here sends waits for the next turn, as it would for the
    // system's word that there is room: a paper goes out a piece a turn, and a peer that
    // leaves meanwhile is seen before the rest is handed over.
    auto &running = shared().flushRunning;
    running = std::exchange(shared().flushQueue, {});
    shared().flushPosted = false;
    for (std::size_t i = 0; i < running.size(); ++i) {
        if (NetLink *link = std::exchange(running[i], nullptr)) {
            link->m_flushScheduled = false;
            link->flush();
        }
    }
    running.clear();
}

// The listening ports of this process: each keeps its listening descriptor and the
// connections that wait to be accepted, so that an object can close and a new one
// listen on the same port within one event without refusing anyone meanwhile.
class PortHub
{
public:
    // What a connection nobody has accepted yet may send before the network holds it back:
    // a request or a login fits many times over, a flood waits in the peer's own memory.
    static constexpr qint64 waitingReadLimit = 64 * 1024;
    static constexpr int backlog = 1024; // a room logging in at once must not overflow it

    struct Waiting {
        NetLink *link;
        quint64 announcedTo; // the identity of the object it was announced to
    };
    struct Port {
        int fd = -1;
        QSocketNotifier *notifier = nullptr;
        NetSocket *owner = nullptr;
        QList<Waiting> waiting;
        bool releasing = false;   // a check whether to free it is on its way
        bool dispatching = false; // announcing: a listener that comes meanwhile is told in the same round
    };

    static std::map<quint16, Port> &ports()
    {
        static std::map<quint16, Port> p;
        return p;
    }

    // The port the object now listens on, or 0 with the system's error number set (-1: another
    // object of this process listens on it).
    static quint16 listen(NetSocket *owner, quint16 port, int *number)
    {
        auto &all = ports();
        if (port != 0) {
            auto it = all.find(port);
            if (it != all.end()) {
                if (it->second.owner && it->second.owner != owner) {
                    *number = -1;
                    return 0;
                }
                it->second.owner = owner;
                if (!it->second.waiting.isEmpty() && !it->second.dispatching)
                    scheduleDispatch(port); // arrivals from now on are announced as they come
                return port;
            }
        }
        // Both kinds of address where the system has IPv6, IPv4 alone where it has not.
        int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        SocketAddress any;
        if (fd >= 0) {
            const int no = 0;
            ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &no, sizeof no);
            auto *in6 = reinterpret_cast<sockaddr_in6 *>(&any.storage);
            in6->sin6_family = AF_INET6;
            in6->sin6_port = htons(port);
            in6->sin6_addr = in6addr_any;
            any.size = sizeof(sockaddr_in6);
        } else {
            fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            any = toSocketAddress(QHostAddress(QHostAddress::AnyIPv4), port);
        }
        const int yes = 1;
        if (fd >= 0) // the connections it accepts take it over, as connections dialled are given it
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        if (fd < 0 || ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0
            || ::bind(fd, any.get(), any.size) != 0 || ::listen(fd, backlog) != 0) {
            *number = errno;
            if (fd >= 0)
                ::close(fd);
            return 0;
        }
        const quint16 actual = portOf(localAddressOf(fd));
        Port &entry = all[actual];
        entry.fd = fd;
        entry.owner = owner;
        // Owned by the application, so nothing outlives it when it ends without another turn of its loop.
        entry.notifier = new LinkNotifier(fd, QSocketNotifier::Read, QCoreApplication::instance(), [actual] { takeNew(actual); });
        return actual;
    }

    static void release(quint16 port)
    {
        auto it = ports().find(port);
        if (it == ports().end())
            return;
        it->second.owner = nullptr;
        // Freed only when nobody listens again before the event loop turns; a listener that
        // moves from object to object for every connection asks once a turn, not every time.
        if (std::exchange(it->second.releasing, true))
            return;
        QTimer::singleShot(0, [port] {
            auto it = ports().find(port);
            if (it == ports().end())
                return;
            it->second.releasing = false;
            if (it->second.owner)
                return;
            for (const Waiting &w : it->second.waiting)
                w.link->finish();
            if (it->second.notifier) {
                it->second.notifier->setEnabled(false);
                it->second.notifier->deleteLater();
            }
            ::close(it->second.fd);
            ports().erase(it);
        });
    }

    static QList<int> waitingIds(quint16 port)
    {
        QList<int> ids;
        auto it = ports().find(port);
        if (it != ports().end())
            for (const Waiting &w : it->second.waiting)
                ids.append(w.link->waitingId());
        return ids;
    }

    static NetLink *take(int id)
    {
        for (auto &[port, entry] : ports()) {
            for (qsizetype i = 0; i < entry.waiting.size(); ++i) {
                NetLink *link = entry.waiting[i].link;
                if (link->waitingId() == id) {
                    entry.waiting.removeAt(i);
                    link->setWaitingId(0);
                    return link;
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
        if (it == ports().end())
            return;
        Port &entry = it->second;
        // A turn takes what the backlog holds, up to a bound, so that other work is not starved.
        for (int k = 0; k < backlog; ++k) {
            SocketAddress peer;
            peer.size = sizeof peer.storage;
            const int fd = ::accept4(entry.fd, reinterpret_cast<sockaddr *>(&peer.storage), &peer.size,
                                     SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0) {
                if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                    // Out of descriptors: the waiting clients stay in the backlog until some are free.
                    entry.notifier->setEnabled(false);
                    QTimer::singleShot(100, entry.notifier, [n = entry.notifier] { n->setEnabled(true); });
                    break;
                }
                if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO)
                    continue;
                break; // EAGAIN: nothing more waits
            }
            auto *link = NetLink::make(fd, peer);
            link->setWaitingId(++nextId);
            link->setReadLimit(waitingReadLimit);
            link->start(false);
            entry.waiting.append({ link, 0 });
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
        const auto done = qScopeGuard([port] {
            if (auto it = ports().find(port); it != ports().end())
                it->second.dispatching = false;
        });
        for (;;) {
            auto it = ports().find(port);
            if (it == ports().end() || !it->second.owner)
                return;
            it->second.dispatching = true;
            NetSocket *owner = it->second.owner;
            int id = 0;
            for (Waiting &w : it->second.waiting) {
                if (w.announcedTo != owner->m_identity) {
                    w.announcedTo = owner->m_identity;
                    id = w.link->waitingId();
                    break;
                }
            }
            if (id == 0)
                return;
            owner->announce(id);
        }
    }
};

// A client that gives up while waiting leaves the queue.
void NetLink::endWaiting()
{
    if (NetLink *link = PortHub::take(m_waitingId))
        link->finish();
}

namespace {

quint64 newIdentity()
{
    static quint64 identities = 0;
    return ++identities;
}

} // namespace

NetSocket::NetSocket(QObject *parent) : QObject(parent), m_identity(newIdentity())
{
}

NetSocket::~NetSocket()
{
    close();
}

quint16 NetSocket::localPort() const
{
    if (m_state == State::Listening)
        return m_listeningPort;
    if (m_link && !m_link->ended())
        return portOf(localAddressOf(m_link->fd()));
    return m_localPort;
}

bool NetSocket::listen()
{
    close();
    int number = 0;
    const quint16 port = PortHub::listen(this, m_localPort, &number);
    if (port == 0) {
        m_state = State::Error;
        if (number < 0) {
            emit error(int(QAbstractSocket::AddressInUseError),
                       QStringLiteral("The port %1 is already listened on").arg(m_localPort));
        } else {
            const auto [code, description] = describe(number);
            emit error(code, description);
        }
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
    NetLink *link = PortHub::take(requestId);
    if (!link)
        return false;
    adopt(link);
    m_state = State::Connected;
    // What arrived before the accept is reported as if it arrived now; what comes later the
    // connection reports itself.
    if (link->bytesAvailable() == 0)
        return true;
    QTimer::singleShot(0, this, [this, serial = m_linkSerial] {
        if (serial == m_linkSerial && m_link && m_link->bytesAvailable() > 0)
            emit dataArrival(m_link->bytesAvailable());
    });
    return true;
}

void NetSocket::connectTo(const QString &host, quint16 port, const QString &localAddress)
{
    close();
    m_state = State::Connecting;
    m_dialPort = port;
    m_dialFrom = localAddress;
    const QHostAddress address = addressOf(host);
    if (!address.isNull()) {
        m_addresses = { address };
        dialNext(0);
        return;
    }
    m_lookup = QHostInfo::lookupHost(host, this, [this](const QHostInfo &found) {
        m_lookup = -1;
        if (m_state != State::Connecting || m_link)
            return;
        m_addresses = found.addresses();
        if (m_addresses.isEmpty()) {
            m_state = State::Error;
            emit error(int(QAbstractSocket::HostNotFoundError), QStringLiteral("Host not found"));
            return;
        }
        dialNext(0);
    });
}

void NetSocket::dialNext(int lastError)
{
    while (!m_addresses.isEmpty()) {
        const QHostAddress address = m_addresses.takeFirst();
        const SocketAddress to = toSocketAddress(address, m_dialPort);
        const int fd = ::socket(to.family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        if (!m_dialFrom.isEmpty()) {
            // From the address the peer knows this machine by; one that cannot be taken ends the attempt.
            const SocketAddress from = toSocketAddress(addressOf(m_dialFrom), 0);
            // The port is chosen by the connect, for this peer: a port bound first would have
            // to be free towards every peer, and a day's closed connections hold many.
            const int yes = 1;
            ::setsockopt(fd, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &yes, sizeof yes);
            if (from.family() != to.family() || ::bind(fd, from.get(), from.size) != 0) {
                const int number = from.family() != to.family() ? EADDRNOTAVAIL : errno;
                ::close(fd);
                m_addresses.clear();
                m_state = State::Error;
                const auto [code, description] = describe(number);
                emit error(code, description);
                return;
            }
        }
        if (::connect(fd, to.get(), to.size) != 0 && errno != EINPROGRESS) {
            lastError = errno;
            ::close(fd);
            continue;
        }
        adopt(NetLink::make(fd, to));
        m_link->start(true); // the system says when the connection is made, or why not
        return;
    }
    // Told from the loop, as an attempt that ends later would be.
    QTimer::singleShot(0, this, [this, serial = m_linkSerial, lastError] {
        if (serial != m_linkSerial || m_state != State::Connecting || m_link)
            return;
        m_state = State::Error;
        const auto [code, description] = describe(lastError ? lastError : ECONNREFUSED);
        emit error(code, description);
    });
}

void NetSocket::adopt(NetLink *link)
{
    ++m_linkSerial;
    m_link = link;
    link->setOwner(this);
    link->setReadLimit(m_readLimit); // a waiting connection's limit gives way to this object's
}

void NetSocket::linkConnected()
{
    m_state = State::Connected;
    emit connected();
}

void NetSocket::linkRead()
{
    emit dataArrival(m_link->bytesAvailable());
}

void NetSocket::linkSent(qint64 bytes)
{
    const quint64 serial = m_linkSerial;
    emit bytesSent(bytes);
    if (serial == m_linkSerial && m_link && m_link->bytesToWrite() == 0)
        emit sendComplete();
}

void NetSocket::linkEnded(int number)
{
    if (m_state == State::Connecting) {
        // The next address of a name, if any; the link is let go either way.
        NetLink *link = std::exchange(m_link, nullptr);
        ++m_linkSerial;
        link->finish();
        if (!m_addresses.isEmpty()) {
            dialNext(number);
            return;
        }
        m_state = State::Error;
        const auto [code, description] = describe(number);
        emit error(code, description);
        return;
    }
    if (m_state != State::Connected)
        return;
    if (number == 0) {
        m_state = State::Closing; // what arrived can still be read
        emit closed();
        return;
    }
    m_state = State::Error;
    const auto [code, description] = describe(number);
    emit error(code, description);
}

void NetSocket::send(const QByteArray &bytes)
{
    send(bytes, 0, bytes.size());
}

void NetSocket::send(const QByteArray &bytes, qsizetype from, qsizetype length)
{
    if (m_link && m_state == State::Connected && from >= 0 && length >= 0 && from + length <= bytes.size())
        m_link->send(bytes, from, length);
}

QByteArray NetSocket::readAll()
{
    return m_link ? m_link->readAll() : QByteArray();
}

qint64 NetSocket::bytesAvailable() const
{
    return m_link ? m_link->bytesAvailable() : 0;
}

qint64 NetSocket::bytesToWrite() const
{
    return m_link ? m_link->bytesToWrite() : 0;
}

qint64 NetSocket::unacknowledgedBytes() const
{
    return m_link ? m_link->unacknowledgedBytes() : 0;
}

void NetSocket::setReadBufferSize(qint64 bytes)
{
    m_readLimit = bytes;
    if (m_link)
        m_link->setReadLimit(bytes);
}

void NetSocket::detach()
{
    m_addresses.clear();
    if (m_lookup >= 0)
        QHostInfo::abortHostLookup(std::exchange(m_lookup, -1));
    NetLink *link = std::exchange(m_link, nullptr);
    ++m_linkSerial;
    // What was handed over still goes out; then the connection ends and the link goes.
    if (link)
        link->drainAndEnd();
}

void NetSocket::close()
{
    if (m_state == State::Listening)
        PortHub::release(m_listeningPort);
    // Taken up again, the object is told of the requests waiting as a new object would be.
    if (m_state != State::Closed)
        m_identity = newIdentity();
    m_listeningPort = 0;
    detach();
    m_state = State::Closed;
}

QString NetSocket::remoteHostIP() const
{
    return m_link ? m_link->peerIP() : QString();
}

quint16 NetSocket::remotePort() const
{
    return m_link ? portOf(m_link->peer()) : 0;
}

QString NetSocket::localIP() const
{
    return m_link ? m_link->localIP() : QString();
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
