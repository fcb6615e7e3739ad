// The socket component: listening, accepting by request id, moving the listener, events.
#include "common/netsocket.h"
#include "tests/support/eventloop.h"

#include <QDir>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace {

class NetSocketTest : public ::testing::Test
{
protected:
    void SetUp() override { ensureApp(); }
};

} // namespace

TEST_F(NetSocketTest, MovingTheListenerFromObjectToObjectLosesNoClient)
{
    // Each request is accepted on the listening object itself after closing it, and a
    // new object takes over listening on the same port, as the exam server does.
    std::vector<std::unique_ptr<NetSocket>> sockets;
    quint16 port = 0;
    std::function<void()> listenNext = [&] {
        sockets.push_back(std::make_unique<NetSocket>());
        NetSocket *s = sockets.back().get();
        s->setLocalPort(port);
        ASSERT_TRUE(s->listen());
        port = s->localPort();
        QObject::connect(s, &NetSocket::connectionRequest, s, [&, s](int id) {
            s->close();
            ASSERT_TRUE(s->accept(id));
            EXPECT_EQ(s->state(), NetSocket::State::Connected);
            s->send(QByteArray("hello"));
            listenNext();
        });
    };
    listenNext();

    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < 40; ++i) {
        clients.push_back(std::make_unique<QTcpSocket>());
        clients.back()->connectToHost(QHostAddress::LocalHost, port);
    }
    ASSERT_TRUE(waitFor([&] {
        return std::all_of(clients.begin(), clients.end(), [](auto &c) { return c->bytesAvailable() == 5; });
    }));
    EXPECT_EQ(sockets.size(), 41u);
    EXPECT_EQ(sockets.back()->state(), NetSocket::State::Listening);
    EXPECT_EQ(sockets.front()->remoteHostIP(), QStringLiteral("127.0.0.1"));
}

TEST_F(NetSocketTest, ARequestNobodyAcceptsWaitsUntilAcceptedLater)
{
    NetSocket listener;
    ASSERT_TRUE(listener.listen());
    int announced = 0;
    QObject::connect(&listener, &NetSocket::connectionRequest, [&] { ++announced; });
    QTcpSocket early, leaving;
    early.connectToHost(QHostAddress::LocalHost, listener.localPort());
    leaving.connectToHost(QHostAddress::LocalHost, listener.localPort());
    ASSERT_TRUE(waitFor([&] { return announced == 2; }));
    EXPECT_EQ(listener.pendingRequests().size(), 2);

    // A client that gives up while waiting leaves the queue.
    leaving.abort();
    ASSERT_TRUE(waitFor([&] { return listener.pendingRequests().size() == 1; }));

    NetSocket slot;
    ASSERT_TRUE(slot.accept(listener.pendingRequests().first()));
    EXPECT_TRUE(listener.pendingRequests().isEmpty());
    EXPECT_EQ(slot.remotePort(), early.localPort());
    EXPECT_FALSE(slot.accept(12345678)); // not closed, and no such request
}

TEST_F(NetSocketTest, AnObjectTakenUpAgainIsToldOfTheRequestsStillWaiting)
{
    // The server keeps a closed connection's object to listen with later: to the clients
    // waiting it is a new listener, whatever it was told while it listened before.
    NetSocket socket;
    ASSERT_TRUE(socket.listen());
    socket.setLocalPort(socket.localPort());
    QList<int> announced;
    QObject::connect(&socket, &NetSocket::connectionRequest, [&](int id) { announced.append(id); });
    QTcpSocket first, second;
    first.connectToHost(QHostAddress::LocalHost, socket.localPort());
    second.connectToHost(QHostAddress::LocalHost, socket.localPort());
    ASSERT_TRUE(waitFor([&] { return announced.size() == 2; }));
    const int waiting = announced.last();

    socket.close();
    ASSERT_TRUE(socket.accept(announced.first()));
    socket.close();
    announced.clear();
    ASSERT_TRUE(socket.listen()); // in the same event, so the port keeps its queue
    ASSERT_TRUE(waitFor([&] { return !announced.isEmpty(); }));
    EXPECT_EQ(announced, QList<int> { waiting });
}

TEST_F(NetSocketTest, AWaitingConnectionKeepsLittleOfAFloodAndLosesNothingOnceAccepted)
{
    NetSocket listener;
    ASSERT_TRUE(listener.listen());
    QTcpSocket flood;
    flood.connectToHost(QHostAddress::LocalHost, listener.localPort());
    ASSERT_TRUE(waitFor([&] { return listener.pendingRequests().size() == 1; }));
    const QByteArray sent(24 * 1024 * 1024, 'F');
    flood.write(sent);
    // More than the network itself can hold: most of it has to wait in the sender.
    EXPECT_FALSE(waitFor([&] { return flood.bytesToWrite() == 0; }, 1000));

    NetSocket slot;
    ASSERT_TRUE(slot.accept(listener.pendingRequests().first()));
    EXPECT_LE(slot.bytesAvailable(), 64 * 1024);
    qint64 received = 0;
    QObject::connect(&slot, &NetSocket::dataArrival, [&] { received += slot.readAll().size(); });
    EXPECT_TRUE(waitFor([&] { return received == sent.size(); }, 30000));
}

TEST_F(NetSocketTest, ReportsDataSendCompletePeerCloseAndErrors)
{
    QTcpServer peer;
    ASSERT_TRUE(peer.listen(QHostAddress::LocalHost));
    NetSocket s;
    int complete = 0, closed = 0;
    QByteArray arrived;
    QObject::connect(&s, &NetSocket::sendComplete, [&] { ++complete; });
    QObject::connect(&s, &NetSocket::closed, [&] { ++closed; });
    QObject::connect(&s, &NetSocket::dataArrival, [&] { arrived += s.readAll(); });
    s.connectTo(QStringLiteral("127.0.0.1"), peer.serverPort());
    EXPECT_EQ(s.state(), NetSocket::State::Connecting);
    ASSERT_TRUE(waitFor([&] { return peer.hasPendingConnections() && s.state() == NetSocket::State::Connected; }));
    std::unique_ptr<QTcpSocket> other(peer.nextPendingConnection());

    s.send(QByteArray(300000, 'x'));
    ASSERT_TRUE(waitFor([&] { return complete >= 1; }));
    EXPECT_EQ(s.bytesToWrite(), 0);
    other->write("reply");
    ASSERT_TRUE(waitFor([&] { return arrived == "reply"; }));
    other->close();
    ASSERT_TRUE(waitFor([&] { return closed == 1; }));
    EXPECT_EQ(s.state(), NetSocket::State::Closing);
    s.close();
    s.close(); // closing a closed object does nothing
    EXPECT_EQ(s.state(), NetSocket::State::Closed);

    // Nobody listens on a port just freed: the attempt ends in an error event.
    const quint16 freed = peer.serverPort();
    peer.close();
    int errors = 0;
    QObject::connect(&s, &NetSocket::error, [&](int, const QString &d) { errors += !d.isEmpty(); });
    s.connectTo(QStringLiteral("127.0.0.1"), freed);
    ASSERT_TRUE(waitFor([&] { return errors == 1; }));
    EXPECT_EQ(s.state(), NetSocket::State::Error);
}

TEST_F(NetSocketTest, TwoObjectsCannotListenOnOnePort)
{
    NetSocket a, b;
    ASSERT_TRUE(a.listen());
    b.setLocalPort(a.localPort());
    int errors = 0;
    QObject::connect(&b, &NetSocket::error, [&] { ++errors; });
    EXPECT_FALSE(b.listen());
    EXPECT_EQ(errors, 1);
    a.close();
    EXPECT_TRUE(b.listen()); // within the same event, the port passes on
}

TEST_F(NetSocketTest, WholeSendsAndSharedPartsArriveInOrderAlsoWhenClosedAtOnce)
{
    // More than the system's buffers hold, so most of it waits in the object and then in
    // the connection the object let go: every byte must still arrive, in order, then the end.
    QTcpServer peer;
    ASSERT_TRUE(peer.listen(QHostAddress::LocalHost));
    NetSocket s;
    s.connectTo(QStringLiteral("127.0.0.1"), peer.serverPort());
    ASSERT_TRUE(waitFor([&] { return peer.hasPendingConnections() && s.state() == NetSocket::State::Connected; }));
    std::unique_ptr<QTcpSocket> other(peer.nextPendingConnection());

    QByteArray big(6 * 1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < big.size(); ++i)
        big[i] = char(i * 7 + i / 4096);
    QByteArray expected;
    const std::pair<qsizetype, qsizetype> parts[] = { { 0, 65535 }, { 65535, 1 }, { 100, 0 }, { 65536, big.size() - 65536 } };
    for (const auto &[from, length] : parts) {
        s.send(QByteArray("head"));
        s.send(big, from, length);
        expected += "head" + big.mid(from, length);
    }
    s.send(big, big.size() - 1, 2); // past the end: nothing
    s.close();

    QByteArray arrived;
    bool ended = false;
    QObject::connect(other.get(), &QTcpSocket::readyRead, [&] { arrived += other->readAll(); });
    QObject::connect(other.get(), &QTcpSocket::disconnected, [&] { ended = true; });
    ASSERT_TRUE(waitFor([&] { return ended; }, 30000));
    arrived += other->readAll();
    EXPECT_EQ(arrived.size(), expected.size());
    EXPECT_TRUE(arrived == expected);
}

TEST_F(NetSocketTest, ANameIsLookedUpAndAnUnknownOneIsAnError)
{
    QTcpServer peer;
    ASSERT_TRUE(peer.listen(QHostAddress::LocalHost));
    NetSocket s;
    int errors = 0, code = 0;
    QObject::connect(&s, &NetSocket::error, [&](int number, const QString &) { ++errors, code = number; });
    s.connectTo(QStringLiteral("localhost"), peer.serverPort());
    ASSERT_TRUE(waitFor([&] { return s.state() == NetSocket::State::Connected; }));
    EXPECT_EQ(s.remoteHostIP(), QStringLiteral("127.0.0.1"));

    s.connectTo(QStringLiteral("no-such-host.invalid"), peer.serverPort());
    ASSERT_TRUE(waitFor([&] { return errors == 1; }));
    EXPECT_EQ(code, int(QAbstractSocket::HostNotFoundError));
    EXPECT_EQ(s.state(), NetSocket::State::Error);
}

TEST_F(NetSocketTest, EveryClosedConnectionEndsAtThePeerAndGivesItsDescriptorBack)
{
    // Descriptors are closed away from the loop: none may be lost or kept, with or without
    // something still to send when the object lets go.
    const auto openDescriptors = [] { return QDir(QStringLiteral("/proc/self/fd")).count(); };
    QTcpServer peer;
    ASSERT_TRUE(peer.listen(QHostAddress::LocalHost));
    const auto before = openDescriptors();
    std::vector<std::unique_ptr<NetSocket>> sockets;
    for (int i = 0; i < 60; ++i) {
        sockets.push_back(std::make_unique<NetSocket>());
        sockets.back()->connectTo(QStringLiteral("127.0.0.1"), peer.serverPort());
    }
    std::vector<std::unique_ptr<QTcpSocket>> others;
    ASSERT_TRUE(waitFor([&] {
        while (peer.hasPendingConnections())
            others.emplace_back(peer.nextPendingConnection());
        return others.size() == sockets.size()
            && std::all_of(sockets.begin(), sockets.end(), [](auto &s) { return s->state() == NetSocket::State::Connected; });
    }));
    for (size_t i = 0; i < sockets.size(); ++i) {
        if (i % 2)
            sockets[i]->send(QByteArray(100000, 'x'));
        i % 3 ? sockets[i]->close() : sockets[i].reset();
    }
    ASSERT_TRUE(waitFor([&] {
        return std::all_of(others.begin(), others.end(), [](auto &o) {
            o->readAll();
            return o->state() == QAbstractSocket::UnconnectedState;
        });
    }, 30000));
    others.clear();
    EXPECT_TRUE(waitFor([&] { return openDescriptors() <= before; })) << openDescriptors() << " open, " << before << " before";
}

TEST_F(NetSocketTest, AConnectionTakesNothingOverFromTheOneBeforeIt)
{
    // Each round's connection, accepted or dialled, follows one that ended with bytes unread
    // and a large send behind it: it must see only its own peer and its own bytes.
    QTcpServer peer;
    ASSERT_TRUE(peer.listen(QHostAddress::LocalHost));
    NetSocket listener;
    ASSERT_TRUE(listener.listen());
    QList<int> requests;
    QObject::connect(&listener, &NetSocket::connectionRequest, [&](int id) { requests.append(id); });
    const QByteArray big(3 * 1024 * 1024, 'b');

    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        const bool dialled = round % 2 == 1;
        NetSocket s;
        QByteArray arrived;
        QObject::connect(&s, &NetSocket::dataArrival, [&] {
            if (arrived.size() < 7)
                arrived += s.readAll(); // what comes after the greeting is left unread
        });
        std::unique_ptr<QTcpSocket> other;
        if (dialled) {
            s.connectTo(QStringLiteral("127.0.0.1"), peer.serverPort());
            ASSERT_TRUE(waitFor([&] { return peer.hasPendingConnections() && s.state() == NetSocket::State::Connected; }));
            other.reset(peer.nextPendingConnection());
        } else {
            other = std::make_unique<QTcpSocket>();
            other->connectToHost(QHostAddress::LocalHost, listener.localPort());
            ASSERT_TRUE(waitFor([&] { return !requests.isEmpty() && other->state() == QAbstractSocket::ConnectedState; }));
            ASSERT_TRUE(s.accept(requests.takeFirst()));
        }
        EXPECT_EQ(s.remotePort(), other->localPort());
        other->write(QStringLiteral("round %1").arg(round).toUtf8().left(7));
        s.send(big);
        qint64 received = 0;
        ASSERT_TRUE(waitFor([&] { return (received += other->readAll().size()) == big.size() && arrived.size() == 7; }));
        EXPECT_EQ(arrived, QStringLiteral("round %1").arg(round).toUtf8().left(7));
        other->write("unread");
        ASSERT_TRUE(waitFor([&] { return s.bytesAvailable() > 0; }));
        s.close();
        idleFor(30); // the ended connection is free for the next round's
    }
}
