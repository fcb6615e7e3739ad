// One epoll event loop and the non-blocking TCP sockets the load generator drives with it.
#include "bench/loadgen/reactor.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdexcept>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace loadgen {

struct Reactor::Entry {
    int fd;
    Handler handler;
    bool live = true;
};

Reactor::Reactor() : m_epoll(::epoll_create1(EPOLL_CLOEXEC))
{
    if (m_epoll < 0)
        throw std::runtime_error(std::string("epoll_create1: ") + std::strerror(errno));
}

Reactor::~Reactor()
{
    for (auto &e : m_entries)
        if (e)
            ::close(e->fd);
    ::close(m_epoll);
}

Reactor::Entry *Reactor::find(int fd) const
{
    return fd >= 0 && size_t(fd) < m_entries.size() ? m_entries[size_t(fd)].get() : nullptr;
}

void Reactor::add(int fd, uint32_t events, Handler handler)
{
    if (size_t(fd) >= m_entries.size())
        m_entries.resize(size_t(fd) + 1);
    auto entry = std::make_unique<Entry>(Entry { fd, std::move(handler) });
    epoll_event ev {};
    ev.events = events;
    ev.data.ptr = entry.get();
    if (::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &ev) != 0)
        throw std::runtime_error(std::string("epoll_ctl add: ") + std::strerror(errno));
    m_entries[size_t(fd)] = std::move(entry);
    ++m_live;
}

void Reactor::modify(int fd, uint32_t events)
{
    Entry *e = find(fd);
    if (!e)
        return;
    epoll_event ev {};
    ev.events = events;
    ev.data.ptr = e;
    ::epoll_ctl(m_epoll, EPOLL_CTL_MOD, fd, &ev);
}

void Reactor::close(int fd)
{
    if (Entry *e = find(fd)) {
        ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
        e->live = false;
        // Kept until the batch is over: the handler running now may be this one.
        m_retired.push_back(std::move(m_entries[size_t(fd)]));
        --m_live;
    }
    ::close(fd);
}

void Reactor::poll(int timeoutMs)
{
    epoll_event events[256];
    if (maxWaitMs >= 0 && (timeoutMs < 0 || timeoutMs > maxWaitMs))
        timeoutMs = maxWaitMs;
    const int n = ::epoll_wait(m_epoll, events, 256, timeoutMs);
    for (int i = 0; i < n; ++i) {
        auto *e = static_cast<Entry *>(events[i].data.ptr);
        if (e->live)
            e->handler(events[i].events);
    }
    if (afterBatch)
        afterBatch();
    m_retired.clear();
}

bool Reactor::run(const std::function<bool()> &done, Clock::time_point deadline)
{
    while (!done()) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline)
            return false;
        // Rounded up, so that a run never ends before its deadline.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
        poll(int(std::min<long long>(left, 1000)));
    }
    return true;
}

void Connection::watch(std::function<void()> onReadable)
{
    m_reactor.add(m_fd, EPOLLIN | EPOLLRDHUP, [this, onReadable = std::move(onReadable)](uint32_t ev) {
        if ((ev & EPOLLOUT) && m_writing)
            flush();
        if (ev & (EPOLLIN | EPOLLHUP | EPOLLERR | EPOLLRDHUP))
            onReadable();
    });
}

void Connection::send(std::string_view bytes, bool copy)
{
    if (m_fd < 0 || bytes.empty())
        return;
    if (copy || sending()) {
        if (!m_view.empty()) {
            // Keeps the order: what waits as a view goes before the new bytes.
            m_out.append(m_view);
            m_view = {};
        }
        m_out.append(bytes);
    } else {
        m_view = bytes;
    }
    flush();
}

void Connection::flush()
{
    while (m_fd >= 0 && (m_pending < m_out.size() || !m_view.empty())) {
        const bool fromView = m_pending >= m_out.size();
        const char *data = fromView ? m_view.data() : m_out.data() + m_pending;
        const size_t size = fromView ? m_view.size() : m_out.size() - m_pending;
        const ssize_t n = ::send(m_fd, data, size, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                setWriting(true);
                return;
            }
            m_failed = true; // the reader sees the error or the close
            m_out.clear();
            m_pending = 0;
            m_view = {};
            break;
        }
        if (fromView) {
            m_view.remove_prefix(size_t(n));
        } else {
            m_pending += size_t(n);
            if (m_pending == m_out.size()) {
                m_out.clear();
                m_pending = 0;
            }
        }
    }
    setWriting(false);
    if (onDrained && !m_failed)
        onDrained();
}

void Connection::setWriting(bool on)
{
    if (on == m_writing)
        return;
    m_writing = on;
    m_reactor.modify(m_fd, EPOLLIN | EPOLLRDHUP | (on ? EPOLLOUT : 0u));
}

long Connection::read(char *buffer, size_t size)
{
    for (;;) {
        const ssize_t n = ::recv(m_fd, buffer, size, 0);
        if (n >= 0)
            return long(n);
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? -1 : -2;
    }
}

void Connection::close()
{
    if (m_fd >= 0)
        m_reactor.close(m_fd);
    m_fd = -1;
}

namespace {

bool address(const std::string &host, uint16_t port, sockaddr_in *a, std::string *why)
{
    *a = {};
    a->sin_family = AF_INET;
    a->sin_port = htons(port);
    if (::inet_pton(AF_INET, host.c_str(), &a->sin_addr) != 1) {
        *why = "not an IPv4 address: " + host;
        return false;
    }
    return true;
}

int fail(int fd, std::string *why, const char *what)
{
    *why = std::string(what) + ": " + std::strerror(errno);
    if (fd >= 0)
        ::close(fd);
    return -1;
}

// A non-blocking IPv4 socket for host:port, whose address goes to a; -1 with why set.
int newSocket(const std::string &host, uint16_t port, sockaddr_in *a, std::string *why)
{
    if (!address(host, port, a, why))
        return -1;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    return fd < 0 ? fail(fd, why, "socket") : fd;
}

} // namespace

int listenOn(const std::string &host, uint16_t port, int backlog, std::string *why)
{
    sockaddr_in a;
    const int fd = newSocket(host, port, &a, why);
    if (fd < 0)
        return -1;
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0)
        return fail(fd, why, "bind");
    if (::listen(fd, backlog) != 0)
        return fail(fd, why, "listen");
    return fd;
}

int connectTo(const std::string &host, uint16_t port, std::string *why)
{
    sockaddr_in a;
    const int fd = newSocket(host, port, &a, why);
    if (fd < 0)
        return -1;
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one); // short messages go at once
    if (::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 && errno != EINPROGRESS)
        return fail(fd, why, "connect");
    return fd;
}

int acceptFrom(int listener)
{
    for (;;) {
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0 || errno != EINTR)
            return fd;
    }
}

uint16_t localPort(int fd)
{
    sockaddr_in a {};
    socklen_t size = sizeof a;
    if (::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &size) != 0)
        return 0;
    return ntohs(a.sin_port);
}

} // namespace loadgen
