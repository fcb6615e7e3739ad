// The least server the fetch and submit exchanges need: the paper from memory, no log, no files.
#pragma once

#include "bench/loadgen/reactor.h"

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace loadgen {

// Keeps the exchange's rules that cost the server work (the duplicate check, a number of file
// connections at a time (one unless told) with a queue of waiting candidates, a result
// confirmed only once stored) and nothing else. Results are appended to a file that is synced once for all
// results received within the grouping time of the first, then confirmed, as the exam
// server does; without a file they stay in memory.
class ReferenceServer
{
public:
    ReferenceServer(Reactor &reactor, std::string paperName, std::string paper, int resultFile = -1,
                    std::chrono::milliseconds grouping = std::chrono::milliseconds(10), int transfers = 1);
    ~ReferenceServer();

    // Serves on a listening socket made by the caller (it may come from another process).
    void serve(int listener);
    const std::vector<std::string> &entries() const { return m_entries; }
    // The result file could not be written; nothing after that is confirmed.
    bool storeFailed() const { return m_storeFailed; }

private:
    struct Client {
        uint64_t serial;
        std::string ip;
        std::unique_ptr<Connection> conn;
    };
    struct Waiting {
        uint64_t serial;
        uint16_t port;
    };

    void onAccept();
    void onMessage(uint64_t serial);
    void drop(uint64_t serial);
    void startFile(Client &client, uint16_t port);
    void endTransfer(uint64_t serial);
    void serveQueue();
    // Stores the results received once the first has waited the grouping time, then confirms them.
    void storeResults();

    Reactor &m_reactor;
    std::string m_name;
    std::string m_paper;
    std::string m_announcement;
    int m_listener = -1;
    std::map<uint64_t, Client> m_clients;
    uint64_t m_nextSerial = 0;
    std::set<std::string> m_logins;
    std::deque<Waiting> m_queue;
    std::map<uint64_t, std::unique_ptr<Connection>> m_files; // file connections by the client they serve
    size_t m_transfers;
    std::vector<std::string> m_entries;
    int m_resultFile;
    bool m_storeFailed = false;
    std::string m_unsynced;            // result lines not yet written
    std::vector<uint64_t> m_unconfirmed; // their candidates
    std::chrono::milliseconds m_grouping;
    Clock::time_point m_firstUnconfirmed;
};

} // namespace loadgen
