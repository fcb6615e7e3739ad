// Candidates among clients that misbehave, and a storm of results to kill the server in.
#include "bench/loadgen/faults.h"

#include "bench/loadgen/exchange.h"
#include "bench/loadgen/measure.h"
#include "bench/loadgen/room.h"
#include "centrum/dayfilewriter.h"
#include "common/clsencryptxor.h"
#include "report/report.h"
#include "wire/wiremessages.h"
#include "wire/wiretags.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include <algorithm>
#include <csignal>
#include <map>
#include <random>
#include <sys/epoll.h>

namespace loadgen {

const char *faultName(Fault f)
{
    static const char *const names[faultKinds] = { "vanish_file", "vanish_message", "stall_file", "stall_message",
                                                   "garbage", "oversize", "storm" };
    return names[int(f)];
}

bool faultNamed(std::string_view name, Fault *f)
{
    for (int k = 0; k < faultKinds; ++k) {
        if (name == faultName(Fault(k))) {
            *f = Fault(k);
            return true;
        }
    }
    return false;
}

namespace {

// The ID field as a candidate sends it, for messages that are whole up to it.
std::string idField(const std::string &id)
{
    return wire::formLoginId(QString::fromStdString(id)).toStdString();
}

} // namespace

std::string garbageMessage(unsigned draw, int client, bool last)
{
    const std::string id = idField("g" + std::to_string(client));
    if (last && draw % 3 != 2) {
        if (draw % 3 == 0)
            return wire::tagReport + id.substr(0, draw / 3 % 12); // cut inside the ID
        // A result whose last character is cut short: never four digits a character.
        const std::string result = resultText(client, "garbage.dat");
        return wire::tagReport + id + result.substr(0, result.size() - 1 - draw / 3 % 3);
    }
    switch (draw % 7) {
    case 0: {
        // Bytes that no tag starts with, some ending inside a character.
        std::string bytes(1 + draw / 7 % 300, '\0');
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = char((draw * 2654435761u + i * 40503u) >> 7);
        bytes[0] = char(0x80 | uint8_t(bytes[0]));
        return bytes;
    }
    case 1:
        return draw / 7 % 2 ? "FINX" + id : "Rqsf hello";
    case 2:
        return wire::tagRequestFile; // from a connection the file is not being sent to
    case 3:
        return wire::tagOver + std::string("paper.dat");
    case 4: {
        // A login whose file port takes no connection.
        static const char *const ports[] = { "1", "0", "abc", "99999" };
        return wire::tagLogin + id + ports[draw / 7 % 4];
    }
    case 5:
        return draw / 7 % 2 ? std::string(wire::tagAnnounce) + "x.dat,10" : std::string(wire::tagFinished);
    default:
        return "GET / HTTP/1.0\r\n\r\n";
    }
}

namespace {

class FaultRoom
{
public:
    FaultRoom(Reactor &reactor, const FaultOptions &options)
        : m_reactor(reactor), m_options(options), m_random(options.seed)
    {
    }

    FaultResult run()
    {
        m_begin = Clock::now();
        m_stopStarting = m_begin + m_options.duration;
        m_reactor.maxWaitMs = 50;
        m_reactor.afterBatch = [this] { tick(); };
        const bool inTime = m_reactor.run([this] { return Clock::now() >= m_stopStarting && m_goodActive == 0; },
                                          m_stopStarting + m_options.drain);
        m_result.rssEndKib = rss();
        m_reactor.afterBatch = nullptr;
        for (auto &c : m_clients) {
            if (!inTime && c->good)
                giveUp(*c, "no end within the time limit (" + state(*c) + ")");
            finish(*c);
        }
        m_clients.clear();
        m_result.seconds = std::chrono::duration<double>(Clock::now() - m_begin).count();
        return std::move(m_result);
    }

private:
    struct Client {
        int number = 0;
        bool good = true;
        Fault fault = Fault::Garbage;
        std::string id;
        std::unique_ptr<CandidateExchange> exchange;
        int listener = -1;
        std::unique_ptr<Connection> msg;
        std::unique_ptr<Connection> file;
        std::vector<std::unique_ptr<Connection>> burst;
        Clock::time_point until;    // a misbehaving client ends by then
        Clock::time_point nextSend; // its next garbage
        int messagesLeft = 0;
        bool greeted = false;
        int64_t fileBytes = 0;
        bool finished = false;
    };

    int64_t rss() const
    {
        if (m_options.serverPid <= 0)
            return -1;
        return residentKib(readProcFile(m_options.serverPid, "status")).value_or(-1);
    }

    unsigned draw() { return unsigned(m_random()); }

    std::chrono::milliseconds between(int lowMs, int highMs)
    {
        return std::chrono::milliseconds(lowMs + int(draw() % unsigned(highMs - lowMs + 1)));
    }

    void tick()
    {
        const Clock::time_point now = Clock::now();
        if (m_result.rssFirstKib < 0 && now >= m_begin + m_options.rssAt)
            m_result.rssFirstKib = rss();
        for (auto &c : m_clients) {
            if (c->finished || c->good)
                continue;
            if (now >= c->until) {
                finish(*c);
                continue;
            }
            if (c->fault == Fault::Garbage && c->greeted && c->messagesLeft > 0 && now >= c->nextSend) {
                --c->messagesLeft;
                c->msg->send(garbageMessage(draw(), c->number, c->messagesLeft == 0));
                c->nextSend = now + between(100, 600);
                if (c->messagesLeft == 0)
                    finish(*c); // the report cut short stays cut short
            }
        }
        // Every handler of a finished client has been dropped with its descriptors.
        std::erase_if(m_clients, [](const std::unique_ptr<Client> &c) { return c->finished; });
        while (now < m_stopStarting && m_goodActive < m_options.concurrency && m_faultyActive < maxFaulty)
            startNext();
    }

    void startNext()
    {
        auto owned = std::make_unique<Client>();
        Client &c = *owned;
        c.number = m_next++;
        c.good = int(draw() % 100) >= m_options.share;
        const unsigned kind = draw();
        c.fault = m_options.kinds.empty() ? Fault(kind % faultKinds) : m_options.kinds[kind % m_options.kinds.size()];
        static const char letters[faultKinds + 1] = "fmsqxot";
        c.id = m_options.idPrefix + (c.good ? 'w' : letters[int(c.fault)]) + std::to_string(c.number);
        m_clients.push_back(std::move(owned));
        if (c.good)
            ++m_goodActive, ++m_result.started;
        else
            ++m_faultyActive, ++m_result.faulty[size_t(c.fault)];
        if (c.good) {
            startCandidate(c);
            return;
        }
        c.until = Clock::now() + between(2000, 5000);
        switch (c.fault) {
        case Fault::VanishFile:
        case Fault::VanishMessage:
            startCandidate(c);
            break;
        case Fault::StallFile:
            c.until = Clock::now() + between(15000, 40000); // beyond the server's patience
            startCandidate(c);
            break;
        case Fault::StallMessage:
            c.until = Clock::now() + between(10000, 40000);
            // Nothing is read: only the server's close (or reset) is noticed.
            if (openMessage(c))
                m_reactor.modify(c.msg->fd(), 0);
            break;
        case Fault::Garbage:
            c.messagesLeft = 2 + int(draw() % 10);
            c.until = Clock::now() + std::chrono::seconds(20);
            openMessage(c);
            break;
        case Fault::Oversize:
            c.until = Clock::now() + std::chrono::seconds(20);
            openMessage(c);
            break;
        case Fault::Storm: {
            const int n = 20 + int(draw() % 41);
            for (int i = 0; i < n; ++i) {
                std::string why;
                const int fd = connectTo(m_options.host, m_options.port, &why);
                if (fd < 0)
                    break;
                if (i % 3 == 0) {
                    ::close(fd); // gone before the server accepts
                    continue;
                }
                c.burst.push_back(std::make_unique<Connection>(m_reactor, fd));
                Connection *conn = c.burst.back().get();
                conn->watch([this, &c, conn] { onBurst(c, *conn); });
            }
            if (c.burst.empty())
                finish(c);
            break;
        }
        }
    }

    void startCandidate(Client &c)
    {
        std::string why;
        c.listener = listenOn(m_options.host, 0, 1, &why);
        if (c.listener < 0) {
            giveUp(c, "file port: " + why);
            return;
        }
        c.exchange = std::make_unique<CandidateExchange>(c.id, localPort(c.listener),
                                                         c.good ? std::string_view(m_options.paper) : std::string_view());
        m_reactor.add(c.listener, EPOLLIN, [this, &c](uint32_t) { onFileConnection(c); });
        openMessage(c);
    }

    bool openMessage(Client &c)
    {
        std::string why;
        const int fd = connectTo(m_options.host, m_options.port, &why);
        if (fd < 0) {
            giveUp(c, "message connection: " + why);
            return false;
        }
        c.msg = std::make_unique<Connection>(m_reactor, fd);
        c.msg->watch([this, &c] { onMessage(c); });
        return true;
    }

    void onBurst(Client &c, Connection &conn)
    {
        char buffer[256];
        if (conn.read(buffer, sizeof buffer) == -1)
            return;
        conn.close();
        if (std::all_of(c.burst.begin(), c.burst.end(), [](const auto &b) { return b->fd() < 0; }))
            finish(c);
    }

    void onMessage(Client &c)
    {
        static char buffer[65536];
        if (!c.good && c.fault == Fault::StallMessage) {
            finish(c); // only a close or a reset gets here
            return;
        }
        const long n = c.msg->read(buffer, sizeof buffer);
        if (n == -1)
            return;
        const std::string_view message(buffer, size_t(std::max(n, 0L)));
        if (c.exchange) {
            const Step step = n > 0 ? c.exchange->onMessage(message) : c.exchange->onMessageClosed();
            if (c.good || step.what == Step::What::Send)
                apply(c, step);
            else if (n <= 0)
                finish(c);
            return;
        }
        if (n <= 0) {
            finish(c); // the server closed a client it had no use for
            return;
        }
        if (c.greeted)
            return;
        c.greeted = true;
        c.nextSend = Clock::now();
        if (c.fault == Fault::Oversize)
            sendOversize(c);
    }

    void sendOversize(Client &c)
    {
        const unsigned kind = draw() % 3;
        std::string big;
        if (kind == 0) {
            // Plain text beyond any message: read as pieces of an unknown message.
            big = "XXXX" + std::string(size_t(wire::maxMessageBytes) * 2 + draw() % 65536, 'x');
            c.msg->onDrained = [this, &c] { finish(c); };
        } else {
            // Never a whole character at its end: the server must refuse it past its limit.
            big = kind == 1 ? wire::tagReport + idField("o" + std::to_string(c.number)) : std::string("zzzz");
            while (big.size() <= size_t(wire::maxMessageBytes) + 16 * 1024)
                big += "\xE4\xB8";
        }
        c.msg->send(big);
    }

    void onFileConnection(Client &c)
    {
        const int fd = acceptFrom(c.listener);
        if (fd < 0)
            return;
        m_reactor.close(c.listener);
        c.listener = -1;
        c.file = std::make_unique<Connection>(m_reactor, fd);
        if (!c.good && c.fault == Fault::StallFile) {
            // Taken and never read: the paper stays in the buffers on the way.
            m_reactor.add(fd, 0, [this, &c](uint32_t) { finish(c); });
        } else {
            c.file->watch([this, &c] { onFileData(c); });
        }
        apply(c, c.exchange->onFileConnected());
    }

    void onFileData(Client &c)
    {
        static char buffer[1 << 18];
        size_t want = sizeof buffer;
        const int64_t half = c.exchange->announced() / 2;
        if (!c.good && c.exchange->announced() > 1)
            want = size_t(std::clamp<int64_t>(half - c.fileBytes, 1, int64_t(sizeof buffer)));
        const long n = c.file->read(buffer, want);
        if (n == -1)
            return;
        if (!c.good) {
            c.fileBytes += std::max(n, 0L);
            if (n <= 0)
                finish(c);
            else if (c.fileBytes >= half && c.fault == Fault::VanishFile)
                c.file->close(); // the message connection stays until the server or time ends it
            else if (c.fileBytes >= half && c.fault == Fault::VanishMessage)
                c.msg->close();
            return;
        }
        if (n > 0) {
            apply(c, c.exchange->onFileData(std::string_view(buffer, size_t(n))));
            return;
        }
        c.file->close();
        apply(c, c.exchange->onFileClosed());
    }

    void apply(Client &c, const Step &step)
    {
        switch (step.what) {
        case Step::What::Nothing:
            break;
        case Step::What::PaperReceived:
        case Step::What::Send:
            c.msg->send(step.bytes);
            break;
        case Step::What::Fetched: {
            c.msg->close();
            if (c.file)
                c.file->close();
            c.exchange->beginSubmit(resultText(c.number, c.exchange->paperName()));
            openMessage(c);
            break;
        }
        case Step::What::Submitted:
            m_result.acknowledged.append(entryOf(m_options.host, c.id, resultText(c.number, c.exchange->paperName())));
            ++m_result.served;
            finish(c);
            break;
        case Step::What::Failed:
            giveUp(c, step.why);
            break;
        }
    }

    static std::string state(const Client &c)
    {
        if (!c.exchange)
            return "not started";
        const CandidateExchange &e = *c.exchange;
        if (e.phase() == CandidateExchange::Phase::Submit)
            return "waiting for the confirmation of the result";
        if (e.announced() < 0)
            return "waiting for the announcement";
        return "fetch, " + std::to_string(e.received()) + " of " + std::to_string(e.announced()) + " bytes";
    }

    void giveUp(Client &c, const std::string &why)
    {
        if (c.finished)
            return;
        if (c.good)
            noteFailure(m_result.failures, c.id + ": " + why);
        finish(c);
    }

    void finish(Client &c)
    {
        if (c.finished)
            return;
        c.finished = true;
        if (c.listener >= 0)
            m_reactor.close(c.listener);
        c.listener = -1;
        if (c.msg)
            c.msg->close();
        if (c.file)
            c.file->close();
        for (auto &b : c.burst)
            b->close();
        if (c.good)
            --m_goodActive;
        else
            --m_faultyActive;
    }

    static constexpr int maxFaulty = 400;

    Reactor &m_reactor;
    const FaultOptions &m_options;
    std::mt19937 m_random;
    std::vector<std::unique_ptr<Client>> m_clients;
    Clock::time_point m_begin;
    Clock::time_point m_stopStarting;
    int m_next = 0;
    int m_goodActive = 0;
    int m_faultyActive = 0;
    FaultResult m_result;
};

class Storm
{
public:
    Storm(Reactor &reactor, const StormOptions &options) : m_reactor(reactor), m_options(options) { }

    StormResult run()
    {
        const Clock::time_point begin = Clock::now();
        m_reactor.maxWaitMs = 20;
        m_reactor.afterBatch = [this, begin] {
            if (!m_result.killed && m_options.serverPid > 0 && Clock::now() >= begin + m_options.killAfter) {
                ::kill(m_options.serverPid, SIGKILL);
                m_result.killed = true;
            }
            while (!m_result.killed && m_open < m_options.concurrency && !m_refused)
                startNext();
        };
        m_reactor.run([this] { return (m_result.killed || m_refused) && m_open == 0; }, begin + m_options.timeout);
        m_reactor.afterBatch = nullptr;
        m_submitters.clear();
        return std::move(m_result);
    }

private:
    struct Submitter {
        int number = 0;
        std::string id;
        std::string result;
        std::unique_ptr<Connection> msg;
    };

    void startNext()
    {
        auto s = std::make_unique<Submitter>();
        s->number = m_next++;
        s->id = m_options.idPrefix + std::to_string(s->number);
        s->result = resultText(s->number, "storm.dat");
        std::string why;
        const int fd = connectTo(m_options.host, m_options.port, &why);
        if (fd < 0) {
            m_refused = true;
            return;
        }
        s->msg = std::make_unique<Connection>(m_reactor, fd);
        Submitter *raw = s.get();
        s->msg->watch([this, raw] { onMessage(*raw); });
        m_submitters.emplace(raw, std::move(s));
        ++m_open;
    }

    void onMessage(Submitter &s)
    {
        char buffer[4096];
        const long n = s.msg->read(buffer, sizeof buffer);
        if (n == -1)
            return;
        const std::string_view m(buffer, size_t(std::max(n, 0L)));
        if (n > 0 && m.substr(0, 4) == wire::tagAnnounce) {
            s.msg->send(wire::reportMessage(wire::formLoginId(QString::fromStdString(s.id)),
                                            QString::fromStdString(s.result)).toStdString());
            ++m_result.submitted;
            return;
        }
        if (n > 0 && m.substr(0, 4) == wire::tagFinished)
            m_result.acknowledged.append(entryOf(m_options.host, s.id, s.result));
        else if (n > 0)
            return;
        s.msg->close();
        --m_open;
        m_submitters.erase(&s); // its handler stays until the batch is over
    }

    Reactor &m_reactor;
    const StormOptions &m_options;
    std::map<Submitter *, std::unique_ptr<Submitter>> m_submitters;
    int m_next = 0;
    int m_open = 0;
    bool m_refused = false;
    StormResult m_result;
};

} // namespace

FaultResult runFaults(Reactor &reactor, const FaultOptions &options)
{
    return FaultRoom(reactor, options).run();
}

StormResult runStorm(Reactor &reactor, const StormOptions &options)
{
    return Storm(reactor, options).run();
}

std::vector<std::string> checkReportAfterCrash(const QString &folder, const QStringList &dayNames,
                                               const QStringList &before, const QStringList &acknowledged,
                                               int *entries)
{
    std::vector<std::string> problems;
    QStringList all;
    for (const QString &day : dayNames) {
        const QString path = QDir(folder).filePath(day + QStringLiteral(".rpt"));
        QFile f(path);
        if (!f.exists())
            continue;
        if (!f.open(QIODevice::ReadOnly)) {
            problems.push_back("cannot read " + path.toStdString());
            continue;
        }
        int lines = 0;
        bool header = false;
        for (QByteArray line : f.readAll().split('\n')) {
            line = line.trimmed();
            if (line.isEmpty())
                continue;
            if (!header && line == "[record]") {
                header = true;
                continue;
            }
            ++lines;
            const qsizetype eq = line.indexOf('=');
            if (!header || eq <= 0) {
                problems.push_back("not an entry in " + day.toStdString() + ".rpt: " + line.left(80).toStdString());
                continue;
            }
        }
        // Read back as the server's report viewer reads it: every entry must come out whole.
        const QStringList values = report::reportEntries(path);
        if (values.size() != lines)
            problems.push_back(std::to_string(lines) + " lines but " + std::to_string(values.size())
                               + " entries read back from " + day.toStdString() + ".rpt");
        for (const QString &v : values) {
            const report::ReportRow row = report::reportRow(v);
            if (row.id.isEmpty() || row.score.isEmpty() || row.paper.isEmpty() || row.time.isEmpty())
                problems.push_back("entry does not decipher: " + v.left(80).toStdString());
        }
        all += values;
    }
    const QStringList added = newEntries(before, all);
    QHash<QString, int> count;
    for (const QString &v : added)
        ++count[v];
    int missing = 0, doubled = 0;
    for (const QString &a : acknowledged) {
        const int n = count.value(a);
        missing += n == 0;
        doubled += n > 1;
    }
    if (missing)
        problems.push_back(std::to_string(missing) + " acknowledged entries missing");
    if (doubled)
        problems.push_back(std::to_string(doubled) + " acknowledged entries stored more than once");
    if (entries)
        *entries = int(added.size());
    return problems;
}

} // namespace loadgen
