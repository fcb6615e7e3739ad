// One epoll event loop and the non-blocking TCP sockets the load generator drives with it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace loadgen {

using Clock = std::chrono::steady_clock;

// Dispatches readiness events to handlers. A handler may remove any descriptor, its own
// included; events still queued for a removed descriptor are dropped, also when the
// number has meanwhile been reused for a new socket.
class Reactor
{
public:
    using Handler = std::function<void(uint32_t events)>;

    Reactor();
    ~Reactor();
    Reactor(const Reactor &) = delete;
    Reactor &operator=(const Reactor &) = delete;

    void add(int fd, uint32_t events, Handler handler);
    void modify(int fd, uint32_t events);
    // Forgets the descriptor and closes it.
    void close(int fd);

    // Runs until done() holds (checked after every batch of events) or the deadline passes;
    // false on the deadline.
    bool run(const std::function<bool()> &done, Clock::time_point deadline);
    // Handles the events of one wait of at most timeoutMs.
    void poll(int timeoutMs);

    size_t watched() const { return m_live; }
    // Runs after the handlers of each batch of events, for work that is cheaper done once a batch.
    std::function<void()> afterBatch;
    // When not negative, no wait for events lasts longer than this, so afterBatch runs in time.
    int maxWaitMs = -1;

private:
    struct Entry;
    Entry *find(int fd) const;

    int m_epoll;
    std::vector<std::unique_ptr<Entry>> m_entries; // indexed by descriptor
    std::vector<std::unique_ptr<Entry>> m_retired; // freed once the current batch is handled
    size_t m_live = 0;
};

// A connection with a queue of bytes the kernel has not taken yet.
class Connection
{
public:
    Connection(Reactor &reactor, int fd) : m_reactor(reactor), m_fd(fd) { }
    ~Connection() { close(); }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Starts watching; onReadable gets every EPOLLIN/EPOLLHUP/EPOLLERR, writes are handled here.
    void watch(std::function<void()> onReadable);
    // Writes what the kernel takes now and keeps the rest for when the socket has room.
    // A view is kept as it is (its bytes must outlive the sending): large bodies are not copied.
    void send(std::string_view bytes, bool copy = true);
    bool sending() const { return m_pending < m_out.size() || !m_view.empty(); }
    // Called when everything handed to send() has been taken by the kernel.
    std::function<void()> onDrained;
    // Reads what is there into buffer; returns bytes read, 0 at the peer's close, -1 when
    // nothing is there yet, -2 on an error.
    long read(char *buffer, size_t size);
    void close();
    int fd() const { return m_fd; }
    bool failed() const { return m_failed; }

private:
    void flush();
    void setWriting(bool on);

    Reactor &m_reactor;
    int m_fd;
    std::string m_out;
    size_t m_pending = 0;
    std::string_view m_view;
    bool m_writing = false;
    bool m_failed = false;
};

// Non-blocking sockets on IPv4 addresses. Each returns -1 and sets why on failure.
int listenOn(const std::string &host, uint16_t port, int backlog, std::string *why);
int connectTo(const std::string &host, uint16_t port, std::string *why);
int acceptFrom(int listener);
uint16_t localPort(int fd);

} // namespace loadgen
