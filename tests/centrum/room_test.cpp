// The room's table fed by real candidates through the server: each state, the roster, strict logins.
#include "centrum/texts.h"
#include "common/clsencryptxor.h"
#include "common/inifile.h"
#include "common/multilanguage.h"
#include "tests/centrum/serverfixture.h"

#include <QDir>

using centrum::CandidateState;

namespace {

class RoomTest : public ServerTest
{
protected:
    // Lines for section subject, after the paper list.
    void writeSubject(const QString &papers, const QString &more)
    {
        writeSettings(papers);
        QFile f(path(QStringLiteral("setting.ini")));
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write(more.toUtf8());
    }
    void writeText(const QString &name, const QByteArray &bytes)
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    const centrum::CandidateRow &row(const QString &id)
    {
        static const centrum::CandidateRow none;
        const centrum::CandidateRow *r = server().room().find(id);
        EXPECT_TRUE(r) << id.toStdString();
        return r ? *r : none;
    }
    bool reaches(const QString &id, CandidateState state)
    {
        return waitFor([&] { return server().room().find(id) && server().room().find(id)->state == state; });
    }
};

} // namespace

TEST_F(RoomTest, EachCandidatesStateFollowsTheEventsOfItsExchange)
{
    // Sixteen pieces, read from the file as they go: more than the network takes at once, so a
    // candidate vanishing after its first bytes leaves most of the paper unsent.
    const QByteArray paper = writeFile(QStringLiteral("p.dat"), 1000000);
    writeText(QStringLiteral("class.txt"), "a\nqueued\nheld\nvanish\nresumer\nabsent\n");
    m_resume = QStringLiteral("1");
    writeSubject(QStringLiteral("p.dat"), QStringLiteral("roster=class.txt\n"));
    ASSERT_TRUE(server().start().messageService);
    EXPECT_EQ(row(QStringLiteral("absent")).state, CandidateState::Absent);

    // The state as each piece of a's paper goes out: waiting, then receiving part of it.
    QList<std::pair<CandidateState, qint64>> seen;
    QObject::connect(&server(), &centrum::Server::paperPieceSent, [&] {
        seen.append({ row(QStringLiteral("a")).state, row(QStringLiteral("a")).sent });
    });
    Candidate &a = candidate(QStringLiteral("a"));
    a.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return a.finished; }));
    ASSERT_TRUE(reaches(QStringLiteral("a"), CandidateState::Testing));
    ASSERT_EQ(seen.size(), 16);
    EXPECT_EQ(seen[0], std::pair(CandidateState::Waiting, qint64(0)));
    EXPECT_EQ(seen[1], std::pair(CandidateState::Receiving, qint64(65535)));
    EXPECT_EQ(row(QStringLiteral("a")).sent, paper.size());
    EXPECT_EQ(row(QStringLiteral("a")).total, paper.size());
    EXPECT_EQ(row(QStringLiteral("a")).address, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(row(QStringLiteral("a")).loginTime, fixedNow);
    EXPECT_EQ(row(QStringLiteral("a")).paper, QStringLiteral("p.dat"));

    // One paper at a time: held holds the file connection, queued waits behind it.
    Candidate &held = candidate(QStringLiteral("held"));
    held.holdRequest = true;
    held.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return held.held(); }));
    Candidate &queued = candidate(QStringLiteral("queued"));
    queued.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return server().waitingCount() == 1; }));
    EXPECT_EQ(row(QStringLiteral("held")).state, CandidateState::Waiting);
    EXPECT_EQ(row(QStringLiteral("queued")).state, CandidateState::Waiting);
    held.release();
    ASSERT_TRUE(waitFor([&] { return held.finished && queued.finished; }));
    EXPECT_TRUE(reaches(QStringLiteral("queued"), CandidateState::Testing));

    Candidate &vanish = candidate(QStringLiteral("vanish"));
    vanish.misbehaviour = Candidate::Misbehaviour::VanishMidFile;
    vanish.fetch(server().messagePort());
    EXPECT_TRUE(reaches(QStringLiteral("vanish"), CandidateState::TransferFailed));

    // A result that cannot be stored is not one: the row goes on as it was.
    const QString report = server().reportPath(fixedNow.date());
    ASSERT_TRUE(QDir().mkdir(report));
    Candidate &lost = candidate(QStringLiteral("held"));
    lost.submit(server().messagePort(), clsEncryptXOR().HexEncrypt(QStringLiteral("70:p.dat:99")));
    ASSERT_TRUE(waitFor([&] { return lost.closedByServer; }));
    EXPECT_EQ(row(QStringLiteral("held")).state, CandidateState::Testing);
    ASSERT_TRUE(QDir().rmdir(report));

    // The result's score, paper and time are read from its text.
    Candidate &result = candidate(QStringLiteral("a"));
    result.submit(server().messagePort(), clsEncryptXOR().HexEncrypt(QStringLiteral("85.5:p.dat:125")));
    ASSERT_TRUE(waitFor([&] { return result.finished; }));
    EXPECT_EQ(row(QStringLiteral("a")).state, CandidateState::Submitted);
    EXPECT_EQ(row(QStringLiteral("a")).score, QStringLiteral("85.5"));
    EXPECT_EQ(row(QStringLiteral("a")).secondsUsed, 125);
    EXPECT_EQ(row(QStringLiteral("a")).resultTime, fixedNow);

    ASSERT_TRUE(server().allowAgain(QStringLiteral("queued")));
    EXPECT_EQ(row(QStringLiteral("queued")).state, CandidateState::AllowedAgain);

    // Logged in again from its workstation, the candidate takes its test up once the paper is back.
    Candidate &first = candidate(QStringLiteral("resumer"));
    first.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return first.finished; }));
    Candidate &again = candidate(QStringLiteral("resumer"));
    again.holdRequest = true;
    again.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return again.held(); }));
    EXPECT_EQ(row(QStringLiteral("resumer")).state, CandidateState::Resumed);
    again.release();
    EXPECT_TRUE(reaches(QStringLiteral("resumer"), CandidateState::Testing));

    const centrum::RoomCounters c = server().room().counters();
    EXPECT_EQ(c.expected, 6);
    EXPECT_EQ(c.loggedIn, 5);
    EXPECT_EQ(c.taking, 2); // held, resumer
    EXPECT_EQ(c.submitted, 1);
    EXPECT_EQ(c.absent, 1);
    EXPECT_EQ(server().room().rowCount(), 6);
}

TEST_F(RoomTest, StrictAdmitsOnlyTheRosterAndABadRosterRefusesTheStart)
{
    writeFile(QStringLiteral("p.dat"), 500);
    writeText(QStringLiteral("roster.csv"), "\xEF\xBB\xBFID,Name,Seat\r\nS1,\"Wang, Fang\",A1\r\n");
    writeSubject(QStringLiteral("p.dat"), QStringLiteral("roster=roster.csv\nstrict=1\n"));
    ASSERT_TRUE(server().start().messageService);
    EXPECT_EQ(row(QStringLiteral("S1")).name, QStringLiteral("Wang, Fang"));

    Candidate &stranger = candidate(QStringLiteral("S9"));
    stranger.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return stranger.closedByServer; }));
    EXPECT_TRUE(stranger.notOnList);
    EXPECT_TRUE(stranger.papers.isEmpty());
    EXPECT_EQ(row(QStringLiteral("S9")).state, CandidateState::Refused);
    EXPECT_TRUE(logTexts().contains(QStringLiteral(" ID not on the roster, login refused:S9 IP:127.0.0.1")));
    Candidate &listed = candidate(QStringLiteral("S1"));
    listed.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return listed.finished; }));
    EXPECT_FALSE(server().isLoggedIn(QStringLiteral("S9")));

    // Without strict the stranger is served, and marked as not on the list.
    writeSubject(QStringLiteral("p.dat"), QStringLiteral("roster=roster.csv\n"));
    ASSERT_TRUE(server().start().messageService);
    Candidate &guest = candidate(QStringLiteral("S9"));
    guest.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return guest.finished; }));
    EXPECT_FALSE(row(QStringLiteral("S9")).expected);

    const QString folderPath = QDir(folder()).filePath(QStringLiteral("gone.csv"));
    writeText(QStringLiteral("long.txt"), "S1\nS1234567890123\n");
    const struct {
        QString subject;
        QString problem;
    } rows[] = {
        { "roster=gone.csv\n", " Roster cannot be read:" + folderPath + " (" },
        { "roster=long.txt\n", " Roster cannot be read:" + path(QStringLiteral("long.txt"))
              + " (the ID \"S1234567890123\" on line 2 is longer than 12 characters and could never log in)" },
        { "strict=1\n", " Roster cannot be read:subject/roster=" },
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.subject.toStdString());
        writeSubject(QStringLiteral("p.dat"), r.subject);
        const auto started = server().start();
        EXPECT_FALSE(started.messageService);
        EXPECT_EQ(started.refusal, centrum::StartResult::Refusal::Unreadable);
        EXPECT_TRUE(started.problem.startsWith(r.problem)) << started.problem.toStdString();
        EXPECT_EQ(logTexts().last(), started.problem);
    }
}

TEST_F(RoomTest, ARosterLoadedDuringTheRunKeepsThoseWhoCameAndServesTheNextStart)
{
    writeFile(QStringLiteral("p.dat"), 500);
    startWith(QStringLiteral("p.dat"));
    Candidate &early = candidate(QStringLiteral("E1"));
    early.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return early.finished; }));

    QDir(folder()).mkdir(QStringLiteral("lists"));
    writeText(QStringLiteral("lists/day1.txt"), "E2\nE3\n");
    ASSERT_TRUE(server().loadRoster(path(QStringLiteral("lists/day1.txt"))));
    writeText(QStringLiteral("class.txt"), "E1\nE2\n");
    ASSERT_TRUE(server().loadRoster(path(QStringLiteral("class.txt"))));
    QStringList ids;
    for (int i = 0; i < server().room().rowCount(); ++i)
        ids.append(server().room().row(i).id + (server().room().row(i).expected ? QString() : QStringLiteral("?")));
    EXPECT_EQ(ids, (QStringList { "E1", "E2" })) << "E3 of the other roster went, E1 stayed";
    EXPECT_EQ(row(QStringLiteral("E1")).state, CandidateState::Testing);
    EXPECT_TRUE(IniFile::load(path(QStringLiteral("setting.ini"))).value(u"subject", u"roster") == QStringLiteral("class.txt"));

    QString why;
    writeText(QStringLiteral("bad.csv"), "name\nWang\n");
    EXPECT_FALSE(server().loadRoster(path(QStringLiteral("bad.csv")), &why));
    EXPECT_TRUE(why.endsWith(QStringLiteral("(the header on line 1 has no ID column)"))) << why.toStdString();
    EXPECT_EQ(server().room().roster()->path(), path(QStringLiteral("class.txt")));
}

TEST(RoomState, AClientTryingIdAfterIdCannotGrowTheTableWithoutEnd)
{
    centrum::RoomState room([] { return QDateTime(); }, std::chrono::milliseconds(0));
    room.startRun(std::nullopt);
    for (int i = 0; i < centrum::RoomState::refusedRowsShown + 50; ++i)
        room.refused(QStringLiteral("x%1").arg(i), QStringLiteral("10.0.0.9"));
    EXPECT_EQ(room.rowCount(), centrum::RoomState::refusedRowsShown);
    // Those who log in still get their rows, and an ID refused before is still marked.
    room.loggedIn(QStringLiteral("good"), QStringLiteral("10.0.0.1"), QStringLiteral("p.dat"), 10, false);
    room.refused(QStringLiteral("x0"), QStringLiteral("10.0.0.9"));
    EXPECT_EQ(room.rowCount(), centrum::RoomState::refusedRowsShown + 1);
    room.startRun(std::nullopt);
    room.refused(QStringLiteral("y"), QStringLiteral("10.0.0.9"));
    EXPECT_EQ(room.rowCount(), 1);
}
