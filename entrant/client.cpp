// The login client's logic: login, fetching the paper, the test, and delivering the result.
#include "entrant/client.h"

#include "common/channel.h"
#include "common/clsencryptxor.h"
#include "common/creadini.h"
#include "common/netsocket.h"
#include "common/tokenizer.h"
#include "entrant/launcher.h"
#include "paper/answersheet.h"
#include "wire/wiremessages.h"
#include "wire/wiretags.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalBlocker>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace entrant {

Client::Client(ClientSeams seams, QObject *parent)
    : QObject(parent), m_seams(std::move(seams)), m_texts(stringTable(m_seams.lcid))
{
    m_view.status = text(text::IdLimit);

    m_msg = new NetSocket(this);
    connect(m_msg, &NetSocket::dataArrival, this, &Client::onMessageData);
    // A server that is gone, refuses, or drops the connection before the exchange ends.
    const auto lost = [this] {
        // After the login the server closes the connection when it could not send the paper
        // whole (the file port unreachable, a stalled transfer); the ID may log in again.
        if (m_view.state == State::Fetching && m_paper.isOpen())
            fail(text(text::PaperIncomplete) + QStringLiteral("%1/%2").arg(m_received).arg(m_expected));
        else if (m_view.state == State::Fetching || m_view.state == State::Submitting)
            fail(text(text::ServerNotFound));
    };
    connect(m_msg, &NetSocket::closed, this, lost);
    connect(m_msg, &NetSocket::error, this, lost);

    m_file = new NetSocket(this);
    connect(m_file, &NetSocket::connectionRequest, this, &Client::onFileRequest);
    connect(m_file, &NetSocket::dataArrival, this, &Client::onFileData);
    connect(m_file, &NetSocket::closed, this, &Client::onFileClosed);
    connect(m_file, &NetSocket::error, this, &Client::onFileClosed);

    if (m_seams.launcher)
        connect(m_seams.launcher, &Launcher::examdeskEnded, this, &Client::onExamdeskEnded);
}

Client::~Client()
{
    m_msg->disconnect(this);
    m_file->disconnect(this);
}

QString Client::settingsPath() const
{
    return QDir(m_seams.programFolder).filePath(QStringLiteral("setting.ini"));
}

QString Client::getInf(const QString &s, const QString &k) const
{
    CReadINI ini;
    ini.setININame(settingsPath());
    ini.setSection(s);
    ini.setKey(k);
    return ini.ReadINISettings();
}

bool Client::needsServerAddress() const
{
    return getInf(QStringLiteral("comm"), QStringLiteral("rmtHost")).isEmpty();
}

void Client::saveServerAddress(const QString &answer)
{
    if (answer.isEmpty())
        return;
    CReadINI ini;
    ini.setININame(settingsPath());
    ini.setSection(QStringLiteral("comm"));
    ini.setKey(QStringLiteral("rmthost"));
    if (!ini.WriteINISettings(answer))
        setStatus(text(text::AddressNotSaved) + ini.lastError());
}

std::optional<quint16> Client::readPort(const QString &key, QString *problem) const
{
    const QString value = getInf(QStringLiteral("comm"), key);
    const std::optional<quint16> port = wire::portSetting(value);
    // The file port may be 0: the system then picks one and the login message names it.
    if (!port || (*port == 0 && key != u"file")) {
        *problem = text(text::BadPort) + key + u'=' + value;
        return std::nullopt;
    }
    return port;
}

bool Client::listenForFile(quint16 port)
{
    // A port that cannot be had is told by the caller, not as a transfer's failure.
    const QSignalBlocker quiet(m_file);
    m_file->setLocalPort(port);
    return m_file->listen();
}

bool Client::connectionsOpen() const
{
    return m_msg->state() != NetSocket::State::Closed || m_file->state() != NetSocket::State::Closed;
}

void Client::login(const QString &typed)
{
    if (m_view.state != State::Ready)
        return;
    const QString id = trimBlanks(typed);
    if (id.isEmpty()) {
        setStatus(text(text::BlankId));
        return;
    }
    m_loginId = wire::formLoginId(id);

    QString problem;
    const auto msgPort = readPort(QStringLiteral("msg"), &problem);
    const auto filePort = msgPort ? readPort(QStringLiteral("file"), &problem) : std::nullopt;
    if (!msgPort || !filePort)
        return fail(problem);
    const QString host = getInf(QStringLiteral("comm"), QStringLiteral("rmtHost"));
    if (host.isEmpty())
        return fail(text(text::ServerNotFound));

    // Listening before connecting: a port that cannot be had leaves nothing open behind it.
    closeConnections();
    if (!listenForFile(*filePort))
        return fail(text(text::FilePortBusy) + QString::number(*filePort));
    m_filePort = m_file->localPort();
    m_msg->connectTo(host, *msgPort);
    show(State::Fetching, true, false, false);
}

bool Client::pendingIsAnswerSheet() const
{
    // Four digits a character: the mark at the start is enough to tell.
    const QString text = pendingResultText();
    const std::optional<QString> start = clsEncryptXOR().tryHexDecrypt(QStringView(text).left(64));
    return start && paper::isAnswerSheet(*start);
}

void Client::submit()
{
    if (m_view.state != State::Testing && m_view.state != State::Submitting)
        return;
    m_submitMode = true;
    // The server closes a connection whose message passes its limit: what cannot go in whole is
    // not sent, and no retry is offered that could only fail the same way. Whatever the test
    // program can hand over fits, with the tag and the widest ID.
    static_assert(qsizetype(sizeof wire::tagReport) - 1 + 4 * wire::idWidth + channel::bufferLimit <= wire::maxMessageBytes);
    const qsizetype reportBytes = wire::reportMessage(m_loginId, pendingResultText()).size();
    if (reportBytes > wire::maxMessageBytes) {
        closeConnections();
        m_view.status = text(text::TooLargeForServer).arg(reportBytes).arg(wire::maxMessageBytes);
        return show(State::Submitting, true, false, false);
    }
    QString problem;
    const auto msgPort = readPort(QStringLiteral("msg"), &problem);
    if (!msgPort)
        return fail(problem);
    const QString host = getInf(QStringLiteral("comm"), QStringLiteral("rmtHost"));
    if (host.isEmpty())
        return fail(text(text::ServerNotFound));
    if (m_msg->state() == NetSocket::State::Closed)
        m_msg->connectTo(host, *msgPort);
    show(State::Submitting, m_view.windowShown, false, false);
}

void Client::onMessageData()
{
    m_msgBuffer += m_msg->readAll();
    // Messages have no frame: whatever has come is one message, once its tag is whole.
    if (m_msgBuffer.size() < 4)
        return;
    handleMessage(std::exchange(m_msgBuffer, {}));
}

void Client::handleMessage(const QByteArray &message)
{
    const QByteArray tag = message.left(4);
    if (tag == wire::tagAnnounce) {
        if (m_submitMode) {
            m_msg->send(wire::reportMessage(m_loginId, pendingResultText()));
            setStatus(text(text::Communicating));
        } else if (m_view.state == State::Fetching) {
            onAnnouncement(QString::fromUtf8(message.mid(4)));
        }
    } else if (tag == wire::tagFinished) {
        onFinished();
    } else if (tag == wire::tagDuplicate && !m_submitMode && m_view.state == State::Fetching) {
        fail(text(text::AlreadyLoggedIn));
    } else if (tag == wire::tagNotOnList && !m_submitMode && m_view.state == State::Fetching) {
        fail(text(text::NotOnList)); // the candidate may type the ID again
    }
}

void Client::onAnnouncement(const QString &payload)
{
    const std::optional<wire::Announcement> a = wire::parseAnnouncement(payload);
    if (!a)
        return fail(text(text::BadAnnouncement) + payload.left(40));
    dropPaperFile();
    m_paperName = a->name;
    m_paperPath = QDir(m_seams.programFolder).filePath(a->name);
    m_expected = a->length;
    m_received = 0;
    m_paperComplete = false;

    // A stale copy would lend the new paper its old bytes.
    const QFileInfo stale(m_paperPath);
    if ((stale.exists() || stale.isSymLink()) && !QFile::remove(m_paperPath))
        return fail(text(text::StaleNotDeleted) + a->name);
    // Made before the login goes out, so a folder that cannot take it costs no login.
    m_paper.setFileName(m_paperPath);
    if (!m_paper.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return fail(text(text::PaperNotWritten) + m_paper.errorString());

    m_msg->send(wire::loginMessage(m_loginId, m_filePort));
    setStatus(text(text::Communicating));
}

void Client::onFinished()
{
    m_msg->close();
    m_msgBuffer.clear();
    if (m_submitMode) {
        m_submitMode = false;
        closeConnections();
        setStatus(text(text::Over));
        emit finished();
        return;
    }
    if (m_view.state != State::Fetching)
        return;
    if (!m_paperComplete)
        return fail(text(text::PaperIncomplete) + QStringLiteral("%1/%2").arg(m_received).arg(m_expected));
    setStatus(text(text::Over));
    startTest();
}

void Client::startTest()
{
    m_file->close(); // the exchange is over
    const QString title = m_seams.channelTitle.isEmpty() ? windowTitle() : m_seams.channelTitle;
    // Listening first, so that not even a very quick result can find nobody there.
    if (!m_channel.installCopyDataHook(title, [this] { submit(); }))
        return fail(text(text::ChannelNotOpened) + m_channel.errorString());
    QString program;
    if (!m_seams.launcher || !m_seams.launcher->startExamdesk(m_paperPath, &program)) {
        m_channel.removeCopyDataHook();
        return fail(text(text::ExamdeskNotStarted) + program);
    }
    show(State::Testing, false, false, false);
}

void Client::onExamdeskEnded()
{
    // After a result has come the end is the expected one; before it, the candidate would
    // otherwise be left with no window at all.
    if (m_view.state != State::Testing)
        return;
    m_view.status = text(text::ExamdeskEnded);
    show(State::Testing, true, false, false, true);
}

void Client::restartTest()
{
    if (m_view.state != State::Testing || !m_view.restartShown)
        return;
    // The paper is already here and the server has this ID logged in: only the test starts again.
    QString program;
    if (!m_seams.launcher->startExamdesk(m_paperPath, &program)) {
        setStatus(text(text::ExamdeskNotStarted) + program);
        return;
    }
    m_view.status = text(text::Over);
    show(State::Testing, false, false, false);
}

void Client::onFileRequest(int requestId)
{
    if (m_view.state != State::Fetching)
        return;
    m_file->close();
    const bool taken = m_file->accept(requestId);
    // Only the server this client logged in to may hand it a paper: a connection from
    // any other machine on the network is dropped and the port listens again.
    const bool fromServer = taken && m_file->remoteHostIP() == m_msg->remoteHostIP();
    if (taken && !fromServer) {
        qWarning("entrant: file connection from %s refused: the server is %s",
                 qPrintable(m_file->remoteHostIP()), qPrintable(m_msg->remoteHostIP()));
        m_file->close();
    }
    if (!fromServer) {
        // The server gave up on this connection before it was taken; it may try again.
        if (!listenForFile(m_filePort))
            fail(text(text::FilePortBusy) + QString::number(m_filePort));
        return;
    }
    m_msg->send(QByteArray(wire::tagRequestFile));
}

void Client::onFileData()
{
    const QByteArray piece = m_file->readAll();
    if (piece.isEmpty() || m_view.state != State::Fetching)
        return;
    // Bytes past the announced end, in this piece or after the paper was whole, mean the
    // paper on disk could not be the one announced.
    if (!m_paper.isOpen() || m_received + piece.size() > m_expected)
        return fail(text(text::PaperTooLong));
    if (m_paper.write(piece) != piece.size() || !m_paper.flush())
        return fail(text(text::PaperNotWritten) + m_paper.errorString());
    m_received += piece.size();
    setStatus(text(text::Transferring) + QString::number(m_received));
    if (m_received < m_expected)
        return;
    QString why;
    if (!completePaper(&why))
        return fail(text(text::PaperNotWritten) + why);
    m_msg->send(wire::overMessage(m_paperName));
    setStatus(text(text::TransferDone));
}

bool Client::completePaper(QString *why)
{
    // On disk before anyone is told it is there: the test-taking program reads it next.
    if (::fsync(m_paper.handle()) != 0) {
        *why = QString::fromLocal8Bit(std::strerror(errno));
        m_paper.close();
        return false;
    }
    m_paper.close();
    if (m_paper.error() != QFileDevice::NoError) {
        *why = m_paper.errorString();
        return false;
    }
    m_paperComplete = true;
    return true;
}

void Client::onFileClosed()
{
    if (m_view.state != State::Fetching)
        return;
    onFileData(); // what came before the end still counts
    if (m_view.state != State::Fetching)
        return;
    if (!m_paperComplete)
        return fail(text(text::PaperIncomplete) + QStringLiteral("%1/%2").arg(m_received).arg(m_expected));
    m_file->close();
}

void Client::fail(const QString &status)
{
    dropPaperFile();
    closeConnections();
    m_view.status = status;
    if (m_submitMode)
        show(State::Submitting, true, false, true);
    else
        show(State::Ready, true, true, false);
}

void Client::closeConnections()
{
    m_msg->close();
    m_file->close();
    m_msgBuffer.clear();
}

void Client::dropPaperFile()
{
    if (!m_paper.isOpen())
        return;
    m_paper.close();
    // The empty file made for a paper that never came is not left behind.
    if (m_received == 0)
        QFile::remove(m_paperPath);
}

void Client::setStatus(const QString &status)
{
    m_view.status = status;
    emit viewChanged();
}

void Client::note(const QString &text)
{
    m_view.status = text;
    emit viewChanged();
}

void Client::show(State state, bool windowShown, bool loginControls, bool submitButton, bool restartButton)
{
    m_view.state = state;
    m_view.windowShown = windowShown;
    m_view.loginControlsShown = loginControls;
    m_view.submitShown = submitButton;
    m_view.restartShown = restartButton;
    emit viewChanged();
}

} // namespace entrant
