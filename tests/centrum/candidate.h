// A candidate client for tests, on plain Qt sockets: both exchanges, and ways to misbehave.
#pragma once

#include "tests/support/eventloop.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <sys/socket.h>

#include <gtest/gtest.h>
#include <ostream>

inline QByteArray idField(const QString &id)
{
    return id.trimmed().left(12).leftJustified(12, u' ').toUtf8();
}

class Candidate : public QObject
{
public:
    enum class Misbehaviour {
        None,
        Silent,          // connects and sends nothing
        VanishMidFile,   // closes everything after the first bytes of the file
        NeverRequest,    // accepts the file connection but never asks for the file
        NeverReads,      // asks for the file and never reads it, with a small receive buffer: its
                         // system acknowledges only the first few kilobytes of a paper
        RefusesFile,     // names a file port that nobody listens on
    };

    QString id;
    Misbehaviour misbehaviour = Misbehaviour::None;
    int holdAtAnnouncement = 0; // waits before answering this announcement (1-based) until release()
    bool holdRequest = false;   // waits with the file request until release()
    QHostAddress from { QHostAddress::LocalHost }; // the workstation's address, e.g. 127.0.0.2

    QStringList announcements;
    QList<QByteArray> papers;   // each paper's bytes as received
    QByteArray current;
    bool finished = false;
    bool duplicate = false;
    bool notOnList = false; // refused as not on the server's roster
    bool closedByServer = false;

    explicit Candidate(QString candidateId, QObject *parent = nullptr) : QObject(parent), id(std::move(candidateId)) { }

    void fetch(quint16 msgPort)
    {
        m_files.listen(from, 0);
        if (misbehaviour == Misbehaviour::NeverReads) {
            const int small = 4096; // taken over by the connection accepted, and its window
            ::setsockopt(int(m_files.socketDescriptor()), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        }
        if (misbehaviour == Misbehaviour::RefusesFile) {
            m_refusedPort = m_files.serverPort();
            m_files.close();
        }
        connect(&m_files, &QTcpServer::newConnection, this, [this] {
            m_file = m_files.nextPendingConnection();
            m_files.close();
            if (misbehaviour == Misbehaviour::NeverReads)
                m_file->setReadBufferSize(1); // Qt then stops taking bytes from the system
            connect(m_file, &QTcpSocket::readyRead, this, [this] { onFileData(); });
            if (holdRequest)
                m_requestHeld = true;
            else if (misbehaviour != Misbehaviour::NeverRequest)
                m_msg.write("rqsF");
        });
        open(msgPort);
    }

    void submit(quint16 msgPort, const QString &result)
    {
        m_result = result;
        open(msgPort);
    }

    void release()
    {
        if (m_requestHeld) {
            holdRequest = m_requestHeld = false;
            m_msg.write("rqsF");
            return;
        }
        holdAtAnnouncement = 0;
        answer();
    }

    bool held() const
    {
        return m_requestHeld || (holdAtAnnouncement != 0 && announcements.size() == holdAtAnnouncement);
    }
    quint16 localMsgPort() const { return m_localPort; }
    bool connected() const { return m_msg.state() == QAbstractSocket::ConnectedState; }
    // Sends bytes on the message connection as they are.
    void say(const QByteArray &bytes) { m_msg.write(bytes); }
    void drop()
    {
        // What was written has left, as a real client's send has: only then is the connection cut.
        m_msg.flush();
        m_msg.abort();
        if (m_file)
            m_file->abort();
    }

private:
    void open(quint16 msgPort)
    {
        connect(&m_msg, &QTcpSocket::readyRead, this, [this] { onMessage(); });
        connect(&m_msg, &QTcpSocket::disconnected, this, [this] { closedByServer = true; });
        connect(&m_msg, &QTcpSocket::connected, this, [this] { m_localPort = m_msg.localPort(); });
        m_msg.bind(from);
        m_msg.connectToHost(QHostAddress::LocalHost, msgPort);
    }

    void onMessage()
    {
        const QByteArray all = m_msg.readAll();
        const QByteArray tag = all.left(4);
        if (tag == "fINF") {
            announcements.append(QString::fromUtf8(all.mid(4)));
            if (misbehaviour == Misbehaviour::Silent)
                return;
            if (!m_result.isEmpty()) {
                m_msg.write("rprt" + idField(id) + m_result.toUtf8());
                return;
            }
            current.clear();
            if (!held())
                answer();
        } else if (tag == "finx") {
            finished = true;
            m_msg.close();
        } else if (tag == "lgMo") {
            duplicate = true;
            m_msg.close();
        } else if (tag == "lgNo") {
            notOnList = true;
        }
    }

    void answer()
    {
        m_msg.write("infd" + idField(id) + QByteArray::number(m_files.isListening() ? m_files.serverPort() : m_filePort()));
    }

    quint16 m_filePort() const { return m_file ? m_file->localPort() : m_refusedPort; }

    void onFileData()
    {
        if (misbehaviour == Misbehaviour::NeverReads)
            return;
        current += m_file->readAll();
        if (misbehaviour == Misbehaviour::VanishMidFile) {
            drop();
            return;
        }
        const QStringList a = announcements.last().split(u',');
        if (a.size() == 2 && current.size() == a[1].toLongLong()) {
            papers.append(current);
            current.clear();
            m_msg.write("over" + a[0].toUtf8());
        }
    }

    QTcpSocket m_msg;
    QTcpServer m_files;
    QPointer<QTcpSocket> m_file;
    QString m_result;
    bool m_requestHeld = false;
    quint16 m_localPort = 0;
    quint16 m_refusedPort = 0;
};

// Readable failures for Qt texts.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QByteArray &b, std::ostream *os)
{
    *os << '"' << b.left(200).toStdString() << (b.size() > 200 ? "...\"" : "\"");
}
template<typename T>
void PrintTo(const QList<T> &list, std::ostream *os)
{
    *os << '{';
    for (const T &t : list)
        *os << ::testing::PrintToString(t) << ", ";
    *os << '}';
}
