// A room of simulated candidates: each fetches the paper and submits a result, a given number at once.
#include "bench/loadgen/room.h"

#include "bench/loadgen/exchange.h"
#include "bench/loadgen/measure.h"
#include "common/clsencryptxor.h"
#include "paper/answersheet.h"
#include "paper/paperformat.h"
#include "paper/resulttext.h"
#include "report/report.h"
#include "wire/wiremessages.h"
#include "wire/wiretags.h"

#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace loadgen {

std::string resultText(int candidate, const std::string &paperName)
{
    const QString plain = paper::formatResultText(candidate % 101, QString::fromStdString(paperName), 60 + candidate % 3600);
    return clsEncryptXOR().HexEncrypt(plain).toStdString();
}

std::string sheetText(int candidate, const std::string &paperName, const std::string &copy, std::string *stored)
{
    const qint64 seconds = 60 + candidate % 3600;
    const QString name = QString::fromStdString(paperName);
    const QByteArray bytes = QByteArray::fromStdString(copy);
    const QList<QByteArray> lines = bytes.trimmed().split('\n');
    const QString header = paper::decipherLine(QByteArrayView(lines.value(0).trimmed())).value_or(QString());
    const QStringList answers(lines.size() - 1, QStringLiteral("0"));
    *stored = clsEncryptXOR().HexEncrypt(paper::formatResultText(0, name, seconds)).toStdString();
    const paper::AnswerSheet sheet { header.section(u'^', 0, 0), name, seconds, answers };
    return clsEncryptXOR().HexEncrypt(paper::formatAnswerSheet(sheet)).toStdString();
}

QString entryOf(const std::string &host, const std::string &id, const std::string &result)
{
    return report::reportEntry(QString::fromStdString(host), QString::fromStdString(id), QString::fromStdString(result));
}

namespace {

class Room
{
public:
    Room(Reactor &reactor, const RoomOptions &options) : m_reactor(reactor), m_options(options) { }

    RoomResult run()
    {
        const Clock::time_point begin = Clock::now();
        m_candidates.reserve(size_t(m_options.candidates));
        for (int i = 0; i < m_options.candidates; ++i) {
            auto c = std::make_unique<Candidate>();
            c->number = i;
            c->id = m_options.idPrefix + std::to_string(i);
            m_candidates.push_back(std::move(c));
        }
        // New candidates start between batches of events, so that a failing start never
        // recurses into the next one.
        const bool inTime = m_reactor.run(
            [this] {
                while (m_started < m_options.candidates && m_started - m_finished < m_options.concurrency)
                    startNext();
                return m_finished == m_options.candidates;
            },
            begin + m_options.timeout);
        m_result.seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        if (!inTime) {
            for (auto &c : m_candidates)
                if (!c->finished)
                    giveUp(*c, c->exchange ? "no end within the time limit (" + state(*c) + ")" : "never started");
        }
        return std::move(m_result);
    }

private:
    struct Candidate {
        int number = 0;
        std::string id;
        std::unique_ptr<CandidateExchange> exchange;
        int listener = -1;
        std::unique_ptr<Connection> msg;
        std::unique_ptr<Connection> file;
        Clock::time_point loginAt;
        bool finished = false;
    };

    static std::string state(const Candidate &c)
    {
        const CandidateExchange &e = *c.exchange;
        if (e.phase() == CandidateExchange::Phase::Submit)
            return "waiting for the confirmation of the result";
        if (e.announced() < 0)
            return "waiting for the announcement";
        return "fetch, " + std::to_string(e.received()) + " of " + std::to_string(e.announced()) + " bytes";
    }

    void startNext()
    {
        Candidate &c = *m_candidates[size_t(m_started++)];
        std::string why;
        c.listener = listenOn(m_options.host, 0, 1, &why);
        if (c.listener < 0) {
            giveUp(c, "file port: " + why);
            return;
        }
        c.exchange = std::make_unique<CandidateExchange>(c.id, localPort(c.listener), m_options.paper);
        if (m_options.secure)
            c.exchange->keepPaper();
        m_reactor.add(c.listener, EPOLLIN, [this, &c](uint32_t) { onFileConnection(c); });
        c.loginAt = Clock::now();
        openMessage(c);
    }

    void openMessage(Candidate &c)
    {
        std::string why;
        const int fd = connectTo(m_options.host, m_options.port, &why);
        if (fd < 0) {
            giveUp(c, "message connection: " + why);
            return;
        }
        c.msg = std::make_unique<Connection>(m_reactor, fd);
        c.msg->watch([this, &c] { onMessage(c); });
    }

    void onMessage(Candidate &c)
    {
        static char buffer[65536];
        const long n = c.msg->read(buffer, sizeof buffer);
        if (n == -1)
            return;
        if (n > 0)
            apply(c, c.exchange->onMessage(std::string_view(buffer, size_t(n))));
        else
            apply(c, c.exchange->onMessageClosed());
    }

    void onFileConnection(Candidate &c)
    {
        const int fd = acceptFrom(c.listener);
        if (fd < 0)
            return;
        m_reactor.close(c.listener);
        c.listener = -1;
        c.file = std::make_unique<Connection>(m_reactor, fd);
        c.file->watch([this, &c] { onFileData(c); });
        apply(c, c.exchange->onFileConnected());
    }

    void onFileData(Candidate &c)
    {
        static char buffer[1 << 18];
        const long n = c.file->read(buffer, sizeof buffer);
        if (n == -1)
            return;
        if (n > 0) {
            apply(c, c.exchange->onFileData(std::string_view(buffer, size_t(n))));
            return;
        }
        c.file->close();
        apply(c, c.exchange->onFileClosed());
    }

    void apply(Candidate &c, const Step &step)
    {
        switch (step.what) {
        case Step::What::Nothing:
            break;
        case Step::What::PaperReceived:
            m_result.latenciesMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - c.loginAt).count());
            m_result.paperBytes += c.exchange->announced();
            [[fallthrough]];
        case Step::What::Send:
            c.msg->send(step.bytes);
            break;
        case Step::What::Fetched: {
            c.msg->close();
            if (c.file)
                c.file->close();
            std::string stored;
            const std::string result = m_options.secure
                ? sheetText(c.number, c.exchange->paperName(), c.exchange->paper(), &stored)
                : (stored = resultText(c.number, c.exchange->paperName()));
            m_result.expectedEntries.append(entryOf(m_options.host, c.id, stored));
            c.exchange->beginSubmit(result);
            openMessage(c);
            break;
        }
        case Step::What::Submitted:
            c.msg->close();
            ++m_result.served;
            finish(c);
            break;
        case Step::What::Failed:
            giveUp(c, step.why);
            break;
        }
    }

    void giveUp(Candidate &c, const std::string &why)
    {
        if (c.finished)
            return;
        noteFailure(m_result.failures, c.id + ": " + why);
        finish(c);
    }

    void finish(Candidate &c)
    {
        c.finished = true;
        if (c.listener >= 0)
            m_reactor.close(c.listener);
        c.listener = -1;
        if (c.msg)
            c.msg->close();
        if (c.file)
            c.file->close();
        ++m_finished;
    }

    Reactor &m_reactor;
    const RoomOptions &m_options;
    std::vector<std::unique_ptr<Candidate>> m_candidates;
    int m_started = 0;
    int m_finished = 0;
    RoomResult m_result;
};

} // namespace

RoomResult runRoom(Reactor &reactor, const RoomOptions &options)
{
    return Room(reactor, options).run();
}

bool StalledLogins::login(const std::string &host, uint16_t port, int count, const std::string &idPrefix, std::string *why)
{
    for (int i = 0; i < count; ++i) {
        // A backlog that is never accepted from: the server's connection completes and stays unread.
        const int files = listenOn(host, 0, 1, why);
        if (files < 0)
            return false;
        const int msg = connectTo(host, port, why);
        if (msg < 0) {
            ::close(files);
            return false;
        }
        m_fds.push_back(msg);
        if (i % 2 == 1)
            m_asking.emplace_back(files, msg);
        else
            m_fds.push_back(files);
        pollfd p { msg, POLLIN, 0 };
        char announcement[4096];
        if (::poll(&p, 1, 10000) != 1 || ::recv(msg, announcement, sizeof announcement, 0) <= 0) {
            *why = "no announcement for stalled candidate " + std::to_string(i);
            return false;
        }
        const QByteArray login = wire::loginMessage(wire::formLoginId(QString::fromStdString(idPrefix + std::to_string(i))),
                                                    localPort(files));
        if (::send(msg, login.constData(), size_t(login.size()), MSG_NOSIGNAL) != login.size()) {
            *why = "login of stalled candidate " + std::to_string(i) + " not sent";
            return false;
        }
    }
    return true;
}

void StalledLogins::watch(Reactor &reactor)
{
    for (const auto &[files, msg] : std::exchange(m_asking, {})) {
        reactor.add(files, EPOLLIN, [this, files, msg](uint32_t) {
            for (int fd; (fd = acceptFrom(files)) >= 0;) {
                m_fds.push_back(fd); // never read
                const std::string request = wire::tagRequestFile;
                ::send(msg, request.data(), request.size(), MSG_NOSIGNAL);
            }
        });
    }
}

void StalledLogins::close()
{
    for (const auto &[files, msg] : std::exchange(m_asking, {}))
        ::close(files);
    for (const int fd : m_fds)
        ::close(fd);
    m_fds.clear();
}

} // namespace loadgen
