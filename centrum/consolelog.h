// Log lines written to a terminal or pipe without ever making the service wait for its reader.
#pragma once

#include <QByteArray>
#include <QObject>

class QSocketNotifier;

namespace centrum {

// Writes to a file descriptor that may block (a terminal stopped with Ctrl-S, a pipe
// nobody reads). Lines wait in memory while the descriptor is full; past the limit they
// are dropped and counted, since the day's log file keeps every one of them anyway.
class ConsoleLog : public QObject
{
    Q_OBJECT

public:
    explicit ConsoleLog(int fd, qsizetype limit = 1 << 20, QObject *parent = nullptr);
    // Puts the descriptor back as it was; what is still waiting is written if it goes at once.
    ~ConsoleLog() override;

    void writeLine(const QByteArray &line);
    qsizetype waiting() const { return m_pending.size(); }
    qint64 dropped() const { return m_dropped; }

private:
    void flush();

    int m_fd;
    int m_flags;
    qsizetype m_limit;
    QByteArray m_pending;
    qint64 m_dropped = 0;
    qint64 m_droppedShown = 0;
    bool m_flushPosted = false;
    QSocketNotifier *m_notifier;
};

} // namespace centrum
