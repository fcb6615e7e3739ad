// Starting the test-taking program on a received paper, and noticing when it ends.
#include "entrant/launcher.h"

#include <QDir>
#include <QFileInfo>
#include <QMetaObject>
#include <QProcess>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <sys/syscall.h>
#include <unistd.h>

namespace entrant {

ExamdeskLauncher::ExamdeskLauncher(QString programFolder, QObject *parent)
    : Launcher(parent), m_programFolder(std::move(programFolder))
{
}

ExamdeskLauncher::~ExamdeskLauncher() { stopWatching(); }

bool ExamdeskLauncher::startExamdesk(const QString &paperPath, QString *program)
{
    const QString path = QDir(m_programFolder).filePath(QStringLiteral("examdesk"));
    if (program)
        *program = QDir::toNativeSeparators(path);
    const QFileInfo info(path);
    if (!info.isFile() || !info.isExecutable())
        return false;
    qint64 pid = 0;
    if (!QProcess::startDetached(path, { paperPath }, QString(), &pid))
        return false;
    watch(pid);
    return true;
}

void ExamdeskLauncher::watch(qint64 pid)
{
    stopWatching();
    // Not our child (it runs detached), so there is nothing to wait on; the descriptor
    // becomes readable when the process ends.
    m_pidfd = int(::syscall(SYS_pidfd_open, pid_t(pid), 0));
    if (m_pidfd < 0) {
        if (errno == ESRCH) // gone before it could be watched
            QMetaObject::invokeMethod(this, &Launcher::examdeskEnded, Qt::QueuedConnection);
        else
            qWarning("entrant: the test program cannot be watched: %s", std::strerror(errno));
        return;
    }
    m_ended = new QSocketNotifier(qintptr(m_pidfd), QSocketNotifier::Read, this);
    connect(m_ended, &QSocketNotifier::activated, this, [this] {
        stopWatching();
        emit examdeskEnded();
    });
}

void ExamdeskLauncher::stopWatching()
{
    if (m_ended) {
        m_ended->setEnabled(false);
        m_ended->deleteLater();
        m_ended = nullptr;
    }
    if (m_pidfd >= 0) {
        ::close(m_pidfd);
        m_pidfd = -1;
    }
}

} // namespace entrant
