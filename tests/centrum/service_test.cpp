// Starting and stopping the service: the settings it refuses, repeated starts, the listeners.
#include "tests/centrum/serverfixture.h"

#include <QDir>
#include <QFileInfo>

TEST_F(ServerTest, ReadsThePapersSentAtOnceAndRefusesAnythingButOneToSixtyFour)
{
    writeFile(QStringLiteral("good.dat"), 10);
    struct Row {
        std::optional<QString> value;
        int limit; // 0: the start is refused
    };
    const Row rows[] = { { std::nullopt, 8 }, { "1", 1 }, { " 64 ", 64 }, { "0", 0 }, { "65", 0 },
                         { "", 0 },          { "-2", 0 }, { "2.5", 0 },  { "8x", 0 } };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.value.value_or(QStringLiteral("(absent)")).toStdString());
        m_server.reset();
        m_log.clear();
        m_transfers = row.value;
        writeSettings(QStringLiteral("good.dat"));
        const auto r = server().start();
        EXPECT_EQ(r.messageService && r.httpService, row.limit != 0);
        if (row.limit != 0) {
            EXPECT_EQ(server().transferLimit(), row.limit);
            continue;
        }
        EXPECT_EQ(r.refusal, centrum::Server::StartResult::Refusal::BadTransfers);
        const QString logged = QStringLiteral(" Bad setting of papers sent at once (a whole number from 1 to 64):comm/transfers=")
            + *row.value;
        EXPECT_EQ(r.problem, logged);
        EXPECT_EQ(logTexts().last(), logged);
        EXPECT_FALSE(server().isRunning());
    }
}

TEST_F(ServerTest, RefusesToStartOnSettingsItCannotServe)
{
    writeFile(QStringLiteral("good.dat"), 10);
    writeFile(QStringLiteral("empty.dat"), 0);
    using Refusal = centrum::Server::StartResult::Refusal;
    struct Row {
        const char *name;
        QString papers, msg, web;
        QString logged;
        bool http;
        Refusal refusal;
    };
    const Row rows[] = {
        { "no papers", "", "0", "0", "NO Tests", true, Refusal::NoPapers },
        { "missing paper", "good.dat,gone.dat", "0", "0", " Paper cannot be served:gone.dat (does not exist)", true,
          Refusal::BadPaper },
        { "empty paper", "empty.dat", "0", "0", " Paper cannot be served:empty.dat (is empty)", true, Refusal::BadPaper },
        { "folder as paper", ".", "0", "0", " Paper cannot be served:. (is not a readable file)", true, Refusal::BadPaper },
        { "missing port", "good.dat", "", "0", " Bad port setting:comm/msg=", false, Refusal::BadPort },
        { "port not a number", "good.dat", "0", "80a", " Bad port setting:comm/web=80a", false, Refusal::BadPort },
        { "port too large", "good.dat", "65536", "0", " Bad port setting:comm/msg=65536", false, Refusal::BadPort },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        m_server.reset();
        m_log.clear();
        writeSettings(row.papers, row.msg, row.web);
        const auto r = server().start();
        EXPECT_FALSE(r.messageService);
        EXPECT_EQ(r.httpService, row.http);
        EXPECT_EQ(r.problem, row.logged);
        EXPECT_EQ(r.refusal, row.refusal);
        EXPECT_EQ(logTexts().last(), row.logged);
        EXPECT_FALSE(server().isRunning());
    }
    // Measuring a paper never creates one.
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("gone.dat"))));

    // Settings that cannot be read are named as such, not taken for a bad port.
    ASSERT_TRUE(QFile::remove(path(QStringLiteral("setting.ini"))));
    ASSERT_TRUE(QDir(folder()).mkdir(QStringLiteral("setting.ini")));
    m_server.reset();
    const auto r = server().start();
    EXPECT_FALSE(r.messageService || r.httpService);
    EXPECT_EQ(r.refusal, Refusal::Unreadable);
    EXPECT_TRUE(r.problem.startsWith(QStringLiteral(" File cannot be read:") + path(QStringLiteral("setting.ini"))))
        << r.problem.toStdString();
}

TEST_F(ServerTest, AddTestsReplacesTheListAndRefusesACommaInThePath)
{
    writeSettings(QStringLiteral("old.dat"));
    QString why;
    EXPECT_FALSE(server().addTests(QStringLiteral("/exams/a,b.dat"), &why));
    EXPECT_EQ(why, QStringLiteral(" A paper path cannot contain \",\":/exams/a,b.dat"));
    EXPECT_EQ(server().configuredPapers(), QStringList { QStringLiteral("old.dat") });
    ASSERT_TRUE(server().addTests(path(QStringLiteral("new.dat"))));
    EXPECT_EQ(server().configuredPapers(), QStringList { path(QStringLiteral("new.dat")) });

    writeFile(QStringLiteral("new.dat"), 42);
    ASSERT_TRUE(server().start().messageService);
    ASSERT_EQ(server().papers().size(), 1);
    EXPECT_EQ(server().papers()[0].fNameNoPs, QStringLiteral("new.dat"));
    EXPECT_EQ(server().papers()[0].fLength, 42);
}

TEST_F(ServerTest, StopEndsListeningWhereverTheListenerSitsAndKeepsConnectionsServed)
{
    writeFile(QStringLiteral("p.dat"), 64);
    startWith(QStringLiteral("p.dat"));
    const quint16 port = server().messagePort();
    // Move the listener to a reused lower index: 1 accepts, 2 listens, 1 is freed, 2 accepts, 1 listens.
    Candidate &a = candidate(QStringLiteral("a"));
    a.misbehaviour = Candidate::Misbehaviour::Silent;
    a.fetch(port);
    ASSERT_TRUE(waitFor([&] { return !a.announcements.isEmpty(); }));
    a.drop();
    ASSERT_TRUE(waitFor([&] { return server().freeSockets().contains(1); }));
    Candidate &b = candidate(QStringLiteral("b"));
    b.holdAtAnnouncement = 1;
    b.fetch(port);
    ASSERT_TRUE(waitFor([&] { return b.held(); }));
    EXPECT_EQ(server().listenerIndex(), 1);

    server().stop();
    EXPECT_FALSE(server().isRunning());
    EXPECT_FALSE(server().isHttpRunning());
    EXPECT_EQ(logTexts().last(), QStringLiteral(" Server Stoped"));
    QTcpSocket refused;
    refused.connectToHost(QHostAddress::LocalHost, port);
    EXPECT_TRUE(waitFor([&] { return refused.state() == QAbstractSocket::UnconnectedState; }));

    // The connection made before the stop is still served to the end.
    b.release();
    ASSERT_TRUE(waitFor([&] { return b.finished; }));

    // Starting again, and again, is safe; the same port serves.
    writeSettings(QStringLiteral("p.dat"), QString::number(port));
    ASSERT_TRUE(server().start().messageService);
    ASSERT_TRUE(server().start().messageService);
    Candidate &c = candidate(QStringLiteral("c"));
    c.fetch(port);
    EXPECT_TRUE(waitFor([&] { return c.finished; }));
}

TEST_F(ServerTest, ALoginListLastsOneServiceRun)
{
    writeFile(QStringLiteral("p.dat"), 64);
    startWith(QStringLiteral("p.dat"));
    Candidate &first = candidate(QStringLiteral("x"));
    first.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return first.finished; }));
    server().stop();
    ASSERT_TRUE(server().start().messageService);
    Candidate &again = candidate(QStringLiteral("x"));
    again.fetch(server().messagePort());
    EXPECT_TRUE(waitFor([&] { return again.finished; }));
    EXPECT_FALSE(again.duplicate);
}

TEST_F(ServerTest, ARestartWithAnotherListLetsCandidatesFinishTheListTheyWereAnnounced)
{
    writeFile(QStringLiteral("a.dat"), 100);
    const QByteArray b = writeFile(QStringLiteral("b.dat"), 200);
    const QByteArray c = writeFile(QStringLiteral("c.dat"), 300);
    startWith(QStringLiteral("a.dat,b.dat"));
    Candidate &early = candidate(QStringLiteral("early"));
    early.holdAtAnnouncement = 2;
    early.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return early.held(); }));

    writeSettings(QStringLiteral("c.dat"), QString::number(server().messagePort()));
    ASSERT_TRUE(server().start().messageService);
    Candidate &late = candidate(QStringLiteral("late"));
    late.fetch(server().messagePort());
    early.release();
    ASSERT_TRUE(waitFor([&] { return early.finished && late.finished; }));
    EXPECT_EQ(early.papers.value(1), b);
    EXPECT_EQ(late.announcements, QStringList { QStringLiteral("c.dat,300") });
    EXPECT_EQ(late.papers.value(0), c);
}

TEST_F(ServerTest, APortTakenByTheOtherServiceIsRefusedClearly)
{
    writeFile(QStringLiteral("p.dat"), 10);
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::Any, 0));
    const QString port = QString::number(taken.serverPort());
    writeSettings(QStringLiteral("p.dat"), QStringLiteral("0"), port);
    auto r = server().start();
    EXPECT_TRUE(r.messageService);
    EXPECT_FALSE(r.httpService);
    EXPECT_EQ(r.refusal, centrum::Server::StartResult::Refusal::Listen);
    EXPECT_EQ(logTexts().last(), QStringLiteral(" Port cannot be listened on:comm/web=") + port);

    // The message port, on a Chinese system: the line names the setting to change.
    m_server.reset();
    writeSettings(QStringLiteral("p.dat"), port, QStringLiteral("0"));
    r = server(2052).start();
    EXPECT_FALSE(r.messageService);
    EXPECT_EQ(r.refusal, centrum::Server::StartResult::Refusal::Listen);
    EXPECT_EQ(r.problem, QStringLiteral(" 端口无法监听:comm/msg=") + port);
    EXPECT_TRUE(logTexts().contains(r.problem));
}
