// Replacing a file's whole content so that a crash leaves either the old or the new file.
#include "common/durablefile.h"

#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

bool writeFileDurably(const QString &path, const QByteArray &data, QString *error)
{
    auto fail = [&](const QString &reason) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, reason);
        return false;
    };

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    if (file.write(data) != data.size() || !file.flush())
        return fail(file.errorString());
    // The rename must not reach the disk before the data it names.
    if (::fsync(file.handle()) != 0) {
        file.cancelWriting();
        return fail(QString::fromLocal8Bit(strerror(errno)));
    }
    if (!file.commit())
        return fail(file.errorString());

    // Makes the rename itself durable. The new content is in place by now, so a failure here
    // is reported all the same: whoever relies on the write (a result confirmed to its
    // candidate) must not take it as kept. Only a file system that cannot sync a folder at
    // all (EINVAL) is no error: there is nothing more to do on it.
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return fail(QStringLiteral("folder not synced: ") + QString::fromLocal8Bit(strerror(errno)));
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
    const int syncError = errno;
    ::close(fd);
    if (!synced)
        return fail(QStringLiteral("folder not synced: ") + QString::fromLocal8Bit(strerror(syncError)));
    return true;
}
