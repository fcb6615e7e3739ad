// The load generator's event loop and connections: stale events, ordered sends, deadlines.
#include "bench/loadgen/reactor.h"

#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace loadgen;
using namespace std::chrono_literals;

namespace {

struct Pair {
    int ends[2] = { -1, -1 };
    Pair() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, ends), 0); }
};

} // namespace

TEST(Reactor, AnEventQueuedForAClosedDescriptorNeverReachesItsSuccessor)
{
    Reactor reactor;
    Pair a, b;
    // Both are readable, so one wait returns an event for each.
    ASSERT_EQ(::write(a.ends[1], "x", 1), 1);
    ASSERT_EQ(::write(b.ends[1], "x", 1), 1);
    int reused = -1;
    int successorCalls = 0;
    int handled = 0;
    const auto closingTheOther = [&](int other) {
        return [&, other](uint32_t) {
            if (handled++)
                return;
            // Close the other one and open a socket that takes its number at once.
            reactor.close(other);
            Pair next;
            reused = next.ends[0];
            reactor.add(next.ends[0], EPOLLIN, [&](uint32_t) { ++successorCalls; });
            ::close(next.ends[1]);
        };
    };
    reactor.add(a.ends[0], EPOLLIN, closingTheOther(b.ends[0]));
    reactor.add(b.ends[0], EPOLLIN, closingTheOther(a.ends[0]));
    reactor.poll(1000);
    EXPECT_EQ(handled, 1);
    EXPECT_TRUE(reused == a.ends[0] || reused == b.ends[0]); // the number did come back
    EXPECT_EQ(successorCalls, 0);
    ::close(a.ends[1]);
    ::close(b.ends[1]);
}

TEST(Connection, SendsEverythingInOrderThroughAFullSocketAndSaysWhenDone)
{
    Reactor reactor;
    Pair p;
    const int small = 4096;
    ::setsockopt(p.ends[0], SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    Connection c(reactor, p.ends[0]);
    c.watch([] {});
    int drained = 0;
    c.onDrained = [&] { ++drained; };
    const std::string first(300000, 'a'), kept(300000, 'b');
    c.send(first);
    c.send(kept, false); // a view, sent after what waits already
    c.send("tail");
    EXPECT_TRUE(c.sending());
    std::string received;
    char buffer[65536];
    reactor.run(
        [&] {
            for (long n; (n = ::read(p.ends[1], buffer, sizeof buffer)) > 0;)
                received.append(buffer, size_t(n));
            return received.size() == first.size() + kept.size() + 4;
        },
        Clock::now() + 10s);
    EXPECT_EQ(received, first + kept + "tail");
    EXPECT_FALSE(c.sending());
    EXPECT_GE(drained, 1);
    ::close(p.ends[1]);
}

TEST(Reactor, ARunWithNothingToDoEndsAtItsDeadlineAndNotBefore)
{
    Reactor reactor;
    const Clock::time_point begin = Clock::now();
    EXPECT_FALSE(reactor.run([] { return false; }, begin + 120ms));
    EXPECT_GE(Clock::now() - begin, 120ms);
}
