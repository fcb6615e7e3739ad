// A room of simulated candidates: each fetches the paper and submits a result, a given number at once.
#pragma once

#include "bench/loadgen/reactor.h"

#include <QStringList>

#include <string>
#include <vector>

namespace loadgen {

struct RoomOptions {
    std::string host = "127.0.0.1";
    uint16_t port = 0;
    int candidates = 1;
    int concurrency = 1;    // candidates between login and confirmed result at the same time
    std::string idPrefix;   // IDs are the prefix and the candidate's number, at most 12 characters
    std::string paper;      // when not empty, every candidate must receive exactly these bytes
    bool secure = false;    // the server sends answerless copies and takes answer sheets
    std::chrono::milliseconds timeout { 300000 };
};

struct RoomResult {
    int served = 0; // fetched the paper and had the result confirmed
    std::vector<std::string> failures;
    double seconds = 0;
    std::vector<double> latenciesMs; // login to the last byte of the paper
    int64_t paperBytes = 0;
    QStringList expectedEntries;     // IP:ID:result of every candidate that went on to submit
};

// The result text a candidate submits: score, paper name and seconds, enciphered.
std::string resultText(int candidate, const std::string &paperName);

// The answer sheet a candidate hands in from a secure copy, and the result text the server
// stores for it: every answer is "0", which no question takes, so the score is 0.
std::string sheetText(int candidate, const std::string &paperName, const std::string &copy, std::string *stored);

// The report entry the server stores for a result sent from host under the ID.
QString entryOf(const std::string &host, const std::string &id, const std::string &result);

RoomResult runRoom(Reactor &reactor, const RoomOptions &options);

// Candidates that log in and then stall on the file connection. Every other one never takes
// the server's connection to its file port (the system completes it) nor asks for the paper;
// the rest take the connection, ask for the paper, and never read it. They hold their
// sockets until closed.
class StalledLogins
{
public:
    StalledLogins() = default;
    StalledLogins(const StalledLogins &) = delete;
    StalledLogins &operator=(const StalledLogins &) = delete;
    ~StalledLogins() { close(); }

    // Logs count candidates in, one after another; false, with why set, when one could not.
    bool login(const std::string &host, uint16_t port, int count, const std::string &idPrefix, std::string *why);
    // Lets the candidates that ask for the paper take their file connections as they come.
    // The reactor owns their listening sockets from then on.
    void watch(Reactor &reactor);
    void close();

private:
    std::vector<int> m_fds;
    std::vector<std::pair<int, int>> m_asking; // listening socket and message connection

};

} // namespace loadgen
