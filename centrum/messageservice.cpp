// The candidates' message service: the announcement, logins, the queue for papers, results.
#include "centrum/messageservice.h"

#include "centrum/messageconnections.h"
#include "centrum/papertransfer.h"
#include "centrum/papertransfers.h"
#include "centrum/resultrecorder.h"
#include "centrum/securepaper.h"
#include "centrum/securesheets.h"
#include "centrum/servicelog.h"
#include "centrum/texts.h"
#include "common/netsocket.h"
#include "report/report.h"
#include "wire/wiremessages.h"
#include "wire/wiretags.h"

#include <QAbstractSocket>
#include <QFile>

#include <optional>
#include <utility>

namespace centrum {

MessageService::MessageService(MessageConnections &connections, PaperTransfers &transfers, ResultRecorder &recorder,
                               SecureSheets &sheets, ServiceLog &log, QString programFolder, std::chrono::milliseconds stallTimeout,
                               std::chrono::milliseconds reportSettle, QObject *parent)
    : QObject(parent),
      m_connections(connections),
      m_transfers(transfers),
      m_recorder(recorder),
      m_sheets(sheets),
      m_log(log),
      m_folder(std::move(programFolder)),
      m_stallTimeout(stallTimeout),
      m_reportSettle(reportSettle)
{
    connect(&m_connections, &MessageConnections::connectionRequest, this, &MessageService::onConnectionRequest);
    connect(&m_connections, &MessageConnections::dataArrival, this, &MessageService::onData);
    connect(&m_connections, &MessageConnections::closed, this, [this](qint16 k) {
        if (takeLastMessages(k))
            onPeerClosed(k);
    });
    connect(&m_connections, &MessageConnections::error, this, [this](qint16 k, int number, const QString &description) {
        if (takeLastMessages(k))
            onSocketError(k, number, description);
    });
    m_clock.start();
    m_letGo.setSingleShot(true);
    connect(&m_letGo, &QTimer::timeout, this, &MessageService::letGoOfStalled);
    m_settle.setSingleShot(true);
    connect(&m_settle, &QTimer::timeout, this, &MessageService::takeSettledReports);
}

bool MessageService::start(quint16 port, const QStringList &paperList, const ServerSecret *shuffleSecret,
                           bool resume, StartResult &result, const ServerSecret *secureSecret,
                           const QString &answerFile, const QString &reportFile)
{
    const bool shuffle = shuffleSecret != nullptr;
    // Secure mode's papers and results stay as they were until this start has read the new
    // ones: a start that fails must not leave the connections still open taking any result.
    m_logins.clear();
    m_resume = resume;
    m_firstAddress.clear();
    m_delivered.clear();
    m_submitted.clear();
    m_connections.setPort(port);
    const auto refuse = [&](StartResult::Refusal refusal, const QString &problem) {
        result.refusal = refusal;
        result.problem = problem;
        m_log.log(problem);
        return false;
    };
    // A repeated start replaces the listener; accepted connections stay as they are.
    m_connections.destroy(m_connections.listenerIndex());

    if (paperList.isEmpty())
        return refuse(StartResult::Refusal::NoPapers, m_log.text(text::NoTests));
    QList<ClassFile> papers;
    for (const QString &part : paperList) {
        ClassFile paper;
        paper.fName = part;
        QString why;
        if (!paper.setFileLen(m_folder, m_log.texts(), &why))
            return refuse(StartResult::Refusal::BadPaper,
                          m_log.text(text::BadPaper) + part + QStringLiteral(" (") + why + u')');
        if (secureSecret || shuffle) {
            // Read and deciphered once here; each candidate's copy is made from it.
            QFile file(paper.fPath);
            const bool read = file.open(QIODevice::ReadOnly);
            const QByteArray bytes = read ? file.readAll() : QByteArray();
            if (!read)
                why = file.errorString();
            const QByteArray key = shuffle && read ? shuffleSecret->shuffleKey(part, bytes) : QByteArray();
            if (secureSecret) {
                if (read)
                    paper.secure = SecurePaper::parse(bytes, paper.fNameNoPs, *secureSecret, key, shuffle, m_log.texts(), &why);
                if (!paper.secure)
                    return refuse(StartResult::Refusal::BadPaper,
                                  m_log.text(text::SecureRefused) + part + QStringLiteral(" (") + why + u')');
                paper.fLength = qint32(paper.secure->size());
            } else {
                if (read)
                    paper.shuffled = ShuffledPaper::parse(bytes, m_log.texts(), &why);
                if (!paper.shuffled)
                    return refuse(StartResult::Refusal::BadPaper,
                                  m_log.text(text::ShuffleRefused) + part + QStringLiteral(" (") + why + u')');
                paper.fLength = qint32(paper.shuffled->size());
                paper.shuffleKey = key;
            }
        }
        papers.append(paper);
    }
    QString why;
    if (secureSecret && !m_sheets.start(papers, answerFile, reportFile, &why))
        return refuse(StartResult::Refusal::Unreadable, u' ' + m_log.text(text::Unreadable) + why);
    if (!secureSecret)
        m_sheets.stop();
    m_papers = papers;
    // Beside the socket's own line, one that tells the examiner which setting to change.
    if (!m_connections.makeListener(-1))
        return refuse(StartResult::Refusal::Listen,
                      m_log.text(text::PortBusy) + QStringLiteral("comm/msg=%1").arg(m_connections.port()));
    // The first listener decides the port, also when the setting lets the system choose.
    m_connections.setPort(m_connections.listenerPort());
    m_log.log(m_log.text(text::ServiceStarted));
    if (shuffle)
        m_log.log(m_log.text(text::Shuffling));
    if (secureSecret)
        m_log.log(m_log.text(text::SecureMode));
    return true;
}

void MessageService::stopListening()
{
    m_connections.destroy(m_connections.listenerIndex());
}

bool MessageService::isListening() const
{
    return m_connections.listenerIndex() != 0;
}

void MessageService::onConnectionRequest(qint16 k, int requestId)
{
    if (m_papers.isEmpty() || !m_connections.find(k))
        return;
    MessageConnections::Connection *c = m_connections.accept(k, requestId);
    if (!c)
        return;
    c->papers = m_papers; // a later start with another list does not change what this candidate gets
    watchPatience(k);
    NetSocket *s = c->socket;
    const ClassFile &first = c->papers.first();
    s->send(wire::tagAnnounce + wire::announcement(first.fNameNoPs, first.fLength));
    m_log.log(m_log.text(text::ConnectionRequest) + QStringLiteral("IP:%1:%2").arg(s->remoteHostIP()).arg(s->remotePort()));
    m_connections.makeListener(k);
}

void MessageService::onData(qint16 k)
{
    MessageConnections::Connection *first = m_connections.find(k);
    if (!first || k == m_connections.listenerIndex())
        return;
    const quint64 serial = first->serial;
    first->buffer += first->socket->readAll();
    takeMessages(k, serial, wire::Arrival::MayContinue);
    if (!m_connections.find(k, serial))
        return;
    awaitRestOfReport(k);
    watchPatience(k);
}

void MessageService::takeMessages(qint16 k, quint64 serial, wire::Arrival arrival)
{
    for (;;) {
        MessageConnections::Connection *c = m_connections.find(k, serial);
        if (!c || c->buffer.isEmpty())
            return;
        // Only an answer sheet may be long, and only where sheets are taken: a connection holds
        // no more than a short message otherwise.
        const qsizetype limit = m_sheets.isOn() && c->buffer.startsWith(wire::tagReport) ? wire::maxMessageBytes
                                                                                          : wire::plainMessageBytes;
        const wire::ParsedMessage m = wire::parseMessage(c->buffer, arrival, limit);
        if (m.status == wire::ParseStatus::Incomplete)
            return;
        if (m.status == wire::ParseStatus::Bad) {
            onSocketError(k, sectionMsgError, m_log.text(text::TooLong).arg(limit / 1024));
            return;
        }
        // A sheet may come in several reads: taken once the connection is quiet, never in part.
        if (m_sheets.isOn() && arrival == wire::Arrival::MayContinue && m.tag() == wire::tagReport
            && m.consumed > SecureSheets::wholeInOneRead)
            return;
        c->buffer.remove(0, m.consumed);
        if (m.tag() == wire::tagLogin || m.tag() == wire::tagReport)
            c->settled = true;
        handleMessage(k, m);
    }
}

void MessageService::awaitRestOfReport(qint16 k)
{
    MessageConnections::Connection *c = m_connections.find(k);
    if (!c)
        return;
    // Every arrival starts the wait afresh: only a quiet connection has sent all of it.
    if (!c->buffer.startsWith(wire::tagReport)) {
        c->settleAt.reset();
        return;
    }
    c->settleAt = m_clock.elapsed() + m_reportSettle.count();
    if (!m_settle.isActive() || m_settle.remainingTime() > m_reportSettle.count())
        m_settle.start(m_reportSettle);
}

void MessageService::takeSettledReports()
{
    const qint64 now = m_clock.elapsed();
    QList<std::pair<qint16, quint64>> due;
    std::optional<qint64> next;
    m_connections.forEach([&](qint16 k, const MessageConnections::Connection &c) {
        if (!c.settleAt)
            return;
        if (*c.settleAt <= now)
            due.append({ k, c.serial });
        else if (!next || *c.settleAt < *next)
            next = c.settleAt;
    });
    for (const auto &[k, serial] : due) {
        MessageConnections::Connection *c = m_connections.find(k, serial);
        if (!c)
            continue;
        c->settleAt.reset();
        takeMessages(k, serial, wire::Arrival::Ended);
        watchPatience(k);
    }
    if (next && (!m_settle.isActive() || m_settle.remainingTime() > *next - now))
        m_settle.start(std::chrono::milliseconds(*next - now));
}

void MessageService::handleMessage(qint16 k, const wire::ParsedMessage &m)
{
    MessageConnections::Connection &c = *m_connections.find(k);
    NetSocket *s = c.socket;
    const QString tag = m.tag();
    PaperTransfer *served = m_transfers.servedTo(k, c.serial);

    if (tag == wire::tagLogin) {
        Cuser user;
        user.uID = m.id();
        user.uIP = s->remoteHostIP();
        user.uServerIP = s->localIP();
        user.uPort = m.afterId();
        user.uSckNdx = k;
        user.uConn = c.serial;
        if (served && user.uID == served->candidateId()) {
            served->loginAgain();
            return;
        }
        if (m_admitted && !m_admitted->contains(user.uID)) {
            m_log.log(m_log.text(text::NotOnRoster) + user.uID + QStringLiteral(" IP:") + user.uIP);
            s->send(QByteArray(wire::tagNotOnList));
            emit loginRefused(user.uID, user.uIP);
            m_connections.close(k, c.serial); // what was sent still goes out first
            return;
        }
        const bool resumed = m_logins.contains(user.uID);
        if (resumed) {
            if (!mayResume(user)) {
                s->send(QByteArray(wire::tagDuplicate));
                return;
            }
            m_log.log(m_log.text(text::ResumedLogin) + user.uID);
        } else {
            m_logins.insert(user.uID);
            if (m_resume) {
                m_firstAddress.insert(user.uID, user.uIP);
                m_delivered.remove(user.uID); // from before an Allow Again
            }
        }
        QStringList names;
        qint64 bytes = 0;
        for (const ClassFile &paper : std::as_const(c.papers)) {
            names.append(paper.fNameNoPs);
            bytes += paper.fLength;
        }
        emit loginTaken(user.uID, user.uIP, names.join(u','), bytes, resumed);
        if (m_transfers.hasRoom()) {
            m_transfers.start(user);
        } else {
            m_queue.append(user);
            ++c.queued;
        }
    } else if (tag == wire::tagRequestFile) {
        // From any connection, as the candidates' clients expect; but a request repeated by
        // anyone must not keep a stalled transfer alive, so it does not count as progress.
        m_transfers.paperRequested(k, c.serial);
    } else if (tag == wire::tagOver) {
        if (!served)
            return; // nothing is being sent to this connection
        m_log.log(u' ' + m.afterTag() + m_log.text(text::SentTo)
                  + QStringLiteral("%1:%2").arg(served->peerAddress()).arg(s->remotePort()));
        ++c.paperNo;
        if (c.paperNo > c.papers.size()) {
            served->closeFile();
            s->send(QByteArray(wire::tagFinished));
            c.paperNo = 1;
            served->noteListDelivered();
            m_transfers.end(served);
        } else {
            served->noteProgress();
            const ClassFile &next = c.papers[c.paperNo - 1];
            s->send(wire::tagAnnounce + wire::announcement(next.fNameNoPs, next.fLength));
        }
    } else if (tag == wire::tagReport) {
        m_log.log(m_log.text(text::SubmittedBy) + QStringLiteral("%1:%2").arg(s->remoteHostIP()).arg(s->remotePort()));
        // The room sees a result once it is on disk.
        const auto stored = [this, id = m.id(), address = s->remoteHostIP()](const QString &resultText) {
            emit resultReceived(id, address, resultText);
        };
        if (m_sheets.isOn()) {
            if (m_sheets.receive(k, c.serial, s->remoteHostIP(), m.id(), m.afterId(), stored) && m_resume)
                m_submitted.insert(m.id());
            return;
        }
        if (m_resume)
            m_submitted.insert(m.id());
        m_recorder.add(k, c.serial, report::reportEntry(s->remoteHostIP(), m.id(), m.afterId()),
                       [stored, result = m.afterId()](bool written) {
                           if (written)
                               stored(result);
                       });
    }
}

bool MessageService::mayResume(const Cuser &user) const
{
    return m_resume && m_delivered.contains(user.uID) && !m_submitted.contains(user.uID)
        && m_firstAddress.value(user.uID) == user.uIP;
}

void MessageService::noteDelivered(const QString &id)
{
    if (m_resume && m_logins.contains(id))
        m_delivered.insert(id);
}

void MessageService::forgetUnserved(const QString &id)
{
    // Sent again after a resumed login, the candidate already has its paper.
    if (!m_delivered.contains(id) && m_logins.remove(id))
        emit loginDropped(id);
}

bool MessageService::allowAgain(const QString &id)
{
    const bool hadResult = m_sheets.allowAgain(id);
    if (!m_logins.remove(id) && !hadResult)
        return false;
    m_log.log(m_log.text(text::AllowedAgain) + id);
    emit allowedAgain(id);
    return true;
}

QStringList MessageService::loggedInIds() const
{
    QStringList ids(m_logins.begin(), m_logins.end());
    ids.sort();
    return ids;
}

void MessageService::releaseLogin(const QString &id, qint16 index, quint64 serial)
{
    forgetUnserved(id);
    m_connections.close(index, serial);
}

void MessageService::dropQueued(qint16 k, quint64 serial)
{
    // Most connections that close were never queued, or were served: the queue is looked
    // through only for those still in it.
    MessageConnections::Connection *c = m_connections.find(k, serial);
    if (c && c->queued == 0)
        return;
    if (c)
        c->queued = 0;
    m_queue.removeIf([this, k, serial](const Cuser &u) {
        if (u.uSckNdx != k || u.uConn != serial)
            return false;
        forgetUnserved(u.uID);
        return true;
    });
}

void MessageService::serveQueue()
{
    while (m_transfers.hasRoom() && !m_queue.isEmpty()) {
        const Cuser next = m_queue.takeFirst();
        // A candidate who has gone meanwhile is passed over.
        MessageConnections::Connection *c = m_connections.find(next.uSckNdx, next.uConn);
        if (c)
            --c->queued;
        if (c && c->socket->state() == NetSocket::State::Connected)
            m_transfers.start(next);
        else
            forgetUnserved(next.uID); // nothing was sent to it
    }
}

bool MessageService::takeLastMessages(qint16 k)
{
    MessageConnections::Connection *c = m_connections.find(k);
    if (!c)
        return false;
    if (k == m_connections.listenerIndex())
        return true;
    const quint64 serial = c->serial;
    c->buffer += c->socket->readAll();
    takeMessages(k, serial, wire::Arrival::Ended);
    return m_connections.find(k, serial) != nullptr;
}

void MessageService::onPeerClosed(qint16 k)
{
    MessageConnections::Connection *c = m_connections.find(k);
    if (!c)
        return;
    const quint64 serial = c->serial;
    PaperTransfer *served = m_transfers.servedTo(k, serial);
    dropQueued(k, serial);
    if (served)
        m_transfers.releaseUnserved(*served);
    m_connections.destroy(k);
    if (served)
        m_transfers.end(served); // nobody is left to confirm the file
    else
        serveQueue();
}

void MessageService::watchPatience(qint16 k)
{
    MessageConnections::Connection *c = m_connections.find(k);
    if (!c || k == m_connections.listenerIndex())
        return;
    // Waiting in the queue, for a confirmation, or after a finished exchange is no fault.
    if (c->settled && c->buffer.isEmpty()) {
        c->dueAt.reset();
        return;
    }
    if (c->dueAt)
        return;
    c->dueAt = m_clock.elapsed() + m_stallTimeout.count();
    // Any time already set is an earlier one.
    if (!m_letGo.isActive())
        m_letGo.start(m_stallTimeout);
}

void MessageService::letGoOfStalled()
{
    const qint64 now = m_clock.elapsed();
    QList<qint16> due;
    std::optional<qint64> next;
    m_connections.forEach([&](qint16 k, const MessageConnections::Connection &c) {
        if (!c.dueAt)
            return;
        if (*c.dueAt <= now)
            due.append(k);
        else if (!next || *c.dueAt < *next)
            next = c.dueAt;
    });
    const double seconds = double(m_stallTimeout.count()) / 1000.0;
    for (const qint16 k : due)
        onSocketError(k, int(QAbstractSocket::SocketTimeoutError), m_log.text(text::Quiet).arg(seconds));
    if (next && (!m_letGo.isActive() || m_letGo.remainingTime() > *next - now))
        m_letGo.start(std::chrono::milliseconds(*next - now));
}

void MessageService::onSocketError(qint16 k, int number, const QString &description)
{
    if (!m_connections.find(k))
        return;
    m_log.log(QStringLiteral("sock%1 errorNum:%2 des:%3").arg(k).arg(number).arg(description));
    if (k == m_connections.listenerIndex()) {
        m_connections.destroy(k);
        m_connections.makeListener(k);
        return;
    }
    onPeerClosed(k);
}

} // namespace centrum
