// A server in a temporary program folder, with a fixed clock and a short stall time.
#pragma once

#include "centrum/server.h"
#include "tests/centrum/candidate.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

class ServerTest : public ::testing::Test
{
protected:
    // Every entry is written at the same second, as in a room submitting at once.
    static inline const QDateTime fixedNow { QDate(2026, 12, 6), QTime(14, 5, 33) };

    void SetUp() override
    {
        ensureApp();
        ASSERT_TRUE(m_dir.isValid());
    }

    QString folder() const { return m_dir.path(); }
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QByteArray writeFile(const QString &name, qsizetype size)
    {
        QByteArray bytes(size, Qt::Uninitialized);
        for (qsizetype i = 0; i < size; ++i)
            bytes[i] = char('A' + (i * 7 + i / 251) % 26);
        QFile f(path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return bytes;
    }

    void writeSettings(const QString &papers, const QString &msg = QStringLiteral("0"),
                       const QString &web = QStringLiteral("0"))
    {
        QFile f(path(QStringLiteral("setting.ini")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const QString transfers = m_transfers ? QStringLiteral("transfers=%1\n").arg(*m_transfers) : QString();
        const QString resume = m_resume ? QStringLiteral("resume=%1\n").arg(*m_resume) : QString();
        f.write(QStringLiteral("[comm]\nmsg=%1\nfile=8602\nweb=%2\n%3[subject]\nfile=%4\n%5")
                    .arg(msg, web, transfers, papers, resume).toUtf8());
    }

    centrum::Server &server(int lcid = 1033)
    {
        if (!m_server) {
            centrum::ServerSeams seams;
            seams.programFolder = folder();
            seams.lcid = lcid;
            seams.now = [] { return fixedNow; };
            seams.stallTimeout = m_stall;
            seams.transferQuiet = m_quiet;
            seams.reportSettle = m_settle;
            seams.beforeReportWrite = m_beforeReportWrite;
            if (m_random)
                seams.random = m_random;
            m_server = std::make_unique<centrum::Server>(seams);
            QObject::connect(m_server.get(), &centrum::Server::logLine,
                             [this](const QString &line) { m_log.append(line); });
        }
        return *m_server;
    }

    // Starts with the given papers and expects both services up.
    void startWith(const QString &papers)
    {
        writeSettings(papers);
        const auto r = server().start();
        ASSERT_TRUE(r.messageService && r.httpService) << r.problem.toStdString();
    }

    Candidate &candidate(const QString &id)
    {
        m_candidates.push_back(std::make_unique<Candidate>(id));
        return *m_candidates.back();
    }

    // The log lines without their date and time.
    QStringList logTexts() const
    {
        const QString stamp = centrum::shownStamp(fixedNow);
        QStringList out;
        for (const QString &line : m_log)
            out.append(line.mid(stamp.size()));
        return out;
    }

    QStringList reportEntries() const
    {
        return report::reportEntries(path(QStringLiteral("2026-12-6.rpt")));
    }

    std::chrono::milliseconds m_stall { 30000 };
    // One paper at a time, and a held transfer keeps its place, unless a test says otherwise.
    std::optional<QString> m_transfers = QStringLiteral("1");
    std::chrono::milliseconds m_quiet { 30000 };
    // The candidates here share one address: a second login is refused unless a test lets a
    // candidate take its test up again.
    std::optional<QString> m_resume = QStringLiteral("0");
    std::chrono::milliseconds m_settle = centrum::ServerSeams {}.reportSettle;
    std::function<void()> m_beforeReportWrite;
    centrum::RandomSource m_random; // the real one when empty
    QTemporaryDir m_dir;
    QStringList m_log;
    std::vector<std::unique_ptr<Candidate>> m_candidates;
    std::unique_ptr<centrum::Server> m_server;
};
