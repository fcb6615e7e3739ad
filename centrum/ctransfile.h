// The sender that streams a file, or bytes made in memory, over a connected socket.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class CmultiLanguage;
class NetSocket;

namespace centrum {

class FileCache;

// Streams one file over a connected socket in pieces of at most 65535 bytes, reading the
// next piece only when the socket has room for it, so a file is never held whole.
class CtransFile : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 pieceSize = 65535;

    // With a cache, small files are sent from memory while they stay as they were read; texts
    // words why a file cannot be sent.
    CtransFile(NetSocket &WinS, const CmultiLanguage &texts, QObject *parent = nullptr, FileCache *cache = nullptr);

    // Sends the head made for the length about to be sent (when there is one), then the
    // file's bytes. A file that does not exist, or whose length is not the announced one (when
    // one is given), closes the socket and returns false with why set.
    using Head = std::function<QByteArray(qint64 length)>;
    bool transFile(const QString &fileName, const Head &head = {}, qint64 announced = -1,
                   QString *why = nullptr);
    // Sends bytes made in memory, in the same pieces as a file; with a front, its bytes and then
    // these as one run of bytes, neither copied into the other.
    void transBytes(const QByteArray &bytes, const QByteArray &front = {});
    // Stops reading; what was handed to the socket still goes. It may then send another file.
    void cancel();
    // A file held in memory goes to the socket in one piece, shared rather than copied in
    // pieces. For answers to browsers, which count bytes and not pieces.
    void setWholeFromMemory(bool whole) { m_wholeFromMemory = whole; }

    qint64 position() const { return m_position; }
    bool isDone() const { return m_done; }

signals:
    void pieceSent(qint64 bytes);
    void finished();
    void failed(const QString &why);

private:
    void pump();

    QPointer<NetSocket> m_socket;
    const CmultiLanguage &m_texts;
    std::unique_ptr<QFile> m_file;
    FileCache *m_cache = nullptr;
    bool m_wholeFromMemory = false;
    std::optional<QByteArray> m_bytes; // the whole file, when it came from the cache
    QByteArray m_front;                // bytes in memory sent before m_bytes, counted with them
    qint64 m_position = 0;
    qint64 m_length = 0;
    bool m_done = false;
};

} // namespace centrum
