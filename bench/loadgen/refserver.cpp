// The least server the fetch and submit exchanges need: the paper from memory, no log, no files.
#include "bench/loadgen/refserver.h"

#include "report/report.h"
#include "wire/wiremessages.h"
#include "wire/wiretags.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
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

} // namespace

ReferenceServer::ReferenceServer(Reactor &reactor, std::string paperName, std::string paper, int resultFile,
                                 std::chrono::milliseconds grouping, int transfers)
    : m_reactor(reactor), m_name(std::move(paperName)), m_paper(std::move(paper)),
      m_announcement(wire::tagAnnounce
                     + wire::announcement(QString::fromStdString(m_name), qint64(m_paper.size())).toStdString()),
      m_transfers(size_t(std::max(transfers, 1))),
      m_resultFile(resultFile),
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
    // Each arrival is taken as one message; one that would need more bytes is not waited for.
    const wire::ParsedMessage message = wire::parseMessage(QByteArrayView(buffer, qsizetype(n)));
    if (message.status != wire::ParseStatus::Ok)
        return;
    const QString tag = message.tag();
    if (tag == wire::tagLogin) {
        if (!m_logins.insert(message.id().toStdString()).second) {
            c.conn->send(wire::tagDuplicate);
            return;
        }
        const auto port = uint16_t(message.afterId().toUInt());
        if (m_files.size() < m_transfers)
            startFile(c, port);
        else
            m_queue.push_back({ serial, port });
    } else if (tag == wire::tagRequestFile) {
        auto file = m_files.find(serial);
        if (file != m_files.end())
            file->second->send(m_paper, false);
    } else if (tag == wire::tagOver) {
        if (!m_files.contains(serial))
            return;
        c.conn->send(wire::tagFinished);
        endTransfer(serial);
    } else if (tag == wire::tagReport) {
        m_entries.push_back(report::reportEntry(QString::fromStdString(c.ip), message.id(), message.afterId()).toStdString());
        m_unsynced += m_entries.back() + '\n';
        if (m_unconfirmed.empty())
            m_firstUnconfirmed = Clock::now();
        m_unconfirmed.push_back(serial);
    }
}

void ReferenceServer::drop(uint64_t serial)
{
    m_clients.erase(serial);
    if (m_files.contains(serial))
        endTransfer(serial);
}

void ReferenceServer::startFile(Client &client, uint16_t port)
{
    std::string why;
    const int fd = connectTo(client.ip, port, &why);
    if (fd < 0)
        return;
    const uint64_t serial = client.serial;
    Connection &file = *(m_files[serial] = std::make_unique<Connection>(m_reactor, fd));
    file.watch([this, serial, &file] {
        char sink[512];
        if (file.read(sink, sizeof sink) != -1)
            endTransfer(serial); // the candidate never sends on it: this is its close or an error
    });
}

void ReferenceServer::endTransfer(uint64_t serial)
{
    m_files.erase(serial);
    serveQueue();
}

void ReferenceServer::serveQueue()
{
    while (m_files.size() < m_transfers && !m_queue.empty()) {
        const Waiting next = m_queue.front();
        m_queue.pop_front();
        auto it = m_clients.find(next.serial);
        if (it != m_clients.end())
            startFile(it->second, next.port);
    }
}

} // namespace loadgen
