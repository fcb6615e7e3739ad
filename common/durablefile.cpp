// Replacing a file's whole content so that a crash leaves either the old or the new file.
#include "durablefile.h"

#include <QFileInfo>
#include <QSaveFile>

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

    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd); // makes the rename itself durable; a folder that refuses is no error
        ::close(fd);
    }
    return true;
}
