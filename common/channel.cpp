// The result channel over a local socket: record format, sender and receiver.
#include "common/channel.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QVariant>
#include <QtEndian>
#include <unistd.h>

namespace channel {

QString serverName(const QString &title)
{
    return QStringLiteral("exam-channel-%1-%2")
        .arg(uint(getuid()))
        .arg(QString::fromLatin1(title.toUtf8().toHex()));
}

QByteArray encodeRecord(quint32 tag, QByteArrayView text)
{
    QByteArray out(8, '\0');
    qToLittleEndian<quint32>(tag, out.data());
    qToLittleEndian<quint32>(quint32(text.size() + 1), out.data() + 4);
    out.append(text.data(), text.size());
    out.append('\0');
    return out;
}

ParseResult parseRecord(QByteArrayView bytes)
{
    ParseResult result;
    if (bytes.size() < 8)
        return result;
    const quint32 tag = qFromLittleEndian<quint32>(bytes.data());
    const quint32 count = qFromLittleEndian<quint32>(bytes.data() + 4);
    const qsizetype taken = std::min<qsizetype>(count, bufferLimit);
    if (bytes.size() < 8 + taken)
        return result;
    QByteArrayView data = bytes.sliced(8, taken);
    const qsizetype nul = data.indexOf('\0');
    if (nul >= 0)
        data = data.first(nul);
    result.complete = true;
    result.record = { tag, QString::fromUtf8(data) };
    result.consumed = 8 + taken;
    return result;
}

} // namespace channel

CsendMessage::Outcome CsendMessage::sendMsg(const QString &strTemp, const QString &wndTitle) const
{
    const QByteArray text = strTemp.toUtf8();
    if (text.size() + 1 > channel::bufferLimit)
        return Outcome::TooLong;
    QLocalSocket socket;
    socket.connectToServer(channel::serverName(wndTitle));
    if (!socket.waitForConnected(2000))
        return Outcome::NoReceiver;
    socket.write(channel::encodeRecord(channel::textTag, text));
    if (!socket.waitForBytesWritten(m_timeoutMs))
        return Outcome::NoReply;
    // The reply comes once the receiver's submission has started.
    if (!socket.waitForReadyRead(m_timeoutMs))
        return Outcome::NoReply;
    socket.disconnectFromServer();
    return Outcome::Delivered;
}

Mmsg::Mmsg(QObject *parent) : QObject(parent) { }

Mmsg::~Mmsg() { removeCopyDataHook(); }

bool Mmsg::installCopyDataHook(const QString &title, SubmitHandler submit)
{
    removeCopyDataHook();
    m_submit = std::move(submit);
    const QString name = channel::serverName(title);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // A name left behind by a receiver that crashed would block listening.
    QLocalServer::removeServer(name);
    if (!m_server->listen(name)) {
        m_error = m_server->errorString();
        delete m_server;
        m_server = nullptr;
        return false;
    }
    QLocalServer *server = m_server;
    connect(server, &QLocalServer::newConnection, this, [this, server] {
        // server, not m_server: a submission may remove the hook while this loop runs.
        while (QLocalSocket *socket = server->nextPendingConnection()) {
            socket->setParent(this); // outlives removeCopyDataHook called from a submission
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
            readFrom(socket);
        }
    });
    m_error.clear();
    return true;
}

void Mmsg::removeCopyDataHook()
{
    if (!m_server)
        return;
    m_server->close();
    // Later, not now: this may run inside the server's own signal.
    m_server->deleteLater();
    m_server = nullptr;
}

bool Mmsg::isListening() const { return m_server && m_server->isListening(); }

void Mmsg::readFrom(QLocalSocket *socket)
{
    if (socket->property("answered").toBool()) {
        socket->readAll(); // one record a connection; the rest is not ours to hold
        return;
    }
    QByteArray buffer = socket->property("buffer").toByteArray();
    buffer += socket->read(8 + channel::bufferLimit - buffer.size());
    const channel::ParseResult parsed = channel::parseRecord(buffer);
    if (!parsed.complete) {
        socket->setProperty("buffer", buffer);
        return;
    }
    socket->setProperty("buffer", QByteArray());
    socket->setProperty("answered", true);
    receiveCopyData(parsed.record);
    socket->write("\1", 1);
    socket->flush();
    socket->readAll();
}

void Mmsg::receiveCopyData(const channel::Record &record)
{
    if (record.tag != channel::textTag)
        return;
    m_pending = record.text;
    if (m_submit)
        m_submit();
}
