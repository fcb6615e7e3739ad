// A login client and an exam server core, each in a program folder of its own, on a private result channel.
#pragma once

#include "centrum/dayfilewriter.h"
#include "centrum/server.h"
#include "entrant/client.h"
#include "entrant/launcher.h"
#include "tests/support/eventloop.h"
#include "tests/support/rawchannel.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <future>

// Records what would have been started instead of starting it; end() plays its ending.
struct FakeLauncher : entrant::Launcher {
    QStringList started;
    bool works = true;
    bool startExamdesk(const QString &paperPath, QString *program) override
    {
        started.append(paperPath);
        *program = QStringLiteral("/opt/exam/examdesk");
        return works;
    }
    void end() { emit examdeskEnded(); }
};

class ClientTest : public ::testing::Test
{
protected:
    // The channel lives in the temporary folder: one of its own keeps this test's channel apart.
    void SetUp() override
    {
        qputenv("TMPDIR", m_tmp.path().toLocal8Bit());
        writeSettings(QStringLiteral("0"), QStringLiteral("0"));
    }
    void TearDown() override
    {
        for (auto &c : m_clients)
            c.reset();
        m_server.reset();
        qputenv("TMPDIR", m_oldTmp);
    }

    QString clientFile(const QString &name, int n = 0) const { return m_clientDirs[n].filePath(name); }
    QByteArray writePaper(const QString &name, qsizetype size)
    {
        QByteArray bytes(size, Qt::Uninitialized);
        for (qsizetype i = 0; i < size; ++i)
            bytes[i] = char(i * 31 + i / 509);
        QFile f(m_serverDir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == size);
        return bytes;
    }
    // Serves papers on the port given, or on one the system picks, and points client 0 at it;
    // subject holds more lines of the server's section subject.
    void startServer(const QString &papers, quint16 port = 0, const QString &subject = {})
    {
        QFile f(m_serverDir.filePath(QStringLiteral("setting.ini")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        // The clients here share one address: a second login is refused as from another workstation.
        f.write(QStringLiteral("[comm]\nmsg=%1\nweb=0\n[subject]\nfile=%2\nresume=0\n%3").arg(port).arg(papers, subject).toUtf8());
        f.close();
        if (!m_server)
            m_server = std::make_unique<centrum::Server>(centrum::ServerSeams {
                m_serverDir.path(), 1033, [] { return QDateTime(QDate(2026, 12, 6), QTime(14, 5, 33)); } });
        ASSERT_TRUE(m_server->start().messageService);
        writeSettings(QString::number(m_server->messagePort()), QStringLiteral("0"));
    }
    QStringList reportEntries() const { return report::reportEntries(m_serverDir.filePath(QStringLiteral("2026-12-6.rpt"))); }
    void writeSettings(const QString &msg, const QString &file, int n = 0, const QString &host = QStringLiteral("127.0.0.1"))
    {
        QFile f(clientFile(QStringLiteral("setting.ini"), n));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QStringLiteral("[comm]\nrmtHost=%1\nmsg=%2\nfile=%3\n").arg(host, msg, file).toUtf8());
    }

    // The client of program folder n, made on first use; the statuses it shows are collected.
    entrant::Client &client(int n = 0, int lcid = 1033)
    {
        auto &c = m_clients[n];
        if (!c) {
            c = std::make_unique<entrant::Client>(entrant::ClientSeams { m_clientDirs[n].path(), lcid, &m_launcher, {} });
            QObject::connect(c.get(), &entrant::Client::viewChanged, c.get(),
                             [this, n] { m_statuses[n].append(m_clients[n]->view().status); });
        }
        return *c;
    }
    bool reaches(entrant::State state, int n = 0)
    {
        return waitFor([&] { return client(n).view().state == state && !client(n).connectionsOpen(); });
    }
    QString text(int entry) { return client().text(entry); }

    // Hands a result to the client as examdesk does; true once the client has taken it.
    std::future<bool> handOver(const QString &result)
    {
        const std::string title = client().windowTitle().toStdString(), data = result.toStdString() + '\0';
        return std::async(std::launch::async, [title, data] {
            return rawchannel::send(title, { rawchannel::record(3, uint32_t(data.size()), data) });
        });
    }

    QTemporaryDir m_tmp { QStringLiteral("/tmp/entrant-test-XXXXXX") };
    const QByteArray m_oldTmp = qgetenv("TMPDIR");
    QTemporaryDir m_serverDir, m_clientDirs[2];
    std::unique_ptr<centrum::Server> m_server;
    FakeLauncher m_launcher;
    std::unique_ptr<entrant::Client> m_clients[2];
    QStringList m_statuses[2];
};

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
