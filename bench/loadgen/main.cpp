// loadgen: a room of candidates against an exam server, downloads from a web server, idle connections.
#include "bench/loadgen/faults.h"
#include "bench/loadgen/measure.h"
#include "bench/loadgen/probes.h"
#include "bench/loadgen/refserver.h"
#include "bench/loadgen/room.h"
#include "report/report.h"

#include "centrum/dayfilewriter.h"
#include "common/netsocket.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <sys/epoll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char usage[] = R"(usage:
  loadgen room --port P [--candidates N] [--concurrency C] [--folder DIR] [--paper FILE] [--id-prefix X]
               [--stalled K] [--secure]
      N candidates, each with its own file port, fetch the paper from the server on P and
      submit a result, C at a time. With --folder (the server's program folder) the day's
      report file must gain exactly the N results; with --paper every candidate must
      receive that file byte for byte. With --stalled, K candidates log in first and stall
      on the file connection (half never take it, half ask for the paper and never read it),
      so the latencies show what they cost the others. With --secure (the server's secure=1)
      each candidate reads its token from the copy it received and hands in an answer sheet
      instead of a score.
  loadgen room --reference --paper FILE [--candidates N] [--concurrency C] [--folder DIR] [--transfers T]
      The same room against a minimal server of loadgen's own that serves FILE from memory,
      T candidates at a time (1 when not given), and appends the results to a file in DIR (the
      temporary folder when not given), synced once for each batch of results before they
      are confirmed.
  loadgen http --port P [--path /NAME] [--requests M] [--concurrency C] [--expect-length L]
      M downloads of NAME, one request a connection, C at a time; every answer is checked.
  loadgen hold --port P [--connections M] [--pid PID] [--idle SECONDS]
      M candidates connect and wait; the server PID's resident memory is read and its CPU
      time measured across the idle interval.
  loadgen faults --port P --folder DIR --paper FILE [--share PERCENT] [--concurrency C] [--seconds S]
                 [--pid PID] [--rss-at SECONDS] [--seed N] [--id-prefix X] [--faults K1,K2]
      For S seconds (60), C well-behaved candidates at a time (20) fetch the paper and submit,
      while PERCENT (30) of the clients started misbehave: they vanish or stall halfway
      through the paper, stall on the message connection, send garbage or oversize messages,
      or open and close connections in bursts (--faults picks among vanish_file,
      vanish_message, stall_file, stall_message, garbage, oversize, storm). Every well-behaved candidate must finish both
      exchanges, and the day's report must gain exactly the results confirmed with "finx".
      The server PID's resident memory is read after --rss-at seconds (60) and at the end.
  loadgen storm --port P --folder DIR --pid PID --kill-after MS [--concurrency C] [--id-prefix X]
      C submitters at a time (50) deliver results until, after MS milliseconds, the server
      PID is killed with SIGKILL; then every line of its report must read back as a whole
      entry and every result confirmed before the kill must be there once.
Common: --host 127.0.0.1 (an IPv4 address), --timeout SECONDS.
Prints one JSON object on stdout; exit 0 when everything checked out, 1 when not, 2 on bad use.
)";

class Args
{
public:
    Args(int argc, char **argv)
    {
        for (int i = 2; i < argc; ++i) {
            std::string a = argv[i];
            if (a.rfind("--", 0) != 0)
                throw std::invalid_argument(std::string("unexpected argument ").append(a));
            if (a == "--reference" || a == "--secure") {
                m_values[a].assign(1, '1');
                continue;
            }
            if (i + 1 >= argc)
                throw std::invalid_argument(a + " needs a value");
            m_values[a] = argv[++i];
        }
    }

    std::string text(const std::string &name, const std::string &fallback = {})
    {
        m_used.insert(name);
        auto it = m_values.find(name);
        return it == m_values.end() ? fallback : it->second;
    }

    long number(const std::string &name, long fallback, long low, long high)
    {
        const std::string t = text(name);
        if (t.empty())
            return fallback;
        size_t end = 0;
        long v = 0;
        try {
            v = std::stol(t, &end);
        } catch (const std::exception &) {
            end = 0;
        }
        if (end != t.size() || v < low || v > high)
            throw std::invalid_argument(name + " must be a whole number from " + std::to_string(low) + " to "
                                        + std::to_string(high));
        return v;
    }

    bool flag(const std::string &name) { return !text(name).empty(); }

    void checkAllUsed() const
    {
        for (const auto &[name, value] : m_values)
            if (!m_used.count(name))
                throw std::invalid_argument("unknown option " + name);
    }

private:
    std::map<std::string, std::string> m_values;
    std::set<std::string> m_used;
};

std::string quoted(const std::string &s)
{
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (static_cast<unsigned char>(c) < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
            continue;
        }
        out += c;
    }
    return out + '"';
}

std::string list(const std::vector<std::string> &items)
{
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        if (i)
            out += ',';
        out += quoted(items[i]);
    }
    return out + ']';
}

std::string num(double v)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.6g", v);
    return text;
}

std::string readWhole(const std::string &path)
{
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly))
        throw std::invalid_argument("cannot read " + path);
    return f.readAll().toStdString();
}

QStringList dayNames(const QDate &from, const QDate &to)
{
    QStringList names;
    for (QDate d = from; d <= to; d = d.addDays(1))
        names.append(centrum::dayName(d));
    return names;
}

// Runs the reference server in a child process on a socket made here, so that it has
// its own CPU as a real server would. Its stored results come back through a pipe when
// the parent closes the other one.
struct ReferenceChild {
    pid_t pid = -1;
    uint16_t port = 0;
    int stop = -1;    // closed by the parent: the child reports and ends
    int results = -1; // the child's stored entries, one a line
    std::string resultPath;
};

ReferenceChild startReference(const std::string &host, const std::string &paperPath, const std::string &resultPath,
                              int transfers)
{
    const int resultFile = ::open(resultPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (resultFile < 0)
        throw std::runtime_error("cannot write " + resultPath);
    const std::string paper = readWhole(paperPath);
    const std::string name = QFileInfo(QString::fromStdString(paperPath)).fileName().toStdString();
    std::string why;
    const int listener = loadgen::listenOn(host, 0, 1024, &why);
    if (listener < 0)
        throw std::runtime_error("reference server: " + why);
    int stopPipe[2], resultPipe[2];
    if (::pipe(stopPipe) != 0 || ::pipe(resultPipe) != 0)
        throw std::runtime_error("pipe");
    ReferenceChild child;
    child.port = loadgen::localPort(listener);
    child.resultPath = resultPath;
    child.pid = ::fork();
    if (child.pid < 0)
        throw std::runtime_error("fork");
    if (child.pid == 0) {
        ::close(stopPipe[1]);
        ::close(resultPipe[0]);
        {
            loadgen::Reactor reactor;
            loadgen::ReferenceServer server(reactor, name, paper, resultFile, std::chrono::milliseconds(10), transfers);
            server.serve(listener);
            bool stopping = false;
            reactor.add(stopPipe[0], EPOLLIN, [&](uint32_t) { stopping = true; });
            // Unconfirmed results show as missing in the parent's check.
            while (!stopping && !server.storeFailed())
                reactor.poll(1000);
            std::string out;
            for (const std::string &e : server.entries())
                out += e + '\n';
            for (size_t done = 0; done < out.size();) {
                const ssize_t n = ::write(resultPipe[1], out.data() + done, out.size() - done);
                if (n <= 0)
                    break;
                done += size_t(n);
            }
        }
        ::_exit(0);
    }
    ::close(listener);
    ::close(resultFile);
    ::close(stopPipe[0]);
    ::close(resultPipe[1]);
    child.stop = stopPipe[1];
    child.results = resultPipe[0];
    return child;
}

QStringList stopReference(ReferenceChild &child)
{
    ::close(child.stop);
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(child.results, buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, size_t(n));
    }
    ::close(child.results);
    ::waitpid(child.pid, nullptr, 0);
    ::unlink(child.resultPath.c_str());
    QStringList entries = QString::fromStdString(text).split(u'\n', Qt::SkipEmptyParts);
    return entries;
}

int room(Args &args)
{
    loadgen::RoomOptions o;
    o.host = args.text("--host", o.host);
    const bool reference = args.flag("--reference");
    o.secure = args.flag("--secure");
    o.port = uint16_t(args.number("--port", 0, reference ? 0 : 1, 65535));
    o.candidates = int(args.number("--candidates", 1, 1, 100000));
    o.concurrency = int(args.number("--concurrency", o.candidates, 1, 100000));
    o.timeout = std::chrono::seconds(args.number("--timeout", 300, 1, 86400));
    const int stalled = int(args.number("--stalled", 0, 0, 10000));
    const int transfers = int(args.number("--transfers", 1, 1, 64));
    const std::string paperPath = args.text("--paper");
    const std::string folder = args.text("--folder");
    // Unique per run, so that a second room against the same service run is not refused.
    o.idPrefix = args.text("--id-prefix", std::string("c").append(std::to_string(::getpid() % 1000)).append("-"));
    if (o.idPrefix.size() + std::max(std::to_string(o.candidates - 1).size(), 1 + std::to_string(stalled).size()) > 12)
        throw std::invalid_argument("--id-prefix leaves no room for the candidate's number in 12 characters");
    args.checkAllUsed();
    if (reference && o.secure)
        throw std::invalid_argument("--reference serves no secure copies");
    if (reference && paperPath.empty())
        throw std::invalid_argument("--reference needs --paper");
    if (!paperPath.empty())
        o.paper = readWhole(paperPath);

    ReferenceChild child;
    if (reference) {
        // Results are stored on the same file system as the real server's, when given its folder.
        const QString where = folder.empty() ? QDir::tempPath() : QString::fromStdString(folder);
        child = startReference(o.host, paperPath,
                               QDir(where).filePath(QStringLiteral("reference-%1.results").arg(::getpid())).toStdString(),
                               transfers);
        o.port = child.port;
    }
    const QDate firstDay = QDate::currentDate();
    const QStringList before = folder.empty() || reference ? QStringList()
                                              : loadgen::reportValues(QString::fromStdString(folder), dayNames(firstDay, firstDay));
    loadgen::StalledLogins stalls;
    std::string stallProblem;
    if (!stalls.login(o.host, o.port, stalled, o.idPrefix + 's', &stallProblem))
        throw std::runtime_error(stallProblem);
    loadgen::Reactor reactor;
    stalls.watch(reactor);
    const loadgen::RoomResult r = loadgen::runRoom(reactor, o);
    stalls.close();

    QStringList added;
    bool checked = true;
    if (reference)
        added = stopReference(child);
    else if (!folder.empty())
        added = loadgen::newEntries(before, loadgen::reportValues(QString::fromStdString(folder),
                                                                  dayNames(firstDay, QDate::currentDate())));
    else
        checked = false;
    std::string reportProblem;
    if (checked) {
        reportProblem = loadgen::compareEntries(added, r.expectedEntries);
        if (reportProblem.empty() && added.size() != o.candidates)
            reportProblem = std::to_string(added.size()) + " new entries for " + std::to_string(o.candidates) + " candidates";
    }
    const bool ok = r.served == o.candidates && r.failures.empty() && reportProblem.empty();

    std::cout << "{\"mode\":\"room\",\"server\":" << quoted(reference ? "reference" : "external")
              << ",\"candidates\":" << o.candidates << ",\"stalled\":" << stalled << ",\"concurrency\":" << o.concurrency
              << ",\"served\":" << r.served << ",\"seconds\":" << num(r.seconds)
              << ",\"candidates_per_second\":" << num(r.seconds > 0 ? r.served / r.seconds : 0)
              << ",\"latency_ms\":{\"p50\":" << num(loadgen::percentile(r.latenciesMs, 50))
              << ",\"p99\":" << num(loadgen::percentile(r.latenciesMs, 99))
              << ",\"max\":" << num(loadgen::percentile(r.latenciesMs, 100)) << "}"
              << ",\"paper_bytes\":" << r.paperBytes
              << ",\"bytes_per_second\":" << num(r.seconds > 0 ? double(r.paperBytes) / r.seconds : 0)
              << ",\"report\":{\"checked\":" << (checked ? "true" : "false") << ",\"new_entries\":" << added.size()
              << ",\"problem\":" << quoted(reportProblem) << "}"
              << ",\"failures\":" << list(r.failures) << ",\"ok\":" << (ok ? "true" : "false") << "}\n";
    return ok ? 0 : 1;
}

bool processAlive(int pid)
{
    const std::string status = loadgen::readProcFile(pid, "status");
    return !status.empty() && status.find("\nState:\tZ") == std::string::npos;
}

// Unique per run, so that a second run against the same service run is not refused.
std::string idPrefixOf(Args &args, const char *letter, size_t room)
{
    std::string prefix = args.text("--id-prefix", std::string(letter).append(std::to_string(::getpid() % 1000)));
    if (prefix.size() > room)
        throw std::invalid_argument("--id-prefix leaves no room for the numbers in 12 characters");
    return prefix;
}

int faults(Args &args)
{
    loadgen::FaultOptions o;
    o.host = args.text("--host", o.host);
    o.port = uint16_t(args.number("--port", 0, 1, 65535));
    o.share = int(args.number("--share", 30, 0, 100));
    o.concurrency = int(args.number("--concurrency", 20, 1, 10000));
    o.duration = std::chrono::seconds(args.number("--seconds", 60, 1, 86400));
    o.drain = std::chrono::seconds(args.number("--timeout", 300, 1, 86400));
    o.serverPid = int(args.number("--pid", 0, 0, 1L << 30));
    o.rssAt = std::chrono::seconds(args.number("--rss-at", 60, 0, 86400));
    o.seed = unsigned(args.number("--seed", ::getpid(), 0, 1L << 31));
    o.idPrefix = idPrefixOf(args, "f", 4);
    std::stringstream kinds(args.text("--faults"));
    for (std::string name; std::getline(kinds, name, ',');) {
        loadgen::Fault f;
        if (!loadgen::faultNamed(name, &f))
            throw std::invalid_argument("--faults: no such fault: " + name);
        o.kinds.push_back(f);
    }
    const std::string folder = args.text("--folder");
    const std::string paperPath = args.text("--paper");
    args.checkAllUsed();
    if (folder.empty() || paperPath.empty())
        throw std::invalid_argument("faults needs --folder and --paper");
    o.paper = readWhole(paperPath);
    const QString where = QString::fromStdString(folder);
    const QDate firstDay = QDate::currentDate();
    const QStringList before = loadgen::reportValues(where, dayNames(firstDay, firstDay));
    loadgen::Reactor reactor;
    const loadgen::FaultResult r = loadgen::runFaults(reactor, o);
    QStringList added = loadgen::newEntries(before, loadgen::reportValues(where, dayNames(firstDay, QDate::currentDate())));
    // A report cut short is kept once its connection has gone quiet, as nothing received is
    // thrown away: those of the clients sending garbage (IDs "g…", or cut before any of it)
    // are counted apart, never confirmed.
    const qsizetype beforeCut = added.size();
    added.removeIf([](const QString &entry) {
        const QString id = report::reportRow(entry).id;
        return id.isEmpty() || id.startsWith(u'g');
    });
    const qsizetype cutKept = beforeCut - added.size();
    const std::string reportProblem = loadgen::compareEntries(added, r.acknowledged);
    const bool alive = o.serverPid <= 0 || processAlive(o.serverPid);
    const bool ok = r.served == r.started && r.failures.empty() && reportProblem.empty() && alive;

    std::cout << "{\"mode\":\"faults\",\"seconds\":" << num(r.seconds) << ",\"share\":" << o.share
              << ",\"started\":" << r.started << ",\"served\":" << r.served
              << ",\"acknowledged\":" << r.acknowledged.size() << ",\"misbehaving\":{";
    for (int k = 0; k < loadgen::faultKinds; ++k)
        std::cout << (k ? "," : "") << quoted(loadgen::faultName(loadgen::Fault(k))) << ':' << r.faulty[size_t(k)];
    std::cout << "},\"report\":{\"new_entries\":" << added.size() << ",\"cut_reports_kept\":" << cutKept
              << ",\"problem\":" << quoted(reportProblem) << "}"
              << ",\"rss_first_kib\":" << r.rssFirstKib << ",\"rss_end_kib\":" << r.rssEndKib
              << ",\"server_alive\":" << (alive ? "true" : "false")
              << ",\"failures\":" << list(r.failures) << ",\"ok\":" << (ok ? "true" : "false") << "}\n";
    return ok ? 0 : 1;
}

int storm(Args &args)
{
    loadgen::StormOptions o;
    o.host = args.text("--host", o.host);
    o.port = uint16_t(args.number("--port", 0, 1, 65535));
    o.concurrency = int(args.number("--concurrency", 50, 1, 10000));
    o.serverPid = int(args.number("--pid", 0, 1, 1L << 30));
    o.killAfter = std::chrono::milliseconds(args.number("--kill-after", 1000, 0, 3600000));
    o.timeout = o.killAfter + std::chrono::seconds(args.number("--timeout", 30, 1, 3600));
    o.idPrefix = idPrefixOf(args, "s", 5);
    const std::string folder = args.text("--folder");
    args.checkAllUsed();
    if (folder.empty())
        throw std::invalid_argument("storm needs --folder");
    const QString where = QString::fromStdString(folder);
    const QDate firstDay = QDate::currentDate();
    const QStringList before = loadgen::reportValues(where, dayNames(firstDay, firstDay));
    loadgen::Reactor reactor;
    const loadgen::StormResult r = loadgen::runStorm(reactor, o);
    // The files are read once the process is gone for good, not while it may still write.
    for (int i = 0; i < 1000 && processAlive(o.serverPid); ++i)
        ::usleep(10000);
    std::vector<std::string> problems;
    if (!r.killed)
        problems.push_back("the server was not killed");
    if (processAlive(o.serverPid))
        problems.push_back("the server is still running");
    int entries = 0;
    for (std::string &p : loadgen::checkReportAfterCrash(where, dayNames(firstDay, QDate::currentDate()), before,
                                                         r.acknowledged, &entries))
        problems.push_back(std::move(p));
    const bool ok = problems.empty();
    std::cout << "{\"mode\":\"storm\",\"submitted\":" << r.submitted << ",\"acknowledged\":" << r.acknowledged.size()
              << ",\"new_entries\":" << entries << ",\"problems\":" << list(problems)
              << ",\"ok\":" << (ok ? "true" : "false") << "}\n";
    return ok ? 0 : 1;
}

int http(Args &args)
{
    loadgen::HttpOptions o;
    o.host = args.text("--host", o.host);
    o.port = uint16_t(args.number("--port", 0, 1, 65535));
    o.path = args.text("--path", o.path);
    o.requests = int(args.number("--requests", 1, 1, 10000000));
    o.concurrency = int(args.number("--concurrency", 1, 1, 100000));
    o.expectedLength = args.number("--expect-length", -1, -1, 1L << 40);
    o.timeout = std::chrono::seconds(args.number("--timeout", 300, 1, 86400));
    args.checkAllUsed();
    if (o.path.empty() || o.path[0] != '/')
        throw std::invalid_argument("--path must start with /");
    loadgen::Reactor reactor;
    const loadgen::HttpResult r = loadgen::runHttp(reactor, o);
    const bool ok = r.ok == o.requests && r.failures.empty();
    std::cout << "{\"mode\":\"http\",\"requests\":" << o.requests << ",\"concurrency\":" << o.concurrency
              << ",\"answered\":" << r.ok << ",\"seconds\":" << num(r.seconds)
              << ",\"requests_per_second\":" << num(r.seconds > 0 ? r.ok / r.seconds : 0)
              << ",\"body_bytes\":" << r.bodyBytes
              << ",\"bytes_per_second\":" << num(r.seconds > 0 ? double(r.bodyBytes) / r.seconds : 0)
              << ",\"failures\":" << list(r.failures) << ",\"ok\":" << (ok ? "true" : "false") << "}\n";
    return ok ? 0 : 1;
}

int hold(Args &args)
{
    loadgen::HoldOptions o;
    o.host = args.text("--host", o.host);
    o.port = uint16_t(args.number("--port", 0, 1, 65535));
    o.connections = int(args.number("--connections", 1, 1, 100000));
    o.serverPid = int(args.number("--pid", 0, 0, 1L << 30));
    o.idle = std::chrono::seconds(args.number("--idle", 5, 0, 3600));
    o.timeout = std::chrono::seconds(args.number("--timeout", 120, 1, 86400));
    args.checkAllUsed();
    loadgen::Reactor reactor;
    const loadgen::HoldResult r = loadgen::runHold(reactor, o);
    const bool ok = r.greeted == o.connections && r.failures.empty();
    std::cout << "{\"mode\":\"hold\",\"connections\":" << o.connections << ",\"greeted\":" << r.greeted
              << ",\"rss_before_kib\":" << r.rssBeforeKib << ",\"rss_kib\":" << r.rssKib
              << ",\"idle_seconds\":" << num(r.idleSeconds) << ",\"idle_cpu_seconds\":" << num(r.idleCpuSeconds)
              << ",\"failures\":" << list(r.failures) << ",\"ok\":" << (ok ? "true" : "false") << "}\n";
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv); // only for Qt's text and date helpers; no event loop runs
    std::signal(SIGPIPE, SIG_IGN);
    const long limit = raiseOpenFileLimit();
    const std::string mode = argc > 1 ? argv[1] : "";
    try {
        Args args(argc, argv);
        if (mode == "room")
            return room(args);
        if (mode == "http")
            return http(args);
        if (mode == "faults")
            return faults(args);
        if (mode == "storm")
            return storm(args);
        if (mode == "hold") {
            if (limit >= 0 && args.number("--connections", 1, 1, 100000) + 64 > limit)
                std::cerr << "loadgen: only " << limit << " files may be open; connections beyond fail\n";
            return hold(args);
        }
        std::cerr << usage;
        return 2;
    } catch (const std::invalid_argument &e) {
        std::cerr << "loadgen: " << e.what() << "\n" << usage;
        return 2;
    } catch (const std::exception &e) {
        std::cerr << "loadgen: " << e.what() << '\n';
        return 1;
    }
}
