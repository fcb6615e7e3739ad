// Candidates through the fetch and submit exchanges against a running service, on loopback.
#include "tests/centrum/serverfixture.h"

#include "centrum/reportview.h"
#include "common/clsencryptxor.h"
#include "wire/wiremessages.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTimer>

#include <condition_variable>
#include <mutex>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using centrum::Server;

namespace {

bool allFinished(const std::vector<Candidate *> &cs)
{
    return std::all_of(cs.begin(), cs.end(), [](Candidate *c) { return c->finished; });
}

} // namespace

TEST_F(ServerTest, DeliversASinglePaperAndLogsEachStep)
{
    const QByteArray paper = writeFile(QStringLiteral("maths1.dat"), 2048);
    startWith(path(QStringLiteral("maths1.dat")));
    Candidate &c = candidate(QStringLiteral("  s01 "));
    c.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return c.finished; }));

    EXPECT_EQ(c.announcements, QStringList { QStringLiteral("maths1.dat,2048") });
    ASSERT_EQ(c.papers.size(), 1);
    EXPECT_EQ(c.papers[0], paper);
    const QString port = QString::number(c.localMsgPort());
    EXPECT_EQ(logTexts(), (QStringList { QStringLiteral(" Server Started"),
                                         QStringLiteral(" Connection RequestIP:127.0.0.1:") + port,
                                         QStringLiteral(" maths1.dat Send to IP:127.0.0.1:") + port }));
    // The log file holds the same lines, none replacing another within the second.
    EXPECT_EQ(report::reportEntries(path(QStringLiteral("2026-12-6.log"))), logTexts());
    EXPECT_FALSE(server().isTransferring());
}

TEST_F(ServerTest, WritesChineseLogLinesOnAChineseSystem)
{
    writeFile(QStringLiteral("p.dat"), 10);
    writeSettings(path(QStringLiteral("p.dat")));
    server(2052).start();
    Candidate &c = candidate(QStringLiteral("考生甲"));
    c.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return c.finished; }));
    const QStringList lines = logTexts();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], QStringLiteral(" 服务启动"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral(" 连接请求IP:127.0.0.1:")));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral(" p.dat 发送到IP:127.0.0.1:")));
}

TEST_F(ServerTest, DeliversEveryPaperOfAListInOrderOnOneConnection)
{
    const QByteArray first = writeFile(QStringLiteral("part1.dat"), 70000);
    const QByteArray second = writeFile(QStringLiteral("part2.dat"), 300);
    startWith(QStringLiteral("part1.dat,") + path(QStringLiteral("part2.dat")));
    Candidate &c = candidate(QStringLiteral("s02"));
    c.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return c.finished; }));
    EXPECT_EQ(c.announcements, (QStringList { QStringLiteral("part1.dat,70000"), QStringLiteral("part2.dat,300") }));
    ASSERT_EQ(c.papers.size(), 2);
    EXPECT_EQ(c.papers[0], first);
    EXPECT_EQ(c.papers[1], second);
    EXPECT_EQ(logTexts().filter(QStringLiteral("Send to IP")).size(), 2);
}

TEST_F(ServerTest, EachCandidateWalksThePaperListOnItsOwn)
{
    writeFile(QStringLiteral("a.dat"), 100);
    const QByteArray b = writeFile(QStringLiteral("b.dat"), 200);
    startWith(QStringLiteral("a.dat,b.dat"));
    Candidate &first = candidate(QStringLiteral("s1"));
    first.holdAtAnnouncement = 2;
    first.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return first.held(); }));

    // The first candidate is between its papers: a newcomer still starts at the first paper.
    Candidate &second = candidate(QStringLiteral("s2"));
    second.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return !second.announcements.isEmpty(); }));
    EXPECT_EQ(second.announcements.first(), QStringLiteral("a.dat,100"));

    first.release();
    ASSERT_TRUE(waitFor([&] { return first.finished && second.finished; }));
    EXPECT_EQ(first.papers.value(1), b);
    EXPECT_EQ(second.announcements, (QStringList { QStringLiteral("a.dat,100"), QStringLiteral("b.dat,200") }));
    EXPECT_EQ(second.papers.value(1), b);
}

TEST_F(ServerTest, RefusesASecondLoginWithTheSameIdWithoutDisturbingTheFirst)
{
    const QByteArray paper = writeFile(QStringLiteral("big.dat"), 200000);
    startWith(QStringLiteral("big.dat"));
    Candidate &first = candidate(QStringLiteral("same"));
    first.holdRequest = true;
    first.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return first.held(); }));
    Candidate &again = candidate(QStringLiteral("same  "));
    again.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return again.duplicate; }));
    first.release();
    ASSERT_TRUE(waitFor([&] { return first.finished; }));
    EXPECT_EQ(first.papers.value(0), paper);
    EXPECT_TRUE(again.papers.isEmpty());

    // Finished or not, the ID cannot fetch again in this run; it can still submit.
    Candidate &late = candidate(QStringLiteral("same"));
    late.fetch(server().messagePort());
    Candidate &result = candidate(QStringLiteral("same"));
    result.submit(server().messagePort(), QStringLiteral("0011"));
    ASSERT_TRUE(waitFor([&] { return late.duplicate && result.finished; }));
}

TEST_F(ServerTest, AnIdAllowedAgainFetchesOnceMoreAndTheLogSaysSo)
{
    const QByteArray paper = writeFile(QStringLiteral("p.dat"), 3000);
    startWith(QStringLiteral("p.dat"));
    Candidate &first = candidate(QStringLiteral("failed"));
    first.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return first.finished; }));

    EXPECT_FALSE(server().allowAgain(QStringLiteral("nobody")));
    EXPECT_TRUE(server().allowAgain(QStringLiteral("failed")));
    EXPECT_FALSE(server().allowAgain(QStringLiteral("failed"))) << "allowed already, not logged in again yet";
    EXPECT_EQ(logTexts().filter(QStringLiteral("Allowed")), QStringList { QStringLiteral(" Allowed to log in again:failed") });
    // The file takes a turn's lines as the loop turns.
    EXPECT_TRUE(waitFor([&] { return report::reportEntries(path(QStringLiteral("2026-12-6.log"))) == logTexts(); }));

    Candidate &again = candidate(QStringLiteral("failed"));
    again.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return again.finished; }));
    EXPECT_EQ(again.papers.value(0), paper);
    Candidate &third = candidate(QStringLiteral("failed"));
    third.fetch(server().messagePort());
    EXPECT_TRUE(waitFor([&] { return third.duplicate; })) << "once more, not for ever";
}

// A candidate whose client or workstation was restarted logs in again to take its test up.
TEST_F(ServerTest, AnIdWithItsPaperLogsInAgainOnlyFromItsWorkstationAndOnlyBeforeItsResult)
{
    const QByteArray paper = writeFile(QStringLiteral("p.dat"), 3000);
    const QString own = QStringLiteral("127.0.0.1");
    const QString other = QStringLiteral("127.0.0.2");
    struct Row {
        std::optional<QString> resume; // the setting; none when setting.ini leaves it out
        QString firstFrom;
        QString againFrom;
        bool submitted;                // a result came before the second login
        bool allowed;                  // Allow Again before the second login
        bool resumes;
    };
    const Row rows[] = {
        { std::nullopt, own, own, false, false, true },
        { QStringLiteral("1"), other, other, false, false, true },
        { std::nullopt, own, other, false, false, false },
        { std::nullopt, own, own, true, false, false },
        { QStringLiteral("0"), own, own, false, false, false },
        { std::nullopt, own, other, false, true, true }, // Allow Again moves it to another workstation
    };
    int n = 0;
    for (const Row &row : rows) {
        const QString id = QStringLiteral("w%1").arg(++n);
        SCOPED_TRACE(id.toStdString());
        m_resume = row.resume;
        startWith(QStringLiteral("p.dat"));
        Candidate &first = candidate(id);
        first.from = QHostAddress(row.firstFrom);
        first.fetch(server().messagePort());
        ASSERT_TRUE(waitFor([&] { return first.finished; }));
        if (row.submitted) {
            Candidate &result = candidate(id + u' ');
            result.submit(server().messagePort(), QStringLiteral("0011"));
            ASSERT_TRUE(waitFor([&] { return result.finished; }));
        }
        if (row.allowed) {
            ASSERT_TRUE(server().allowAgain(id));
        }
        Candidate &again = candidate(id);
        again.from = QHostAddress(row.againFrom);
        again.fetch(server().messagePort());
        ASSERT_TRUE(waitFor([&] { return again.finished || again.duplicate; }));
        EXPECT_EQ(again.finished, row.resumes);
        EXPECT_EQ(again.papers.value(0), row.resumes ? paper : QByteArray());
        EXPECT_EQ(logTexts().contains(QStringLiteral(" Resumed login:") + id), row.resumes && !row.allowed);
    }
}

TEST_F(ServerTest, QueuedCandidatesAreServedOneAfterAnother)
{
    const QByteArray paper = writeFile(QStringLiteral("q.dat"), 150000);
    startWith(QStringLiteral("q.dat"));
    std::vector<Candidate *> cs;
    for (const char *id : { "q1", "q2", "q3", "q4" }) {
        cs.push_back(&candidate(QString::fromLatin1(id)));
        cs.back()->holdRequest = cs.size() == 1;
        cs.back()->fetch(server().messagePort());
    }
    // Three wait behind the first, who has the file connection but asks for nothing yet.
    ASSERT_TRUE(waitFor([&] { return server().waitingCount() == 3 && cs[0]->held(); }));
    cs[0]->release();
    ASSERT_TRUE(waitFor([&] { return allFinished(cs); }));
    for (Candidate *c : cs)
        EXPECT_EQ(c->papers.value(0), paper) << c->id.toStdString();
    EXPECT_EQ(server().waitingCount(), 0);
    EXPECT_EQ(server().loginCount(), 4);
}

TEST_F(ServerTest, SeveralTransfersRunAtOnceEachWithItsOwnListAndTheQueueInOrder)
{
    m_transfers = QStringLiteral("3");
    const QList<QByteArray> list { writeFile(QStringLiteral("a.dat"), 70000), writeFile(QStringLiteral("b.dat"), 1000),
                                   writeFile(QStringLiteral("c.dat"), 150000) };
    startWith(QStringLiteral("a.dat,b.dat,c.dat"));
    std::vector<Candidate *> cs;
    for (const char *id : { "between", "held1", "held2", "queued1", "queued2" }) {
        cs.push_back(&candidate(QString::fromLatin1(id)));
        cs.back()->holdAtAnnouncement = cs.size() == 1 ? 2 : 0;
        cs.back()->holdRequest = cs.size() > 1;
        cs.back()->fetch(server().messagePort());
        // Each logs in after the one before, so that the queue's order is known.
        ASSERT_TRUE(waitFor([&] { return cs.back()->held() || server().waitingCount() == int(cs.size()) - 3; }));
    }
    // Three hold a file connection at once, one of them between its papers; two wait.
    EXPECT_EQ(cs[0]->papers.size(), 1);
    EXPECT_TRUE(cs[1]->held() && cs[2]->held());
    EXPECT_EQ(server().waitingCount(), 2);

    // One takes its whole list while the others' transfers stay open; its place goes to the
    // first in the queue, and the second still waits.
    cs[1]->release();
    ASSERT_TRUE(waitFor([&] { return cs[1]->finished && cs[3]->held(); }));
    EXPECT_FALSE(cs[4]->held());
    EXPECT_EQ(server().waitingCount(), 1);

    for (Candidate *c : { cs[0], cs[2], cs[3] })
        c->release();
    ASSERT_TRUE(waitFor([&] { return cs[4]->held(); }));
    cs[4]->release();
    ASSERT_TRUE(waitFor([&] { return allFinished(cs); }));
    for (Candidate *c : cs)
        EXPECT_EQ(c->papers, list) << c->id.toStdString();
    EXPECT_EQ(logTexts().filter(QStringLiteral("Send to IP")).size(), 15);
    EXPECT_FALSE(server().isTransferring());
}

TEST_F(ServerTest, AStalledTransferGivesUpItsPlaceSoonAndIsGivenUpAtTheStallTime)
{
    // Even one paper at a time: the queue waits the quiet time, not the stall time.
    m_stall = std::chrono::milliseconds(4000);
    m_quiet = std::chrono::milliseconds(300);
    // All of it taken by this side's system at once, and more than the stalled workstation's
    // system takes: handed over whole is not yet received.
    const QByteArray paper = writeFile(QStringLiteral("p.dat"), 64 * 1024);
    startWith(QStringLiteral("p.dat"));
    const struct {
        const char *id;
        Candidate::Misbehaviour misbehaviour;
    } stalls[] = { { "never-asks", Candidate::Misbehaviour::NeverRequest },
                   { "never-reads", Candidate::Misbehaviour::NeverReads } };
    for (const auto &row : stalls) {
        SCOPED_TRACE(row.id);
        const QString id = QString::fromLatin1(row.id);
        Candidate &stuck = candidate(id);
        stuck.misbehaviour = row.misbehaviour;
        stuck.fetch(server().messagePort());
        ASSERT_TRUE(waitFor([&] { return server().isTransferring(); }));
        QElapsedTimer clock;
        clock.start();
        Candidate &next = candidate(id + QStringLiteral("-next"));
        next.fetch(server().messagePort());
        ASSERT_TRUE(waitFor([&] { return next.finished; }));
        EXPECT_LT(clock.elapsed(), 3000);
        EXPECT_EQ(next.papers.value(0), paper);
        // The stalled one keeps its connection meanwhile, and its ID is freed when it is given up.
        EXPECT_TRUE(stuck.connected());
        EXPECT_TRUE(server().isLoggedIn(id));
        ASSERT_TRUE(waitFor([&] { return stuck.closedByServer; }));
        EXPECT_FALSE(server().isLoggedIn(id));
        EXPECT_FALSE(server().isTransferring());
    }
    EXPECT_EQ(logTexts().filter(QStringLiteral("sock errorNum:5 des:no progress for 4 s")).size(), 2);
}

class PaperSizes : public ServerTest, public ::testing::WithParamInterface<std::pair<int, QList<qint64>>>
{
};

TEST_P(PaperSizes, ArrivesWholeInPiecesOfAtMost65535Bytes)
{
    const auto &[size, pieces] = GetParam();
    const QByteArray paper = writeFile(QStringLiteral("sized.dat"), size);
    startWith(QStringLiteral("sized.dat"));
    QList<qint64> sent;
    QObject::connect(&server(), &Server::paperPieceSent, [&](qint64 n) { sent.append(n); });
    Candidate &c = candidate(QStringLiteral("sz"));
    c.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return c.finished; }));
    EXPECT_EQ(sent, pieces);
    EXPECT_EQ(c.papers.value(0), paper);
}

INSTANTIATE_TEST_SUITE_P(Edges, PaperSizes,
                         ::testing::Values(std::pair { 1, QList<qint64> { 1 } },
                                           std::pair { 65535, QList<qint64> { 65535 } },
                                           std::pair { 65536, QList<qint64> { 65535, 1 } },
                                           std::pair { 131070, QList<qint64> { 65535, 65535 } },
                                           std::pair { 200000, QList<qint64> { 65535, 65535, 65535, 3395 } }));

TEST_F(ServerTest, ASilentClientHoldsNothingUpAndFreesItsSocketWhenItCloses)
{
    writeFile(QStringLiteral("p.dat"), 500);
    startWith(QStringLiteral("p.dat"));
    Candidate &silent = candidate(QStringLiteral("quiet"));
    silent.misbehaviour = Candidate::Misbehaviour::Silent;
    silent.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return !silent.announcements.isEmpty(); }));
    EXPECT_EQ(silent.announcements.first(), QStringLiteral("p.dat,500"));
    EXPECT_EQ(server().listenerIndex(), 2); // accepted on 1, the next one listens

    Candidate &other = candidate(QStringLiteral("busy"));
    other.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return other.finished && server().freeSockets().contains(2); }));

    silent.drop();
    ASSERT_TRUE(waitFor([&] { return server().freeSockets() == QList<qint16> { 2, 1 }; }));
    // Freed indices are reused first in, first out, each after the following connection.
    Candidate &next = candidate(QStringLiteral("next"));
    next.misbehaviour = Candidate::Misbehaviour::Silent;
    next.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return !next.announcements.isEmpty(); }));
    EXPECT_EQ(server().listenerIndex(), 2);
    EXPECT_EQ(server().freeSockets(), QList<qint16> { 1 });
    EXPECT_EQ(server().highestIndex(), 3);
}

TEST_F(ServerTest, AClientVanishingMidTransferDoesNotBlockTheQueue)
{
    const QByteArray paper = writeFile(QStringLiteral("big.dat"), 200000);
    startWith(QStringLiteral("big.dat"));
    Candidate &gone = candidate(QStringLiteral("gone"));
    gone.misbehaviour = Candidate::Misbehaviour::VanishMidFile;
    gone.holdRequest = true;
    gone.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return gone.held(); }));
    Candidate &waiting = candidate(QStringLiteral("waiting"));
    waiting.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return server().waitingCount() == 1; }));
    gone.release();
    ASSERT_TRUE(waitFor([&] { return waiting.finished; }));
    EXPECT_FALSE(gone.current.isEmpty());
    EXPECT_TRUE(gone.papers.isEmpty());
    EXPECT_EQ(waiting.papers.value(0), paper);
    EXPECT_FALSE(server().isTransferring());
}

TEST_F(ServerTest, AStalledTransferIsGivenUpAndTheQueueMovesOn)
{
    // Long enough that the candidate served next is never given up on a busy machine.
    m_stall = std::chrono::milliseconds(2000);
    writeFile(QStringLiteral("p.dat"), 1000);
    startWith(QStringLiteral("p.dat"));
    Candidate &stuck = candidate(QStringLiteral("stuck"));
    stuck.misbehaviour = Candidate::Misbehaviour::NeverRequest;
    stuck.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return server().isTransferring(); }));
    Candidate &next = candidate(QStringLiteral("next"));
    next.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return next.finished; }));
    EXPECT_EQ(logTexts().filter(QStringLiteral("sock errorNum:5 des:no progress for 2 s")).size(), 1);
    EXPECT_TRUE(stuck.papers.isEmpty());
}

TEST_F(ServerTest, AStalledTransferIsGivenUpHoweverOftenTheFileIsAskedFor)
{
    // Asking again, by the stalled candidate or by anyone, is no progress: the queue moves on.
    m_stall = std::chrono::milliseconds(1500);
    const QByteArray paper = writeFile(QStringLiteral("big.dat"), 1 << 20);
    startWith(QStringLiteral("big.dat"));
    // Connections to this port are completed by the system and never read.
    const int deaf = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    ASSERT_EQ(::bind(deaf, reinterpret_cast<sockaddr *>(&a), size), 0);
    ASSERT_EQ(::listen(deaf, 4), 0);
    ::getsockname(deaf, reinterpret_cast<sockaddr *>(&a), &size);
    const QByteArray login = "infd" + idField(QStringLiteral("stalled")) + QByteArray::number(ntohs(a.sin_port));

    QTcpSocket stalled, nagger;
    stalled.connectToHost(QHostAddress::LocalHost, server().messagePort());
    nagger.connectToHost(QHostAddress::LocalHost, server().messagePort());
    ASSERT_TRUE(waitFor([&] { return stalled.bytesAvailable() > 0 && nagger.bytesAvailable() > 0; }));
    stalled.write(login);
    QTimer nag;
    QObject::connect(&nag, &QTimer::timeout, [&] {
        nagger.write("rqsF");
        stalled.write(login);
    });
    nag.start(200);
    Candidate &next = candidate(QStringLiteral("next"));
    next.fetch(server().messagePort());
    EXPECT_TRUE(waitFor([&] { return next.finished; }, 20000));
    EXPECT_EQ(next.papers.value(0), paper);
    EXPECT_EQ(logTexts().filter(QStringLiteral("des:no progress for 1.5 s")).size(), 1);
    ::close(deaf);
}

TEST_F(ServerTest, APaperIsSentOnceHoweverOftenItIsAskedFor)
{
    const QByteArray paper = writeFile(QStringLiteral("big.dat"), 200000);
    startWith(QStringLiteral("big.dat"));
    QTcpServer files;
    ASSERT_TRUE(files.listen(QHostAddress::LocalHost, 0));
    QTcpSocket msg;
    QByteArray told, received;
    QObject::connect(&msg, &QTcpSocket::readyRead, [&] { told += msg.readAll(); });
    msg.connectToHost(QHostAddress::LocalHost, server().messagePort());
    ASSERT_TRUE(waitFor([&] { return told == "fINFbig.dat,200000"; }));
    msg.write("infd" + idField(QStringLiteral("twice")) + QByteArray::number(files.serverPort()));
    ASSERT_TRUE(waitFor([&] { return files.hasPendingConnections(); }));
    QTcpSocket *file = files.nextPendingConnection();
    QObject::connect(file, &QTcpSocket::readyRead, [&] { received += file->readAll(); });
    msg.write("rqsFrqsF");
    ASSERT_TRUE(waitFor([&] { return received.size() >= paper.size(); }));
    msg.write("overbig.dat");
    ASSERT_TRUE(waitFor([&] { return told.endsWith("finx") && file->state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(received, paper);
}

TEST_F(ServerTest, APaperChangedOrGoneSinceTheStartIsReportedAndTheNextCandidateServedAtOnce)
{
    const QByteArray paper = writeFile(QStringLiteral("p.dat"), 100);
    startWith(QStringLiteral("p.dat"));
    Candidate *first = &candidate(QStringLiteral("c0"));
    first->holdRequest = true;
    first->fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return first->held(); }));
    for (const qsizetype size : { 150, -1 }) {
        SCOPED_TRACE(size);
        Candidate &next = candidate(QStringLiteral("c%1").arg(size));
        next.holdRequest = true;
        next.fetch(server().messagePort());
        ASSERT_TRUE(waitFor([&] { return server().waitingCount() == 1; }));
        if (size < 0)
            QFile::remove(path(QStringLiteral("p.dat")));
        else
            writeFile(QStringLiteral("p.dat"), size);
        first->release();
        // Well within the stall time, which would otherwise be the first to end the transfer.
        ASSERT_TRUE(waitFor([&] { return next.held(); }));
        EXPECT_TRUE(first->current.isEmpty());
        EXPECT_TRUE(waitFor([&] { return first->closedByServer; })); // its client sees the fetch fail
        first = &next;
    }
    writeFile(QStringLiteral("p.dat"), 100);
    first->release();
    ASSERT_TRUE(waitFor([&] { return first->finished; }));
    EXPECT_EQ(first->papers.value(0), paper);
    EXPECT_EQ(logTexts().filter(QRegularExpression(QStringLiteral("^sock errorNum:-1 des:.*p\\.dat "))).size(), 2);
}

TEST_F(ServerTest, TheReportHoldsExactlyTheSubmittedEntries)
{
    writeFile(QStringLiteral("p.dat"), 10);
    startWith(QStringLiteral("p.dat"));
    const clsEncryptXOR cipher;
    const QString results[] = { cipher.HexEncrypt(QStringLiteral("87:p.dat:125")),
                                cipher.HexEncrypt(QStringLiteral("90:p.dat:59")),
                                cipher.HexEncrypt(QStringLiteral("60:p.dat:60")) };
    std::vector<Candidate *> cs;
    for (int i = 0; i < 3; ++i) {
        cs.push_back(&candidate(QStringLiteral("r%1").arg(i)));
        cs.back()->submit(server().messagePort(), results[i]);
    }
    ASSERT_TRUE(waitFor([&] { return allFinished(cs); }));
    QStringList entries = reportEntries();
    entries.sort();
    EXPECT_EQ(entries, (QStringList { QStringLiteral("127.0.0.1:r0:") + results[0],
                                      QStringLiteral("127.0.0.1:r1:") + results[1],
                                      QStringLiteral("127.0.0.1:r2:") + results[2] }));
    EXPECT_EQ(logTexts().filter(QStringLiteral(" Submit by IP:127.0.0.1:")).size(), 3);
    const QString report = server().recordFilePath(QStringLiteral("2026-12-6.rpt"));
    const QStringList rows = centrum::reportText(report::reportEntries(report), server().texts()).split(QStringLiteral("\r\n"));
    EXPECT_EQ(rows.size(), 5); // the header, three rows, and nothing after the last line end
    EXPECT_TRUE(rows.contains(QStringLiteral("r0          \t87          \t2:5         \tp.dat       \t127.0.0.1   ")));
    // Submitting needs no login, and a result is never tied to the fetch list.
    EXPECT_EQ(server().loginCount(), 0);
}

TEST_F(ServerTest, ResultsArrivingTogetherAreEachConfirmedOnlyOnceStored)
{
    writeFile(QStringLiteral("p.dat"), 10);
    startWith(QStringLiteral("p.dat"));
    const clsEncryptXOR cipher;
    std::vector<Candidate *> cs;
    for (int i = 0; i < 12; ++i) {
        cs.push_back(&candidate(QStringLiteral("t%1").arg(i)));
        cs.back()->submit(server().messagePort(), cipher.HexEncrypt(QStringLiteral("%1:p.dat:9").arg(i)));
    }
    // One leaves as soon as it has sent its result: the others are still confirmed.
    Candidate &leaving = candidate(QStringLiteral("leaver"));
    const QString leavingResult = cipher.HexEncrypt(QStringLiteral("1:p.dat:1"));
    leaving.submit(server().messagePort(), leavingResult);
    // Gone once the server has its result, before the confirmation: dropped any earlier, the
    // result could still be in the candidate's own send buffer and never leave it.
    ASSERT_TRUE(waitFor([&] { return logTexts().filter(QStringLiteral("Submit by IP")).size() == 13; }));
    leaving.drop();
    // Whenever a candidate holds its confirmation, its result is in the file already.
    ASSERT_TRUE(waitFor([&] {
        const QStringList stored = reportEntries();
        for (int i = 0; i < 12; ++i) {
            const QString entry = QStringLiteral("127.0.0.1:t%1:").arg(i) + cipher.HexEncrypt(QStringLiteral("%1:p.dat:9").arg(i));
            if (cs[i]->finished && !stored.contains(entry))
                ADD_FAILURE() << "confirmed before stored: " << entry.toStdString();
        }
        return allFinished(cs);
    }));
    // What reached the server before its sender left is kept all the same.
    ASSERT_TRUE(waitFor([&] { return reportEntries().contains(QStringLiteral("127.0.0.1:leaver:") + leavingResult); }));
    EXPECT_EQ(reportEntries().size(), 13);
}

TEST_F(ServerTest, ResultsComingWhileTheReportIsWrittenAreStoredAfterItAndKeptAtAStop)
{
    // The disk is slow: each write of the report waits until the test lets it go on.
    std::mutex lock;
    std::condition_variable changed;
    int writesHeld = 0;
    bool goOn = false;
    m_beforeReportWrite = [&] {
        std::unique_lock<std::mutex> hold(lock);
        ++writesHeld;
        changed.notify_all();
        changed.wait(hold, [&] { return goOn; });
    };
    const auto letWritesGoOn = [&] {
        std::lock_guard<std::mutex> hold(lock);
        goOn = true;
        changed.notify_all();
    };
    const auto held = [&] {
        std::lock_guard<std::mutex> hold(lock);
        return writesHeld;
    };
    writeFile(QStringLiteral("p.dat"), 10);
    const clsEncryptXOR cipher;
    const auto resultOf = [&](int i) { return cipher.HexEncrypt(QStringLiteral("%1:p.dat:9").arg(i)); };
    const auto entryOf = [&](int i) { return QStringLiteral("127.0.0.1:w%1:").arg(i) + resultOf(i); };

    for (const bool stop : { false, true }) {
        SCOPED_TRACE(stop);
        m_server.reset();
        QFile::remove(path(QStringLiteral("2026-12-6.rpt")));
        m_log.clear();
        writesHeld = 0;
        goOn = false;
        startWith(QStringLiteral("p.dat"));
        const int first = stop ? 10 : 0;
        std::vector<Candidate *> cs;
        cs.push_back(&candidate(QStringLiteral("w%1").arg(first)));
        cs.back()->submit(server().messagePort(), resultOf(first));
        ASSERT_TRUE(waitFor([&] { return held() == 1; }));
        // The server goes on while the disk is busy: more results come, and their grouping
        // time passes, but none is confirmed before it is stored.
        for (int i = first + 1; i < first + 4; ++i) {
            cs.push_back(&candidate(QStringLiteral("w%1").arg(i)));
            cs.back()->submit(server().messagePort(), resultOf(i));
        }
        ASSERT_TRUE(waitFor([&] { return logTexts().filter(QStringLiteral("Submit by IP")).size() == 4; }));
        idleFor(50);
        EXPECT_FALSE(std::any_of(cs.begin(), cs.end(), [](const Candidate *c) { return c->finished; }));
        EXPECT_EQ(held(), 1);
        letWritesGoOn();
        if (stop) {
            m_server.reset(); // at once: the write under way and the results after it are kept
        } else {
            ASSERT_TRUE(waitFor([&] { return allFinished(cs); }));
            EXPECT_EQ(held(), 2); // those that came during the first write share the next
        }
        EXPECT_EQ(reportEntries(), (QStringList { entryOf(first), entryOf(first + 1), entryOf(first + 2), entryOf(first + 3) }));
    }
}

TEST_F(ServerTest, AnOversizedMessageClosesItsConnectionOnly)
{
    writeFile(QStringLiteral("p.dat"), 10);
    startWith(QStringLiteral("p.dat"));
    QTcpSocket flood;
    flood.connectToHost(QHostAddress::LocalHost, server().messagePort());
    ASSERT_TRUE(waitFor([&] { return flood.state() == QAbstractSocket::ConnectedState; }));
    // Never a whole character at its end, so no piece of it reads as a whole message.
    QByteArray big = "rprt" + idField(QStringLiteral("flood"));
    while (big.size() <= wire::plainMessageBytes + 6000)
        big += "\xE4\xB8";
    flood.write(big);
    ASSERT_TRUE(waitFor([&] { return flood.state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(logTexts().filter(QStringLiteral("message longer than 64 KiB")).size(), 1);
    Candidate &c = candidate(QStringLiteral("after"));
    c.fetch(server().messagePort());
    EXPECT_TRUE(waitFor([&] { return c.finished; }));
}

TEST_F(ServerTest, AMessageSplitAcrossArrivalsIsReadWhole)
{
    writeFile(QStringLiteral("p.dat"), 10);
    startWith(QStringLiteral("p.dat"));
    const QString result = clsEncryptXOR().HexEncrypt(QStringLiteral("5:p.dat:7"));
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, server().messagePort());
    ASSERT_TRUE(waitFor([&] { return s.bytesAvailable() > 0; }));
    s.readAll();
    const QByteArray message = "rprt" + idField(QStringLiteral("split")) + result.toUtf8();
    s.write(message.left(10));
    s.flush();
    idleFor(100);
    s.write(message.mid(10, 7));
    s.flush();
    idleFor(100);
    s.write(message.mid(17));
    ASSERT_TRUE(waitFor([&] { return s.bytesAvailable() > 0; }));
    EXPECT_EQ(s.readAll(), QByteArray("finx"));
    EXPECT_EQ(reportEntries(), QStringList { QStringLiteral("127.0.0.1:split:") + result });
}

TEST_F(ServerTest, AResultThatCannotBeStoredIsNotConfirmed)
{
    writeFile(QStringLiteral("p.dat"), 10);
    startWith(QStringLiteral("p.dat"));
    ASSERT_TRUE(QDir(folder()).mkdir(QStringLiteral("2026-12-6.rpt"))); // in the way of the day's report
    Candidate &c = candidate(QStringLiteral("lost"));
    c.submit(server().messagePort(), clsEncryptXOR().HexEncrypt(QStringLiteral("1:p.dat:2")));
    ASSERT_TRUE(waitFor([&] { return c.closedByServer; }));
    EXPECT_FALSE(c.finished);
    EXPECT_EQ(logTexts().filter(QRegularExpression(QStringLiteral("^sock\\d+ errorNum:-1 des:"))).size(), 1);
    EXPECT_EQ(server().recordFiles(false), QStringList { QStringLiteral("2026-12-6.log") });
}
