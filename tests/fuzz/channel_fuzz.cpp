// Fuzz target: the result channel's receiver: a record's parsing, and the receiver fed over a local socket.
#include "tests/fuzz/fuzzinput.h"

#include "common/channel.h"

#include <QLocalSocket>

namespace {

void sameRecord(const channel::ParseResult &a, const channel::ParseResult &b)
{
    FUZZ_ASSERT(a.complete == b.complete && a.consumed == b.consumed);
    FUZZ_ASSERT(a.record.tag == b.record.tag && a.record.text == b.record.text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ensureApplication();
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    // A record is whole at exactly the byte that completes it, however it arrives, and never
    // takes more than the buffer holds.
    const channel::ParseResult whole = channel::parseRecord(bytes);
    if (whole.complete) {
        FUZZ_ASSERT(whole.consumed >= 8 && whole.consumed <= 8 + channel::bufferLimit);
        FUZZ_ASSERT(whole.consumed <= bytes.size());
        FUZZ_ASSERT(!whole.record.text.contains(QChar(0)));
        FUZZ_ASSERT(!channel::parseRecord(bytes.first(whole.consumed - 1)).complete);
        sameRecord(channel::parseRecord(bytes.first(whole.consumed)), whole);
        // A text record made of the parsed text parses to the same text.
        const QByteArray again = channel::encodeRecord(whole.record.tag, whole.record.text.toUtf8());
        if (again.size() <= 8 + channel::bufferLimit)
            FUZZ_ASSERT(channel::parseRecord(again).record.text == whole.record.text);
    } else {
        FUZZ_ASSERT(whole.consumed == 0);
    }

    // The receiver itself: it replies once a record is whole, and acts only on a text record.
    static Mmsg receiver;
    static int submissions = 0;
    static const QString title = QStringLiteral("fuzz-receiver-%1").arg(QCoreApplication::applicationPid());
    if (!receiver.isListening())
        FUZZ_ASSERT(receiver.installCopyDataHook(title, [] { ++submissions; }));
    const int submittedBefore = submissions;
    const QString pendingBefore = receiver.pendingResultText();

    QLocalSocket sender;
    sender.connectToServer(channel::serverName(title));
    FUZZ_ASSERT(sender.waitForConnected(2000));
    sender.write(bytes);
    sender.flush();
    fuzz::settle([&sender] { return sender.bytesAvailable() > 0; });
    const bool replied = sender.bytesAvailable() > 0;
    FUZZ_ASSERT(replied == whole.complete);
    const bool acted = whole.complete && whole.record.tag == channel::textTag;
    FUZZ_ASSERT(submissions == submittedBefore + (acted ? 1 : 0));
    FUZZ_ASSERT(receiver.pendingResultText() == (acted ? whole.record.text : pendingBefore));
    sender.disconnectFromServer();
    fuzz::settle();
    return 0;
}
