// What the load generator measures and checks: latency percentiles, HTTP answers, report
// entries, and a process's memory and CPU time from /proc.
#pragma once

#include <QStringList>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace loadgen {

// Nearest-rank percentile (0 < p <= 100) of the samples; 0 for none.
double percentile(std::vector<double> samples, double p);

// One answer of a web server to a GET, read until the server closed the connection.
struct HttpAnswer {
    int status = 0;
    int64_t contentLength = -1; // -1 when the head names none
    int64_t bodyBytes = 0;
    bool headComplete = false;
};
HttpAnswer parseHttpAnswer(std::string_view whole);
// Empty when the answer is a whole 200 whose body has the length the head names and,
// when expectedLength >= 0, that length; otherwise what is wrong.
std::string checkHttpAnswer(const HttpAnswer &a, int64_t expectedLength);

// The entries that appeared between two readings of a report section (values in file
// order); entries are only ever added, so the earlier reading is taken away as a multiset.
QStringList newEntries(const QStringList &before, const QStringList &after);
// Empty when the new entries are exactly the expected ones, each once; otherwise what differs.
std::string compareEntries(QStringList added, QStringList expected);
// The values of section "record" of the server's report files for the days from..to.
QStringList reportValues(const QString &folder, const QStringList &dayNames);

// From the text of /proc/<pid>/status: VmRSS in KiB.
std::optional<int64_t> residentKib(std::string_view statusText);
// From the text of /proc/<pid>/stat: utime + stime in clock ticks.
std::optional<int64_t> cpuTicks(std::string_view statText);
std::string readProcFile(int pid, const char *name);

// Adds why to a run's failures; past the first 20 only "..." stands for the rest.
void noteFailure(std::vector<std::string> &failures, std::string why);

} // namespace loadgen
