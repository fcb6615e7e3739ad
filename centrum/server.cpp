// The exam server's service: message connections, paper transfer, records and downloads.
#include "server.h"

#include "inifile.h"
#include "multilanguage.h"
#include "netsocket.h"
#include "protocol.h"
#include "reportview.h"
#include "texts.h"
#include "tokenizer.h"
#include "wiremessages.h"
#include "wiretags.h"

#include <QAbstractSocket>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QSignalBlocker>

#include <algorithm>
#include <utility>

namespace centrum {

namespace {

// Texts of the service that the string table does not hold: Chinese, English.
const char *const extraTexts[][2] = {
    { " 端口设置无效:", " Bad port setting:" },
    { " 试卷无法使用:", " Paper cannot be served:" },
    { "%1秒无进展,已放弃传送", "no progress for %1 s, transfer given up" },
    { "消息超过64KiB", "message longer than 64 KiB" },
    { " 试卷路径不能含有\",\":", " A paper path cannot contain \",\":" },
    { "传送中对方断开", "the peer closed during the transfer" },
    { " 端口无法监听:", " Port cannot be listened on:" },
    { "文件无法读取:", "File cannot be read:" },
    { "%1秒内没有完整的消息,已断开连接", "no whole message for %1 s, connection let go" },
};
enum Extra { BadPort, BadPaper, Stalled, TooLong, CommaPath, PeerGone, PortBusy, Unreadable, Quiet };

constexpr int sectionMsgError = int(QAbstractSocket::UnknownSocketError);

// What a browser, or a candidate on the file connection, may have sent unread before the
// network holds it back: a request fits many times over.
constexpr qint64 readLimit = 64 * 1024;

// Log lines carry text from the network; control characters in it would steer the terminal
// the log is shown on, so they are shown as the replacement character instead.
QString visibleText(QString text)
{
    for (QChar &ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
            ch = QChar::ReplacementCharacter;
    }
    return text;
}

// Stops a sender, if there is one; it goes once the event at hand is done.
void retire(CtransFile *sender)
{
    if (sender) {
        sender->cancel();
        sender->deleteLater();
    }
}

} // namespace

Server::Server(ServerSeams seams, QObject *parent)
    : QObject(parent),
      m_seams(std::move(seams)),
      m_texts(chooseStringTable(Program::Centrum, m_seams.lcid)),
      m_log(m_seams.programFolder, QStringLiteral(".log"), DayFileWriter::Mode::Append),
      m_report(m_seams.programFolder, QStringLiteral(".rpt"), DayFileWriter::Mode::Durable)
{
    m_file = new NetSocket(this);
    m_file->setReadBufferSize(readLimit);
    // Nothing is expected back on the file connection: what comes is dropped, never kept.
    connect(m_file, &NetSocket::dataArrival, this, [this] { m_file->readAll(); });
    connect(m_file, &NetSocket::sendComplete, this, &Server::notePaperWritten);
    connect(m_file, &NetSocket::connected, this, [this] {
        noteProgress();
        if (std::exchange(m_requestEarly, false) && m_served)
            sendCurrentPaper();
    });
    connect(m_file, &NetSocket::bytesSent, this, [this] { noteProgress(); });
    connect(m_file, &NetSocket::error, this, &Server::abandonTransfer);
    connect(m_file, &NetSocket::closed, this, [this] {
        if (m_served)
            abandonTransfer(int(QAbstractSocket::RemoteHostClosedError), extra(PeerGone));
        else
            endTransfer();
    });
    m_reportTimer.setSingleShot(true);
    connect(&m_reportTimer, &QTimer::timeout, this, &Server::flushReports);
    m_watchdog.setSingleShot(true);
    connect(&m_watchdog, &QTimer::timeout, this, [this] {
        if (!m_served)
            return;
        // A candidate on a slow line is still taking the paper: only a stop is a stall.
        const qint64 queued = m_file->unacknowledgedBytes();
        if (queued < m_queuedAtProgress) {
            noteProgress();
            return;
        }
        const double seconds = double(m_seams.stallTimeout.count()) / 1000.0;
        abandonTransfer(int(QAbstractSocket::SocketTimeoutError), extra(Stalled).arg(seconds));
    });
    m_clock.start();
    m_letGo.setSingleShot(true);
    connect(&m_letGo, &QTimer::timeout, this, &Server::letGoOfStalled);

    m_pimp = new NetSocket(this);
    connect(m_pimp, &NetSocket::connectionRequest, this, &Server::onHttpRequest);
    for (int i = 0; i < int(m_hoe.size()); ++i) {
        HttpSlot &slot = m_hoe[i];
        slot.socket = new NetSocket(this);
        slot.socket->setReadBufferSize(readLimit);
        slot.idle = new QTimer(this);
        slot.idle->setSingleShot(true);
        slot.idle->setInterval(m_seams.stallTimeout);
        connect(slot.idle, &QTimer::timeout, this, [this, i] { freeHttpSlot(i); });
        connect(slot.socket, &NetSocket::dataArrival, this, [this, i] { onHttpData(i); });
        connect(slot.socket, &NetSocket::sendComplete, this, [this, i] { onHttpSendComplete(i); });
        connect(slot.socket, &NetSocket::bytesSent, slot.idle, qOverload<>(&QTimer::start));
        connect(slot.socket, &NetSocket::closed, this, [this, i] { freeHttpSlot(i); });
        connect(slot.socket, &NetSocket::error, this, [this, i] { freeHttpSlot(i); });
    }
}

Server::~Server()
{
    flushReports(); // what was received is kept, even when it can no longer be confirmed
    // The sockets are children; make sure none reports into a half-destroyed server.
    for (auto &[k, c] : m_sockets)
        c.socket->disconnect(this);
    m_file->disconnect(this);
    for (HttpSlot &slot : m_hoe)
        slot.socket->disconnect(this);
}

QString Server::text(int id) const
{
    return m_texts->getRes(id);
}

QString Server::extra(int id) const
{
    return QString::fromUtf8(extraTexts[id][m_seams.lcid == chineseLcid ? 0 : 1]);
}

void Server::log(const QString &text)
{
    const QDateTime now = m_seams.now();
    const QString line = visibleText(text);
    const QString shown = shownStamp(now) + line;
    m_logBox.add(shown);
    m_log.write(now, line); // a failed write of the log is not worth stopping the service for
    emit logLine(shown);
}

QString Server::settingsPath() const
{
    return QDir(m_seams.programFolder).filePath(QStringLiteral("setting.ini"));
}

QStringList Server::configuredPapers() const
{
    const QString list = IniFile::load(settingsPath()).value(u"subject", u"file").value_or(QString());
    if (list.isEmpty())
        return {};
    return ParseString(list, QStringLiteral(",")).value_or(QStringList { list });
}

bool Server::addTests(const QString &path, QString *why)
{
    if (path.contains(u',')) {
        if (why)
            *why = extra(CommaPath) + path;
        return false;
    }
    return writeIniValue(settingsPath(), QStringLiteral("subject"), QStringLiteral("file"), path, why);
}

QStringList Server::recordFiles(bool reports) const
{
    QDir dir(m_seams.programFolder);
    QFileInfoList files = dir.entryInfoList({ reports ? QStringLiteral("*.rpt") : QStringLiteral("*.log") }, QDir::Files);
    // By the day a name gives, not by when the file last changed: an old day's file edited
    // today is still an old day, and "2026-9-30" comes before "2026-12-1". Other names first.
    const auto dayOf = [](const QFileInfo &f) {
        return QDate::fromString(f.completeBaseName(), QStringLiteral("yyyy-M-d"));
    };
    std::sort(files.begin(), files.end(), [&dayOf](const QFileInfo &a, const QFileInfo &b) {
        const QDate da = dayOf(a);
        const QDate db = dayOf(b);
        if (da != db)
            return !da.isValid() || (db.isValid() && da < db);
        return a.fileName() < b.fileName();
    });
    QStringList names;
    for (const QFileInfo &f : files)
        names.append(f.fileName());
    return names;
}

QString Server::reportView(const QString &fileName) const
{
    return reportText(report::reportEntries(recordFilePath(fileName)), *m_texts);
}

QString Server::recordFilePath(const QString &fileName) const
{
    return QDir(m_seams.programFolder).filePath(fileName);
}

std::optional<QString> Server::recordFileText(const QString &fileName, QString *why) const
{
    QFile file(recordFilePath(fileName));
    if (!file.open(QIODevice::ReadOnly)) {
        if (why)
            *why = extra(Unreadable) + file.fileName() + QStringLiteral(" (") + file.errorString() + u')';
        return std::nullopt;
    }
    return QString::fromUtf8(file.readAll());
}

QString Server::windowTitle() const
{
    return text(1) + text(25) + localIpAddress();
}

QString Server::localIpAddress()
{
    for (const QHostAddress &a : QNetworkInterface::allAddresses()) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback())
            return a.toString();
    }
    return QStringLiteral("127.0.0.1");
}

bool Server::isHttpRunning() const
{
    return m_pimp->state() == NetSocket::State::Listening;
}

quint16 Server::webPort() const
{
    return m_pimp->localPort();
}

Server::StartResult Server::start()
{
    StartResult result;
    QString unreadable;
    const IniFile settings = IniFile::load(settingsPath(), &unreadable);
    if (!unreadable.isEmpty()) {
        result.refusal = StartResult::Refusal::Unreadable;
        result.problem = u' ' + extra(Unreadable) + unreadable;
        log(result.problem);
        return result;
    }
    std::optional<quint16> ports[2];
    const char *keys[2] = { "msg", "web" };
    for (int i = 0; i < 2; ++i) {
        const QString value = settings.value(u"comm", QString::fromLatin1(keys[i])).value_or(QString());
        ports[i] = wire::portSetting(value);
        if (!ports[i]) {
            result.refusal = StartResult::Refusal::BadPort;
            result.problem = extra(BadPort) + QStringLiteral("comm/%1=%2").arg(QLatin1StringView(keys[i]), value);
            log(result.problem);
            return result;
        }
    }

    m_logBox.setCounter(1);
    m_logins.clear();
    m_msgPort = *ports[0];
    const bool shuffle = settings.value(u"subject", u"shuffle").value_or(QString()).trimmed() == u"1";
    result.messageService = startMessageService(result, shuffle);

    m_pimp->close();
    m_pimp->setLocalPort(*ports[1]);
    result.httpService = m_pimp->listen();
    if (!result.httpService) {
        const QString line = extra(PortBusy) + QStringLiteral("comm/web=%1").arg(*ports[1]);
        log(line);
        if (result.problem.isEmpty()) {
            result.refusal = StartResult::Refusal::Listen;
            result.problem = line;
        }
    }
    emit runningChanged(isRunning());
    return result;
}

bool Server::startMessageService(StartResult &result, bool shuffle)
{
    const auto refuse = [&](StartResult::Refusal refusal, const QString &problem) {
        result.refusal = refusal;
        result.problem = problem;
        log(problem);
        return false;
    };
    // A repeated start replaces the listener; accepted connections stay as they are.
    destroySocket(m_listener);

    const QStringList list = configuredPapers();
    if (list.isEmpty())
        return refuse(StartResult::Refusal::NoPapers, text(10));
    QList<ClassFile> papers;
    for (const QString &part : list) {
        ClassFile paper;
        paper.fName = part;
        QString why;
        if (!paper.setFileLen(m_seams.programFolder, &why))
            return refuse(StartResult::Refusal::BadPaper, extra(BadPaper) + part + QStringLiteral(" (") + why + u')');
        // Read and deciphered once here; each candidate's copy is only a new order of it.
        if (shuffle) {
            QFile file(paper.fPath);
            if (file.open(QIODevice::ReadOnly))
                paper.shuffled = ShuffledPaper::parse(file.readAll(), &why);
            else
                why = file.errorString();
            if (!paper.shuffled)
                return refuse(StartResult::Refusal::BadPaper,
                              text(textid::ShuffleRefused) + part + QStringLiteral(" (") + why + u')');
            paper.fLength = qint32(paper.shuffled->size());
        }
        papers.append(paper);
    }
    m_papers = papers;
    // Beside the socket's own line, one that tells the examiner which setting to change.
    if (!makeListener(-1))
        return refuse(StartResult::Refusal::Listen, extra(PortBusy) + QStringLiteral("comm/msg=%1").arg(m_msgPort));
    // The first listener decides the port, also when the setting lets the system choose.
    m_msgPort = m_sockets[m_listener].socket->localPort();
    log(text(8));
    if (shuffle)
        log(text(textid::Shuffling));
    return true;
}

NetSocket *Server::createSocket(qint16 index)
{
    auto *s = new NetSocket(this);
    Connection &c = m_sockets[index];
    c = Connection {};
    c.socket = s;
    c.serial = ++m_nextSerial;
    connect(s, &NetSocket::connectionRequest, this, [this, index](int id) { onConnectionRequest(index, id); });
    connect(s, &NetSocket::dataArrival, this, [this, index] { onData(index); });
    connect(s, &NetSocket::closed, this, [this, index] { onPeerClosed(index); });
    connect(s, &NetSocket::error, this,
            [this, index](int n, const QString &d) { onSocketError(index, n, d); });
    return s;
}

void Server::destroySocket(qint16 index)
{
    auto it = m_sockets.find(index);
    if (it == m_sockets.end())
        return;
    NetSocket *s = it->second.socket;
    s->disconnect(this);
    s->close();
    s->deleteLater(); // may be inside one of its own signals
    m_sockets.erase(it);
    if (index == m_listener)
        m_listener = 0;
    // An index above every accepted one is the next new one anyway.
    if (index <= m_highest && !m_free.contains(index))
        m_free.append(index);
}

QString Server::errorSockLine(int k) const
{
    return QStringLiteral("error-sock:%1mstrNdx:%2theadsCNT:%3").arg(k).arg(m_highest).arg(m_free.size());
}

bool Server::makeListener(int failedIndex)
{
    const bool reuse = !m_free.isEmpty();
    const int index = reuse ? m_free.first() : m_highest + 1;
    if (index > std::numeric_limits<qint16>::max() || m_sockets.count(qint16(index))) {
        log(errorSockLine(failedIndex < 0 ? index : failedIndex));
        return false;
    }
    NetSocket *s = createSocket(qint16(index));
    s->setLocalPort(m_msgPort);
    bool listening;
    {
        const QSignalBlocker quiet(s); // a failure here is this line's, not a connection's error
        listening = s->listen();
    }
    if (!listening) {
        destroySocket(qint16(index));
        log(errorSockLine(failedIndex < 0 ? index : failedIndex));
        return false;
    }
    if (reuse)
        m_free.removeFirst();
    m_listener = qint16(index);
    return true;
}

void Server::onConnectionRequest(qint16 k, int requestId)
{
    const auto it = m_sockets.find(k);
    if (it == m_sockets.end() || m_papers.isEmpty())
        return;
    Connection *c = &it->second;
    NetSocket *s = c->socket;
    s->close();
    if (!s->accept(requestId)) {
        // The client is gone already: this object goes on listening.
        log(errorSockLine(k));
        const QSignalBlocker quiet(s);
        if (!s->listen())
            destroySocket(k);
        return;
    }
    if (m_listener == k)
        m_listener = 0;
    c->serial = ++m_nextSerial; // a new candidate on this index
    c->papers = m_papers; // a later start with another list does not change what this candidate gets
    c->paperNo = 1;
    c->buffer.clear();
    c->settled = false;
    c->dueAt.reset();
    watchPatience(k);
    const ClassFile &first = c->papers.first();
    s->send(wire::tagAnnounce + wire::announcement(first.fNameNoPs, first.fLength));
    if (m_highest < k)
        m_highest = k;
    log(text(15) + QStringLiteral("IP:%1:%2").arg(s->remoteHostIP()).arg(s->remotePort()));
    makeListener(k);
}

Server::Connection *Server::connectionOf(qint16 k, quint64 serial)
{
    auto it = m_sockets.find(k);
    if (it == m_sockets.end() || it->second.serial != serial)
        return nullptr;
    return &it->second;
}

void Server::onData(qint16 k)
{
    auto it = m_sockets.find(k);
    if (it == m_sockets.end() || k == m_listener)
        return;
    const quint64 serial = it->second.serial;
    it->second.buffer += it->second.socket->readAll();
    for (;;) {
        Connection *c = connectionOf(k, serial);
        if (!c)
            return;
        if (c->buffer.isEmpty())
            break;
        const wire::ParsedMessage m = wire::parseMessage(c->buffer);
        if (m.status == wire::ParseStatus::Incomplete)
            break;
        if (m.status == wire::ParseStatus::Bad) {
            onSocketError(k, sectionMsgError, extra(TooLong));
            return;
        }
        c->buffer.remove(0, m.consumed);
        if (m.tag() == wire::tagLogin || m.tag() == wire::tagReport)
            c->settled = true;
        handleMessage(k, m);
    }
    watchPatience(k);
}

void Server::handleMessage(qint16 k, const wire::ParsedMessage &m)
{
    Connection &c = m_sockets[k];
    NetSocket *s = c.socket;
    const QString tag = m.tag();
    const bool served = m_served && m_served->index == k && m_served->serial == c.serial;

    if (tag == wire::tagLogin) {
        Cuser user;
        user.uID = m.id();
        user.uIP = s->remoteHostIP();
        user.uPort = m.afterId();
        user.uSckNdx = k;
        user.uConn = c.serial;
        if (served && user.uID == m_served->uID) {
            // The next paper of a list, for the candidate already connected for files; the
            // watchdog counts its bytes going out, not the asking.
            if (m_file->state() == NetSocket::State::Connected)
                sendCurrentPaper();
            return;
        }
        if (isDuplicate(user.uID)) {
            s->send(QByteArray(wire::tagDuplicate));
            return;
        }
        if (m_file->state() == NetSocket::State::Closed && !m_served)
            startFileConnection(user);
        else
            m_queue.append(user);
    } else if (tag == wire::tagRequestFile) {
        // From any connection, as the candidates' clients expect; but a request repeated by
        // anyone must not keep a stalled transfer alive, so it does not count as progress.
        if (!m_served)
            return;
        // The candidate may see the file connection before this side hears of it.
        if (m_file->state() == NetSocket::State::Connecting)
            m_requestEarly = true;
        else if (m_file->state() == NetSocket::State::Connected)
            sendCurrentPaper();
    } else if (tag == wire::tagOver) {
        if (!served)
            return; // nothing is being sent to this connection
        log(u' ' + m.afterTag() + text(16)
            + QStringLiteral("%1:%2").arg(m_file->remoteHostIP()).arg(s->remotePort()));
        ++c.paperNo;
        if (c.paperNo > c.papers.size()) {
            m_file->close();
            s->send(QByteArray(wire::tagFinished));
            c.paperNo = 1;
            endTransfer();
        } else {
            noteProgress();
            const ClassFile &next = c.papers[c.paperNo - 1];
            s->send(wire::tagAnnounce + wire::announcement(next.fNameNoPs, next.fLength));
        }
    } else if (tag == wire::tagReport) {
        log(text(17) + QStringLiteral("%1:%2").arg(s->remoteHostIP()).arg(s->remotePort()));
        // A room submitting at once shares one sync of the report file instead of one each.
        if (m_reportBatch.isEmpty())
            m_reportTimer.start(m_seams.reportGrouping);
        m_reportBatch.append({ m_seams.now(), s->remoteHostIP() + u':' + m.id() + u':' + m.afterId() });
        m_reportWaiting.append({ k, c.serial });
    }
}

void Server::flushReports()
{
    m_reportTimer.stop();
    if (m_reportBatch.isEmpty())
        return;
    const QList<DayFileWriter::Entry> batch = std::exchange(m_reportBatch, {});
    const QList<PendingReport> waiting = std::exchange(m_reportWaiting, {});
    QString why;
    const bool stored = m_report.write(batch, &why);
    for (const PendingReport &p : waiting) {
        Connection *c = connectionOf(p.index, p.serial);
        if (!c)
            continue; // gone before the confirmation: its client delivers the result again
        if (stored) {
            c->socket->send(QByteArray(wire::tagFinished)); // confirmed only once the result is on disk
            continue;
        }
        // Unconfirmed, so the candidate's client keeps the result and can deliver it again.
        log(QStringLiteral("sock%1 errorNum:%2 des:%3").arg(p.index).arg(sectionMsgError).arg(why));
        destroySocket(p.index);
    }
}

bool Server::isDuplicate(const QString &id)
{
    if (m_logins.contains(id))
        return true;
    m_logins.insert(id);
    return false;
}

bool Server::allowAgain(const QString &id)
{
    if (!m_logins.remove(id))
        return false;
    log(text(textid::AllowedAgain) + id);
    return true;
}

QStringList Server::loggedInIds() const
{
    QStringList ids(m_logins.begin(), m_logins.end());
    ids.sort();
    return ids;
}

void Server::startFileConnection(const Cuser &user)
{
    Connection *c = connectionOf(user.uSckNdx, user.uConn);
    if (!c)
        return;
    m_file->close();
    m_served = Served { user.uSckNdx, user.uConn, user.uID };
    bool ok = false;
    const uint port = user.uPort.toUInt(&ok);
    noteProgress();
    m_file->connectTo(user.uIP, ok && port <= 65535 ? quint16(port) : 0);
}

void Server::sendCurrentPaper()
{
    Connection *c = connectionOf(m_served->index, m_served->serial);
    // A paper goes out once, however often it is asked for: a second copy would run past
    // the announced length and the candidate would never see the end of it.
    if (!c || m_served->sentNo == c->paperNo)
        return;
    m_served->sentNo = c->paperNo;
    retire(m_sender);
    auto *sender = new CtransFile(*m_file, this, &m_fileCache);
    m_sender = sender;
    connect(sender, &CtransFile::pieceSent, this, &Server::paperPieceSent);
    connect(sender, &CtransFile::failed, this, [this](const QString &why) { abandonTransfer(sectionMsgError, why); });
    const ClassFile &paper = c->papers[c->paperNo - 1];
    if (paper.shuffled) {
        sender->transBytes(paper.shuffled->copyFor(m_seams.random));
        return;
    }
    QString why;
    // Nothing the candidate could use was sent: the next one need not wait for the stall time.
    if (!sender->transFile(paper.fPath, {}, paper.fLength, &why))
        abandonTransfer(sectionMsgError, why);
}

void Server::abandonTransfer(int number, const QString &why)
{
    log(QStringLiteral("sock errorNum:%1 des:%2").arg(number).arg(why));
    releaseUnservedLogin();
    endTransfer();
}

void Server::notePaperWritten()
{
    if (!m_served || !m_sender || !m_sender->isDone())
        return;
    const Connection *c = connectionOf(m_served->index, m_served->serial);
    if (c && m_served->sentNo == c->papers.size())
        m_served->lastSent = true;
}

void Server::releaseUnservedLogin()
{
    if (!m_served || m_served->lastSent)
        return;
    m_logins.remove(m_served->uID);
    if (connectionOf(m_served->index, m_served->serial))
        destroySocket(m_served->index);
}

void Server::dropQueued(qint16 k, quint64 serial)
{
    m_queue.removeIf([this, k, serial](const Cuser &u) {
        if (u.uSckNdx != k || u.uConn != serial)
            return false;
        m_logins.remove(u.uID);
        return true;
    });
}

void Server::endTransfer()
{
    retire(m_sender);
    m_file->close();
    m_served.reset();
    m_requestEarly = false;
    m_watchdog.stop();
    serveQueue();
}

void Server::serveQueue()
{
    while (!m_served && !m_queue.isEmpty()) {
        const Cuser next = m_queue.takeFirst();
        // A candidate who has gone meanwhile is passed over.
        Connection *c = connectionOf(next.uSckNdx, next.uConn);
        if (c && c->socket->state() == NetSocket::State::Connected)
            startFileConnection(next);
        else
            m_logins.remove(next.uID); // nothing was sent to it
    }
}

void Server::noteProgress()
{
    m_queuedAtProgress = m_file->unacknowledgedBytes();
    m_watchdog.start(m_seams.stallTimeout);
}

void Server::onPeerClosed(qint16 k)
{
    auto it = m_sockets.find(k);
    if (it == m_sockets.end())
        return;
    const bool served = m_served && m_served->index == k && m_served->serial == it->second.serial;
    dropQueued(k, it->second.serial);
    if (served)
        releaseUnservedLogin();
    destroySocket(k);
    if (served)
        endTransfer(); // nobody is left to confirm the file
    else
        serveQueue();
}

void Server::watchPatience(qint16 k)
{
    const auto it = m_sockets.find(k);
    if (it == m_sockets.end() || k == m_listener)
        return;
    Connection &c = it->second;
    // Waiting in the queue, for a confirmation, or after a finished exchange is no fault.
    if (c.settled && c.buffer.isEmpty()) {
        c.dueAt.reset();
        return;
    }
    if (c.dueAt)
        return;
    c.dueAt = m_clock.elapsed() + m_seams.stallTimeout.count();
    // Any time already set is an earlier one.
    if (!m_letGo.isActive())
        m_letGo.start(m_seams.stallTimeout);
}

void Server::letGoOfStalled()
{
    const qint64 now = m_clock.elapsed();
    QList<qint16> due;
    std::optional<qint64> next;
    for (const auto &[k, c] : m_sockets) {
        if (!c.dueAt)
            continue;
        if (*c.dueAt <= now)
            due.append(k);
        else if (!next || *c.dueAt < *next)
            next = c.dueAt;
    }
    const double seconds = double(m_seams.stallTimeout.count()) / 1000.0;
    for (const qint16 k : due)
        onSocketError(k, int(QAbstractSocket::SocketTimeoutError), extra(Quiet).arg(seconds));
    if (next && (!m_letGo.isActive() || m_letGo.remainingTime() > *next - now))
        m_letGo.start(std::chrono::milliseconds(*next - now));
}

qint64 Server::fileConnectionUnread() const
{
    return m_file->bytesAvailable();
}

void Server::onSocketError(qint16 k, int number, const QString &description)
{
    auto it = m_sockets.find(k);
    if (it == m_sockets.end())
        return;
    log(QStringLiteral("sock%1 errorNum:%2 des:%3").arg(k).arg(number).arg(description));
    if (k == m_listener) {
        destroySocket(k);
        makeListener(k);
        return;
    }
    onPeerClosed(k);
}

void Server::stop()
{
    destroySocket(m_listener);
    log(text(9));
    m_pimp->close();
    emit runningChanged(false);
}

void Server::onHttpRequest(int requestId)
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

void Server::onHttpData(int i)
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
    const HttpTarget target = resolveHttpPath(m_seams.programFolder, r.path);
    if (target.kind != HttpTarget::Kind::File) {
        const bool refused = target.kind == HttpTarget::Kind::Refused;
        const QByteArray body = refused ? "403 Forbidden\n" : "404 Not Found\n";
        slot.socket->send(httpHead(refused ? 403 : 404, body.size(), QStringLiteral("text/plain")) + body);
        return;
    }
    slot.isFile = true;
    auto *sender = new CtransFile(*slot.socket, this, &m_fileCache);
    sender->setWholeFromMemory(true);
    slot.sender = sender;
    connect(sender, &CtransFile::failed, this, [this, i] { freeHttpSlot(i); });
    const QString type = contentTypeFor(target.filePath);
    if (!sender->transFile(target.filePath, [&type](qint64 length) { return httpHead(200, length, type); }))
        freeHttpSlot(i);
}

void Server::onHttpSendComplete(int i)
{
    HttpSlot &slot = m_hoe[i];
    if (!slot.answered || (slot.sender && !slot.sender->isDone()))
        return;
    if (slot.isFile)
        log(slot.socket->remoteHostIP() + QStringLiteral("http%1 download files ok.").arg(i));
    freeHttpSlot(i);
}

void Server::freeHttpSlot(int i)
{
    HttpSlot &slot = m_hoe[i];
    retire(slot.sender);
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
