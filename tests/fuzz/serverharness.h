// A fresh exam server for each fuzz input, in a program folder made once, and a client to talk to it.
#pragma once

#include "tests/fuzz/fuzzinput.h"

#include "centrum/server.h"
#include "paper/paperformat.h"

#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

namespace fuzz {

// What must never reach a browser: the server's own records and settings, and a file
// outside its folder that links inside it point to.
inline const QByteArray outsideMarker = "OUTSIDE-THE-PROGRAM-FOLDER";
inline const QByteArray recordMarker = "THE-SERVERS-OWN-RECORDS";

class ServerHarness
{
public:
    ServerHarness() : m_scratch("centrum")
    {
        ensureApplication();
        QDir(m_scratch.path()).mkpath(QStringLiteral("room/sub"));
        QDir(m_scratch.path()).mkpath(QStringLiteral("outside"));
        write(QStringLiteral("outside/secret.txt"), outsideMarker);
        write(QStringLiteral("room/setting.ini"),
              "[comm]\n; " + recordMarker + "\nmsg=0\nfile=8602\nweb=0\n[subject]\nfile=sample.dat,second.dat\n");
        write(QStringLiteral("room/sample.dat"),
              paperBytes({ QStringLiteral("417^20^Science^Sample paper^10^Exam office"),
                           QStringLiteral("Which planet is closest to the Sun?^0^2^2^9^Venus^Mercury^Mars^Earth") }));
        write(QStringLiteral("room/second.dat"),
              paperBytes({ QStringLiteral("5^10^History^Second paper^2^Exam office"),
                           QStringLiteral("Rome was founded before Athens.^0^2^2^6^True^False") }));
        write(QStringLiteral("room/index.html"), "<html><body><a href=\"sample.dat\">paper</a></body></html>\n");
        write(QStringLiteral("room/sub/notes.txt"), "notes\n");
        write(QStringLiteral("room/2026-12-1.rpt"), "[record]\n09:00:00-1=" + recordMarker + "\n");
        write(QStringLiteral("room/2026-12-1.log"), "[record]\n09:00:00-1=" + recordMarker + "\n");
        // Larger than what the server keeps in memory, so it goes out piece by piece.
        write(QStringLiteral("room/big.bin"), QByteArray(300 * 1024, 'b'));
        for (const char *name : { "sample.dat", "second.dat", "index.html", "sub/notes.txt", "big.bin" }) {
            QFile f(room(QLatin1StringView(name)));
            FUZZ_ASSERT(f.open(QIODevice::ReadOnly));
            m_servable.append(f.readAll());
        }
        QFile::link(QStringLiteral("../outside"), room(QStringLiteral("out")));
        QFile::link(QStringLiteral("../outside/secret.txt"), room(QStringLiteral("secret.txt")));
        QFile::link(QStringLiteral("sample.dat"), room(QStringLiteral("paper-link.dat")));

        // The candidate's file port: whatever the server sends there is read and dropped.
        m_filePort.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_filePort, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *s = m_filePort.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, s, [s] { s->readAll(); });
                QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }

    QString room(const QString &name = {}) const
    {
        return m_scratch.filePath(QStringLiteral("room")) + (name.isEmpty() ? QString() : u'/' + name);
    }
    quint16 filePort() const { return m_filePort.serverPort(); }
    // The contents of every file a browser may get.
    const QList<QByteArray> &servable() const { return m_servable; }

    // A server started afresh in the program folder, with the day files of the last input gone.
    centrum::Server &startServer()
    {
        for (const QString &name : QDir(room()).entryList({ QStringLiteral("2026-12-7.*") }, QDir::Files))
            QFile::remove(room(name));
        centrum::ServerSeams seams;
        seams.programFolder = room();
        seams.now = [] { return QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0)); };
        seams.reportGrouping = std::chrono::milliseconds(0);
        m_server = std::make_unique<centrum::Server>(seams);
        const auto started = m_server->start();
        FUZZ_ASSERT(started.messageService && started.httpService);
        return *m_server;
    }

    void stopServer()
    {
        m_server.reset();
        settle();
    }

    // A client connected to port, collecting everything it receives.
    struct Client {
        QTcpSocket socket;
        QByteArray received;
    };
    std::unique_ptr<Client> connect(quint16 port)
    {
        auto c = std::make_unique<Client>();
        Client *raw = c.get();
        QObject::connect(&c->socket, &QTcpSocket::readyRead, [raw] { raw->received += raw->socket.readAll(); });
        c->socket.connectToHost(QHostAddress::LocalHost, port);
        FUZZ_ASSERT(c->socket.waitForConnected(5000));
        // Each piece leaves at once: Nagle's wait for the server's delayed ACK would hold it back.
        c->socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        return c;
    }

    // Sends one piece and lets the server handle it before anything else arrives.
    static void send(Client &c, const QByteArray &piece)
    {
        if (c.socket.state() != QAbstractSocket::ConnectedState)
            return;
        c.socket.write(piece);
        c.socket.flush();
        settle();
    }

private:
    static QByteArray paperBytes(const QStringList &plainLines)
    {
        QByteArray out;
        for (const QString &line : plainLines)
            out += paper::encipherLine(line).toLatin1() + "\r\n";
        return out;
    }
    void write(const QString &name, const QByteArray &bytes)
    {
        QFile f(m_scratch.filePath(name));
        FUZZ_ASSERT(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    ScratchFolder m_scratch;
    QTcpServer m_filePort;
    std::unique_ptr<centrum::Server> m_server;
    QList<QByteArray> m_servable;
};

} // namespace fuzz
