// The login client's logic against a real exam server core, and against a scripted one for faults.
#include "common/clsencryptxor.h"
#include "paper/answersheet.h"
#include "tests/entrant/clientfixture.h"

#include <QDir>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

using entrant::State;

namespace {

TEST_F(ClientTest, FetchesThePaperOverAStaleCopyTestsItAndDeliversTheResult)
{
    const QByteArray paper = writePaper(QStringLiteral("maths1.dat"), 200000); // several pieces
    startServer(QStringLiteral("maths1.dat"));
    QFile stale(clientFile(QStringLiteral("maths1.dat")));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly) && stale.write(QByteArray(300000, 'x')) > 0);
    stale.close();
    // The journal of the test taken on that copy stays: fetched again the same, the test resumes.
    const QByteArray journal("journal of the test so far");
    QFile kept(clientFile(QStringLiteral("maths1.dat.journal")));
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly) && kept.write(journal) == journal.size());
    kept.close();

    client().login(QStringLiteral("  abc  "));
    EXPECT_EQ(client().view().state, State::Fetching);
    EXPECT_FALSE(client().view().loginControlsShown);
    ASSERT_TRUE(reaches(State::Testing));
    ASSERT_TRUE(stale.open(QIODevice::ReadOnly));
    EXPECT_TRUE(stale.readAll() == paper);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), journal);
    EXPECT_EQ(m_launcher.started, QStringList { clientFile(QStringLiteral("maths1.dat")) });
    EXPECT_FALSE(client().view().windowShown);
    EXPECT_EQ(m_statuses[0].filter(text(entrant::text::Transferring)).last(), text(entrant::text::Transferring) + "200000");
    EXPECT_EQ(client().view().status, text(entrant::text::Over));

    QSignalSpy done(&client(), &entrant::Client::finished);
    const QString result = clsEncryptXOR().HexEncrypt(QStringLiteral("85:maths1.dat:1200"));
    auto taken = handOver(result);
    ASSERT_TRUE(waitFor([&] { return done.count() == 1; }));
    EXPECT_EQ(reportEntries(), QStringList { QStringLiteral("127.0.0.1:abc:") + result });
    EXPECT_FALSE(client().resultUndelivered() || client().connectionsOpen());
    EXPECT_TRUE(taken.get());
}

TEST_F(ClientTest, TheAnswerSheetOfALargePaperPassesTheChannelAndReachesTheServerWhole)
{
    writePaper(QStringLiteral("big.dat"), 1000);
    startServer(QStringLiteral("big.dat"));
    client().login(QStringLiteral("abc"));
    ASSERT_TRUE(reaches(State::Testing));
    // 200 fill-ins answered with 30 characters each, Chinese, and some the sheet must escape.
    const QString answer = QStringLiteral("北京, 上海: 100%~").leftJustified(24, QChar(0x4E2D)) + QStringLiteral("~~~~~~");
    const QString sheet = clsEncryptXOR().HexEncrypt(paper::formatAnswerSheet(
        { QStringLiteral("123456789012345678"), QStringLiteral("big.dat"), 5400, QStringList(200, answer) }));
    // Sent as examdesk sends it, from a thread of its own: the sender waits for the reply.
    const QString title = client().windowTitle();
    auto sent = std::async(std::launch::async, [&] { return CsendMessage().sendMsg(sheet, title); });
    QSignalSpy done(&client(), &entrant::Client::finished);
    ASSERT_TRUE(waitFor([&] { return done.count() == 1; }, 20000)) << client().view().status.toStdString();
    EXPECT_EQ(sent.get(), CsendMessage::Outcome::Delivered);
    EXPECT_EQ(reportEntries(), QStringList { QStringLiteral("127.0.0.1:abc:") + sheet });
}

TEST_F(ClientTest, FetchesEveryPaperOfAListAndTestsTheLast)
{
    const QByteArray first = writePaper(QStringLiteral("a.dat"), 70000);
    const QByteArray second = writePaper(QStringLiteral("b.dat"), 123);
    startServer(QStringLiteral("a.dat,b.dat"));
    client().login(QStringLiteral("abc"));
    ASSERT_TRUE(reaches(State::Testing));
    for (const auto &[name, bytes] : { std::pair { "a.dat", first }, std::pair { "b.dat", second } }) {
        QFile f(clientFile(QString::fromLatin1(name)));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly) && f.readAll() == bytes) << name;
    }
    EXPECT_EQ(m_launcher.started, QStringList { clientFile(QStringLiteral("b.dat")) });
}

TEST_F(ClientTest, SecondLoginWithTheSameIdGoesBackToTheLoginControls)
{
    writePaper(QStringLiteral("maths1.dat"), 1000);
    startServer(QStringLiteral("maths1.dat"));
    client().login(QStringLiteral("abc"));
    ASSERT_TRUE(reaches(State::Testing));

    writeSettings(QString::number(m_server->messagePort()), QStringLiteral("0"), 1);
    client(1).login(QStringLiteral(" abc"));
    ASSERT_TRUE(reaches(State::Ready, 1));
    EXPECT_EQ(client(1).view().status, text(entrant::text::AlreadyLoggedIn));
    EXPECT_TRUE(client(1).view().loginControlsShown);
    EXPECT_EQ(m_launcher.started.size(), 1);
    EXPECT_FALSE(QFileInfo::exists(clientFile(QStringLiteral("maths1.dat"), 1))) << "no empty paper is left";
}

TEST_F(ClientTest, AnIdNotOnAStrictRosterIsRefusedAndTheCandidateTypesAgain)
{
    writePaper(QStringLiteral("maths1.dat"), 1000);
    QFile roster(m_serverDir.filePath(QStringLiteral("roster.csv")));
    ASSERT_TRUE(roster.open(QIODevice::WriteOnly) && roster.write("ID,Name\nS01,Wang\n") > 0);
    roster.close();
    startServer(QStringLiteral("maths1.dat"), 0, QStringLiteral("roster=roster.csv\nstrict=1\n"));
    for (const int lcid : { 1033, 2052 }) {
        SCOPED_TRACE(lcid);
        m_clients[0].reset();
        client(0, lcid).login(QStringLiteral("S99"));
        ASSERT_TRUE(reaches(State::Ready));
        EXPECT_EQ(client().view().status, lcid == 2052 ? QStringLiteral("本场考试的名单中没有该考号")
                                                      : QStringLiteral("This ID is not on the list of this exam"));
        EXPECT_TRUE(client().view().loginControlsShown);
        EXPECT_FALSE(QFileInfo::exists(clientFile(QStringLiteral("maths1.dat")))) << "no empty paper is left";
    }
    EXPECT_TRUE(m_launcher.started.isEmpty());
    EXPECT_FALSE(m_server->isLoggedIn(QStringLiteral("S99")));
    client().login(QStringLiteral("S01"));
    ASSERT_TRUE(reaches(State::Testing));
    EXPECT_EQ(m_launcher.started.size(), 1);
}

TEST_F(ClientTest, SettingsThatCannotBeUsedLeaveNothingOpen)
{
    QTcpServer busy;
    ASSERT_TRUE(busy.listen(QHostAddress::Any));
    const QString busyPort = QString::number(busy.serverPort());
    const struct {
        QString msg, file, status;
    } rows[] = {
        { "", "0", text(entrant::text::BadPort) + "msg=" },
        { "86o1", "0", text(entrant::text::BadPort) + "msg=86o1" },
        { "0", "0", text(entrant::text::BadPort) + "msg=0" },
        { "8601", "", text(entrant::text::BadPort) + "file=" },
        { "8601", "70000", text(entrant::text::BadPort) + "file=70000" },
        { "8601", busyPort, text(entrant::text::FilePortBusy) + busyPort },
    };
    for (const auto &row : rows) {
        writeSettings(row.msg, row.file);
        client().login(QStringLiteral("abc"));
        EXPECT_EQ(client().view().status, row.status);
        EXPECT_EQ(client().view().state, State::Ready);
        EXPECT_TRUE(client().view().loginControlsShown);
        EXPECT_FALSE(client().connectionsOpen());
    }
    writeSettings(QStringLiteral("8601"), QStringLiteral("0"), 0, QString());
    client().login(QStringLiteral("abc"));
    EXPECT_EQ(client().view().status, text(entrant::text::ServerNotFound));
    EXPECT_FALSE(client().connectionsOpen());
    client().login(QStringLiteral("   "));
    EXPECT_EQ(client().view().status, text(entrant::text::BlankId));
}

TEST_F(ClientTest, StalePaperThatCannotBeDeletedCostsNoLogin)
{
    writePaper(QStringLiteral("maths1.dat"), 1000);
    startServer(QStringLiteral("maths1.dat"));
    ASSERT_TRUE(QDir(m_clientDirs[0].path()).mkpath(QStringLiteral("maths1.dat/inside")));
    client().login(QStringLiteral("abc"));
    ASSERT_TRUE(reaches(State::Ready));
    EXPECT_EQ(client().view().status, text(entrant::text::StaleNotDeleted) + "maths1.dat");
    EXPECT_EQ(m_server->loginCount(), 0);

    ASSERT_TRUE(QDir(clientFile(QStringLiteral("maths1.dat"))).removeRecursively());
    client().login(QStringLiteral("abc"));
    EXPECT_TRUE(reaches(State::Testing));
}

TEST_F(ClientTest, ExamdeskThatCannotStartBringsBackTheLogin)
{
    writePaper(QStringLiteral("maths1.dat"), 1000);
    startServer(QStringLiteral("maths1.dat"));
    m_launcher.works = false;
    client().login(QStringLiteral("abc"));
    ASSERT_TRUE(waitFor([&] { return !m_launcher.started.isEmpty(); }));
    EXPECT_EQ(client().view().state, State::Ready);
    EXPECT_TRUE(client().view().windowShown && client().view().loginControlsShown);
    EXPECT_EQ(client().view().status, text(entrant::text::ExamdeskNotStarted) + "/opt/exam/examdesk");
    EXPECT_FALSE(client().channel().isListening());
    EXPECT_FALSE(client().connectionsOpen());
}

TEST_F(ClientTest, ExamdeskEndingWithoutAResultBringsTheWindowBackToStartItAgain)
{
    writePaper(QStringLiteral("maths1.dat"), 1000);
    startServer(QStringLiteral("maths1.dat"));
    client().login(QStringLiteral("abc"));
    ASSERT_TRUE(reaches(State::Testing));
    const QString paper = clientFile(QStringLiteral("maths1.dat"));

    m_launcher.end();
    EXPECT_EQ(client().view().status, text(entrant::text::ExamdeskEnded));
    EXPECT_TRUE(client().view().windowShown && client().view().restartShown);
    EXPECT_FALSE(client().view().loginControlsShown || client().view().submitShown);
    EXPECT_TRUE(client().channel().isListening());

    // A failed start is told and can be tried again; a good one hides the window.
    m_launcher.works = false;
    client().restartTest();
    EXPECT_EQ(client().view().status, text(entrant::text::ExamdeskNotStarted) + "/opt/exam/examdesk");
    EXPECT_TRUE(client().view().windowShown && client().view().restartShown);
    m_launcher.works = true;
    client().restartTest();
    EXPECT_EQ(m_launcher.started, QStringList({ paper, paper, paper }));
    EXPECT_FALSE(client().view().windowShown || client().view().restartShown);

    // Once the result is in, examdesk ending is its ordinary end.
    QSignalSpy done(&client(), &entrant::Client::finished);
    auto taken = handOver(QStringLiteral("C0DE"));
    ASSERT_TRUE(waitFor([&] { return client().view().state == State::Submitting; }));
    m_launcher.end();
    EXPECT_FALSE(client().view().windowShown || client().view().restartShown);
    client().restartTest();
    EXPECT_EQ(m_launcher.started.size(), 3);
    ASSERT_TRUE(waitFor([&] { return done.count() == 1; }));
    EXPECT_EQ(reportEntries(), QStringList { QStringLiteral("127.0.0.1:abc:C0DE") });
    EXPECT_TRUE(taken.get());
}

TEST(ExamdeskLauncher, StartsExamdeskBesideItselfOnThePaperAndTellsWhenItEnds)
{
    QTemporaryDir folder;
    const QString examdesk = folder.filePath(QStringLiteral("examdesk"));
    entrant::ExamdeskLauncher launcher(folder.path());
    QString program;
    EXPECT_FALSE(launcher.startExamdesk(QStringLiteral("/x/maths1.dat"), &program));
    EXPECT_EQ(program, examdesk);

    // It writes its argument and runs until told to stop.
    QFile script(examdesk);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\ncd \"$(dirname \"$0\")\"\necho \"$1\" > arg\nwhile [ ! -e stop ]; do sleep 0.02; done\n");
    script.close();
    script.setPermissions(script.permissions() | QFile::ExeOwner);
    QSignalSpy ended(&launcher, &entrant::Launcher::examdeskEnded);
    ASSERT_TRUE(launcher.startExamdesk(QStringLiteral("/x/maths 1.dat"), &program));
    ASSERT_TRUE(waitFor([&] { return QFileInfo::exists(folder.filePath(QStringLiteral("arg"))); }));
    idleFor(100);
    EXPECT_EQ(ended.count(), 0) << "reported while still running";
    QFile(folder.filePath(QStringLiteral("stop"))).open(QIODevice::WriteOnly);
    ASSERT_TRUE(waitFor([&] { return ended.count() == 1; }));
    QFile arg(folder.filePath(QStringLiteral("arg")));
    ASSERT_TRUE(arg.open(QIODevice::ReadOnly));
    EXPECT_EQ(arg.readAll(), QByteArray("/x/maths 1.dat\n"));
}

// A server that follows a script, to provoke what the real one never does.
class ScriptedServer : public QObject
{
public:
    QByteArray announcement, body;
    enum class Then { Wait, Finish, DropFile, GiveUpAtLogin } then = Then::Wait;
    // Another machine (127.0.0.2) reaches the file port first and offers a paper of its own.
    bool intruderFirst = false;
    QByteArrayList received;
    bool closedByClient = false;

    ScriptedServer()
    {
        m_listener.listen(QHostAddress::LocalHost);
        connect(&m_listener, &QTcpServer::newConnection, this, [this] {
            m_msg = m_listener.nextPendingConnection();
            connect(m_msg, &QTcpSocket::disconnected, this, [this] { closedByClient = true; });
            connect(m_msg, &QTcpSocket::readyRead, this, [this] { onMessage(m_msg->readAll()); });
            m_msg->write(announcement);
        });
    }
    QString port() const { return QString::number(m_listener.serverPort()); }

private:
    void onMessage(const QByteArray &m)
    {
        received.append(m);
        if (m.startsWith("infd")) {
            const quint16 filePort = m.mid(16).toUShort();
            if (then == Then::GiveUpAtLogin)
                return m_msg->disconnectFromHost(); // as the server does when it cannot send the paper
            if (!intruderFirst)
                return m_file.connectToHost(QHostAddress::LocalHost, filePort);
            m_intruder.bind(QHostAddress(QStringLiteral("127.0.0.2")));
            connect(&m_intruder, &QTcpSocket::connected, this, [this] { m_intruder.write("forged 10!"); });
            connect(&m_intruder, &QTcpSocket::disconnected, this,
                    [this, filePort] { m_file.connectToHost(QHostAddress::LocalHost, filePort); });
            m_intruder.connectToHost(QHostAddress::LocalHost, filePort);
        } else if (m.startsWith("over")) {
            m_msg->write("finx");
        } else if (m.startsWith("rqsF")) {
            m_file.write(body);
            m_file.flush();
            if (then == Then::Finish)
                m_msg->write("finx");
            else if (then == Then::DropFile)
                m_file.disconnectFromHost();
        }
    }
    QTcpServer m_listener;
    QTcpSocket *m_msg = nullptr;
    QTcpSocket m_file, m_intruder;
};

TEST_F(ClientTest, PaperThatIsNotTheAnnouncedOneNeverReachesExamdesk)
{
    using Then = ScriptedServer::Then;
    const struct {
        const char *name, *announcement, *body;
        Then then;
        QString status;
    } rows[] = {
        { "no length", "fINFmaths1.dat", "", Then::Wait, text(entrant::text::BadAnnouncement) + "maths1.dat" },
        { "too long", "fINFmaths1.dat,10", "0123456789abcde", Then::Wait, text(entrant::text::PaperTooLong) },
        { "finished early", "fINFmaths1.dat,10", "012345", Then::Finish, text(entrant::text::PaperIncomplete) },
        { "file dropped", "fINFmaths1.dat,10", "012345", Then::DropFile, text(entrant::text::PaperIncomplete) + "6/10" },
        { "server gave up", "fINFmaths1.dat,10", "", Then::GiveUpAtLogin, text(entrant::text::PaperIncomplete) + "0/10" },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedServer server;
        server.announcement = row.announcement;
        server.body = row.body;
        server.then = row.then;
        writeSettings(server.port(), QStringLiteral("0"));
        m_statuses[0].clear();
        client().login(QStringLiteral("abc"));
        ASSERT_TRUE(waitFor([&] { return client().view().state == State::Ready && server.closedByClient; }));
        EXPECT_TRUE(client().view().status.startsWith(row.status)) << client().view().status.toStdString();
        EXPECT_FALSE(client().connectionsOpen());
        EXPECT_TRUE(client().view().loginControlsShown);
        EXPECT_FALSE(server.received.join().contains("over")) << "the paper was never taken as whole";
    }
    EXPECT_TRUE(m_launcher.started.isEmpty());
}

TEST_F(ClientTest, OnlyTheServerLoggedInToCanHandOverThePaper)
{
    ScriptedServer server;
    server.announcement = "fINFmaths1.dat,10";
    server.body = "0123456789";
    server.intruderFirst = true;
    writeSettings(server.port(), QStringLiteral("0"));
    client().login(QStringLiteral("abc"));
    ASSERT_TRUE(waitFor([&] { return client().view().state == State::Testing; }));
    EXPECT_EQ(server.received.count("rqsF"), 1) << "the intruder's connection was never asked for a file";
    ASSERT_EQ(m_launcher.started.size(), 1);
    QFile paper(m_launcher.started[0]);
    ASSERT_TRUE(paper.open(QIODevice::ReadOnly));
    EXPECT_EQ(paper.readAll(), server.body);
}

TEST_F(ClientTest, AddressPromptStoresTheAnswerAsTyped)
{
    writeSettings(QStringLiteral("8601"), QStringLiteral("8602"), 0, QStringLiteral("   "));
    EXPECT_TRUE(client().needsServerAddress());
    client().saveServerAddress(QString()); // a cancelled prompt
    EXPECT_TRUE(client().needsServerAddress());
    client().saveServerAddress(QStringLiteral(" 10.0.0.7"));
    EXPECT_FALSE(client().needsServerAddress());
    QFile f(clientFile(QStringLiteral("setting.ini")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("[comm]\nrmtHost= 10.0.0.7\nmsg=8601\nfile=8602\n"));

    // A settings file that cannot be written is told, not passed over.
    ASSERT_TRUE(QDir(m_clientDirs[1].path()).mkpath(QStringLiteral("setting.ini")));
    client(1).saveServerAddress(QStringLiteral("10.0.0.7"));
    EXPECT_TRUE(client(1).view().status.startsWith(text(entrant::text::AddressNotSaved)));
}

} // namespace
