// Candidates among clients that misbehave, and a storm of results to kill the server in.
#pragma once

#include "bench/loadgen/reactor.h"

#include <QStringList>

#include <array>
#include <string>
#include <vector>

namespace loadgen {

// The ways a misbehaving client goes wrong.
enum class Fault {
    VanishFile,     // closes the file connection halfway through the paper
    VanishMessage,  // closes the message connection halfway through the paper
    StallFile,      // takes the file connection, asks for the paper and never reads it
    StallMessage,   // connects and never reads nor writes
    Garbage,        // messages no candidate sends, ending in a report cut short
    Oversize,       // one message far beyond what a candidate ever sends
    Storm,          // many connections opened and closed in a burst
};
inline constexpr int faultKinds = 7;
const char *faultName(Fault f);
// The fault of that name; false for none.
bool faultNamed(std::string_view name, Fault *f);

struct FaultOptions {
    std::string host = "127.0.0.1";
    uint16_t port = 0;
    int concurrency = 20; // well-behaved candidates at a time
    int share = 30;       // percent of the clients started that misbehave
    std::chrono::milliseconds duration { 60000 }; // new clients are started this long
    std::chrono::milliseconds drain { 300000 };   // then the last candidates have this long to finish
    std::string idPrefix;
    std::string paper; // every well-behaved candidate must receive exactly these bytes
    int serverPid = 0; // resident memory sampled when given
    std::chrono::milliseconds rssAt { 60000 };
    unsigned seed = 1;
    std::vector<Fault> kinds; // the ways to misbehave drawn from; all of them when empty
};

struct FaultResult {
    int started = 0;      // well-behaved candidates
    int served = 0;       // ... that fetched the paper and had their result confirmed
    std::array<int, faultKinds> faulty {}; // misbehaving clients started, by kind
    std::vector<std::string> failures;     // of well-behaved candidates only
    QStringList acknowledged;              // IP:ID:result of every result confirmed with "finx"
    double seconds = 0;
    int64_t rssFirstKib = -1; // after rssAt
    int64_t rssEndKib = -1;   // once the last candidate is through
};

FaultResult runFaults(Reactor &reactor, const FaultOptions &options);

// Garbage for a misbehaving client's turn: never a login of a real port nor a whole report.
// The last one of a client (last = true) may be a report cut short.
std::string garbageMessage(unsigned draw, int client, bool last);

struct StormOptions {
    std::string host = "127.0.0.1";
    uint16_t port = 0;
    int concurrency = 50;
    std::string idPrefix;
    int serverPid = 0;                         // killed with SIGKILL after killAfter
    std::chrono::milliseconds killAfter { 1000 };
    std::chrono::milliseconds timeout { 30000 };
};

struct StormResult {
    int submitted = 0;          // reports sent
    QStringList acknowledged;   // entries confirmed before the server went away
    bool killed = false;
};

// Submitters one after another, concurrency at a time, until the server is gone.
StormResult runStorm(Reactor &reactor, const StormOptions &options);

// What is wrong with a server folder's report files after a crash: a line that is not a
// whole entry, an entry that does not decipher, an acknowledged entry missing or doubled.
std::vector<std::string> checkReportAfterCrash(const QString &folder, const QStringList &dayNames,
                                               const QStringList &before, const QStringList &acknowledged,
                                               int *entries = nullptr);

} // namespace loadgen
