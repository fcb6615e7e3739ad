// Rooms, downloads and idle candidates run in one process against loadgen's own servers.
#include "bench/loadgen/measure.h"
#include "bench/loadgen/probes.h"
#include "bench/loadgen/refserver.h"
#include "bench/loadgen/room.h"

#include "common/clsencryptxor.h"

#include <sys/epoll.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace loadgen;
using namespace std::chrono_literals;

namespace {

std::string paperOf(size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = char('A' + (i * 7 + i / 251) % 26);
    return bytes;
}

// The reference server on a port of the system's choosing, in the test's own reactor.
struct Served {
    Reactor reactor;
    std::unique_ptr<ReferenceServer> server;
    uint16_t port = 0;

    Served(const std::string &paper, int resultFile = -1)
    {
        std::string why;
        const int listener = listenOn("127.0.0.1", 0, 512, &why);
        EXPECT_GE(listener, 0) << why;
        port = localPort(listener);
        server = std::make_unique<ReferenceServer>(reactor, "room.dat", paper, resultFile);
        server->serve(listener);
    }

    RoomResult room(int candidates, int concurrency, const std::string &prefix, const std::string &paper)
    {
        RoomOptions o;
        o.port = port;
        o.candidates = candidates;
        o.concurrency = concurrency;
        o.idPrefix = prefix;
        o.paper = paper;
        o.timeout = 60s;
        return runRoom(reactor, o);
    }
};

QStringList entries(const ReferenceServer &s)
{
    QStringList out;
    for (const std::string &e : s.entries())
        out.append(QString::fromStdString(e));
    return out;
}

} // namespace

TEST(Room, EveryCandidateGetsThePaperWholeAndEveryResultIsStoredOnce)
{
    // Larger than one read, so every candidate puts its paper together from pieces.
    const std::string paper = paperOf(300000);
    char path[] = "/tmp/loadgen-results-XXXXXX";
    const int file = ::mkstemp(path);
    ASSERT_GE(file, 0);
    Served s(paper, file);
    const RoomResult r = s.room(30, 7, "t-", paper);
    EXPECT_EQ(r.served, 30);
    EXPECT_TRUE(r.failures.empty()) << r.failures.front();
    EXPECT_EQ(r.latenciesMs.size(), 30u);
    EXPECT_EQ(r.paperBytes, 30 * int64_t(paper.size()));
    EXPECT_EQ(compareEntries(entries(*s.server), r.expectedEntries), "");
    EXPECT_EQ(r.expectedEntries.size(), 30);
    EXPECT_TRUE(r.expectedEntries.contains(QStringLiteral("127.0.0.1:t-4:") + QString::fromStdString(resultText(4, "room.dat"))));
    // Confirmed results are on disk, one line each.
    EXPECT_EQ(::lseek(file, 0, SEEK_END), off_t(entries(*s.server).join(u'\n').size() + 1));
    ::close(file);
    ::unlink(path);
}

TEST(Room, TheResultTextDeciphersToScorePaperAndSeconds)
{
    EXPECT_EQ(clsEncryptXOR().HexDecrypt(QString::fromStdString(resultText(7, "maths1.dat"))),
              QStringLiteral("7:maths1.dat:67"));
}

TEST(Room, ASecondRoomWithTheSameIdsIsRefusedAndStoresNothing)
{
    const std::string paper = paperOf(1000);
    Served s(paper);
    EXPECT_EQ(s.room(5, 5, "dup-", paper).served, 5);
    const RoomResult again = s.room(5, 2, "dup-", paper);
    EXPECT_EQ(again.served, 0);
    ASSERT_EQ(again.failures.size(), 5u);
    EXPECT_NE(again.failures[0].find("already logged in"), std::string::npos) << again.failures[0];
    EXPECT_TRUE(again.expectedEntries.isEmpty());
    EXPECT_EQ(s.server->entries().size(), 5u);
}

TEST(Room, ACandidateWhoseServerIsGoneFailsInsteadOfWaiting)
{
    std::string why;
    const int listener = listenOn("127.0.0.1", 0, 4, &why);
    const uint16_t port = localPort(listener);
    ::close(listener); // nobody listens there any more
    Reactor reactor;
    RoomOptions o;
    o.port = port;
    o.candidates = 3;
    o.idPrefix = "gone-";
    o.timeout = 10s;
    const RoomResult r = runRoom(reactor, o);
    EXPECT_EQ(r.served, 0);
    EXPECT_EQ(r.failures.size(), 3u);
    EXPECT_EQ(reactor.watched(), 0u); // nothing left open
}

TEST(Room, ManyCandidatesThatCannotEvenStartAllFailAndTheRunEnds)
{
    Reactor reactor;
    RoomOptions o;
    o.host = "nowhere"; // refused before any socket is made, for every candidate at once
    o.candidates = 50000;
    o.concurrency = 50000;
    o.idPrefix = "x";
    o.timeout = 30s;
    const RoomResult r = runRoom(reactor, o);
    EXPECT_EQ(r.served, 0);
    ASSERT_EQ(r.failures.size(), 21u); // the first twenty and a mark for the rest
    EXPECT_NE(r.failures[0].find("not an IPv4 address"), std::string::npos) << r.failures[0];
    EXPECT_EQ(reactor.watched(), 0u);
}

namespace {

// A web server of the test's own: each connection's request is answered with body, after a
// head that names length (or none when -1), then closed.
struct TinyWeb {
    Reactor &reactor;
    std::string answer;
    int listener;
    std::vector<std::unique_ptr<Connection>> open;
    int requests = 0;

    TinyWeb(Reactor &r, const std::string &body, int64_t namedLength) : reactor(r)
    {
        answer = "HTTP/1.1 200 OK\r\n";
        if (namedLength >= 0)
            answer += "Content-Length: " + std::to_string(namedLength) + "\r\n";
        answer += "\r\n" + body;
        std::string why;
        listener = listenOn("127.0.0.1", 0, 64, &why);
        reactor.add(listener, EPOLLIN, [this](uint32_t) {
            const int fd = acceptFrom(listener);
            if (fd < 0)
                return;
            open.push_back(std::make_unique<Connection>(reactor, fd));
            Connection *c = open.back().get();
            c->onDrained = [c] { c->close(); };
            c->watch([this, c] {
                char buffer[1024];
                const long n = c->read(buffer, sizeof buffer);
                if (n > 0 && std::string_view(buffer, size_t(n)).find("\r\n\r\n") != std::string_view::npos) {
                    ++requests;
                    c->send(answer, false);
                } else if (n == 0 || n == -2) {
                    c->close();
                }
            });
        });
    }
};

} // namespace

TEST(Downloads, CountEveryWholeAnswerAndReportShortOnes)
{
    const std::string body = paperOf(200000);
    for (const auto &[named, expected, ok] : { std::tuple { int64_t(200000), int64_t(200000), 40 },
                                               std::tuple { int64_t(200001), int64_t(-1), 0 },
                                               std::tuple { int64_t(-1), int64_t(199999), 0 } }) {
        SCOPED_TRACE(named);
        Reactor reactor;
        TinyWeb web(reactor, body, named);
        HttpOptions o;
        o.port = localPort(web.listener);
        o.path = "/paper.dat";
        o.requests = 40;
        o.concurrency = 6;
        o.expectedLength = expected;
        o.timeout = 30s;
        const HttpResult r = runHttp(reactor, o);
        EXPECT_EQ(web.requests, 40);
        EXPECT_EQ(r.ok, ok);
        EXPECT_EQ(r.bodyBytes, int64_t(ok) * int64_t(body.size()));
        EXPECT_EQ(r.failures.empty(), ok == 40);
    }
}

TEST(Hold, EveryConnectionIsGreetedAndTheServerIsMeasured)
{
    Served s(paperOf(100));
    HoldOptions o;
    o.port = s.port;
    o.connections = 50;
    o.serverPid = int(::getpid());
    o.idle = 200ms;
    o.timeout = 30s;
    const HoldResult r = runHold(s.reactor, o);
    EXPECT_EQ(r.greeted, 50);
    EXPECT_TRUE(r.failures.empty());
    EXPECT_GT(r.rssKib, 0);
    EXPECT_GE(r.idleCpuSeconds, 0);
    EXPECT_GE(r.idleSeconds, 0.2);
}
