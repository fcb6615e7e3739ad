// The download service for browsers: answers, refusals, and its 21 connection slots.
#include "tests/centrum/serverfixture.h"

#include <QDir>

namespace {

// One raw browser connection.
struct Browser {
    QTcpSocket socket;
    QByteArray received;

    void open(quint16 port)
    {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { received += socket.readAll(); });
        socket.connectToHost(QHostAddress::LocalHost, port);
    }
    bool closed() const { return socket.state() == QAbstractSocket::UnconnectedState; }
    QByteArray body() const { return received.mid(received.indexOf("\r\n\r\n") + 4); }
    QByteArray statusLine() const { return received.left(received.indexOf("\r\n")); }
};

} // namespace

class HttpTest : public ServerTest
{
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        m_paper = writeFile(QStringLiteral("sample.dat"), 100000);
        m_index = writeFile(QStringLiteral("index.html"), 300);
        QDir(folder()).mkdir(QStringLiteral("papers"));
        writeFile(QStringLiteral("papers/inner.txt"), 5);
        QFile(path(QStringLiteral("2026-12-6.rpt"))).open(QIODevice::WriteOnly);
    }

    Browser &get(const QByteArray &request)
    {
        m_browsers.push_back(std::make_unique<Browser>());
        Browser &b = *m_browsers.back();
        b.open(server().webPort());
        b.socket.write(request);
        return b;
    }

    QByteArray m_paper;
    QByteArray m_index;
    std::vector<std::unique_ptr<Browser>> m_browsers;
};

TEST_F(HttpTest, AnswersEachRequestWithStatusHeadersAndTheFile)
{
    startWith(QStringLiteral("sample.dat"));
    struct Row {
        QByteArray request;
        QByteArray status;
        QByteArray body;
        QByteArray type;
    };
    const Row rows[] = {
        { "GET / HTTP/1.0\r\n\r\n", "HTTP/1.0 200 OK", m_index, "text/html; charset=utf-8" },
        { "GET /sample.dat HTTP/1.1\r\nHost: x\r\n\r\n", "HTTP/1.0 200 OK", m_paper, "application/octet-stream" },
        { "GET /index.html\r\n", "HTTP/1.0 200 OK", m_index, "text/html; charset=utf-8" },
        { "GET /papers/inner.txt HTTP/1.0\r\n\r\n", "HTTP/1.0 200 OK", "AHOVC", "text/plain; charset=utf-8" },
        { "GET /papers/ HTTP/1.1\r\n\r\n", "HTTP/1.0 404 Not Found", "404 Not Found\n", "text/plain" },
        { "GET /nothing.dat HTTP/1.0\r\n\r\n", "HTTP/1.0 404 Not Found", "404 Not Found\n", "text/plain" },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.request.toStdString());
        Browser &b = get(row.request);
        ASSERT_TRUE(waitFor([&] { return b.closed(); }));
        EXPECT_EQ(b.statusLine(), row.status);
        EXPECT_EQ(b.body(), row.body);
        EXPECT_TRUE(b.received.contains("\r\nContent-Length: " + QByteArray::number(row.body.size()) + "\r\n"));
        EXPECT_TRUE(b.received.contains("\r\nContent-Type: " + row.type + "\r\n"));
    }
    EXPECT_EQ(logTexts().filter(QStringLiteral("127.0.0.1http0 download files ok.")).size(), 4);
}

TEST_F(HttpTest, RefusesPathsLeavingTheFolderAndTheServersOwnRecords)
{
    startWith(QStringLiteral("sample.dat"));
    // Links inside the folder under harmless names lead to the records all the same.
    ASSERT_TRUE(QFile::link(QStringLiteral("setting.ini"), path(QStringLiteral("cfg.txt"))));
    ASSERT_TRUE(QFile::link(QStringLiteral("../2026-12-6.rpt"), path(QStringLiteral("papers/today.txt"))));
    // The examiner's roster, under any name, holds names and seats.
    QFile roster(path(QStringLiteral("class.txt")));
    ASSERT_TRUE(roster.open(QIODevice::WriteOnly) && roster.write("S1\n") == 3);
    roster.close();
    ASSERT_TRUE(server().loadRoster(roster.fileName()));
    ASSERT_TRUE(QFile::link(QStringLiteral("../class.txt"), path(QStringLiteral("papers/list.txt"))));
    for (const QByteArray path : { "/../setting.ini", "/papers/../../etc/passwd", "/%2e%2e/etc/passwd",
                                   "/..%2F..%2Fetc/passwd", "//etc/passwd", "/%2Fetc/passwd",
                                   "/papers\\..\\sample.dat", "/%5c..%5csample.dat", "/setting.ini",
                                   "/2026-12-6.rpt", "/2026-12-6.LOG", "/cfg.txt", "/papers/today.txt",
                                   "/class.txt", "/papers/list.txt" }) {
        SCOPED_TRACE(path.toStdString());
        Browser &b = get("GET " + path + " HTTP/1.0\r\n\r\n");
        ASSERT_TRUE(waitFor([&] { return b.closed(); }));
        EXPECT_EQ(b.statusLine(), QByteArray("HTTP/1.0 403 Forbidden"));
    }
    EXPECT_TRUE(logTexts().filter(QStringLiteral("download files ok.")).isEmpty());
}

TEST_F(HttpTest, ARosterStaysRefusedWhenTheStartThatReadItGoesNoFurther)
{
    QFile roster(path(QStringLiteral("class.txt")));
    ASSERT_TRUE(roster.open(QIODevice::WriteOnly) && roster.write("S1\n") == 3);
    roster.close();
    // The roster reads; the paper is missing, so candidates are not served, browsers are.
    writeSettings(QStringLiteral("missing.dat\nroster=class.txt"));
    const auto r = server().start();
    ASSERT_FALSE(r.messageService);
    ASSERT_TRUE(r.httpService) << r.problem.toStdString();
    Browser &b = get("GET /class.txt HTTP/1.0\r\n\r\n");
    ASSERT_TRUE(waitFor([&] { return b.closed(); }));
    EXPECT_EQ(b.statusLine(), QByteArray("HTTP/1.0 403 Forbidden"));
}

TEST_F(HttpTest, ARequestThatIsNotGetIsClosedUnansweredAndFreesItsSlot)
{
    startWith(QStringLiteral("sample.dat"));
    Browser &head = get("HEAD / HTTP/1.0\r\n\r\n");
    ASSERT_TRUE(waitFor([&] { return head.closed(); }));
    EXPECT_TRUE(head.received.isEmpty());
    Browser &next = get("GET / HTTP/1.0\r\n\r\n");
    ASSERT_TRUE(waitFor([&] { return next.closed(); }));
    // The slot of the unanswered request was free again.
    EXPECT_EQ(logTexts().filter(QStringLiteral("127.0.0.1http0 download files ok.")).size(), 1);
}

TEST_F(HttpTest, TwentyOneBusySlotsLeaveTheNextBrowserWaitingNotLost)
{
    startWith(QStringLiteral("sample.dat"));
    std::vector<std::unique_ptr<Browser>> idle;
    for (int i = 0; i < 21; ++i) {
        idle.push_back(std::make_unique<Browser>());
        idle.back()->open(server().webPort());
    }
    ASSERT_TRUE(waitFor([&] {
        return std::all_of(idle.begin(), idle.end(),
                           [](auto &b) { return b->socket.state() == QAbstractSocket::ConnectedState; });
    }));
    Browser &late = get("GET /sample.dat HTTP/1.0\r\n\r\n");
    idleFor(300);
    EXPECT_TRUE(late.received.isEmpty());
    EXPECT_FALSE(late.closed());

    // A browser that closes first frees its slot for the one waiting.
    idle[5]->socket.close();
    ASSERT_TRUE(waitFor([&] { return late.closed(); }));
    EXPECT_EQ(late.body(), m_paper);
    EXPECT_EQ(logTexts().filter(QStringLiteral("127.0.0.1http5 download files ok.")).size(), 1);
}

TEST_F(HttpTest, ABrowserThatNeverAsksIsClosedAfterTheStallTime)
{
    m_stall = std::chrono::milliseconds(200);
    startWith(QStringLiteral("sample.dat"));
    Browser b;
    b.open(server().webPort());
    EXPECT_TRUE(waitFor([&] { return b.closed(); }, 5000));
}
