// A served paper as measured at service start, and the sender that streams a file over a socket.
#include "classfile.h"

#include "centrum/texts.h"
#include "netsocket.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <ctime>
#include <unistd.h>

namespace centrum {

bool ClassFile::setFileLen(const QString &folder, const CmultiLanguage &texts, QString *why)
{
    auto refuse = [&texts, why](text::Id reason) {
        if (why)
            *why = texts.getRes(reason);
        return false;
    };
    const qsizetype cut = std::max(fName.lastIndexOf(u'/'), fName.lastIndexOf(u'\\'));
    fNameNoPs = fName.mid(cut + 1);
    fPath = QDir(folder).filePath(fName);
    fLength = 0;
    if (fName.contains(u','))
        return refuse(text::PathHasComma);
    if (fNameNoPs.isEmpty())
        return refuse(text::NoFileName);
    const QFileInfo info(fPath);
    if (!info.exists())
        return refuse(text::FileMissing);
    if (!info.isFile() || !info.isReadable())
        return refuse(text::NotReadableFile);
    if (info.size() == 0)
        return refuse(text::FileEmpty);
    if (info.size() > std::numeric_limits<qint32>::max())
        return refuse(text::FileTooLarge);
    fLength = qint32(info.size());
    return true;
}

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

CtransFile::CtransFile(NetSocket &WinS, const CmultiLanguage &texts, QObject *parent, FileCache *cache)
    : QObject(parent), m_socket(&WinS), m_texts(texts), m_cache(cache)
{
    connect(&WinS, &NetSocket::bytesSent, this, [this] { pump(); });
}

bool CtransFile::transFile(const QString &fileName, const Head &head, qint64 announced, QString *why)
{
    auto refuse = [this, why](const QString &reason) {
        m_file.reset();
        m_bytes.reset();
        if (m_socket)
            m_socket->close();
        if (why)
            *why = reason;
        return false;
    };
    m_bytes = m_cache ? m_cache->bytesOf(fileName) : std::nullopt;
    if (m_bytes) {
        m_length = m_bytes->size();
    } else {
        m_file = std::make_unique<QFile>(fileName);
        if (!QFileInfo(fileName).isFile() || !m_file->open(QIODevice::ReadOnly))
            return refuse(m_texts.getRes(text::SendUnreadable).arg(fileName));
        m_length = m_file->size();
    }
    // The receiver counts on the announced length: other bytes would never end its transfer.
    if (announced >= 0 && m_length != announced)
        return refuse(m_texts.getRes(text::LengthChanged).arg(fileName).arg(m_length).arg(announced));
    m_position = 0;
    m_done = false;
    if (head && m_socket)
        m_socket->send(head(m_length));
    pump();
    return true;
}

void CtransFile::transBytes(const QByteArray &bytes)
{
    m_file.reset();
    m_bytes = bytes;
    m_length = bytes.size();
    m_position = 0;
    m_done = false;
    pump();
}

void CtransFile::cancel()
{
    m_file.reset();
    m_bytes.reset();
    m_socket = nullptr;
}

void CtransFile::pump()
{
    if ((!m_file && !m_bytes) || !m_socket)
        return;
    while (m_position < m_length && m_socket->bytesToWrite() < pieceSize) {
        const qint64 n = std::min(m_bytes && m_wholeFromMemory ? m_length : pieceSize, m_length - m_position);
        // A piece that is the whole file goes out shared, without a copy.
        const QByteArray piece = m_bytes ? (n == m_bytes->size() ? *m_bytes : m_bytes->mid(m_position, n))
                                         : m_file->read(n);
        if (piece.size() != n) {
            const QString why = m_file->errorString(); // only a read from the file falls short
            m_file.reset();
            emit failed(why);
            return;
        }
        m_socket->send(piece);
        m_position += n;
        emit pieceSent(n);
    }
    if (m_position >= m_length) {
        m_file.reset();
        m_bytes.reset();
        m_done = true;
        emit finished();
    }
}

} // namespace centrum
