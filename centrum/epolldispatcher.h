// An event loop for the headless server that asks the kernel only about connections that are ready.
#pragma once

#include <QAbstractEventDispatcher>
#include <QHash>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

class QSocketNotifier;

// Qt's own loops hand every open connection to poll() at every turn, which costs a room of
// candidates most of its time while they wait. This one keeps the connections in an epoll set,
// so a turn costs what is ready, not what is open. Timers are kept in a plain list: the server
// runs a handful of them at a time. For one thread, installed before the application object.
class EpollDispatcher : public QAbstractEventDispatcher
{
    Q_OBJECT

public:
    explicit EpollDispatcher(QObject *parent = nullptr);
    ~EpollDispatcher() override;

    bool processEvents(QEventLoop::ProcessEventsFlags flags) override;

    void registerSocketNotifier(QSocketNotifier *notifier) override;
    void unregisterSocketNotifier(QSocketNotifier *notifier) override;

    void registerTimer(int timerId, qint64 interval, Qt::TimerType timerType, QObject *object) override;
    bool unregisterTimer(int timerId) override;
    bool unregisterTimers(QObject *object) override;
    QList<TimerInfo> registeredTimers(QObject *object) const override;
    int remainingTime(int timerId) override;

    void wakeUp() override;
    void interrupt() override;

private:
    struct Watch {
        QSocketNotifier *read = nullptr;
        QSocketNotifier *write = nullptr;
        QSocketNotifier *exception = nullptr;
        uint32_t wanted = 0;      // what the notifiers ask for
        uint32_t events = 0;      // what the epoll set holds for the descriptor
        bool pending = false;     // wanted is yet to be told to the kernel
        uint64_t serial = 0;      // changes whenever a notifier comes or goes
        bool alwaysReady = false; // a plain file, which epoll cannot watch
    };
    struct Timer {
        int id;
        qint64 interval;
        Qt::TimerType type;
        QObject *object;
        qint64 due;          // ms on the monotonic clock
        bool firing = false; // its event is being delivered: a nested loop does not fire it again
    };

    void updateWatch(int fd, Watch &watch);
    void applyPending();
    QSocketNotifier *&slotOf(Watch &watch, int type);
    // The timer of that id, or the end of the list.
    std::vector<Timer>::iterator timerOf(int timerId);
    // Milliseconds until the next timer is due: 0 when one is, -1 when there is none.
    int timeToNextTimer(qint64 now) const;
    bool fireTimers();
    bool activate(int fd, uint64_t serial, uint32_t ready);

    int m_epoll = -1;
    int m_wake = -1; // an eventfd that wakeUp writes
    QHash<int, Watch> m_watches;
    std::vector<int> m_pending; // descriptors whose watch changed since the kernel was last told
    std::vector<int> m_alwaysReady; // plain files: looked at every turn, without the kernel
    uint64_t m_serials = 0;
    std::vector<Timer> m_timers;
    std::atomic<bool> m_interrupted = false;
    std::atomic<bool> m_wakePending = false; // woken, and the loop has not turned since
    std::thread::id m_thread;                // the loop's own
    bool m_postedHere = false;               // posted on the loop's thread since its turn began
};
