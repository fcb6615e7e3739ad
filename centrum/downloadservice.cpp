// The download service: browsers fetch files of the program folder over HTTP.
#include "centrum/downloadservice.h"

#include "centrum/ctransfile.h"
#include "centrum/filecache.h"
#include "centrum/protocol.h"
#include "centrum/servicelog.h"
#include "common/netsocket.h"

#include <QFileInfo>
#include <QTimer>

#include <utility>

namespace centrum {

namespace {

// What a browser may have sent unread before the network holds it back: a request fits many
// times over.
constexpr qint64 readLimit = 64 * 1024;

} // namespace

DownloadService::DownloadService(ServiceLog &log, FileCache &cache, QString programFolder,
                                 std::chrono::milliseconds stallTimeout, QObject *parent)
    : QObject(parent), m_log(log), m_cache(cache), m_folder(std::move(programFolder))
{
    m_pimp = new NetSocket(this);
    connect(m_pimp, &NetSocket::connectionRequest, this, &DownloadService::onHttpRequest);
    for (int i = 0; i < int(m_hoe.size()); ++i) {
        HttpSlot &slot = m_hoe[i];
        slot.socket = new NetSocket(this);
        slot.socket->setReadBufferSize(readLimit);
        slot.idle = new QTimer(this);
        slot.idle->setSingleShot(true);
        slot.idle->setInterval(stallTimeout);
        connect(slot.idle, &QTimer::timeout, this, [this, i] { freeHttpSlot(i); });
        connect(slot.socket, &NetSocket::dataArrival, this, [this, i] { onHttpData(i); });
        connect(slot.socket, &NetSocket::sendComplete, this, [this, i] { onHttpSendComplete(i); });
        connect(slot.socket, &NetSocket::bytesSent, slot.idle, qOverload<>(&QTimer::start));
        connect(slot.socket, &NetSocket::closed, this, [this, i] { freeHttpSlot(i); });
        connect(slot.socket, &NetSocket::error, this, [this, i] { freeHttpSlot(i); });
    }
}

DownloadService::~DownloadService()
{
    // The sockets are children; make sure none reports into a half-destroyed service.
    for (HttpSlot &slot : m_hoe)
        slot.socket->disconnect(this);
}

bool DownloadService::start(quint16 port, QString *problem)
{
    m_pimp->close();
    m_pimp->setLocalPort(port);
    if (m_pimp->listen())
        return true;
    const QString line = m_log.text(text::PortBusy) + QStringLiteral("comm/web=%1").arg(port);
    m_log.log(line);
    if (problem)
        *problem = line;
    return false;
}

void DownloadService::stop()
{
    m_pimp->close();
}

bool DownloadService::isRunning() const
{
    return m_pimp->state() == NetSocket::State::Listening;
}

quint16 DownloadService::port() const
{
    return m_pimp->localPort();
}

void DownloadService::withhold(const QStringList &filePaths)
{
    m_withheld.clear();
    for (const QString &path : filePaths) {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        if (!canonical.isEmpty())
            m_withheld.insert(canonical);
    }
}

void DownloadService::onHttpRequest(int requestId)
{
    for (HttpSlot &slot : m_hoe) {
        if (slot.socket->state() == NetSocket::State::Closed) {
            slot.request.clear();
            slot.answered = false;
            slot.isFile = false;
            slot.socket->accept(requestId);
            slot.idle->start();
            return;
        }
    }
    // Every slot is busy: the browser waits until one is freed.
}

void DownloadService::onHttpData(int i)
{
    HttpSlot &slot = m_hoe[i];
    const QByteArray bytes = slot.socket->readAll();
    if (slot.answered)
        return;
    slot.request += bytes;
    const HttpRequest r = parseHttpRequest(slot.request);
    if (r.kind == HttpRequest::Kind::Incomplete)
        return;
    if (r.kind == HttpRequest::Kind::NotGet) {
        freeHttpSlot(i);
        return;
    }
    slot.answered = true;
    slot.idle->start();
    HttpTarget target = resolveHttpPath(m_folder, r.path);
    // The file's own name, links resolved, only when something is withheld: it takes a look
    // at every folder on the way.
    if (target.kind == HttpTarget::Kind::File && (!m_withheld.isEmpty() || !m_refused.isEmpty())) {
        const QString canonical = QFileInfo(target.filePath).canonicalFilePath();
        if (m_withheld.contains(canonical) || m_refused.contains(canonical))
            target.kind = HttpTarget::Kind::Refused;
    }
    if (target.kind != HttpTarget::Kind::File) {
        const bool refused = target.kind == HttpTarget::Kind::Refused;
        const QByteArray body = refused ? "403 Forbidden\n" : "404 Not Found\n";
        slot.socket->send(httpHead(refused ? 403 : 404, body.size(), QStringLiteral("text/plain")) + body);
        return;
    }
    slot.isFile = true;
    auto *sender = new CtransFile(*slot.socket, m_log.texts(), this, &m_cache);
    sender->setWholeFromMemory(true);
    slot.sender = sender;
    connect(sender, &CtransFile::failed, this, [this, i] { freeHttpSlot(i); });
    const QString type = contentTypeFor(target.filePath);
    if (!sender->transFile(target.filePath, [&type](qint64 length) { return httpHead(200, length, type); }))
        freeHttpSlot(i);
}

void DownloadService::onHttpSendComplete(int i)
{
    HttpSlot &slot = m_hoe[i];
    if (!slot.answered || (slot.sender && !slot.sender->isDone()))
        return;
    if (slot.isFile)
        m_log.log(slot.socket->remoteHostIP() + QStringLiteral("http%1 download files ok.").arg(i));
    freeHttpSlot(i);
}

void DownloadService::refuseFile(const QString &path)
{
    const QString canonical = path.isEmpty() ? QString() : QFileInfo(path).canonicalFilePath();
    if (!canonical.isEmpty())
        m_refused.insert(canonical);
}

void DownloadService::freeHttpSlot(int i)
{
    HttpSlot &slot = m_hoe[i];
    // The sender goes once the event at hand is done; what it handed over still goes out.
    if (slot.sender) {
        slot.sender->cancel();
        slot.sender->deleteLater();
    }
    slot.idle->stop();
    slot.socket->close();
    slot.request.clear();
    slot.answered = false;
    slot.isFile = false;
    // The browsers waiting for a slot: as many as there are free slots are taken now.
    for (int id : m_pimp->pendingRequests())
        onHttpRequest(id);
}

} // namespace centrum
