// The candidates' message sockets by index: the listening one and the accepted connections.
#include "centrum/messageconnections.h"

#include "centrum/servicelog.h"
#include "common/netsocket.h"

#include <QSignalBlocker>

#include <limits>

namespace centrum {

MessageConnections::MessageConnections(ServiceLog &log, QObject *parent) : QObject(parent), m_log(log)
{
}

MessageConnections::~MessageConnections()
{
    // The sockets are children; make sure none reports into a half-destroyed table.
    for (Slot &slot : m_slots) {
        if (slot.open)
            slot.connection.socket->disconnect(this);
        if (slot.parked)
            slot.parked->disconnect(this);
    }
}

quint16 MessageConnections::listenerPort() const
{
    const Slot *slot = slotAt(m_listener);
    return slot && slot->open ? slot->connection.socket->localPort() : 0;
}

NetSocket *MessageConnections::create(qint16 index)
{
    while (m_slots.size() <= std::size_t(index))
        m_slots.emplace_back();
    Slot &slot = m_slots[std::size_t(index)];
    slot.open = true;
    ++m_open;
    Connection &c = slot.connection;
    c = Connection {};
    c.serial = ++m_nextSerial;
    // A freed index is the next one used: its closed socket is taken up again, signals and all.
    if (slot.parked) {
        c.socket = std::exchange(slot.parked, nullptr);
        return c.socket;
    }
    auto *s = new NetSocket(this);
    c.socket = s;
    connect(s, &NetSocket::connectionRequest, this, [this, index](int id) { emit connectionRequest(index, id); });
    connect(s, &NetSocket::dataArrival, this, [this, index] { emit dataArrival(index); });
    connect(s, &NetSocket::closed, this, [this, index] { emit closed(index); });
    connect(s, &NetSocket::error, this, [this, index](int n, const QString &d) { emit error(index, n, d); });
    return s;
}

void MessageConnections::destroy(qint16 index)
{
    Slot *slot = slotAt(index);
    if (!slot || !slot->open)
        return;
    NetSocket *s = slot->connection.socket;
    // Closed, it reports nothing more; it is kept for the next socket at this index (a freed
    // index is the next one used), as making one and its signals for every connection of a
    // room costs more than the rest of the connection's bookkeeping.
    s->close();
    slot->open = false;
    slot->connection = Connection {};
    slot->parked = s;
    --m_open;
    if (index == m_listener)
        m_listener = 0;
    // An index above every accepted one is the next new one anyway.
    if (index <= m_highest && !std::exchange(slot->free, true))
        m_free.append(index);
}

QString MessageConnections::errorSockLine(int k) const
{
    return QStringLiteral("error-sock:%1mstrNdx:%2theadsCNT:%3").arg(k).arg(m_highest).arg(m_free.size());
}

bool MessageConnections::makeListener(int failedIndex)
{
    const bool reuse = !m_free.isEmpty();
    const int index = reuse ? m_free.first() : m_highest + 1;
    const Slot *taken = index <= std::numeric_limits<qint16>::max() ? slotAt(qint16(index)) : nullptr;
    if (index > std::numeric_limits<qint16>::max() || (taken && taken->open)) {
        m_log.log(errorSockLine(failedIndex < 0 ? index : failedIndex));
        return false;
    }
    NetSocket *s = create(qint16(index));
    s->setLocalPort(m_port);
    bool listening;
    {
        const QSignalBlocker quiet(s); // a failure here is this line's, not a connection's error
        listening = s->listen();
    }
    if (!listening) {
        destroy(qint16(index));
        m_log.log(errorSockLine(failedIndex < 0 ? index : failedIndex));
        return false;
    }
    if (reuse) {
        m_free.removeFirst();
        m_slots[std::size_t(index)].free = false;
    }
    m_listener = qint16(index);
    return true;
}

MessageConnections::Connection *MessageConnections::accept(qint16 k, int requestId)
{
    Connection *c = find(k);
    if (!c)
        return nullptr;
    NetSocket *s = c->socket;
    s->close();
    if (!s->accept(requestId)) {
        // The client is gone already: this object goes on listening.
        m_log.log(errorSockLine(k));
        const QSignalBlocker quiet(s);
        if (!s->listen())
            destroy(k);
        return nullptr;
    }
    if (m_listener == k)
        m_listener = 0;
    c->serial = ++m_nextSerial; // a new candidate on this index
    c->papers = {}; // clear() on a list still shared allocates an empty one of the same size
    c->paperNo = 1;
    c->buffer.clear();
    c->settled = false;
    c->queued = 0;
    c->dueAt.reset();
    c->settleAt.reset();
    if (m_highest < k)
        m_highest = k;
    return c;
}

MessageConnections::Connection *MessageConnections::find(qint16 k)
{
    Slot *slot = slotAt(k);
    return slot && slot->open ? &slot->connection : nullptr;
}

MessageConnections::Connection *MessageConnections::find(qint16 k, quint64 serial)
{
    Connection *c = find(k);
    return c && c->serial == serial ? c : nullptr;
}

const MessageConnections::Connection *MessageConnections::find(qint16 k, quint64 serial) const
{
    const Slot *slot = slotAt(k);
    return slot && slot->open && slot->connection.serial == serial ? &slot->connection : nullptr;
}

bool MessageConnections::isOpen(qint16 index, quint64 serial) const
{
    return find(index, serial) != nullptr;
}

std::optional<CandidateLinks::Place> MessageConnections::placeOf(qint16 index, quint64 serial) const
{
    const Connection *c = find(index, serial);
    if (!c)
        return std::nullopt;
    return Place { c->paperNo, c->papers.size(), c->papers.value(c->paperNo - 1) };
}

void MessageConnections::send(qint16 index, quint64 serial, const QByteArray &bytes)
{
    if (Connection *c = find(index, serial))
        c->socket->send(bytes);
}

void MessageConnections::close(qint16 index, quint64 serial)
{
    if (find(index, serial))
        destroy(index);
}

} // namespace centrum
