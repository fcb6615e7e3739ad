// A served paper as measured at service start, and the sender that streams a file over a socket.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class CmultiLanguage;
class NetSocket;

namespace centrum {

class ShuffledPaper;

// One entry of the paper list.
class ClassFile
{
public:
    QString fName;     // as configured: a full path, or a name inside the program folder
    qint32 fLength = 0;
    QString fNameNoPs; // after the last "/" or "\"
    QString fPath;     // where the file is read from
    // When papers are shuffled: the paper as read at service start, each candidate's copy made from it.
    std::shared_ptr<const ShuffledPaper> shuffled;

    // Measures the file, relative paths taken from folder; never creates one. False, with
    // why set (in the language of texts), for a missing, empty or unreadable file and a name
    // the announcement cannot carry.
    bool setFileLen(const QString &folder, const CmultiLanguage &texts, QString *why = nullptr);
};

// The bytes of small files that are sent again and again (a paper to a room, a page to the
// browsers), so that a send costs no reading. A file is read afresh as soon as its size,
// times or inode differ from what was read, and at every send while it changed only just now.
class FileCache
{
public:
    static constexpr qint64 maxFileBytes = 256 * 1024;
    static constexpr qint64 maxTotalBytes = 4 * 1024 * 1024;
    // A file written more recently than this is read at every send.
    static constexpr qint64 settleNs = 2'000'000'000;

    // The whole file when it is a readable regular file of at most maxFileBytes bytes;
    // nothing otherwise, and then the caller reads it piece by piece.
    std::optional<QByteArray> bytesOf(const QString &path);

private:
    struct Item {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 modifiedNs = 0;
        qint64 changedNs = 0;
        QByteArray bytes;
        bool operator==(const Item &o) const
        {
            return device == o.device && inode == o.inode && size == o.size && modifiedNs == o.modifiedNs
                && changedNs == o.changedNs;
        }
    };
    QHash<QString, Item> m_items;
    qint64 m_total = 0;
};

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
    // Sends bytes made in memory, in the same pieces as a file.
    void transBytes(const QByteArray &bytes);
    // Stops reading; what was handed to the socket still goes.
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
    qint64 m_position = 0;
    qint64 m_length = 0;
    bool m_done = false;
};

} // namespace centrum
