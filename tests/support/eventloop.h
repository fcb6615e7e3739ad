// Running the Qt event loop in tests that have no Qt main: an application object and waits on conditions.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>

#ifdef EXAM_EPOLL_LOOP
#include "centrum/epolldispatcher.h"
#endif

#include <functional>

// Tests need an application object for sockets and timers; gtest's main makes none.
inline void ensureApp()
{
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "tests";
        static char *argv[] = { name, nullptr };
#ifdef EXAM_EPOLL_LOOP
        QCoreApplication::setEventDispatcher(new EpollDispatcher);
#endif
        new QCoreApplication(argc, argv);
    }
}

// Runs the event loop until done() holds or the time is up.
inline bool waitFor(const std::function<bool()> &done, int ms = 10000)
{
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Lets the loop run for a while, for checks that something does not happen.
inline void idleFor(int ms)
{
    waitFor([] { return false; }, ms);
}
