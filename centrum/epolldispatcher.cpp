// An event loop for the headless server that asks the kernel only about connections that are ready.
#include "centrum/epolldispatcher.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <limits>
#include <sys/epoll.h>
#include <utility>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

constexpr uint64_t wakeMark = std::numeric_limits<uint64_t>::max();
constexpr uint32_t readEvents = EPOLLIN | EPOLLHUP | EPOLLERR | EPOLLRDHUP;
constexpr uint32_t writeEvents = EPOLLOUT | EPOLLHUP | EPOLLERR;
constexpr uint32_t exceptionEvents = EPOLLPRI;

qint64 nowMs()
{
    timespec t {};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

} // namespace

EpollDispatcher::EpollDispatcher(QObject *parent)
    : QAbstractEventDispatcher(parent), m_epoll(::epoll_create1(EPOLL_CLOEXEC)),
      m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), m_thread(std::this_thread::get_id())
{
    if (m_epoll < 0 || m_wake < 0)
        qFatal("the event loop cannot be set up: %s", strerror(errno));
    epoll_event e {};
    e.events = EPOLLIN;
    e.data.u64 = wakeMark;
    ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wake, &e);
}

EpollDispatcher::~EpollDispatcher()
{
    ::close(m_wake);
    ::close(m_epoll);
}

QSocketNotifier *&EpollDispatcher::slotOf(Watch &watch, int type)
{
    switch (type) {
    case QSocketNotifier::Read:
        return watch.read;
    case QSocketNotifier::Write:
        return watch.write;
    default:
        return watch.exception;
    }
}

void EpollDispatcher::registerSocketNotifier(QSocketNotifier *notifier)
{
    const int fd = int(notifier->socket());
    Watch &watch = m_watches[fd];
    slotOf(watch, notifier->type()) = notifier;
    watch.serial = ++m_serials;
    updateWatch(fd, watch);
}

void EpollDispatcher::unregisterSocketNotifier(QSocketNotifier *notifier)
{
    const int fd = int(notifier->socket());
    auto it = m_watches.find(fd);
    if (it == m_watches.end())
        return;
    QSocketNotifier *&slot = slotOf(*it, notifier->type());
    if (slot != notifier)
        return;
    slot = nullptr;
    it->serial = ++m_serials;
    updateWatch(fd, *it);
}

void EpollDispatcher::updateWatch(int fd, Watch &watch)
{
    watch.wanted = (watch.read ? uint32_t(EPOLLIN) : 0) | (watch.write ? uint32_t(EPOLLOUT) : 0)
        | (watch.exception ? uint32_t(EPOLLPRI) : 0);
    if (watch.wanted == 0) {
        // At once: the descriptor is closed next, and its number may come back within the turn.
        if (watch.events && !watch.alwaysReady)
            ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
        if (watch.alwaysReady)
            std::erase(m_alwaysReady, fd);
        m_watches.remove(fd);
        return;
    }
    // The kernel is told once the turn's handlers are done: a socket turns its write
    // notifier on and off again for every piece it sends, mostly within one turn.
    if (!watch.pending) {
        watch.pending = true;
        m_pending.push_back(fd);
    }
}

void EpollDispatcher::applyPending()
{
    for (int fd : std::exchange(m_pending, {})) {
        const auto it = m_watches.find(fd);
        if (it == m_watches.end())
            continue;
        Watch &watch = *it;
        watch.pending = false;
        if (watch.alwaysReady) {
            watch.events = watch.wanted;
            continue;
        }
        const uint32_t told = watch.wanted;
        if (told == watch.events)
            continue;
        epoll_event e {};
        e.events = told;
        e.data.u64 = uint64_t(uint32_t(fd));
        // A descriptor closed without a word leaves the set by itself, and its number may come back.
        int done = ::epoll_ctl(m_epoll, watch.events ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, fd, &e);
        if (done != 0 && errno == ENOENT)
            done = ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &e);
        else if (done != 0 && errno == EEXIST)
            done = ::epoll_ctl(m_epoll, EPOLL_CTL_MOD, fd, &e);
        if (done != 0 && errno == EPERM) {
            watch.alwaysReady = true; // a plain file (the console log sent to one): always ready, as poll says
            m_alwaysReady.push_back(fd);
        } else if (done != 0) {
            qWarning("the event loop cannot watch descriptor %d: %s", fd, strerror(errno));
        }
        watch.events = told;
    }
}

void EpollDispatcher::registerTimer(int timerId, qint64 interval, Qt::TimerType timerType, QObject *object)
{
    m_timers.push_back({ timerId, interval, timerType, object, nowMs() + interval });
}

std::vector<EpollDispatcher::Timer>::iterator EpollDispatcher::timerOf(int timerId)
{
    return std::find_if(m_timers.begin(), m_timers.end(), [timerId](const Timer &t) { return t.id == timerId; });
}

bool EpollDispatcher::unregisterTimer(int timerId)
{
    const auto it = timerOf(timerId);
    if (it == m_timers.end())
        return false;
    m_timers.erase(it);
    return true;
}

bool EpollDispatcher::unregisterTimers(QObject *object)
{
    const auto before = m_timers.size();
    std::erase_if(m_timers, [object](const Timer &t) { return t.object == object; });
    return m_timers.size() != before;
}

QList<QAbstractEventDispatcher::TimerInfo> EpollDispatcher::registeredTimers(QObject *object) const
{
    QList<TimerInfo> list;
    for (const Timer &t : m_timers) {
        if (t.object == object)
            list.append(TimerInfo(t.id, int(t.interval), t.type));
    }
    return list;
}

int EpollDispatcher::remainingTime(int timerId)
{
    const auto it = timerOf(timerId);
    if (it == m_timers.end())
        return -1;
    return int(std::max<qint64>(0, it->due - nowMs()));
}

int EpollDispatcher::timeToNextTimer(qint64 now) const
{
    qint64 next = -1;
    for (const Timer &t : m_timers) {
        if (t.firing)
            continue;
        const qint64 wait = std::max<qint64>(0, t.due - now);
        if (next < 0 || wait < next)
            next = wait;
    }
    return int(std::min<qint64>(next, std::numeric_limits<int>::max()));
}

bool EpollDispatcher::fireTimers()
{
    const qint64 now = nowMs();
    std::vector<int> due;
    for (const Timer &t : m_timers) {
        if (!t.firing && t.due <= now)
            due.push_back(t.id);
    }
    for (int id : due) {
        // A timer may be stopped, or its object gone, by an event delivered before its own; and
        // Qt hands a freed id to the next timer started, which is then not due yet.
        const auto it = timerOf(id);
        if (it == m_timers.end() || it->firing || it->due > now)
            continue;
        // The next time counts from now, so a late timer does not catch up in a burst.
        it->due = now + std::max<qint64>(it->interval, 0);
        it->firing = true;
        QObject *object = it->object;
        QTimerEvent event(id);
        QCoreApplication::sendEvent(object, &event);
        const auto after = timerOf(id);
        if (after != m_timers.end())
            after->firing = false;
    }
    return !due.empty();
}

bool EpollDispatcher::activate(int fd, uint64_t serial, uint32_t ready)
{
    bool handled = false;
    for (const auto &[type, events] : { std::pair { int(QSocketNotifier::Read), readEvents },
                                        std::pair { int(QSocketNotifier::Write), writeEvents },
                                        std::pair { int(QSocketNotifier::Exception), exceptionEvents } }) {
        // What an earlier event changed on this descriptor is seen at the next turn instead.
        const auto it = m_watches.find(fd);
        if (it == m_watches.end() || it->serial != serial)
            return handled;
        QSocketNotifier *notifier = slotOf(*it, type);
        if (!notifier || !(ready & events))
            continue;
        QEvent event(QEvent::SockAct);
        QCoreApplication::sendEvent(notifier, &event);
        handled = true;
    }
    return handled;
}

bool EpollDispatcher::processEvents(QEventLoop::ProcessEventsFlags flags)
{
    m_interrupted = false;
    // Events posted from here on need a wake-up of their own; those before are sent now.
    m_wakePending = false;
    m_postedHere = false;
    emit awake();
    QCoreApplication::sendPostedEvents();

    struct Ready {
        int fd;
        uint64_t serial;
        uint32_t events;
    };
    applyPending();
    std::vector<Ready> ready;
    for (int fd : m_alwaysReady) {
        const auto it = m_watches.constFind(fd);
        if (it != m_watches.cend() && it->events)
            ready.push_back({ fd, it->serial, it->events | EPOLLOUT | EPOLLIN });
    }

    int timeout = 0;
    if (!m_interrupted && !m_postedHere && (flags & QEventLoop::WaitForMoreEvents) && ready.empty()) {
        timeout = (flags & QEventLoop::X11ExcludeTimers) ? -1 : timeToNextTimer(nowMs());
        emit aboutToBlock();
    }
    epoll_event events[256];
    int n;
    do {
        n = ::epoll_wait(m_epoll, events, int(std::size(events)), timeout);
    } while (n < 0 && errno == EINTR);
    if (timeout != 0)
        emit awake();

    bool handled = false;
    for (int k = 0; k < n; ++k) {
        if (events[k].data.u64 == wakeMark) {
            uint64_t count;
            [[maybe_unused]] auto r = ::read(m_wake, &count, sizeof count);
            continue;
        }
        const int fd = int(uint32_t(events[k].data.u64));
        const auto it = m_watches.find(fd);
        if (it == m_watches.end())
            continue;
        ready.push_back({ fd, it->serial, events[k].events });
    }
    if (!(flags & QEventLoop::ExcludeSocketNotifiers)) {
        for (const Ready &r : ready)
            handled = activate(r.fd, r.serial, r.events) || handled;
    }
    if (!(flags & QEventLoop::X11ExcludeTimers))
        handled = fireTimers() || handled;
    return handled;
}

void EpollDispatcher::wakeUp()
{
    // Posted on the loop's own thread, the loop is not waiting: it is only not to wait at
    // its next turn, before it has sent what was posted.
    if (std::this_thread::get_id() == m_thread) {
        m_postedHere = true;
        return;
    }
    // One write wakes the loop for every event posted before it turns again.
    if (m_wakePending.exchange(true))
        return;
    const uint64_t one = 1;
    [[maybe_unused]] auto r = ::write(m_wake, &one, sizeof one);
}

void EpollDispatcher::interrupt()
{
    m_interrupted = true;
    wakeUp();
}
