// Fuzz target: the exam server's handling of what candidates' message connections send.
#include "tests/fuzz/serverharness.h"

#include "centrum/texts.h"
#include "common/multilanguage.h"

// Input: the pieces two candidate connections send, separated by LF (no message holds one);
// each piece reaches the server on its own. A piece starting with TAB is the second
// candidate's (without the TAB), and a piece that is EOT alone closes its candidate's
// connection. "8602", the usual file port, stands for the port this harness receives papers on.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static fuzz::ServerHarness harness;
    QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    input.replace("8602", QByteArray::number(harness.filePort()));

    centrum::Server &server = harness.startServer();
    // Results, as the log tells of each; a paper's end names its file, which may read like one.
    qsizetype received = 0;
    QObject::connect(&server, &centrum::Server::logLine, [&server, &received](const QString &line) {
        received += line.contains(server.texts().getRes(centrum::text::SubmittedBy))
            && !line.contains(server.texts().getRes(centrum::text::SentTo));
    });
    std::unique_ptr<fuzz::ServerHarness::Client> clients[2];
    for (auto &client : clients) {
        client = harness.connect(server.messagePort());
        fuzz::settle([&client] { return !client->received.isEmpty(); });
        FUZZ_ASSERT(client->received.startsWith("fINFsample.dat,"));
    }
    for (QByteArray piece : input.split('\n')) {
        const bool second = piece.startsWith('\t');
        if (second)
            piece.remove(0, 1);
        fuzz::ServerHarness::Client &client = *clients[second ? 1 : 0];
        if (piece == "\x04") {
            client.socket.disconnectFromHost();
            fuzz::settle();
        } else {
            fuzz::ServerHarness::send(client, piece);
        }
    }
    fuzz::settle();

    // Candidates who leave hold nothing: no transfer, no place in the queue.
    for (auto &client : clients)
        client->socket.disconnectFromHost();
    fuzz::settle();
    FUZZ_ASSERT(!server.isTransferring());
    FUZZ_ASSERT(server.waitingCount() == 0);
    FUZZ_ASSERT(server.isRunning());

    // Every result the server took in is in the day's report file once it has stopped.
    const QString reportFile = server.reportPath(QDate(2026, 12, 7));
    harness.stopServer();
    FUZZ_ASSERT(report::reportEntries(reportFile).size() == received);
    return 0;
}
