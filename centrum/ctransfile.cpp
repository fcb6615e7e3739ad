// The sender that streams a file, or bytes made in memory, over a connected socket.
#include "centrum/ctransfile.h"

#include "centrum/filecache.h"
#include "centrum/texts.h"
#include "common/multilanguage.h"
#include "common/netsocket.h"

#include <QFileInfo>

#include <algorithm>

namespace centrum {

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
    m_front.clear();
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

void CtransFile::transBytes(const QByteArray &bytes, const QByteArray &front)
{
    m_file.reset();
    m_front = front;
    m_bytes = bytes;
    m_length = front.size() + bytes.size();
    m_position = 0;
    m_done = false;
    pump();
}

void CtransFile::cancel()
{
    m_file.reset();
    m_bytes.reset();
    m_front.clear();
    m_done = false;
}

void CtransFile::pump()
{
    if ((!m_file && !m_bytes) || !m_socket)
        return;
    // Bytes in memory cost nothing to hand over (the socket shares them): two pieces go to the
    // socket at once, so a paper of up to two pieces leaves in one call to the system.
    const qint64 ahead = m_bytes ? 2 * pieceSize : pieceSize;
    while ((m_file || m_bytes) && m_socket && m_position < m_length && m_socket->bytesToWrite() < ahead) {
        const qint64 n = std::min(m_bytes && m_wholeFromMemory ? m_length : pieceSize, m_length - m_position);
        if (m_bytes) {
            // Shared with the socket, not copied; a piece may begin in the front and end in the rest.
            const qint64 inFront = std::clamp<qint64>(m_front.size() - m_position, 0, n);
            if (inFront > 0)
                m_socket->send(m_front, m_position, inFront);
            if (n > inFront)
                m_socket->send(*m_bytes, m_position + inFront - m_front.size(), n - inFront);
        } else {
            const QByteArray piece = m_file->read(n);
            if (piece.size() != n) {
                const QString why = m_file->errorString(); // only a read from the file falls short
                m_file.reset();
                emit failed(why);
                return;
            }
            m_socket->send(piece);
        }
        m_position += n;
        emit pieceSent(n);
    }
    if ((m_file || m_bytes) && m_position >= m_length) {
        m_file.reset();
        m_bytes.reset();
        m_front.clear();
        m_done = true;
        emit finished();
    }
}

} // namespace centrum
