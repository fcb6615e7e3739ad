// The paper transfers under way, and who may begin one.
#include "centrum/papertransfers.h"

#include "centrum/candidatelinks.h"
#include "centrum/papertransfer.h"

#include <algorithm>
#include <utility>

namespace centrum {

PaperTransfers::PaperTransfers(CandidateLinks &links, ServiceLog &log, FileCache &cache,
                               std::chrono::milliseconds stallTimeout, std::chrono::milliseconds quietTimeout,
                               QObject *parent)
    : QObject(parent),
      m_links(links),
      m_log(log),
      m_cache(cache),
      m_stallTimeout(stallTimeout),
      m_quietTimeout(quietTimeout)
{
}

PaperTransfers::~PaperTransfers()
{
    for (const auto *list : { &m_active, &m_idle, &m_ending }) {
        for (PaperTransfer *t : *list)
            t->disconnect(this);
    }
}

bool PaperTransfers::hasRoom() const
{
    const auto counts = [](const PaperTransfer *t) { return !t->isQuiet(); };
    return std::count_if(m_active.begin(), m_active.end(), counts) < m_limit;
}

void PaperTransfers::start(const Cuser &candidate)
{
    if (!m_links.isOpen(candidate.uSckNdx, candidate.uConn))
        return;
    PaperTransfer *transfer = nullptr;
    if (!m_idle.isEmpty()) {
        transfer = m_idle.takeLast();
        transfer->reset(candidate);
    } else {
        transfer = new PaperTransfer(candidate, m_links, m_log, m_cache, m_stallTimeout, m_quietTimeout, this);
        connect(transfer, &PaperTransfer::pieceSent, this, [this, transfer](qint64 bytes) {
            emit paperPieceSent(bytes);
            emit progress(transfer->candidateId(), bytes);
        });
        connect(transfer, &PaperTransfer::wentQuiet, this, &PaperTransfers::roomFreed);
        connect(transfer, &PaperTransfer::delivered, this, [this, transfer] { emit delivered(transfer->candidateId()); });
        connect(transfer, &PaperTransfer::givenUp, this, [this, transfer] {
            releaseUnserved(*transfer);
            end(transfer);
        });
    }
    // Known before it connects, as a failure may come back at once.
    m_active.append(transfer);
    transfer->begin(candidate);
}

PaperTransfer *PaperTransfers::servedTo(qint16 index, quint64 serial) const
{
    for (PaperTransfer *t : m_active) {
        if (t->serves(index, serial))
            return t;
    }
    return nullptr;
}

void PaperTransfers::paperRequested(qint16 index, quint64 serial)
{
    PaperTransfer *t = servedTo(index, serial);
    if (!t && !m_active.isEmpty())
        t = m_active.first();
    if (t)
        t->paperRequested();
}

void PaperTransfers::releaseUnserved(const PaperTransfer &transfer)
{
    if (!transfer.listDelivered())
        emit unserved(transfer.candidateId(), transfer.index(), transfer.serial());
}

void PaperTransfers::end(PaperTransfer *transfer)
{
    if (!m_active.removeOne(transfer))
        return;
    transfer->stop();
    retire(transfer);
    emit roomFreed();
}

void PaperTransfers::retire(PaperTransfer *transfer)
{
    m_ending.append(transfer);
    if (m_ending.size() == 1) {
        QMetaObject::invokeMethod(this, [this] {
            m_idle.append(m_ending);
            m_ending.clear();
        }, Qt::QueuedConnection);
    }
}

qint64 PaperTransfers::fileConnectionUnread() const
{
    qint64 unread = 0;
    for (const PaperTransfer *t : m_active)
        unread = std::max(unread, t->unread());
    return unread;
}

} // namespace centrum
