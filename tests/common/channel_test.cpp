// The result channel against independent peers: record layout, delivery, reply, limits.
#include "common/channel.h"
#include "common/singleinstance.h"
#include "tests/support/rawchannel.h"

#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

std::string utf8(const QString &text) { return text.toUtf8().toStdString(); }

// Runs the Qt event loop until the future is ready.
template <typename T> T waitFor(std::future<T> &future)
{
    (void)QTest::qWaitFor([&] { return future.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready; }, 20000);
    return future.get();
}

TEST(ChannelSender, DeliversTheTextAsOneTaggedCountedRecord)
{
    // The titles carry the process id so that test programs running side by side never meet.
    const QString pid = QString::number(QCoreApplication::applicationPid());
    for (const QString &title : { QStringLiteral("ZeloClientV1.1 ") + pid, QStringLiteral("Orla客户端程序V1.1 ") + pid }) {
        rawchannel::Receiver receiver(utf8(title));
        ASSERT_TRUE(receiver.listening());
        auto record = receiver.record();
        const QString text(200, QLatin1Char('A'));
        EXPECT_EQ(CsendMessage().sendMsg(text, title), CsendMessage::Outcome::Delivered);
        const std::optional<rawchannel::Record> got = record.get();
        ASSERT_TRUE(got);
        EXPECT_EQ(got->tag, 3u);
        EXPECT_EQ(got->count, 201u);
        EXPECT_EQ(got->data, utf8(text) + std::string(1, '\0'));
    }
}

TEST(ChannelSender, ReportsWhatWasNotDelivered)
{
    const QString title = QStringLiteral("nobody listens %1").arg(QCoreApplication::applicationPid());
    EXPECT_EQ(CsendMessage().sendMsg(QStringLiteral("1234"), title), CsendMessage::Outcome::NoReceiver);

    // The text and the NUL fill the receiver's buffer exactly; one byte more is refused unsent.
    const qsizetype full = channel::bufferLimit - 1;
    rawchannel::Receiver receiver(utf8(title));
    auto record = receiver.record();
    EXPECT_EQ(CsendMessage().sendMsg(QString(full + 1, QLatin1Char('F')), title), CsendMessage::Outcome::TooLong);
    EXPECT_EQ(CsendMessage().sendMsg(QString(full, QLatin1Char('F')), title), CsendMessage::Outcome::Delivered);
    EXPECT_EQ(record.get()->count, quint32(channel::bufferLimit));
}

TEST(ChannelSender, GivesUpWhenTheReceiverNeverReplies)
{
    const QString title = QStringLiteral("silent receiver %1").arg(QCoreApplication::applicationPid());
    rawchannel::Receiver receiver(utf8(title), false);
    auto record = receiver.record();
    EXPECT_EQ(CsendMessage(300).sendMsg(QStringLiteral("AB"), title), CsendMessage::Outcome::NoReply);
    EXPECT_TRUE(record.get());
}

struct ReceiverCase {
    const char *name;
    std::vector<std::string> pieces;
    QString expectedText; // what becomes the pending text; empty: nothing is taken
};

TEST(ChannelReceiver, TakesTextRecordsWholeAndRepliesToEveryRecord)
{
    const std::string big(channel::bufferLimit + 904, 'C');
    const std::vector<ReceiverCase> cases = {
        { "plain", { rawchannel::record(3, 5, std::string("ABCD\0", 5)) }, QStringLiteral("ABCD") },
        { "in pieces", { std::string("\3\0\0", 3), std::string("\0\5\0\0\0AB", 7), std::string("CD\0", 3) },
          QStringLiteral("ABCD") },
        { "text up to the first NUL", { rawchannel::record(3, 6, std::string("AB\0CD\0", 6)) }, QStringLiteral("AB") },
        { "no NUL: all the data", { rawchannel::record(3, 4, "ABCD") }, QStringLiteral("ABCD") },
        { "oversize: the buffer's worth", { rawchannel::record(3, uint32_t(big.size() + 1), big + '\0') },
          QString(channel::bufferLimit, QLatin1Char('C')) },
        { "other tag ignored", { rawchannel::record(2, 5, std::string("ABCD\0", 5)) }, QString() },
    };
    for (const ReceiverCase &c : cases) {
        SCOPED_TRACE(c.name);
        const QString title = QStringLiteral("receiver test %1").arg(QCoreApplication::applicationPid());
        Mmsg receiver;
        int submissions = 0;
        ASSERT_TRUE(receiver.installCopyDataHook(title, [&] { ++submissions; }));
        auto replied = std::async(std::launch::async, [&] { return rawchannel::send(utf8(title), c.pieces); });
        EXPECT_TRUE(waitFor(replied));
        EXPECT_EQ(receiver.pendingResultText(), c.expectedText);
        EXPECT_EQ(submissions, c.expectedText.isEmpty() ? 0 : 1);
    }
}

TEST(ChannelReceiver, StopsListeningWhenTheHookIsRemoved)
{
    const QString title = QStringLiteral("receiver removed %1").arg(QCoreApplication::applicationPid());
    Mmsg receiver;
    receiver.removeCopyDataHook(); // harmless before installing
    ASSERT_TRUE(receiver.installCopyDataHook(title, {}));
    receiver.removeCopyDataHook();
    EXPECT_FALSE(receiver.isListening());
    EXPECT_EQ(CsendMessage().sendMsg(QStringLiteral("AB"), title), CsendMessage::Outcome::NoReceiver);

    // The login client stops listening once it has its result, from inside the submission.
    ASSERT_TRUE(receiver.installCopyDataHook(title, [&] { receiver.removeCopyDataHook(); }));
    auto replied = std::async(std::launch::async, [&] {
        return rawchannel::send(utf8(title), { rawchannel::record(3, 3, std::string("AB\0", 3)) });
    });
    EXPECT_TRUE(waitFor(replied));
    EXPECT_EQ(receiver.pendingResultText(), QStringLiteral("AB"));
    EXPECT_FALSE(receiver.isListening());
}

TEST(SingleInstance, RefusesASecondCopyUntilTheFirstHasGone)
{
    QTemporaryDir folder;
    auto first = std::make_unique<SingleInstance>(QStringLiteral("examdesk"), folder.path());
    ASSERT_TRUE(first->acquire());
    SingleInstance second(QStringLiteral("examdesk"), folder.path());
    EXPECT_FALSE(second.acquire());
    SingleInstance otherProgram(QStringLiteral("entrant"), folder.path());
    EXPECT_TRUE(otherProgram.acquire());
    first.reset();
    EXPECT_TRUE(second.acquire());
}

} // namespace
