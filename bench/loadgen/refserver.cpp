// The least server the fetch and submit exchanges need: the paper from memory, no log, no files.
#include "refserver.h"

#include "wiretags.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <utility>

namespace loadgen {

namespace {

std::string peerIp(int fd)
{
    sockaddr_in a {};
    socklen_t size = sizeof a;
    char text[INET_ADDRSTRLEN] = {};
    if (::getpeername(fd, reinterpret_cast<sockaddr *>(&a), &size) != 0
        || !::inet_ntop(AF_INET, &a.sin_addr, text, sizeof text))
        return {};
    return text;
}

std::string trimmed(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return std::string(s);
}

} // namespace

ReferenceServer::ReferenceServer(Reactor &reactor, std::string paperName, std::string paper, int resultFile,
                                 std::chrono::milliseconds grouping)
    : m_reactor(reactor), m_name(std::move(paperName)), m_paper(std::move(paper)),
      m_announcement(wire::tagAnnounce + m_name + ',' + std::to_string(m_paper.size())), m_resultFile(resultFile),
      m_grouping(grouping)
{
}

void ReferenceServer::storeResults()
{
    if (m_unconfirmed.empty() || m_storeFailed)
        return;
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_firstUnconfirmed);
    if (waited < m_grouping) {
        m_reactor.maxWaitMs = int((m_grouping - waited).count()) + 1;
        return;
    }
    m_reactor.maxWaitMs = -1;
    if (m_resultFile >= 0) {
        for (size_t done = 0; done < m_unsynced.size();) {
            const ssize_t n = ::write(m_resultFile, m_unsynced.data() + done, m_unsynced.size() - done);
            if (n <= 0) {
                m_storeFailed = true;
                return;
            }
            done += size_t(n);
        }
        if (::fdatasync(m_resultFile) != 0) {
            m_storeFailed = true;
            return;
        }
    }
    m_unsynced.clear();
    for (uint64_t serial : std::exchange(m_unconfirmed, {})) {
        auto it = m_clients.find(serial);
        if (it != m_clients.end())
            it->second.conn->send(wire::tagFinished);
    }
}

ReferenceServer::~ReferenceServer()
{
    m_reactor.afterBatch = nullptr;
    if (m_listener >= 0)
        m_reactor.close(m_listener);
}

void ReferenceServer::serve(int listener)
{
    m_listener = listener;
    m_reactor.afterBatch = [this] { storeResults(); };
    m_reactor.add(listener, EPOLLIN, [this](uint32_t) { onAccept(); });
}

void ReferenceServer::onAccept()
{
    for (;;) {
        const int fd = acceptFrom(m_listener);
        if (fd < 0)
            return;
        const uint64_t serial = ++m_nextSerial;
        Client &c = m_clients[serial];
        c.serial = serial;
        c.ip = peerIp(fd);
        c.conn = std::make_unique<Connection>(m_reactor, fd);
        c.conn->watch([this, serial] { onMessage(serial); });
        c.conn->send(m_announcement);
    }
}

void ReferenceServer::onMessage(uint64_t serial)
{
    auto it = m_clients.find(serial);
    if (it == m_clients.end())
        return;
    Client &c = it->second;
    char buffer[4096];
    const long n = c.conn->read(buffer, sizeof buffer);
    if (n == -1)
        return;
    if (n <= 0) {
        drop(serial);
        return;
    }
    const std::string_view message(buffer, size_t(n));
    const std::string_view tag = message.substr(0, 4);
    if (tag == wire::tagLogin && message.size() >= 17) {
        if (!m_logins.insert(trimmed(message.substr(4, 12))).second) {
            c.conn->send(wire::tagDuplicate);
            return;
        }
        const auto port = uint16_t(std::atoi(std::string(message.substr(16)).c_str()));
        if (m_served == 0)
            startFile(c, port);
        else
            m_queue.push_back({ serial, port });
    } else if (tag == wire::tagRequestFile) {
        if (m_served != 0 && m_file)
            m_file->send(m_paper, false);
    } else if (tag == wire::tagOver) {
        if (m_served != serial)
            return;
        m_file.reset();
        c.conn->send(wire::tagFinished);
        endTransfer();
    } else if (tag == wire::tagReport && message.size() >= 16) {
        m_entries.push_back(c.ip + ':' + trimmed(message.substr(4, 12)) + ':' + std::string(message.substr(16)));
        m_unsynced += m_entries.back() + '\n';
        if (m_unconfirmed.empty())
            m_firstUnconfirmed = Clock::now();
        m_unconfirmed.push_back(serial);
    }
}

void ReferenceServer::drop(uint64_t serial)
{
    m_clients.erase(serial);
    if (m_served == serial)
        endTransfer();
}

void ReferenceServer::startFile(Client &client, uint16_t port)
{
    std::string why;
    const int fd = connectTo(client.ip, port, &why);
    if (fd < 0)
        return;
    m_served = client.serial;
    m_file = std::make_unique<Connection>(m_reactor, fd);
    m_file->watch([this] {
        char sink[512];
        if (m_file->read(sink, sizeof sink) != -1)
            endTransfer(); // the candidate never sends on it: this is its close or an error
    });
}

void ReferenceServer::endTransfer()
{
    m_file.reset();
    m_served = 0;
    serveQueue();
}

void ReferenceServer::serveQueue()
{
    while (m_served == 0 && !m_queue.empty()) {
        const Waiting next = m_queue.front();
        m_queue.pop_front();
        auto it = m_clients.find(next.serial);
        if (it != m_clients.end())
            startFile(it->second, next.port);
    }
}

} // namespace loadgen
