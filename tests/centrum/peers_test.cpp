// The service against broken and hostile peers: failed transfers, stalls, floods and what is logged.
#include "tests/centrum/serverfixture.h"

#include "common/clsencryptxor.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

namespace {

// A candidate on bare sockets, for what no real client would send.
struct RawCandidate {
    QTcpSocket msg;
    QTcpServer files;
    QPointer<QTcpSocket> file;
    QByteArray told;
    QByteArray received;

    void open(quint16 port, const QHostAddress &server = QHostAddress::LocalHost)
    {
        files.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&msg, &QTcpSocket::readyRead, [this] { told += msg.readAll(); });
        msg.connectToHost(server, port);
    }
    QByteArray login(const QString &id) const { return "infd" + idField(id) + QByteArray::number(files.serverPort()); }
    bool greeted() const { return told.startsWith("fINF"); }
    bool fileConnected()
    {
        if (!file && files.hasPendingConnections()) {
            file = files.nextPendingConnection();
            QObject::connect(file, &QTcpSocket::readyRead, [this] { received += file->readAll(); });
        }
        return file;
    }
    bool closed() const { return msg.state() == QAbstractSocket::UnconnectedState; }
    // Closes with a reset rather than an orderly close.
    void reset()
    {
        const linger now { 1, 0 };
        ::setsockopt(int(msg.socketDescriptor()), SOL_SOCKET, SO_LINGER, &now, sizeof now);
        msg.abort();
    }
};

// A workstation that resets every file connection the moment it has accepted it, and goes on
// listening. It accepts on a thread of its own while this process is held back from seeing the
// connection made, so that every reset comes first.
class ResettingWorkstation : public QObject
{
public:
    ResettingWorkstation()
    {
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        ::bind(m_fd, reinterpret_cast<sockaddr *>(&a), size);
        ::listen(m_fd, 16);
        ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&a), &size);
        port = ntohs(a.sin_port);
        m_thread = std::thread([this] {
            for (int c; (c = ::accept(m_fd, nullptr, nullptr)) >= 0; ++resets) {
                const linger now { 1, 0 };
                ::setsockopt(c, SOL_SOCKET, SO_LINGER, &now, sizeof now);
                ::close(c);
            }
        });
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~ResettingWorkstation() override
    {
        QCoreApplication::instance()->removeEventFilter(this);
        ::shutdown(m_fd, SHUT_RDWR); // ends the waiting accept
        m_thread.join();
        ::close(m_fd);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // A socket turning writable tells that its connection is made: not before it is reset.
        auto *n = qobject_cast<QSocketNotifier *>(watched);
        if (event->type() == QEvent::SockAct && n && n->type() == QSocketNotifier::Write) {
            const QDeadlineTimer deadline(2000);
            while (connectedHere(int(n->socket())) && !deadline.hasExpired())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

    quint16 port = 0;
    std::atomic<int> resets { 0 };

private:
    bool connectedHere(int fd) const
    {
        sockaddr_in a {};
        socklen_t size = sizeof a;
        return ::getpeername(fd, reinterpret_cast<sockaddr *>(&a), &size) == 0 && ntohs(a.sin_port) == port;
    }

    int m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    std::thread m_thread;
};

} // namespace

TEST_F(ServerTest, AFailedFetchClosesTheCandidateAndItsIdMayLogInAgain)
{
    const QByteArray paper = writeFile(QStringLiteral("p.dat"), 1000);
    startWith(QStringLiteral("p.dat"));
    Candidate &refused = candidate(QStringLiteral("r1"));
    refused.misbehaviour = Candidate::Misbehaviour::RefusesFile;
    refused.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return refused.closedByServer; }));
    EXPECT_EQ(logTexts().filter(QStringLiteral("sock errorNum:0 des:")).size(), 1);

    // A candidate that leaves the queue before its turn leaves its ID free as well.
    Candidate &holder = candidate(QStringLiteral("holder"));
    holder.holdRequest = true;
    holder.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return holder.held(); }));
    Candidate &leaving = candidate(QStringLiteral("r1"));
    leaving.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return server().waitingCount() == 1 || leaving.duplicate; }));
    EXPECT_FALSE(leaving.duplicate);
    leaving.drop();
    ASSERT_TRUE(waitFor([&] { return server().waitingCount() == 0; }));
    Candidate &again = candidate(QStringLiteral("r1"));
    again.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return server().waitingCount() == 1 || again.duplicate; }));
    holder.release();
    ASSERT_TRUE(waitFor([&] { return holder.finished && again.finished; }));
    EXPECT_EQ(again.papers.value(0), paper);

    // Whoever received the whole paper stays logged in.
    Candidate &late = candidate(QStringLiteral("r1"));
    late.fetch(server().messagePort());
    EXPECT_TRUE(waitFor([&] { return late.duplicate; }));
}

TEST_F(ServerTest, AResetIsNoticedAtOnceOnEitherConnection)
{
    writeFile(QStringLiteral("p.dat"), 1000);
    startWith(QStringLiteral("p.dat"));
    const quint16 port = server().messagePort();
    // The file connection: the workstation resets it right after accepting it. The transfer
    // is given up at once, not after the stall time, and the next candidate is served.
    ResettingWorkstation workstation;
    RawCandidate resetting;
    resetting.open(port);
    ASSERT_TRUE(waitFor([&] { return resetting.greeted(); }));
    resetting.msg.write("infd" + idField(QStringLiteral("reset")) + QByteArray::number(workstation.port));
    Candidate &next = candidate(QStringLiteral("next"));
    next.fetch(port);
    ASSERT_TRUE(waitFor([&] { return next.finished && resetting.closed(); }, 5000));
    EXPECT_EQ(workstation.resets, 1) << "dialled once, not again and again";
    EXPECT_EQ(logTexts().filter(QStringLiteral("sock errorNum:1 des:Connection reset by peer")).size(), 1);

    // A message connection reset by its candidate is logged as the error it is, and freed.
    RawCandidate leaving;
    leaving.open(port);
    ASSERT_TRUE(waitFor([&] { return leaving.greeted(); }));
    const qint16 index = server().highestIndex();
    leaving.reset();
    ASSERT_TRUE(waitFor([&] { return server().freeSockets().contains(index); }));
    EXPECT_EQ(logTexts().filter(QStringLiteral("sock%1 errorNum:1 des:Connection reset by peer").arg(index)).size(), 1);
}

TEST_F(ServerTest, ThePaperComesFromTheAddressTheCandidateDialled)
{
    // A workstation takes the paper only from the server it logged in to, on a server with
    // several addresses too.
    const QByteArray paper = writeFile(QStringLiteral("p.dat"), 3000);
    startWith(QStringLiteral("p.dat"));
    const QHostAddress dialled(QStringLiteral("127.0.0.2"));
    RawCandidate c;
    c.open(server().messagePort(), dialled);
    ASSERT_TRUE(waitFor([&] { return c.greeted(); }));
    c.msg.write(c.login(QStringLiteral("two")));
    ASSERT_TRUE(waitFor([&] { return c.fileConnected(); }));
    EXPECT_EQ(c.file->peerAddress().toString(), dialled.toString());
    c.msg.write("rqsF");
    EXPECT_TRUE(waitFor([&] { return c.received == paper; }));
}

TEST_F(ServerTest, AReportIsStoredAsReceivedWhateverItsShape)
{
    m_settle = std::chrono::milliseconds(50);
    writeFile(QStringLiteral("p.dat"), 10);
    startWith(QStringLiteral("p.dat"));
    const QByteArray whole = clsEncryptXOR().HexEncrypt(QStringLiteral("5:p.dat:7")).toUtf8();
    struct Row {
        const char *id;
        QByteArray result;
        bool endsSending; // nothing more can come: taken at once, though its sender cannot be told
    } const rows[] = { { "empty", "", false }, { "odd", "0A1", false }, { "cut", whole.chopped(1), true } };
    RawCandidate cs[std::size(rows)];
    for (RawCandidate &c : cs)
        c.open(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return std::all_of(std::begin(cs), std::end(cs), [](auto &c) { return c.greeted(); }); }));
    QStringList expected;
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        cs[i].msg.write("rprt" + idField(QString::fromLatin1(rows[i].id)) + rows[i].result);
        if (rows[i].endsSending && cs[i].msg.flush())
            ::shutdown(int(cs[i].msg.socketDescriptor()), SHUT_WR);
        expected << QStringLiteral("127.0.0.1:%1:").arg(QLatin1StringView(rows[i].id)) + QString::fromLatin1(rows[i].result);
    }
    ASSERT_TRUE(waitFor([&] { return cs[0].told.endsWith("finx") && cs[1].told.endsWith("finx") && reportEntries().size() == 3; }));
    QStringList entries = reportEntries();
    entries.sort();
    expected.sort();
    EXPECT_EQ(entries, expected);
}

TEST_F(ServerTest, OnlyConnectionsWithoutAWholeMessageAreLetGoAfterTheStallTime)
{
    m_stall = std::chrono::milliseconds(1500); // long enough for the candidate served next on a busy machine
    writeFile(QStringLiteral("p.dat"), 1000);
    startWith(QStringLiteral("p.dat"));
    const quint16 port = server().messagePort();
    // Two hold the file connection in turn without asking for the paper; the third waits
    // in the queue meanwhile, longer than the stall time, and is served all the same.
    Candidate &first = candidate(QStringLiteral("first"));
    first.holdRequest = true;
    first.fetch(port);
    ASSERT_TRUE(waitFor([&] { return first.held(); }));
    Candidate &second = candidate(QStringLiteral("second"));
    second.holdRequest = true;
    second.fetch(port);
    Candidate &third = candidate(QStringLiteral("third"));
    third.fetch(port);

    RawCandidate silent, halfLogin, oddReport, confirmed;
    for (RawCandidate *r : { &silent, &halfLogin, &oddReport, &confirmed })
        r->open(port);
    ASSERT_TRUE(waitFor([&] { return silent.greeted() && halfLogin.greeted() && oddReport.greeted() && confirmed.greeted(); }));
    // A report that never comes whole is taken as it stands once the connection is quiet.
    halfLogin.msg.write("infd" + idField(QStringLiteral("half")));
    oddReport.msg.write("rprt" + idField(QStringLiteral("odd")) + "ABC");
    confirmed.msg.write("rprt" + idField(QStringLiteral("done")) + clsEncryptXOR().HexEncrypt(QStringLiteral("1:p.dat:2")).toUtf8());

    ASSERT_TRUE(waitFor([&] {
        return silent.closed() && halfLogin.closed() && third.finished && first.closedByServer && second.closedByServer;
    }));
    // Idle after a finished exchange is no fault.
    for (RawCandidate *r : { &confirmed, &oddReport }) {
        EXPECT_EQ(r->told, QByteArray("fINFp.dat,1000finx"));
        EXPECT_FALSE(r->closed());
    }
    EXPECT_EQ(logTexts().filter(QRegularExpression(QStringLiteral("^sock\\d+ errorNum:5 des:no whole message for 1.5 s"))).size(), 2);
    EXPECT_EQ(logTexts().filter(QStringLiteral("sock errorNum:5 des:no progress for 1.5 s")).size(), 2);
    // Neither of the two received the paper: each may log in again.
    Candidate &again = candidate(QStringLiteral("first"));
    again.fetch(port);
    EXPECT_TRUE(waitFor([&] { return again.finished; }));
}

TEST_F(ServerTest, TheFileConnectionKeepsNothingSentBackAndAskingAgainDoesNotHoldIt)
{
    m_stall = std::chrono::milliseconds(1500); // long enough for the candidate served next on a busy machine
    const QByteArray paper = writeFile(QStringLiteral("p.dat"), 200000);
    startWith(QStringLiteral("p.dat"));
    RawCandidate holder;
    holder.open(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return holder.greeted(); }));
    const QByteArray login = holder.login(QStringLiteral("holder"));
    holder.msg.write(login);
    ASSERT_TRUE(waitFor([&] { return holder.fileConnected(); }));
    Candidate &next = candidate(QStringLiteral("next"));
    next.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return server().waitingCount() == 1; }));
    holder.msg.write("rqsF");
    ASSERT_TRUE(waitFor([&] { return holder.received.size() == paper.size(); }));

    // Asking again and again, and writing back, for as long as the file connection stays.
    QTimer pestering;
    QObject::connect(&pestering, &QTimer::timeout, [&] {
        holder.msg.write("rqsF");
        holder.msg.write(login);
        if (holder.file->state() == QAbstractSocket::ConnectedState)
            holder.file->write(QByteArray(256 * 1024, 'Z'));
    });
    pestering.start(50);
    qint64 mostUnread = 0;
    ASSERT_TRUE(waitFor([&] {
        mostUnread = std::max(mostUnread, server().fileConnectionUnread());
        return next.finished;
    }));
    pestering.stop();
    EXPECT_LE(mostUnread, 64 * 1024);
    EXPECT_EQ(holder.received, paper);
    EXPECT_EQ(logTexts().filter(QStringLiteral("sock errorNum:5 des:no progress for 1.5 s")).size(), 1);
    // The whole paper went out to it: the ID stays logged in.
    Candidate &again = candidate(QStringLiteral("holder"));
    again.fetch(server().messagePort());
    EXPECT_TRUE(waitFor([&] { return again.duplicate; }));
}

TEST_F(ServerTest, ControlCharactersFromPeersAreShownReplacedInTheLog)
{
    writeFile(QStringLiteral("p.dat"), 100);
    startWith(QStringLiteral("p.dat"));
    RawCandidate c;
    c.open(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return c.greeted(); }));
    c.msg.write(c.login(QStringLiteral("esc")));
    ASSERT_TRUE(waitFor([&] { return c.fileConnected(); }));
    c.msg.write("rqsF");
    ASSERT_TRUE(waitFor([&] { return c.received.size() == 100; }));
    // ESC sequences that would retitle and clear a terminal, BEL, DEL, a C1 control, a tab.
    c.msg.write("over\x1b]0;T\x07\x1b[2J\x7f\xc2\x9b\tx");
    ASSERT_TRUE(waitFor([&] { return c.told.endsWith("finx"); }));
    EXPECT_TRUE(logTexts().last().startsWith(QStringLiteral(u" \uFFFD]0;T\uFFFD\uFFFD[2J\uFFFD\uFFFD\uFFFDx Send to IP:")))
        << logTexts().last().toStdString();
    QFile log(path(QStringLiteral("2026-12-6.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString written = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(written.contains(QStringLiteral(u"\uFFFD[2J")));
    for (const QChar ch : written)
        EXPECT_TRUE(ch == u'\r' || ch == u'\n' || (ch >= u' ' && ch != u'\x7f' && (ch < u'\x80' || ch > u'\x9f')))
            << int(ch.unicode());
}
