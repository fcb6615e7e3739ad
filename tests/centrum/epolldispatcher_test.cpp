// The headless server's event loop: timers, descriptors that come and go within a turn, waking up.
#include "centrum/epolldispatcher.h"
#include "tests/support/eventloop.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTemporaryFile>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace {

struct Pair {
    int fd[2] = { -1, -1 };
    Pair() { ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fd); }
    ~Pair()
    {
        for (int f : fd) {
            if (f >= 0)
                ::close(f);
        }
    }
    void send() const { [[maybe_unused]] auto n = ::write(fd[1], "x", 1); }
    void take() const
    {
        char c;
        [[maybe_unused]] auto n = ::read(fd[0], &c, 1);
    }
};

double cpuSeconds()
{
    rusage u {};
    ::getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

class EpollLoop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ensureApp();
        ASSERT_TRUE(qobject_cast<EpollDispatcher *>(QAbstractEventDispatcher::instance()));
    }
};

TEST_F(EpollLoop, TimersFireInTheirOrderAndAStoppedOneNeverFires)
{
    QStringList fired;
    QTimer late, early, stopped, repeating;
    for (auto [timer, ms, name] : { std::tuple { &late, 60, "late" }, std::tuple { &early, 10, "early" },
                                    std::tuple { &stopped, 40, "stopped" } }) {
        timer->setSingleShot(true);
        timer->setInterval(ms);
        QObject::connect(timer, &QTimer::timeout, [&fired, name = QString::fromLatin1(name)] { fired << name; });
    }
    QObject::connect(&early, &QTimer::timeout, [&stopped] { stopped.stop(); });
    int ticks = 0;
    repeating.setInterval(5);
    QObject::connect(&repeating, &QTimer::timeout, [&ticks] { ++ticks; });
    for (QTimer *t : { &late, &early, &stopped, &repeating })
        t->start();
    EXPECT_GT(late.remainingTime(), 20);
    EXPECT_LE(late.remainingTime(), 60);

    ASSERT_TRUE(waitFor([&] { return fired.contains(QStringLiteral("late")); }));
    EXPECT_EQ(fired, (QStringList { "early", "late" }));
    // A loaded machine may hold the process past several 5 ms intervals, which count once.
    EXPECT_TRUE(waitFor([&ticks] { return ticks >= 5; })) << "the repeating timer stopped at " << ticks;
}

// Qt hands a stopped timer's id to the next timer started, so a timer restarted (or a new one
// started) by a handler that runs before it in the same turn comes back under an id that is
// still in that turn's list of due ones: it must wait its new interval all the same.
TEST_F(EpollLoop, ATimerRestartedByAnEarlierOneInTheSameTurnWaitsItsNewInterval)
{
    QTimer first, second;
    first.setSingleShot(true);
    second.setSingleShot(true);
    bool secondFired = false;
    QObject::connect(&first, &QTimer::timeout, [&second] { second.start(10000); });
    QObject::connect(&second, &QTimer::timeout, [&secondFired] { secondFired = true; });
    first.start(5);
    second.start(5);
    std::this_thread::sleep_for(std::chrono::milliseconds(30)); // both are due at the next turn
    ASSERT_TRUE(waitFor([&first] { return !first.isActive(); }));
    idleFor(50);
    EXPECT_FALSE(secondFired) << "the restarted timer fired at its old time";
    EXPECT_TRUE(second.isActive());
}

// A handler may close another connection and open a new one that gets the same descriptor
// number, all within one turn: the closed one's readiness must not reach anything, and the
// new one must be watched.
TEST_F(EpollLoop, DescriptorsClosedAndReusedWithinATurnAreTakenAsTheyAreNow)
{
    auto first = std::make_unique<Pair>();
    auto second = std::make_unique<Pair>();
    auto firstWatch = std::make_unique<QSocketNotifier>(first->fd[0], QSocketNotifier::Read);
    auto secondWatch = std::make_unique<QSocketNotifier>(second->fd[0], QSocketNotifier::Read);
    std::unique_ptr<Pair> reused;
    std::unique_ptr<QSocketNotifier> reusedWatch;
    int closedCalls = 0;
    bool reusedFired = false;
    const auto replaceTheOther = [&](std::unique_ptr<Pair> &other, std::unique_ptr<QSocketNotifier> &otherWatch) {
        ++closedCalls;
        if (reused)
            return;
        const int number = other->fd[0];
        otherWatch.reset();
        other.reset();
        reused = std::make_unique<Pair>();
        EXPECT_TRUE(reused->fd[0] == number || reused->fd[1] == number);
        reusedWatch = std::make_unique<QSocketNotifier>(reused->fd[0], QSocketNotifier::Read);
        QObject::connect(reusedWatch.get(), &QSocketNotifier::activated, [&] { reusedFired = true; });
    };
    QObject::connect(firstWatch.get(), &QSocketNotifier::activated, [&] {
        first->take();
        replaceTheOther(second, secondWatch);
    });
    QObject::connect(secondWatch.get(), &QSocketNotifier::activated, [&] {
        second->take();
        replaceTheOther(first, firstWatch);
    });
    first->send();
    second->send();
    ASSERT_TRUE(waitFor([&] { return reused != nullptr; }));
    idleFor(50);
    EXPECT_EQ(closedCalls, 1);
    EXPECT_FALSE(reusedFired) << "the closed connection's readiness reached the new one";
    reused->send();
    EXPECT_TRUE(waitFor([&] { return reusedFired; }));
}

TEST_F(EpollLoop, AWatchTurnedOffAndOnWithinATurnStillFiresAndAPlainFileIsAlwaysReady)
{
    Pair pair;
    QSocketNotifier writable(pair.fd[0], QSocketNotifier::Write);
    writable.setEnabled(false);
    QTimer::singleShot(0, [&writable] {
        for (int i = 0; i < 5; ++i) {
            writable.setEnabled(true);
            writable.setEnabled(false);
        }
        writable.setEnabled(true);
    });
    int writes = 0;
    QObject::connect(&writable, &QSocketNotifier::activated, [&] {
        ++writes;
        writable.setEnabled(false);
    });
    ASSERT_TRUE(waitFor([&] { return writes == 1; }));

    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    QSocketNotifier fileWatch(file.handle(), QSocketNotifier::Write);
    bool fileReady = false;
    QObject::connect(&fileWatch, &QSocketNotifier::activated, [&] {
        fileReady = true;
        fileWatch.setEnabled(false);
    });
    EXPECT_TRUE(waitFor([&] { return fileReady; }));
}

TEST_F(EpollLoop, WaitsWithoutSpinningAndWakesForWorkPostedFromAnotherThread)
{
    QEventLoop loop;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, [&loop] { loop.exit(1); });
    guard.start(5000);
    const double cpuBefore = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    std::thread poster([&loop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        QMetaObject::invokeMethod(&loop, [&loop] { loop.exit(0); }, Qt::QueuedConnection);
    });
    const int code = loop.exec();
    poster.join();
    EXPECT_EQ(code, 0);
    EXPECT_GE(clock.elapsed(), 250);
    EXPECT_LT(cpuSeconds() - cpuBefore, 0.1);
}

} // namespace
