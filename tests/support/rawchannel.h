// Both ends of the result channel written with plain POSIX sockets, from the record layout alone,
// so the suite's own sender and receiver are checked against an independent peer.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace rawchannel {

// Where the receiver titled title listens: the temporary folder, then
// "exam-channel-<uid>-<hex of the UTF-8 title>".
inline std::string socketPath(const std::string &utf8Title)
{
    const char *tmp = std::getenv("TMPDIR");
    std::string path = (tmp && *tmp) ? tmp : "/tmp";
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    path += "/exam-channel-" + std::to_string(getuid()) + "-";
    static const char digits[] = "0123456789abcdef";
    for (unsigned char c : utf8Title) {
        path += digits[c >> 4];
        path += digits[c & 15];
    }
    return path;
}

inline bool waitReadable(int fd, int ms)
{
    pollfd p { fd, POLLIN, 0 };
    return poll(&p, 1, ms) == 1;
}

inline bool readExactly(int fd, char *out, size_t n, int ms)
{
    while (n > 0) {
        if (!waitReadable(fd, ms))
            return false;
        const ssize_t got = ::read(fd, out, n);
        if (got <= 0)
            return false;
        out += got;
        n -= size_t(got);
    }
    return true;
}

struct Record {
    uint32_t tag = 0;
    uint32_t count = 0;
    std::string data; // all count bytes, the terminating NUL included
};

inline uint32_t le32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return uint32_t(u[0]) | uint32_t(u[1]) << 8 | uint32_t(u[2]) << 16 | uint32_t(u[3]) << 24;
}

// Listens under a title and takes one record on a thread of its own, replying one byte.
class Receiver
{
public:
    explicit Receiver(const std::string &utf8Title, bool reply = true)
    {
        m_path = socketPath(utf8Title);
        ::unlink(m_path.c_str());
        m_fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr {};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, m_path.c_str(), sizeof addr.sun_path - 1);
        m_listening = ::bind(m_fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0 && ::listen(m_fd, 4) == 0;
        m_thread = std::thread([this, reply] { m_result.set_value(serve(reply)); });
    }
    ~Receiver()
    {
        m_thread.join();
        ::close(m_fd);
        ::unlink(m_path.c_str());
    }
    bool listening() const { return m_listening; }
    // The record, once it has come (or nothing after the receiver gave up waiting).
    std::future<std::optional<Record>> record() { return m_result.get_future(); }

private:
    std::optional<Record> serve(bool reply)
    {
        if (!m_listening || !waitReadable(m_fd, 15000))
            return std::nullopt;
        const int conn = ::accept(m_fd, nullptr, nullptr);
        if (conn < 0)
            return std::nullopt;
        std::optional<Record> record;
        char header[8];
        if (readExactly(conn, header, 8, 10000)) {
            Record r { le32(header), le32(header + 4), {} };
            r.data.resize(r.count);
            if (r.count <= 1 << 20 && readExactly(conn, r.data.data(), r.count, 10000))
                record = r;
        }
        if (reply)
            (void)!::write(conn, "\1", 1);
        ::close(conn);
        return record;
    }

    std::string m_path;
    int m_fd = -1;
    bool m_listening = false;
    std::promise<std::optional<Record>> m_result;
    std::thread m_thread;
};

inline std::string record(uint32_t tag, uint32_t count, const std::string &data)
{
    std::string out(8, '\0');
    for (int i = 0; i < 4; ++i) {
        out[i] = char(tag >> (8 * i));
        out[4 + i] = char(count >> (8 * i));
    }
    return out + data;
}

// Connects to the receiver titled title, writes bytes in the given pieces, and tells whether
// the one-byte reply came.
inline bool send(const std::string &utf8Title, const std::vector<std::string> &pieces)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, socketPath(utf8Title).c_str(), sizeof addr.sun_path - 1);
    bool replied = false;
    if (::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0) {
        bool written = true;
        for (const std::string &piece : pieces) {
            written = written && ::write(fd, piece.data(), piece.size()) == ssize_t(piece.size());
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        char byte = 0;
        replied = written && readExactly(fd, &byte, 1, 10000);
    }
    ::close(fd);
    return replied;
}

} // namespace rawchannel
