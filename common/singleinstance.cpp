// The single-instance lock: a lock file named from the program and the user.
#include "common/singleinstance.h"

#include <QDir>
#include <unistd.h>

SingleInstance::SingleInstance(const QString &programName, const QString &lockFolder)
{
    const QString folder = lockFolder.isEmpty() ? QDir::tempPath() : lockFolder;
    m_lock = std::make_unique<QLockFile>(
        QStringLiteral("%1/%2-%3.lock").arg(folder, programName).arg(uint(getuid())));
    // Never treat a live holder's lock as stale; a dead holder is recognised by its pid.
    m_lock->setStaleLockTime(0);
}

bool SingleInstance::acquire()
{
    return m_lock->isLocked() || m_lock->tryLock(0);
}
