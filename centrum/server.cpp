// The exam server's service: its parts, wired together behind the API its windows and tests use.
#include "centrum/server.h"

#include "centrum/serversecret.h"
#include "common/inifile.h"
#include "common/multilanguage.h"
#include "common/tokenizer.h"
#include "wire/wiremessages.h"

#include <QAbstractSocket>
#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QNetworkInterface>

#include <algorithm>
#include <utility>

namespace centrum {

namespace {

// Papers sent at the same time when setting.ini does not say, and the most it may say.
constexpr int defaultTransfers = 8;
constexpr int maxTransfers = 64;

// The papers sent at the same time, from comm/transfers: a whole number from 1 to the most.
std::optional<int> transfersSetting(const std::optional<QString> &value)
{
    if (!value)
        return defaultTransfers;
    const QString text = trimBlanks(*value);
    const auto isDigit = [](QChar c) { return c >= u'0' && c <= u'9'; };
    if (text.isEmpty() || text.size() > 2 || !std::all_of(text.begin(), text.end(), isDigit))
        return std::nullopt;
    const int n = text.toInt();
    if (n < 1 || n > maxTransfers)
        return std::nullopt;
    return n;
}

} // namespace

Server::Server(ServerSeams seams, QObject *parent)
    : QObject(parent),
      m_folder(seams.programFolder),
      m_log(m_folder, seams.lcid, seams.now),
      m_room(seams.now, seams.roomBatch),
      m_dayFiles(m_folder, m_log),
      m_connections(m_log),
      m_recorder(m_connections, m_log, m_folder, seams.now, seams.reportGrouping, seams.beforeReportWrite),
      m_sheets(m_connections, m_recorder, m_log),
      m_transfers(m_connections, m_log, m_fileCache, seams.stallTimeout, seams.transferQuiet),
      m_messages(m_connections, m_transfers, m_recorder, m_sheets, m_log, m_folder, seams.stallTimeout, seams.reportSettle),
      m_downloads(m_log, m_fileCache, m_folder, seams.stallTimeout),
      m_random(std::move(seams.random)),
      m_now(seams.now)
{
    connect(&m_log, &ServiceLog::logLine, this, &Server::logLine);
    connect(&m_transfers, &PaperTransfers::paperPieceSent, this, &Server::paperPieceSent);
    connect(&m_transfers, &PaperTransfers::unserved, &m_messages, &MessageService::releaseLogin);
    connect(&m_transfers, &PaperTransfers::roomFreed, &m_messages, &MessageService::serveQueue);
    connect(&m_transfers, &PaperTransfers::delivered, &m_messages, &MessageService::noteDelivered);
    // The room's table follows the exchange.
    connect(&m_messages, &MessageService::loginTaken, &m_room, &RoomState::loggedIn);
    connect(&m_messages, &MessageService::loginRefused, &m_room, &RoomState::refused);
    connect(&m_messages, &MessageService::loginDropped, &m_room, &RoomState::transferFailed);
    connect(&m_messages, &MessageService::allowedAgain, &m_room, &RoomState::allowedAgain);
    connect(&m_messages, &MessageService::resultReceived, &m_room, &RoomState::resultReceived);
    connect(&m_transfers, &PaperTransfers::progress, &m_room, &RoomState::paperProgress);
    connect(&m_transfers, &PaperTransfers::delivered, &m_room, &RoomState::delivered);
}

Server::~Server()
{
    m_recorder.flush(); // what was received is kept, even when it can no longer be confirmed
}

QString Server::settingsPath() const
{
    return QDir(m_folder).filePath(QStringLiteral("setting.ini"));
}

QStringList Server::configuredPapers() const
{
    const QString list = IniFile::load(settingsPath()).value(u"subject", u"file").value_or(QString());
    if (list.isEmpty())
        return {};
    return ParseString(list, QStringLiteral(",")).value_or(QStringList { list });
}

QString Server::paperPath(const QString &paperName) const
{
    for (const ClassFile &served : papers()) {
        if (served.fNameNoPs == paperName)
            return served.fPath;
    }
    for (const QString &part : configuredPapers()) {
        ClassFile listed;
        listed.fName = part;
        listed.setFileLen(m_folder, texts());
        if (listed.fNameNoPs == paperName)
            return listed.fPath;
    }
    return QDir(m_folder).filePath(paperName);
}

bool Server::addTests(const QString &path, QString *why)
{
    if (path.contains(u',')) {
        if (why)
            *why = m_log.text(text::CommaPath) + path;
        return false;
    }
    return writeIniValue(settingsPath(), QStringLiteral("subject"), QStringLiteral("file"), path, why);
}

std::optional<report::Roster> Server::readRoster(const QString &name, QString *why) const
{
    const QString shown = m_log.text(text::RosterUnreadable);
    if (name.isEmpty()) {
        *why = shown + QStringLiteral("subject/roster=");
        return std::nullopt;
    }
    const QString path = QDir(m_folder).filePath(name);
    report::RosterFault fault;
    std::optional<report::Roster> roster = report::Roster::read(path, &fault);
    if (roster)
        return roster;
    using Kind = report::RosterFault::Kind;
    QString reason = fault.detail;
    switch (fault.kind) {
    case Kind::None:
    case Kind::Unreadable:
        break;
    case Kind::NotUtf8:
        reason = m_log.text(text::RosterNotUtf8);
        break;
    case Kind::UnclosedQuote:
        reason = m_log.text(text::RosterUnclosedQuote).arg(fault.line);
        break;
    case Kind::NoIdColumn:
        reason = m_log.text(text::RosterNoIdColumn).arg(fault.line);
        break;
    case Kind::Empty:
        reason = m_log.text(text::RosterEmpty);
        break;
    case Kind::IdTooLong:
        reason = m_log.text(text::RosterIdTooLong).arg(fault.line).arg(fault.detail);
        break;
    }
    *why = shown + path + QStringLiteral(" (") + reason + u')';
    return std::nullopt;
}

void Server::useRoster(const std::optional<report::Roster> &roster)
{
    std::optional<QSet<QString>> admitted;
    if (roster && m_strict) {
        admitted.emplace();
        for (const report::RosterEntry &e : roster->entries())
            admitted->insert(e.id);
    }
    m_messages.setAdmitted(std::move(admitted));
    // Names and seats are the examiner's, not the browsers'.
    m_downloads.refuseFile(roster ? roster->path() : QString());
    if (roster)
        m_log.log(m_log.text(text::RosterLoaded).arg(roster->size()).arg(roster->path()));
}

bool Server::loadRoster(const QString &path, QString *why)
{
    QString problem;
    std::optional<report::Roster> roster = readRoster(path, &problem);
    if (!roster) {
        m_log.log(problem);
        if (why)
            *why = problem;
        return false;
    }
    // Kept by its name when it is in the program folder, so the folder can move as a whole.
    const QFileInfo info(path);
    const QString setting = info.absolutePath() == QFileInfo(m_folder).absoluteFilePath() ? info.fileName() : info.absoluteFilePath();
    if (!writeIniValue(settingsPath(), QStringLiteral("subject"), QStringLiteral("roster"), setting, why))
        return false;
    m_room.setRoster(roster);
    useRoster(roster);
    return true;
}

int Server::connectedCount() const
{
    return m_connections.connectionCount();
}

QString Server::windowTitle() const
{
    return m_log.text(text::WindowTitle) + m_log.text(text::LocalIp) + localIpAddress();
}

QString Server::localIpAddress()
{
    for (const QHostAddress &a : QNetworkInterface::allAddresses()) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback())
            return a.toString();
    }
    return QStringLiteral("127.0.0.1");
}

Server::StartResult Server::start()
{
    StartResult result;
    QString unreadable;
    const IniFile settings = IniFile::load(settingsPath(), &unreadable);
    if (!unreadable.isEmpty()) {
        result.refusal = StartResult::Refusal::Unreadable;
        result.problem = u' ' + m_log.text(text::Unreadable) + unreadable;
        m_log.log(result.problem);
        return result;
    }
    std::optional<quint16> ports[2];
    const char *keys[2] = { "msg", "web" };
    for (int i = 0; i < 2; ++i) {
        const QString value = settings.value(u"comm", QString::fromLatin1(keys[i])).value_or(QString());
        ports[i] = wire::portSetting(value);
        if (!ports[i]) {
            result.refusal = StartResult::Refusal::BadPort;
            result.problem = m_log.text(text::BadPort) + QStringLiteral("comm/%1=%2").arg(QLatin1StringView(keys[i]), value);
            m_log.log(result.problem);
            return result;
        }
    }

    const std::optional<QString> transfersValue = settings.value(u"comm", u"transfers");
    const std::optional<int> transfers = transfersSetting(transfersValue);
    if (!transfers) {
        result.refusal = StartResult::Refusal::BadTransfers;
        result.problem = m_log.text(text::BadTransfers) + QStringLiteral("comm/transfers=") + *transfersValue;
        m_log.log(result.problem);
        return result;
    }
    m_transfers.setLimit(*transfers);

    const bool shuffle = settings.value(u"subject", u"shuffle").value_or(QString()).trimmed() == u"1";
    const bool secure = settings.value(u"subject", u"secure").value_or(QString()).trimmed() == u"1";
    std::optional<ServerSecret> secret;
    if (shuffle || secure) {
        // A secret that is there but damaged is never replaced: another would change every copy.
        ServerSecret::Fault fault;
        secret = ServerSecret::loadOrCreate(m_folder, [this] { return quint8(m_random(256)); }, &fault);
        if (!secret) {
            using Kind = ServerSecret::Fault::Kind;
            const QString detail = fault.detail.isEmpty() ? QString() : QStringLiteral(" (") + fault.detail + u')';
            result.refusal = fault.kind == Kind::Unreadable ? StartResult::Refusal::Unreadable
                                                            : StartResult::Refusal::BadSecret;
            result.problem = fault.kind == Kind::Unreadable ? u' ' + m_log.text(text::Unreadable)
                           : m_log.text(fault.kind == Kind::Damaged ? text::SecretDamaged : text::SecretNotWritten);
            result.problem += fault.path + detail;
            m_log.log(result.problem);
            return result;
        }
    }

    // A roster that cannot be read refuses the start, as a paper does: strict needs one.
    const QString rosterName = trimBlanks(settings.value(u"subject", u"roster").value_or(QString()));
    const bool strict = settings.value(u"subject", u"strict").value_or(QString()).trimmed() == u"1";
    std::optional<report::Roster> roster;
    if (!rosterName.isEmpty() || strict) {
        roster = readRoster(rosterName, &result.problem);
        if (!roster) {
            result.refusal = StartResult::Refusal::Unreadable;
            m_log.log(result.problem);
            return result;
        }
        // Refused to browsers at once, also when this start goes no further.
        m_downloads.refuseFile(roster->path());
    }

    m_log.logBox().setCounter(1);
    // On unless turned off: a candidate whose client or workstation was restarted may log in again.
    const bool resume = settings.value(u"subject", u"resume").value_or(QString()).trimmed() != u"0";
    // Results on their way to disk are counted before the day's answer file is read.
    m_recorder.flush();
    const QDate today = m_now().date();
    result.messageService = m_messages.start(*ports[0], configuredPapers(), shuffle ? &*secret : nullptr, resume, result,
                                             secure ? &*secret : nullptr, m_recorder.answerPath(today),
                                             m_recorder.reportPath(today));
    // In secure mode the papers themselves would give the answers away.
    QStringList withheld;
    for (const QString &part : secure ? configuredPapers() : QStringList()) {
        ClassFile paper;
        paper.fName = part;
        paper.setFileLen(m_folder, m_log.texts());
        withheld.append(paper.fPath);
    }
    m_downloads.withhold(withheld);
    m_messages.serveQueue(); // a higher limit serves those waiting at once
    if (result.messageService) {
        m_strict = strict;
        m_room.startRun(roster);
        useRoster(roster);
    }

    QString problem;
    result.httpService = m_downloads.start(*ports[1], &problem);
    if (!result.httpService && result.problem.isEmpty()) {
        result.refusal = StartResult::Refusal::Listen;
        result.problem = problem;
    }
    emit runningChanged(isRunning());
    return result;
}

void Server::stop()
{
    m_messages.stopListening();
    m_log.log(m_log.text(text::ServiceStopped));
    m_downloads.stop();
    emit runningChanged(false);
}

} // namespace centrum
