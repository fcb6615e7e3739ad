// One paper transfer: the file connection to one candidate, the papers sent on it, its watchdog.
#include "centrum/papertransfer.h"

#include "centrum/securepaper.h"

#include "centrum/candidatelinks.h"
#include "centrum/classfile.h"
#include "centrum/ctransfile.h"
#include "centrum/filecache.h"
#include "centrum/servicelog.h"
#include "common/netsocket.h"

#include <QAbstractSocket>

#include <utility>

namespace centrum {

namespace {

// What a candidate may have sent unread on the file connection before the network holds it
// back: nothing is expected there at all.
constexpr qint64 readLimit = 64 * 1024;

} // namespace

PaperTransfer::PaperTransfer(const Cuser &candidate, CandidateLinks &links, ServiceLog &log, FileCache &cache,
                             std::chrono::milliseconds stallTimeout, std::chrono::milliseconds quietTimeout,
                             QObject *parent)
    : QObject(parent),
      m_links(links),
      m_log(log),
      m_cache(cache),
      m_stallTimeout(stallTimeout),
      m_served { candidate.uSckNdx, candidate.uConn, candidate.uID },
      m_quietTimeout(quietTimeout)
{
    m_file = new NetSocket(this);
    m_file->setReadBufferSize(readLimit);
    // Nothing is expected back on the file connection: what comes is dropped, never kept.
    connect(m_file, &NetSocket::dataArrival, this, [this] { m_file->readAll(); });
    connect(m_file, &NetSocket::sendComplete, this, &PaperTransfer::noteIfAcknowledged);
    connect(m_file, &NetSocket::connected, this, [this] {
        noteProgress();
        if (std::exchange(m_requestEarly, false))
            sendCurrentPaper();
    });
    connect(m_file, &NetSocket::bytesSent, this, [this] { noteProgress(); });
    connect(m_file, &NetSocket::error, this, &PaperTransfer::abandon);
    connect(m_file, &NetSocket::closed, this, [this] {
        abandon(int(QAbstractSocket::RemoteHostClosedError), m_log.text(text::PeerGone));
    });
    m_watchdog.setSingleShot(true);
    connect(&m_watchdog, &QTimer::timeout, this, &PaperTransfer::onWatchdog);
    m_quietTimer.setSingleShot(true);
    connect(&m_quietTimer, &QTimer::timeout, this, &PaperTransfer::onQuietTimer);
    // One sender for every paper this object sends, to every candidate it serves.
    m_sender = new CtransFile(*m_file, m_log.texts(), this, &m_cache);
    connect(m_sender, &CtransFile::pieceSent, this, &PaperTransfer::pieceSent);
    connect(m_sender, &CtransFile::failed, this, [this](const QString &why) { abandon(sectionMsgError, why); });
}

PaperTransfer::~PaperTransfer()
{
    m_file->disconnect(this);
}

void PaperTransfer::begin(const Cuser &candidate)
{
    bool ok = false;
    const uint port = candidate.uPort.toUInt(&ok);
    noteProgress();
    // The candidate takes the file connection only from the server it logged in to, so it is
    // made from the address the candidate dialled, whichever of the server's addresses that is.
    m_file->connectTo(candidate.uIP, ok && port <= 65535 ? quint16(port) : 0, candidate.uServerIP);
}

void PaperTransfer::stop()
{
    m_sender->cancel(); // what it handed to the socket still goes out
    m_file->close(); // it reports nothing more until it connects again
    m_requestEarly = false;
    m_watchdog.stop();
    m_quietTimer.stop();
}

void PaperTransfer::reset(const Cuser &candidate)
{
    m_served = { candidate.uSckNdx, candidate.uConn, candidate.uID };
    m_quiet = false;
    m_queuedAtProgress = 0;
}

bool PaperTransfer::serves(qint16 index, quint64 serial) const
{
    return m_served.index == index && m_served.serial == serial;
}

QString PaperTransfer::peerAddress() const
{
    return m_file->remoteHostIP();
}

qint64 PaperTransfer::unread() const
{
    return m_file->bytesAvailable();
}

void PaperTransfer::paperRequested()
{
    if (m_file->state() == NetSocket::State::Connecting)
        m_requestEarly = true;
    else if (m_file->state() == NetSocket::State::Connected)
        sendCurrentPaper();
}

void PaperTransfer::loginAgain()
{
    if (m_file->state() == NetSocket::State::Connected)
        sendCurrentPaper();
}

void PaperTransfer::closeFile()
{
    m_file->close();
}

void PaperTransfer::noteProgress()
{
    m_queuedAtProgress = m_file->unacknowledgedBytes();
    // Progress comes with every piece: the timers run on and, when they fire, count from the
    // last progress instead of being started again each time.
    m_progressAt = std::chrono::steady_clock::now();
    if (!m_watchdog.isActive())
        m_watchdog.start(m_stallTimeout);
    if (!m_quietTimer.isActive())
        m_quietTimer.start(m_quietTimeout);
    m_quiet = false;
}

bool PaperTransfer::waitsOn(QTimer &timer, std::chrono::milliseconds timeout)
{
    const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_progressAt);
    if (since >= timeout)
        return false;
    timer.start(timeout - since);
    return true;
}

void PaperTransfer::onQuietTimer()
{
    // Acknowledgements raise no event: they are looked at whenever a timer fires.
    noteIfAcknowledged();
    if (waitsOn(m_quietTimer, m_quietTimeout))
        return;
    // The same measure of progress as the watchdog's, only sooner.
    if (m_file->unacknowledgedBytes() < m_queuedAtProgress) {
        noteProgress();
        return;
    }
    m_quiet = true;
    emit wentQuiet();
}

void PaperTransfer::onWatchdog()
{
    noteIfAcknowledged();
    if (waitsOn(m_watchdog, m_stallTimeout))
        return;
    // A candidate on a slow line is still taking the paper: only a stop is a stall.
    const qint64 queued = m_file->unacknowledgedBytes();
    if (queued < m_queuedAtProgress) {
        noteProgress();
        return;
    }
    const double seconds = double(m_stallTimeout.count()) / 1000.0;
    abandon(int(QAbstractSocket::SocketTimeoutError), m_log.text(text::Stalled).arg(seconds));
}

void PaperTransfer::sendCurrentPaper()
{
    const std::optional<CandidateLinks::Place> place = m_links.placeOf(m_served.index, m_served.serial);
    // A paper goes out once, however often it is asked for: a second copy would run past
    // the announced length and the candidate would never see the end of it.
    if (!place || m_served.sentNo == place->paperNo)
        return;
    m_served.sentNo = place->paperNo;
    m_sender->cancel();
    const ClassFile &paper = place->paper;
    if (paper.secure) {
        const SecurePaper::Parts copy = paper.secure->partsFor(m_served.uID);
        m_sender->transBytes(copy.rest, copy.head);
        return;
    }
    if (paper.shuffled) {
        m_sender->transBytes(paper.shuffled->copyFor(keyedOrder(paper.shuffleKey, m_served.uID)));
        return;
    }
    QString why;
    // Nothing the candidate could use was sent: the next one need not wait for the stall time.
    if (!m_sender->transFile(paper.fPath, {}, paper.fLength, &why))
        abandon(sectionMsgError, why);
}

void PaperTransfer::abandon(int number, const QString &why)
{
    m_log.log(QStringLiteral("sock errorNum:%1 des:%2").arg(number).arg(why));
    emit givenUp();
}

void PaperTransfer::noteIfAcknowledged()
{
    // A closed connection has nothing left to count.
    if (m_served.delivered || !m_sender->isDone() || m_file->state() != NetSocket::State::Connected
        || m_file->unacknowledgedBytes() != 0)
        return;
    const std::optional<CandidateLinks::Place> place = m_links.placeOf(m_served.index, m_served.serial);
    if (place && m_served.sentNo == place->papers)
        noteListDelivered();
}

void PaperTransfer::noteListDelivered()
{
    if (!std::exchange(m_served.delivered, true))
        emit delivered();
}

} // namespace centrum
