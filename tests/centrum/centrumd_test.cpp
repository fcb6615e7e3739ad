// The headless server as examiners run it: from its own folder, its log on stdout, signals, exit codes.
#include "tests/centrum/candidate.h"

#include "centrum/dayfilewriter.h"
#include "common/clsencryptxor.h"

#include <QDate>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

class Centrumd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ensureApp();
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QFile::copy(QStringLiteral(EXAM_DIST_DIR "/centrum/centrumd"), program()));
        ASSERT_TRUE(QFile::copy(QStringLiteral(EXAM_DIST_DIR "/centrum/sample.dat"), m_dir.filePath("sample.dat")));
        QFile paper(m_dir.filePath("sample.dat"));
        ASSERT_TRUE(paper.open(QIODevice::ReadOnly));
        m_paper = paper.readAll();
    }

    void TearDown() override
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    QString program() const { return m_dir.filePath(QStringLiteral("centrumd")); }

    void writeSettings(const QByteArray &text)
    {
        QFile f(m_dir.filePath("setting.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }

    // Starts the server on ports the system chooses and waits until it says which ones.
    void launch()
    {
        writeSettings("[comm]\nmsg=0\nfile=8602\nweb=0\n[subject]\nfile=sample.dat\n");
        m_process.setWorkingDirectory(QDir::tempPath()); // the program folder is what counts
        m_process.start(program(), {});
        ASSERT_TRUE(m_process.waitForStarted());
        const QRegularExpression serving(QStringLiteral("serving candidates on port (\\d+) and browsers on port (\\d+)"));
        QByteArray err;
        QRegularExpressionMatch m;
        ASSERT_TRUE(waitFor([&] {
            err += m_process.readAllStandardError();
            m = serving.match(QString::fromUtf8(err));
            return m.hasMatch();
        })) << err.toStdString();
        m_msg = quint16(m.captured(1).toUInt());
        m_web = quint16(m.captured(2).toUInt());
    }

    int stop(int signal)
    {
        ::kill(pid_t(m_process.processId()), signal);
        EXPECT_TRUE(waitFor([&] { return m_process.state() == QProcess::NotRunning; }));
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }

    QTemporaryDir m_dir;
    QProcess m_process;
    QByteArray m_paper;
    quint16 m_msg = 0;
    quint16 m_web = 0;
};

} // namespace

TEST_F(Centrumd, RefusesBadSettingsWithExitStatusTwo)
{
    const std::pair<QByteArray, QByteArray> rows[] = {
        { "[subject]\nfile=sample.dat\n", "Bad port setting:comm/msg=" },
        { "[comm]\nmsg=86x1\nweb=0\n[subject]\nfile=sample.dat\n", "Bad port setting:comm/msg=86x1" },
        { "[comm]\nmsg=0\nweb=0\n", "NO Tests" },
        { "[comm]\nmsg=0\nweb=0\n[subject]\nfile=missing.dat\n", "Paper cannot be served:missing.dat" },
        { "[comm]\nmsg=0\nweb=0\n[subject]\nfile=sample.dat\nstrict=1\n", "Roster cannot be read:subject/roster=" },
        { "[comm]\nmsg=0\nweb=0\n[subject]\nfile=sample.dat\nroster=setting.ini\n", "(the ID \"file=sample.dat\" on line 5 is longer than 12 characters" },
    };
    for (const auto &[settings, message] : rows) {
        SCOPED_TRACE(settings.toStdString());
        writeSettings(settings);
        QProcess p;
        p.start(program(), {});
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), 2);
        const QByteArray err = p.readAllStandardError();
        EXPECT_TRUE(err.contains(message)) << err.toStdString();
        EXPECT_TRUE(err.contains("setting.ini")) << err.toStdString();
    }
}

TEST_F(Centrumd, ServesACandidateAndStopsCleanlyOnSignals)
{
    for (int signal : { SIGTERM, SIGINT }) {
        SCOPED_TRACE(signal);
        launch();
        Candidate fetching(QStringLiteral("d1"));
        fetching.fetch(m_msg);
        ASSERT_TRUE(waitFor([&] { return fetching.finished; }));
        EXPECT_EQ(fetching.papers.value(0), m_paper);
        const QString result = clsEncryptXOR().HexEncrypt(QStringLiteral("10:sample.dat:300"));
        Candidate submitting(QStringLiteral("d1"));
        submitting.submit(m_msg, result);
        ASSERT_TRUE(waitFor([&] { return submitting.finished; }));

        EXPECT_EQ(stop(signal), 0);
        const QString out = QString::fromUtf8(m_process.readAllStandardOutput());
        const QString stamp = centrum::dayName(QDate::currentDate()) + u' ';
        for (const char *line : { " Server Started", " Connection RequestIP:127.0.0.1:", " sample.dat Send to IP:127.0.0.1:",
                                  " Submit by IP:127.0.0.1:", " Server Stoped" })
            EXPECT_TRUE(out.contains(QString::fromUtf8(line))) << line;
        EXPECT_TRUE(out.startsWith(stamp)) << out.toStdString();
        const QStringList entries = report::reportEntries(
            m_dir.filePath(centrum::dayName(QDate::currentDate()) + QStringLiteral(".rpt")));
        EXPECT_TRUE(entries.contains(QStringLiteral("127.0.0.1:d1:") + result));
    }
}

TEST_F(Centrumd, TakesAllowFromItsTerminalOnlyAndServesOnAfterTheInputEnds)
{
    // A pipe on standard input is not read.
    launch();
    Candidate first(QStringLiteral("d2"));
    first.fetch(m_msg);
    ASSERT_TRUE(waitFor([&] { return first.finished; }));
    m_process.write("allow d2\n");
    Candidate refused(QStringLiteral("d2"));
    refused.from = QHostAddress(QStringLiteral("127.0.0.2")); // the first workstation would take its test up again
    refused.fetch(m_msg);
    ASSERT_TRUE(waitFor([&] { return refused.duplicate; }));
    EXPECT_EQ(stop(SIGTERM), 0);
    EXPECT_FALSE(m_process.readAllStandardOutput().contains("Allowed"));

    const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(::grantpt(terminal), 0);
    ASSERT_EQ(::unlockpt(terminal), 0);
    const int side = ::open(::ptsname(terminal), O_RDWR | O_NOCTTY);
    ASSERT_GE(side, 0);
    m_process.setChildProcessModifier([side] { ::dup2(side, STDIN_FILENO); });
    launch();
    ::close(side);
    Candidate fetched(QStringLiteral("d3"));
    fetched.fetch(m_msg);
    ASSERT_TRUE(waitFor([&] { return fetched.finished; }));
    const QByteArray typed = "help\nfrobnicate now\nstatus\nallow nobody\nallow d3\n";
    ASSERT_EQ(::write(terminal, typed.constData(), size_t(typed.size())), typed.size());
    QByteArray out, err;
    const auto shows = [&](const QByteArray &inOut, const QByteArray &inErr) {
        return waitFor([&] {
            out += m_process.readAllStandardOutput();
            err += m_process.readAllStandardError();
            return out.contains(inOut) && err.contains(inErr);
        });
    };
    EXPECT_TRUE(shows(" Allowed to log in again:d3", "This ID has not logged in: nobody")) << err.toStdString();
    for (const char *answer : { "Commands: allow ID", "Unknown command: frobnicate now",
                                "Expected: 0   Logged in: 1   Taking the test: 1   Submitted: 0   Absent: 0",
                                "Not submitted yet:1\ncentrumd:   d3  127.0.0.1  Taking the test\n" })
        EXPECT_TRUE(err.contains(answer)) << answer;
    Candidate again(QStringLiteral("d3"));
    again.fetch(m_msg);
    ASSERT_TRUE(waitFor([&] { return again.finished; }));
    EXPECT_EQ(again.papers.value(0), m_paper);

    // The end of the input (Ctrl-D) ends the commands only.
    ASSERT_EQ(::write(terminal, "\x04", 1), 1);
    Candidate later(QStringLiteral("d4"));
    later.fetch(m_msg);
    EXPECT_TRUE(waitFor([&] { return later.finished; }));
    EXPECT_EQ(stop(SIGTERM), 0);
    ::close(terminal);
}

TEST_F(Centrumd, AResultStillPendingAtTheSignalIsStoredOrItsRefusalShown)
{
    const QString reportFile = m_dir.filePath(centrum::dayName(QDate::currentDate()) + QStringLiteral(".rpt"));
    const QString result = clsEncryptXOR().HexEncrypt(QStringLiteral("3:sample.dat:30"));
    for (bool storable : { false, true }) {
        SCOPED_TRACE(storable);
        if (storable)
            ASSERT_TRUE(QDir(m_dir.path()).rmdir(QFileInfo(reportFile).fileName()));
        else
            ASSERT_TRUE(QDir(m_dir.path()).mkdir(QFileInfo(reportFile).fileName())) << reportFile.toStdString(); // in the report's way
        launch();
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, m_msg);
        ASSERT_TRUE(waitFor([&] { return s.bytesAvailable() > 0; }));
        // The signal follows the result at once, well within the time results are grouped.
        s.write("rprt" + idField(QStringLiteral("late")) + result.toUtf8());
        ASSERT_TRUE(s.waitForBytesWritten(5000));
        EXPECT_EQ(stop(SIGTERM), 0);
        const QString out = QString::fromUtf8(m_process.readAllStandardOutput());
        if (!out.contains(QStringLiteral(" Submit by IP:127.0.0.1:")))
            continue; // ended before the result was read: nothing was received, nothing is owed
        if (storable)
            EXPECT_TRUE(report::reportEntries(reportFile).contains(QStringLiteral("127.0.0.1:late:") + result));
        else
            EXPECT_TRUE(out.contains(QStringLiteral(" errorNum:-1 des:"))) << out.toStdString();
    }
}

TEST_F(Centrumd, KeepsServingWhenTheReaderOfItsLogGoesAway)
{
    // The log goes into a pipe whose reading end is already closed.
    m_process.setChildProcessModifier([] {
        int ends[2];
        if (::pipe(ends) == 0) {
            ::dup2(ends[1], STDOUT_FILENO);
            ::close(ends[0]);
            ::close(ends[1]);
        }
    });
    launch();
    Candidate c(QStringLiteral("nolog"));
    c.fetch(m_msg);
    ASSERT_TRUE(waitFor([&] { return c.finished; }));
    EXPECT_EQ(c.papers.value(0), m_paper);
    EXPECT_EQ(stop(SIGTERM), 0);
}

TEST_F(Centrumd, TwoHundredCandidatesAtOnceAllReceiveThePaperAndAllResultsAreStored)
{
    launch();
    QElapsedTimer timer;
    timer.start();
    std::vector<std::unique_ptr<Candidate>> fetching, submitting;
    for (int i = 0; i < 200; ++i) {
        fetching.push_back(std::make_unique<Candidate>(QStringLiteral("load%1").arg(i)));
        fetching.back()->fetch(m_msg);
    }
    ASSERT_TRUE(waitFor([&] {
        return std::all_of(fetching.begin(), fetching.end(), [](auto &c) { return c->finished; });
    }, 120000));
    const qint64 fetched = timer.elapsed();
    for (auto &c : fetching)
        ASSERT_EQ(c->papers.value(0), m_paper) << c->id.toStdString();

    const clsEncryptXOR cipher;
    for (int i = 0; i < 200; ++i) {
        submitting.push_back(std::make_unique<Candidate>(QStringLiteral("load%1").arg(i)));
        submitting.back()->submit(m_msg, cipher.HexEncrypt(QStringLiteral("%1:sample.dat:60").arg(i)));
    }
    ASSERT_TRUE(waitFor([&] {
        return std::all_of(submitting.begin(), submitting.end(), [](auto &c) { return c->finished; });
    }, 120000));
    std::cout << "200 candidates: papers fetched in " << fetched << " ms, all results stored after "
              << timer.elapsed() << " ms\n";
    EXPECT_EQ(stop(SIGTERM), 0);
    const QStringList entries =
        report::reportEntries(m_dir.filePath(centrum::dayName(QDate::currentDate()) + QStringLiteral(".rpt")));
    EXPECT_EQ(entries.size(), 200);
    for (int i = 0; i < 200; ++i)
        EXPECT_TRUE(entries.contains(QStringLiteral("127.0.0.1:load%1:").arg(i)
                                     + cipher.HexEncrypt(QStringLiteral("%1:sample.dat:60").arg(i))));
}

TEST_F(Centrumd, HoldsMoreCandidatesThanItsSoftOpenFileLimitAllowsAtStart)
{
    // Started with a soft limit far below a room; the hard limit leaves room for more.
    m_process.setChildProcessModifier([] {
        rlimit files {};
        ::getrlimit(RLIMIT_NOFILE, &files);
        files.rlim_cur = 64;
        ::setrlimit(RLIMIT_NOFILE, &files);
    });
    rlimit mine {};
    ::getrlimit(RLIMIT_NOFILE, &mine);
    if (mine.rlim_max < 1024)
        GTEST_SKIP() << "the hard limit of open files here is too low to tell";
    launch();
    std::vector<std::unique_ptr<QTcpSocket>> room;
    for (int i = 0; i < 300; ++i) {
        room.push_back(std::make_unique<QTcpSocket>());
        room.back()->connectToHost(QHostAddress::LocalHost, m_msg);
    }
    EXPECT_TRUE(waitFor([&] {
        return std::all_of(room.begin(), room.end(), [](auto &s) { return s->bytesAvailable() >= 4; });
    }, 60000));
    for (auto &s : room)
        EXPECT_TRUE(s->readAll().startsWith("fINF"));
    // The next candidate is served as usual.
    Candidate c(QStringLiteral("after300"));
    c.fetch(m_msg);
    ASSERT_TRUE(waitFor([&] { return c.finished; }));
    EXPECT_EQ(c.papers.value(0), m_paper);
    EXPECT_EQ(stop(SIGTERM), 0);
}
