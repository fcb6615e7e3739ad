// The load generator's other runs: many downloads from a web server, and many idle candidates.
#include "bench/loadgen/probes.h"

#include "bench/loadgen/measure.h"
#include "wire/wiretags.h"

#include <map>

#include <unistd.h>

namespace loadgen {

namespace {

class Downloads
{
public:
    Downloads(Reactor &reactor, const HttpOptions &options)
        : m_reactor(reactor), m_options(options),
          m_request("GET " + options.path + " HTTP/1.0\r\nHost: " + options.host + "\r\n\r\n")
    {
    }

    HttpResult run()
    {
        const Clock::time_point begin = Clock::now();
        // New requests start between batches of events, so that a failing one never recurses.
        const bool inTime = m_reactor.run(
            [this] {
                while (m_started < m_options.requests && m_started - m_done < m_options.concurrency)
                    startNext();
                return m_done == m_options.requests;
            },
            begin + m_options.timeout);
        m_result.seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        if (!inTime)
            noteFailure(m_result.failures, std::to_string(m_options.requests - m_done) + " requests unanswered in time");
        return std::move(m_result);
    }

private:
    struct Request {
        std::unique_ptr<Connection> conn;
        std::string answer;
    };

    void startNext()
    {
        ++m_started;
        std::string why;
        const int fd = connectTo(m_options.host, m_options.port, &why);
        if (fd < 0) {
            finish(nullptr, "connect: " + why);
            return;
        }
        auto request = std::make_unique<Request>();
        Request *r = request.get();
        r->conn = std::make_unique<Connection>(m_reactor, fd);
        r->conn->watch([this, r] { onData(r); });
        r->conn->send(m_request);
        m_open[r] = std::move(request);
    }

    void onData(Request *r)
    {
        char buffer[65536];
        const long n = r->conn->read(buffer, sizeof buffer);
        if (n == -1)
            return;
        if (n > 0) {
            r->answer.append(buffer, size_t(n));
            return;
        }
        if (n == -2) {
            finish(r, "connection failed after " + std::to_string(r->answer.size()) + " bytes");
            return;
        }
        const HttpAnswer a = parseHttpAnswer(r->answer);
        const std::string why = checkHttpAnswer(a, m_options.expectedLength);
        if (why.empty())
            m_result.bodyBytes += a.bodyBytes;
        finish(r, why);
    }

    void finish(Request *r, const std::string &why)
    {
        if (why.empty())
            ++m_result.ok;
        else
            noteFailure(m_result.failures, why);
        ++m_done;
        if (r)
            m_open.erase(r); // the connection closes with it
    }

    Reactor &m_reactor;
    const HttpOptions &m_options;
    std::string m_request;
    std::map<Request *, std::unique_ptr<Request>> m_open;
    int m_started = 0;
    int m_done = 0;
    HttpResult m_result;
};

} // namespace

HttpResult runHttp(Reactor &reactor, const HttpOptions &options)
{
    return Downloads(reactor, options).run();
}

HoldResult runHold(Reactor &reactor, const HoldOptions &options)
{
    HoldResult result;
    if (options.serverPid > 0) {
        if (auto kib = residentKib(readProcFile(options.serverPid, "status")))
            result.rssBeforeKib = *kib;
    }
    std::vector<std::unique_ptr<Connection>> conns;
    std::vector<char> greeted(size_t(options.connections), 0);
    int closed = 0;
    for (int i = 0; i < options.connections; ++i) {
        std::string why;
        const int fd = connectTo(options.host, options.port, &why);
        if (fd < 0) {
            noteFailure(result.failures, "connection " + std::to_string(i) + ": " + why);
            break;
        }
        conns.push_back(std::make_unique<Connection>(reactor, fd));
        Connection *c = conns.back().get();
        c->watch([&, c, i] {
            char buffer[4096];
            const long n = c->read(buffer, sizeof buffer);
            if (n == -1)
                return;
            if (n > 0 && std::string_view(buffer, size_t(n)).substr(0, 4) == wire::tagAnnounce && !greeted[size_t(i)]) {
                greeted[size_t(i)] = 1;
                ++result.greeted;
                return;
            }
            if (n <= 0) {
                ++closed;
                noteFailure(result.failures, "connection " + std::to_string(i) + " closed by the server");
                c->close();
            }
        });
    }
    const int opened = int(conns.size());
    reactor.run([&] { return result.greeted + closed >= opened; }, Clock::now() + options.timeout);
    if (result.greeted < options.connections)
        noteFailure(result.failures, std::to_string(result.greeted) + " of " + std::to_string(options.connections)
                                         + " connections greeted");
    if (options.serverPid > 0) {
        if (auto kib = residentKib(readProcFile(options.serverPid, "status")))
            result.rssKib = *kib;
        const auto before = cpuTicks(readProcFile(options.serverPid, "stat"));
        const Clock::time_point begin = Clock::now();
        // Nothing is sent meanwhile; anything the server does now is its own doing.
        reactor.run([] { return false; }, begin + options.idle);
        const auto after = cpuTicks(readProcFile(options.serverPid, "stat"));
        result.idleSeconds = std::chrono::duration<double>(Clock::now() - begin).count();
        if (before && after)
            result.idleCpuSeconds = double(*after - *before) / double(::sysconf(_SC_CLK_TCK));
        else
            noteFailure(result.failures, "cannot read /proc/" + std::to_string(options.serverPid) + "/stat");
    }
    return result;
}

} // namespace loadgen
