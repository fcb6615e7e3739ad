// A served paper as measured at service start, and the sender that streams a file over a socket.
#pragma once

#include <QFile>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class NetSocket;

namespace centrum {

// One entry of the paper list.
class ClassFile
{
public:
    QString fName;     // as configured: a full path, or a name inside the program folder
    qint32 fLength = 0;
    QString fNameNoPs; // after the last "/" or "\"
    QString fPath;     // where the file is read from

    // Measures the file, relative paths taken from folder; never creates one. False, with
    // why set, for a missing, empty or unreadable file and a name the announcement cannot carry.
    bool setFileLen(const QString &folder, QString *why = nullptr);
};

// Streams one file over a connected socket in pieces of at most 65535 bytes, reading the
// next piece only when the socket has room for it, so a file is never held whole.
class CtransFile : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 pieceSize = 65535;

    explicit CtransFile(NetSocket &WinS, QObject *parent = nullptr);

    // Sends head, then the file's bytes. A file that does not exist, or whose length is not
    // the announced one (when one is given), closes the socket and returns false with why set.
    bool transFile(const QString &fileName, const QByteArray &head = {}, qint64 announced = -1,
                   QString *why = nullptr);
    // Stops reading; what was handed to the socket still goes.
    void cancel();

    qint64 position() const { return m_position; }
    bool isDone() const { return m_done; }

signals:
    void pieceSent(qint64 bytes);
    void finished();
    void failed(const QString &why);

private:
    void pump();

    QPointer<NetSocket> m_socket;
    std::unique_ptr<QFile> m_file;
    qint64 m_position = 0;
    qint64 m_length = 0;
    bool m_done = false;
};

} // namespace centrum
