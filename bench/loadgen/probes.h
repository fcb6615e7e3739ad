// The load generator's other runs: many downloads from a web server, and many idle candidates.
#pragma once

#include "bench/loadgen/reactor.h"

#include <string>
#include <vector>

namespace loadgen {

struct HttpOptions {
    std::string host = "127.0.0.1";
    uint16_t port = 0;
    std::string path = "/";
    int requests = 1;
    int concurrency = 1;
    int64_t expectedLength = -1; // every body must be this long, when given
    std::chrono::milliseconds timeout { 300000 };
};

struct HttpResult {
    int ok = 0;
    std::vector<std::string> failures;
    double seconds = 0;
    int64_t bodyBytes = 0;
};

// One request a connection, "GET path HTTP/1.0", each answer read until the server closes.
HttpResult runHttp(Reactor &reactor, const HttpOptions &options);

struct HoldOptions {
    std::string host = "127.0.0.1";
    uint16_t port = 0;
    int connections = 1;
    int serverPid = 0;
    std::chrono::milliseconds idle { 5000 };
    std::chrono::milliseconds timeout { 120000 };
};

struct HoldResult {
    int greeted = 0; // connections the server answered with its announcement
    std::vector<std::string> failures;
    int64_t rssBeforeKib = -1; // the server's resident memory before the connections
    int64_t rssKib = -1;       // with every connection open
    double idleCpuSeconds = -1; // the server's CPU time across the idle interval
    double idleSeconds = 0;
};

// Opens the message connections, waits until each is greeted, then leaves them idle.
HoldResult runHold(Reactor &reactor, const HoldOptions &options);

} // namespace loadgen
