// Log lines written to a terminal or pipe without ever making the service wait for its reader.
#include "centrum/consolelog.h"

#include <QSocketNotifier>

#include <cerrno>
#include <utility>
#include <fcntl.h>
#include <unistd.h>

namespace centrum {

ConsoleLog::ConsoleLog(int fd, qsizetype limit, QObject *parent)
    : QObject(parent), m_fd(fd), m_flags(::fcntl(fd, F_GETFL)), m_limit(limit)
{
    if (m_flags >= 0)
        ::fcntl(fd, F_SETFL, m_flags | O_NONBLOCK);
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    m_notifier->setEnabled(false);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        m_notifier->setEnabled(false);
        flush();
    });
}

ConsoleLog::~ConsoleLog()
{
    m_notifier->setEnabled(false);
    flush();
    if (m_flags >= 0)
        ::fcntl(m_fd, F_SETFL, m_flags); // the terminal is shared with the shell
}

void ConsoleLog::writeLine(const QByteArray &line)
{
    if (m_pending.size() + line.size() + 1 > m_limit) {
        ++m_dropped;
        return;
    }
    if (m_dropped > m_droppedShown) {
        m_pending += QByteArray::number(m_dropped - m_droppedShown) + " lines not shown here\n";
        m_droppedShown = m_dropped;
    }
    m_pending += line;
    m_pending += '\n';
    // Written when the loop turns, with the rest of the turn's lines.
    if (!std::exchange(m_flushPosted, true))
        QMetaObject::invokeMethod(this, &ConsoleLog::flush, Qt::QueuedConnection);
}

void ConsoleLog::flush()
{
    m_flushPosted = false;
    if (m_notifier->isEnabled())
        return; // the reader has not made room yet: the notifier says when
    while (!m_pending.isEmpty()) {
        const ssize_t n = ::write(m_fd, m_pending.constData(), size_t(m_pending.size()));
        if (n > 0) {
            m_pending.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            m_notifier->setEnabled(true); // the rest goes when the reader makes room
            return;
        }
        m_pending.clear(); // the reader is gone: nobody to show it to
        break;
    }
    m_notifier->setEnabled(false);
}

} // namespace centrum
