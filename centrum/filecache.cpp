// The bytes of small files sent again and again, kept while the files stay as they were read.
#include "centrum/filecache.h"

#include <QFile>

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace centrum {

std::optional<QByteArray> FileCache::bytesOf(const QString &path)
{
    const auto itemOf = [](const struct stat &st) {
        Item item;
        item.device = quint64(st.st_dev);
        item.inode = quint64(st.st_ino);
        item.size = qint64(st.st_size);
        item.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        item.changedNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
        return item;
    };
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0 || st.st_size > maxFileBytes)
        return std::nullopt;
    Item now = itemOf(st);
    const auto it = m_items.constFind(path);
    if (it != m_items.constEnd() && *it == now)
        return it->bytes;

    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    QByteArray bytes(now.size, Qt::Uninitialized);
    qint64 done = 0;
    while (done < now.size) {
        const ssize_t n = ::read(fd, bytes.data() + done, size_t(now.size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    struct stat after {};
    const bool whole = done == now.size && ::fstat(fd, &after) == 0 && itemOf(after) == now;
    ::close(fd);
    if (!whole)
        return std::nullopt; // changing while read: streamed from the file instead
    // File times are coarse (a tick of the kernel, two seconds on some file systems): a file
    // written just now may be written again under the same time, so it is read again next time.
    // The change time counts too: a copy that keeps its source's times has an old modification
    // time, and the next such copy looks the same but for its change time.
    timespec clock {};
    ::clock_gettime(CLOCK_REALTIME, &clock);
    const qint64 nowNs = qint64(clock.tv_sec) * 1000000000 + clock.tv_nsec;
    if (nowNs - std::max(now.modifiedNs, now.changedNs) < settleNs)
        return bytes;
    if (it != m_items.constEnd())
        m_total -= it->bytes.size();
    if (m_total + now.size > maxTotalBytes) {
        m_items.clear();
        m_total = 0;
    }
    now.bytes = bytes;
    m_total += now.size;
    m_items.insert(path, std::move(now));
    return bytes;
}

} // namespace centrum
