// What the load generator measures and checks: latency percentiles, HTTP answers, report
// entries, and a process's memory and CPU time from /proc.
#include "bench/loadgen/measure.h"

#include "report/report.h"

#include <QDir>
#include <QHash>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

namespace loadgen {

double percentile(std::vector<double> samples, double p)
{
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const auto rank = size_t(std::ceil(p / 100.0 * double(samples.size())));
    return samples[std::clamp<size_t>(rank, 1, samples.size()) - 1];
}

namespace {

bool startsWithNoCase(std::string_view s, std::string_view prefix)
{
    if (s.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

} // namespace

HttpAnswer parseHttpAnswer(std::string_view whole)
{
    HttpAnswer a;
    const size_t end = whole.find("\r\n\r\n");
    if (end == std::string_view::npos)
        return a;
    a.headComplete = true;
    a.bodyBytes = int64_t(whole.size() - end - 4);
    std::string_view head = whole.substr(0, end);
    size_t lineEnd = head.find("\r\n");
    const std::string_view statusLine = head.substr(0, lineEnd);
    if (statusLine.substr(0, 5) == "HTTP/") {
        const size_t space = statusLine.find(' ');
        if (space != std::string_view::npos)
            a.status = std::atoi(std::string(statusLine.substr(space + 1, 3)).c_str());
    }
    while (lineEnd != std::string_view::npos) {
        head.remove_prefix(lineEnd + 2);
        lineEnd = head.find("\r\n");
        const std::string_view line = head.substr(0, lineEnd);
        if (startsWithNoCase(line, "content-length:")) {
            std::string_view v = line.substr(15);
            while (!v.empty() && v.front() == ' ')
                v.remove_prefix(1);
            int64_t n = 0;
            bool digits = !v.empty();
            for (char c : v) {
                if (c < '0' || c > '9') {
                    digits = false;
                    break;
                }
                n = n * 10 + (c - '0');
            }
            a.contentLength = digits ? n : -2;
        }
    }
    return a;
}

std::string checkHttpAnswer(const HttpAnswer &a, int64_t expectedLength)
{
    if (!a.headComplete)
        return "no complete head";
    if (a.status != 200)
        return "status " + std::to_string(a.status);
    if (a.contentLength == -2)
        return "unreadable Content-Length";
    if (a.contentLength >= 0 && a.contentLength != a.bodyBytes)
        return "body of " + std::to_string(a.bodyBytes) + " bytes, Content-Length "
            + std::to_string(a.contentLength);
    if (expectedLength >= 0 && a.bodyBytes != expectedLength)
        return "body of " + std::to_string(a.bodyBytes) + " bytes, the file has " + std::to_string(expectedLength);
    return {};
}

QStringList newEntries(const QStringList &before, const QStringList &after)
{
    QHash<QString, int> seen;
    for (const QString &v : before)
        ++seen[v];
    QStringList added;
    for (const QString &v : after) {
        auto it = seen.find(v);
        if (it != seen.end() && it.value() > 0)
            --it.value();
        else
            added.append(v);
    }
    return added;
}

std::string compareEntries(QStringList added, QStringList expected)
{
    std::sort(added.begin(), added.end());
    std::sort(expected.begin(), expected.end());
    if (added == expected)
        return {};
    const QStringList missing = newEntries(added, expected);
    const QStringList extra = newEntries(expected, added);
    std::string why = std::to_string(added.size()) + " new entries, " + std::to_string(expected.size())
        + " expected; " + std::to_string(missing.size()) + " missing, " + std::to_string(extra.size())
        + " unexpected";
    if (!missing.isEmpty())
        why += "; missing e.g. " + missing.first().toStdString();
    else if (!extra.isEmpty())
        why += "; unexpected e.g. " + extra.first().toStdString();
    return why;
}

QStringList reportValues(const QString &folder, const QStringList &dayNames)
{
    QStringList values;
    for (const QString &day : dayNames)
        values += report::reportEntries(QDir(folder).filePath(day + QStringLiteral(".rpt")));
    return values;
}

std::optional<int64_t> residentKib(std::string_view statusText)
{
    const size_t at = statusText.find("\nVmRSS:");
    if (at == std::string_view::npos)
        return std::nullopt;
    std::istringstream in(std::string(statusText.substr(at + 7, 40)));
    int64_t kib = 0;
    std::string unit;
    if (!(in >> kib >> unit) || unit != "kB")
        return std::nullopt;
    return kib;
}

std::optional<int64_t> cpuTicks(std::string_view statText)
{
    // The command name is in parentheses and may hold blanks: count fields after the last ")".
    const size_t close = statText.rfind(')');
    if (close == std::string_view::npos)
        return std::nullopt;
    std::istringstream in(std::string(statText.substr(close + 1)));
    std::string field;
    int64_t utime = 0, stime = 0;
    // Fields 3 (state) to 13 come first; utime and stime are fields 14 and 15.
    for (int i = 3; i <= 13; ++i)
        if (!(in >> field))
            return std::nullopt;
    if (!(in >> utime >> stime))
        return std::nullopt;
    return utime + stime;
}

std::string readProcFile(int pid, const char *name)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/" + name);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void noteFailure(std::vector<std::string> &failures, std::string why)
{
    if (failures.size() < 20)
        failures.push_back(std::move(why));
    else if (failures.size() == 20)
        failures.push_back("...");
}

} // namespace loadgen
