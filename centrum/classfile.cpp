// A served paper as measured at service start, and the sender that streams a file over a socket.
#include "classfile.h"

#include "netsocket.h"

#include <QDir>
#include <QFileInfo>

#include <limits>

namespace centrum {

bool ClassFile::setFileLen(const QString &folder, QString *why)
{
    auto refuse = [why](const QString &reason) {
        if (why)
            *why = reason;
        return false;
    };
    const qsizetype cut = std::max(fName.lastIndexOf(u'/'), fName.lastIndexOf(u'\\'));
    fNameNoPs = fName.mid(cut + 1);
    fPath = QDir(folder).filePath(fName);
    fLength = 0;
    if (fName.contains(u','))
        return refuse(QStringLiteral("contains \",\""));
    if (fNameNoPs.isEmpty())
        return refuse(QStringLiteral("no file name"));
    const QFileInfo info(fPath);
    if (!info.exists())
        return refuse(QStringLiteral("does not exist"));
    if (!info.isFile() || !info.isReadable())
        return refuse(QStringLiteral("is not a readable file"));
    if (info.size() == 0)
        return refuse(QStringLiteral("is empty"));
    if (info.size() > std::numeric_limits<qint32>::max())
        return refuse(QStringLiteral("is too large"));
    fLength = qint32(info.size());
    return true;
}

CtransFile::CtransFile(NetSocket &WinS, QObject *parent) : QObject(parent), m_socket(&WinS)
{
    connect(&WinS, &NetSocket::bytesSent, this, [this] { pump(); });
}

bool CtransFile::transFile(const QString &fileName, const QByteArray &head, qint64 announced, QString *why)
{
    auto refuse = [this, why](const QString &reason) {
        m_file.reset();
        if (m_socket)
            m_socket->close();
        if (why)
            *why = reason;
        return false;
    };
    m_file = std::make_unique<QFile>(fileName);
    if (!QFileInfo(fileName).isFile() || !m_file->open(QIODevice::ReadOnly))
        return refuse(QStringLiteral("%1 cannot be read").arg(fileName));
    m_length = m_file->size();
    // The receiver counts on the announced length: other bytes would never end its transfer.
    if (announced >= 0 && m_length != announced)
        return refuse(QStringLiteral("%1 is %2 bytes long now, %3 were announced")
                          .arg(fileName).arg(m_length).arg(announced));
    m_position = 0;
    m_done = false;
    if (!head.isEmpty() && m_socket)
        m_socket->send(head);
    pump();
    return true;
}

void CtransFile::cancel()
{
    m_file.reset();
    m_socket = nullptr;
}

void CtransFile::pump()
{
    if (!m_file || !m_socket)
        return;
    while (m_position < m_length && m_socket->bytesToWrite() < pieceSize) {
        const qint64 n = std::min(pieceSize, m_length - m_position);
        const QByteArray piece = m_file->read(n);
        if (piece.size() != n) {
            const QString why = m_file->errorString();
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
        m_done = true;
        emit finished();
    }
}

} // namespace centrum
