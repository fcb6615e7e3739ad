// The candidates' message sockets by index: the listening one and the accepted connections.
#pragma once

#include "centrum/candidatelinks.h"
#include "centrum/classfile.h"

#include <QByteArray>
#include <QList>
#include <QObject>

#include <deque>
#include <optional>
#include <utility>

class NetSocket;

namespace centrum {

class ServiceLog;

// Indices count from 1 as candidates connect; a freed index is used again before a new one.
// The listening socket takes a free index too, and an accepted connection stays at the index
// it was accepted on while a new listener is made. Signals name the index of their socket.
class MessageConnections : public QObject, public CandidateLinks
{
    Q_OBJECT

public:
    struct Connection {
        NetSocket *socket = nullptr;
        quint64 serial = 0;
        QList<ClassFile> papers; // the list as it stood when the candidate connected
        qint16 paperNo = 1;      // the candidate's own place in it, from 1
        QByteArray buffer;
        bool settled = false;        // a login or a report has come whole
        int queued = 0;              // its logins waiting for a transfer to be free
        std::optional<qint64> dueAt; // when it is let go unless a message comes whole
        std::optional<qint64> settleAt; // when a report still incomplete is taken as it stands
    };

    explicit MessageConnections(ServiceLog &log, QObject *parent = nullptr);
    ~MessageConnections() override;

    // The port of the listeners; the first listener decides it when the setting lets the system choose.
    quint16 port() const { return m_port; }
    void setPort(quint16 port) { m_port = port; }
    quint16 listenerPort() const;

    // Listens at a free index; a failure is logged with failedIndex, or the index tried when
    // that is negative.
    bool makeListener(int failedIndex);
    // Takes over a connection waiting at the listener k as a new candidate there; nothing when
    // it is gone already, and the listener then goes on listening.
    Connection *accept(qint16 k, int requestId);
    // Closes and forgets the socket at index (the listener included); a used index is kept
    // for reuse.
    void destroy(qint16 index);

    Connection *find(qint16 k);
    Connection *find(qint16 k, quint64 serial);
    // Each open socket's connection in the order of their indices, the listener's included.
    template <typename Visit>
    void forEach(Visit &&visit) const
    {
        for (std::size_t k = 1; k < m_slots.size(); ++k) {
            if (m_slots[k].open)
                visit(qint16(k), m_slots[k].connection);
        }
    }
    // Accepted connections, the listener not counted.
    int connectionCount() const { return m_open - (m_listener != 0 ? 1 : 0); }

    qint16 highestIndex() const { return m_highest; }
    qint16 listenerIndex() const { return m_listener; }
    QList<qint16> freeIndices() const { return m_free; }

    bool isOpen(qint16 index, quint64 serial) const override;
    std::optional<Place> placeOf(qint16 index, quint64 serial) const override;
    void send(qint16 index, quint64 serial, const QByteArray &bytes) override;
    void close(qint16 index, quint64 serial) override;

signals:
    void connectionRequest(qint16 k, int requestId);
    void dataArrival(qint16 k);
    void closed(qint16 k);
    void error(qint16 k, int number, const QString &description);

private:
    NetSocket *create(qint16 index);
    const Connection *find(qint16 k, quint64 serial) const;
    QString errorSockLine(int k) const;

    // An index's place: looked up for every message, so by position rather than in a tree.
    struct Slot {
        Connection connection;
        bool open = false;           // holds a listening or connected socket
        bool free = false;           // among the free indices
        NetSocket *parked = nullptr; // closed, kept for the next socket at this index
    };
    const Slot *slotAt(qint16 k) const
    {
        return k > 0 && std::size_t(k) < m_slots.size() ? &m_slots[std::size_t(k)] : nullptr;
    }
    Slot *slotAt(qint16 k) { return const_cast<Slot *>(std::as_const(*this).slotAt(k)); }

    ServiceLog &m_log;
    quint16 m_port = 0;
    std::deque<Slot> m_slots; // by index, from 1; growing it leaves every connection in place
    int m_open = 0;
    qint16 m_highest = 0;
    qint16 m_listener = 0;
    QList<qint16> m_free;
    quint64 m_nextSerial = 0;
};

} // namespace centrum
