// Fuzz target: the requests a browser sends to the exam server's download service.
#include "tests/fuzz/serverharness.h"

// Input: the pieces of one request, separated by NUL; each reaches the server on its own.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static fuzz::ServerHarness harness;
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));

    centrum::Server &server = harness.startServer();
    auto client = harness.connect(server.webPort());
    for (const QByteArray &piece : input.split('\0'))
        fuzz::ServerHarness::send(*client, piece);
    fuzz::settle([&client] { return client->socket.state() == QAbstractSocket::UnconnectedState; });

    // An answer is a whole head and exactly the bytes it announces, and nothing outside the
    // folder or of the server's own records is ever served.
    const QByteArray &answer = client->received;
    if (!answer.isEmpty()) {
        FUZZ_ASSERT(answer.startsWith("HTTP/1.0 200 ") || answer.startsWith("HTTP/1.0 403 ")
                    || answer.startsWith("HTTP/1.0 404 "));
        const qsizetype headEnd = answer.indexOf("\r\n\r\n");
        FUZZ_ASSERT(headEnd > 0);
        const qsizetype lengthAt = answer.indexOf("Content-Length: ");
        FUZZ_ASSERT(lengthAt > 0 && lengthAt < headEnd);
        const qsizetype lengthEnd = answer.indexOf("\r\n", lengthAt);
        const qint64 length = answer.mid(lengthAt + 16, lengthEnd - lengthAt - 16).toLongLong();
        FUZZ_ASSERT(answer.size() - (headEnd + 4) == length);
        FUZZ_ASSERT(!answer.contains(fuzz::outsideMarker));
        FUZZ_ASSERT(!answer.contains(fuzz::recordMarker));
        // A file is served byte for byte.
        if (answer.startsWith("HTTP/1.0 200 "))
            FUZZ_ASSERT(harness.servable().contains(answer.mid(headEnd + 4)));
    }
    client->socket.disconnectFromHost();
    fuzz::settle();
    harness.stopServer();
    return 0;
}
