// The test's logic without windows: refusing papers, labels, the countdown, scoring and the hand-off.
#include "common/clsencryptxor.h"
#include "common/numbers.h"
#include "examdesk/journal.h"
#include "examdesk/testsession.h"
#include "examdesk/texts.h"
#include "tests/support/paperfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using examdesk::TestSession;

namespace {

const QString header = QStringLiteral("1^45^Physics^Midterm^100^Teacher");

class SessionTest : public ::testing::Test
{
protected:
    QString paper(const QStringList &lines, const QByteArray &rawTail = {})
    {
        return writePaper(m_dir.filePath(QStringLiteral("p%1.dat").arg(++m_count)), lines, rawTail);
    }
    std::unique_ptr<TestSession> session(const QString &path, bool chinese = false)
    {
        m_table = examdesk::stringTable(chinese ? chineseLcid : 1033);
        return std::make_unique<TestSession>(*m_table, path, [this] { return m_now; });
    }
    void advance(qint64 seconds) { m_now = m_now.addSecs(seconds); }

    QTemporaryDir m_dir;
    int m_count = 0;
    QDateTime m_now = QDateTime(QDate(2026, 6, 1), QTime(9, 0), Qt::UTC);
    std::unique_ptr<CmultiLanguage> m_table;
};

TEST_F(SessionTest, RefusesAPaperThatCannotBeTakenNamingFileAndLine)
{
    struct Case {
        const char *name;
        QString path;
        QStringList expected;
    };
    const QString missing = m_dir.filePath(QStringLiteral("missing.dat"));
    const QString onlyHeader = paper({ header });
    const QString badLine = paper({ header, QStringLiteral("Q1^0^1^1^9^a^b") }, "NOT HEX\r\n");
    const QString unknownKind = paper({ header, QStringLiteral("Q1^0^1^1^9^a^b"), QStringLiteral("Q2^0^1^1^5^a^b") });
    const QString tooRich = paper({ header, QStringLiteral("Q1^0^1^30000^9^a"), QStringLiteral("Q2^0^1^3000^9^a") });
    QFile(m_dir.filePath(QStringLiteral("empty.dat"))).open(QIODevice::WriteOnly);
    const std::vector<Case> cases = {
        { "missing", missing, { missing, QStringLiteral("cannot be opened") } },
        { "empty", m_dir.filePath(QStringLiteral("empty.dat")), { QStringLiteral("empty.dat"), QStringLiteral("no questions") } },
        { "header only", onlyHeader, { onlyHeader, QStringLiteral("no questions") } },
        { "damaged line", badLine, { badLine, QStringLiteral("line 3") } },
        { "unknown kind", unknownKind, { unknownKind, QStringLiteral("\"5\" at line 3") } },
        { "full marks beyond 16 bits", tooRich, { tooRich, QStringLiteral("(33000)") } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto s = session(c.path);
        const std::optional<QString> problem = s->startTest();
        ASSERT_TRUE(problem);
        for (const QString &part : c.expected)
            EXPECT_TRUE(problem->contains(part)) << problem->toStdString();
        EXPECT_TRUE(s->testConsole().startFlag()) << "nothing may start";
    }
    EXPECT_TRUE(session(unknownKind, true)->startTest()->contains(QStringLiteral("题型代码“5”")));
}

TEST_F(SessionTest, StartAddsThePaperToTheCaptionAndCountsFullMarksPerBlank)
{
    const QString path = paper({ header, QStringLiteral("Q1^0^2^2^9^a^b"), QStringLiteral("Q2^0^^3^7^Paris^Rome"),
                                 QStringLiteral("Q3^0^1^1^6^T^F") });
    auto s = session(path);
    EXPECT_EQ(s->caption(), QStringLiteral("ZeloClientV1.1.41"));
    ASSERT_FALSE(s->startTest());
    EXPECT_EQ(s->caption(), QStringLiteral("ZeloClientV1.1.41 Subject:Physics Test Name:Midterm Author:Teacher"));
    EXPECT_EQ(s->countText(), QStringLiteral("Count 1/ 3"));
    EXPECT_EQ(s->fullMarksText(), QStringLiteral("Total 9"));
    EXPECT_EQ(s->timeLimitSeconds(), 45 * 60);

    EXPECT_FALSE(s->previous());
    EXPECT_TRUE(s->next());
    EXPECT_TRUE(s->next());
    EXPECT_FALSE(s->next());
    EXPECT_EQ(s->countText(), QStringLiteral("Count 3/ 3"));
    EXPECT_EQ(s->currentQuestion()->getType(), QStringLiteral("6"));

    auto zh = session(path, true);
    ASSERT_FALSE(zh->startTest());
    EXPECT_EQ(zh->caption(), QStringLiteral("Orla客户端程序V1.1.41 科目:Physics 试卷名:Midterm 出题人:Teacher"));
    EXPECT_EQ(zh->fullMarksText(), QStringLiteral("总分 9"));
}

TEST_F(SessionTest, CountsDownTurnsRedAndEndsAtTheFirstTickPastEachMark)
{
    auto s = session(paper({ header, QStringLiteral("Q1^0^1^1^9^a") }));
    ASSERT_FALSE(s->startTest());
    EXPECT_EQ(s->initialTimeText(), QStringLiteral("Remain"));
    advance(1);
    EXPECT_EQ(s->tick().timeText, QStringLiteral("Remain 44: 59"));
    advance(2700 - 1 - 200);
    TestSession::Tick t = s->tick();
    EXPECT_EQ(t.timeText, QStringLiteral("Remain 3: 20"));
    EXPECT_FALSE(t.turnRed);
    advance(135); // a late tick jumps from 200 to 65 seconds left
    t = s->tick();
    EXPECT_EQ(t.timeText, QStringLiteral("Remain 1: 5"));
    EXPECT_TRUE(t.turnRed);
    EXPECT_FALSE(t.timeUp);
    advance(1);
    EXPECT_FALSE(s->tick().turnRed) << "red once, then it stays";
    advance(70); // and past the end
    t = s->tick();
    EXPECT_TRUE(t.timeUp);
    EXPECT_EQ(t.timeText, QStringLiteral("Remain 0: 0"));
    EXPECT_EQ(s->elapsedSeconds(), 2700) << "the time used is the whole limit";
    advance(1);
    EXPECT_FALSE(s->tick().timeUp);
}

TEST_F(SessionTest, APaperWithoutATimeLimitShowsTheTimeUsedAndRunsUntilSubmitted)
{
    struct Case {
        const char *minutes;
        bool chinese;
        const char *atStart, *afterOneSecond, *anHourLater;
    };
    const Case cases[] = {
        { "0", false, "Used", "Used 0: 1", "Used 60: 1" },
        { "-5", true, "用时", "用时 0: 1", "用时 60: 1" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.minutes);
        auto s = session(paper({ QStringLiteral("1^%1^S^T^1^A").arg(QLatin1String(c.minutes)),
                                 QStringLiteral("Q1^0^1^1^9^a") }),
                         c.chinese);
        EXPECT_EQ(s->initialTimeText(), QString::fromUtf8(c.chinese ? "时间" : "Remain")) << "no limit known before Start";
        ASSERT_FALSE(s->startTest());
        EXPECT_EQ(s->initialTimeText(), QString::fromUtf8(c.atStart));
        advance(1);
        TestSession::Tick t = s->tick();
        EXPECT_EQ(t.timeText, QString::fromUtf8(c.afterOneSecond));
        EXPECT_FALSE(t.timeUp || t.turnRed);
        advance(3600);
        t = s->tick();
        EXPECT_EQ(t.timeText, QString::fromUtf8(c.anHourLater));
        EXPECT_FALSE(t.timeUp || t.turnRed);
    }
}

TEST_F(SessionTest, ScoresAllOrNothingAndFillInsPerBlank)
{
    const QString path = paper({ header, QStringLiteral("Q1^0^2^2^9^a^b"), QStringLiteral("Q2^0^135^3^8^a^b^c^d^e"),
                                 QStringLiteral("Q3^0^^2^7^Paris^Rome"), QStringLiteral("Q4^0^^1.5^9^a") });
    auto s = session(path);
    ASSERT_FALSE(s->startTest());
    examdesk::testRecord &rec = s->testConsole().rec;
    const oneChoices &paper = s->paper();
    // Each step rounds: 9 + 1.5 gives 10.
    EXPECT_EQ(rec.getFullPoint(paper), 10);
    rec.addSel(0, QStringLiteral("2"));
    rec.addSel(1, QStringLiteral("135"));
    rec.addSel(2, QStringLiteral("Rome~Paris~~~~~"));
    // Q4's empty answer matches the empty correct one.
    EXPECT_EQ(rec.getResult(paper), 10);
    rec.addSel(0, QStringLiteral("02"));
    rec.addSel(1, QStringLiteral("153"));
    rec.addSel(2, QStringLiteral("Paris~~~~~~"));
    EXPECT_EQ(rec.getResult(paper), 4);
    EXPECT_THROW(rec.addSel(5, QStringLiteral("1")), std::out_of_range);
    EXPECT_THROW(rec.getUsel(-1), std::out_of_range);
    EXPECT_EQ(rec.getUsel(4), QString()) << "slot n exists and stays empty";
}

TEST_F(SessionTest, SubmissionKeepsACopyBesideThePaperAndHandsItOver)
{
    const QString path = paper({ header, QStringLiteral("Q1^0^2^5^9^a^b") });
    auto s = session(path);
    ASSERT_FALSE(s->startTest());
    s->testConsole().rec.addSel(0, QStringLiteral("2"));
    advance(1830);
    s->tick();

    QString sentText, sentTitle;
    const auto handOff = s->submit([&](const QString &text, const QString &title) {
        sentText = text;
        sentTitle = title;
        return CsendMessage::Outcome::Delivered;
    });
    EXPECT_TRUE(s->submitted());
    EXPECT_EQ(clsEncryptXOR().HexDecrypt(sentText), QStringLiteral("5:p1.dat:1830"));
    EXPECT_EQ(sentTitle, QStringLiteral("ZeloClientV1.1"));
    EXPECT_TRUE(handOff.message.isEmpty());
    QFile copy(path + QStringLiteral(".result"));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), sentText.toLatin1() + '\n');
}

TEST_F(SessionTest, AFailedHandOffTellsWhereTheResultIs)
{
    const QString path = paper({ header, QStringLiteral("Q1^0^2^5^9^a^b") });
    const auto failing = [](CsendMessage::Outcome outcome) {
        return [outcome](const QString &, const QString &) { return outcome; };
    };
    auto s = session(path);
    ASSERT_FALSE(s->startTest());
    auto handOff = s->submit(failing(CsendMessage::Outcome::NoReceiver));
    EXPECT_TRUE(handOff.message.contains(QDir::toNativeSeparators(path + QStringLiteral(".result"))));

    // Not beside the paper: the copy goes to the spare folder, and the candidate is told so.
    const QString blocked = paper({ header, QStringLiteral("Q1^0^2^5^9^a^b") });
    QDir().mkdir(blocked + QStringLiteral(".result"));
    const QString spare = m_dir.filePath(QStringLiteral("spare"));
    QDir().mkdir(spare);
    s = session(blocked);
    s->setSpareFolder(spare);
    ASSERT_FALSE(s->startTest());
    handOff = s->submit(failing(CsendMessage::Outcome::NoReceiver));
    EXPECT_EQ(handOff.savedPath, spare + QStringLiteral("/p2.dat.result"));
    EXPECT_TRUE(QFileInfo(handOff.savedPath).isFile());
    EXPECT_TRUE(handOff.message.contains(QDir::toNativeSeparators(handOff.savedPath)));

    // Nowhere to keep the copy either: the candidate is shown the result code to pass on.
    s = session(blocked);
    ASSERT_FALSE(s->startTest());
    handOff = s->submit(failing(CsendMessage::Outcome::NoReply));
    EXPECT_TRUE(handOff.savedPath.isEmpty());
    EXPECT_TRUE(handOff.message.contains(handOff.resultHex));
}

TEST_F(SessionTest, AStartedTestResumesFromItsJournalOnlyWhenItIsThisPapersAndStillOpen)
{
    enum class Then { Nothing, PaperChanged, HandedOver, JournalDamaged, FolderClosed, FolderOpenedAndHandedOver };
    struct Case {
        const char *name;
        Then then;
        qint64 outageSeconds;
        bool resumes;
        bool timeUpAtOnce = false;
    };
    const std::vector<Case> cases = {
        { "crashed and started again", Then::Nothing, 600, true },
        { "kept in the spare folder", Then::FolderClosed, 60, true },
        { "time ran out while down", Then::Nothing, 2700, true, true },
        { "another paper under the same name", Then::PaperChanged, 60, false },
        { "already handed over", Then::HandedOver, 60, false },
        { "handed over beside the paper, an older state in the spare folder", Then::FolderOpenedAndHandedOver, 60, false },
        { "damaged", Then::JournalDamaged, 60, false },
    };
    const QString tricky = QStringLiteral("a\\nb~line\nbreak\r~中文~~~~");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = paper({ header, QStringLiteral("Q1^0^2^5^9^a^b"), QStringLiteral("Q2^0^x^1^7^x"),
                                     QStringLiteral("Q3^0^1^1^9^a") });
        const QString spare = m_dir.filePath(QStringLiteral("spare%1").arg(m_count));
        QDir().mkdir(spare);
        const bool closed = c.then == Then::FolderClosed || c.then == Then::FolderOpenedAndHandedOver;
        if (closed)
            QDir().mkdir(path + QStringLiteral(".journal"));
        const QDateTime started = m_now;
        auto first = session(path);
        first->setSpareFolder(spare);
        ASSERT_FALSE(first->startTest());
        first->testConsole().rec.addSel(0, QStringLiteral("2"));
        first->next();
        first->testConsole().rec.addSel(1, tricky);
        first->next();
        advance(5); // the question on show goes along with the countdown
        first->tick();
        const QString journal = first->journalPath();
        EXPECT_EQ(QFileInfo(journal).absolutePath(), closed ? spare : m_dir.path());
        if (c.then == Then::FolderOpenedAndHandedOver) {
            QDir().rmdir(path + QStringLiteral(".journal"));
            first->submit([](const QString &, const QString &) { return CsendMessage::Outcome::Delivered; });
            EXPECT_EQ(first->journalPath(), path + QStringLiteral(".journal"));
        }
        if (c.then == Then::HandedOver)
            first->submit([](const QString &, const QString &) { return CsendMessage::Outcome::Delivered; });
        if (c.then == Then::PaperChanged)
            writePaper(path, { header, QStringLiteral("Q1^0^1^5^9^a^b"), QStringLiteral("Q2^0^x^1^7^x"),
                               QStringLiteral("Q3^0^1^1^9^a") });
        if (c.then == Then::JournalDamaged) {
            QFile f(journal);
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            QByteArray bytes = f.readAll();
            bytes[bytes.indexOf("current=") + 8] = '1';
            f.seek(0);
            f.write(bytes);
        }
        first.reset(); // the workstation goes down

        advance(c.outageSeconds);
        auto again = session(path);
        again->setSpareFolder(spare);
        ASSERT_FALSE(again->startTest());
        EXPECT_EQ(again->resumed(), c.resumes);
        EXPECT_EQ(again->testConsole().rec.getUsel(1), c.resumes ? tricky : QString());
        EXPECT_EQ(again->testConsole().currentItem, c.resumes ? 3 : 1);
        EXPECT_EQ(again->journalNotice().isEmpty(), c.then != Then::JournalDamaged);
        EXPECT_EQ(QFileInfo::exists(journal + QStringLiteral(".bad")), c.then == Then::JournalDamaged);
        const TestSession::Tick tick = again->tick();
        EXPECT_EQ(tick.timeUp, c.timeUpAtOnce);
        const qint64 used = c.resumes ? started.secsTo(m_now) : 0;
        if (!c.timeUpAtOnce) {
            EXPECT_EQ(tick.timeText, QStringLiteral("Remain%1:%2").arg(numbers::labelText(double((2700 - used) / 60)),
                                                                        numbers::labelText(double((2700 - used) % 60))));
        }
        const auto handOff = again->submit([](const QString &, const QString &) { return CsendMessage::Outcome::Delivered; });
        EXPECT_EQ(clsEncryptXOR().HexDecrypt(handOff.resultHex).section(QLatin1Char(':'), 0, 0),
                  QLatin1String(c.resumes ? "5" : "0"));
        again.reset();

        auto later = session(path);
        later->setSpareFolder(spare);
        ASSERT_FALSE(later->startTest());
        EXPECT_FALSE(later->resumed()) << "a test handed over is done";
    }
}

TEST(FindPicture, LooksBesideThePaperThenBesideTheProgram)
{
    QTemporaryDir paperDir, programDir;
    const QString paperPath = paperDir.filePath(QStringLiteral("p.dat"));
    EXPECT_EQ(examdesk::findPicture(7, paperPath, programDir.path()), QString());
    QFile(programDir.filePath(QStringLiteral("7.bmp"))).open(QIODevice::WriteOnly);
    EXPECT_EQ(examdesk::findPicture(7, paperPath, programDir.path()), programDir.filePath(QStringLiteral("7.bmp")));
    QFile(paperDir.filePath(QStringLiteral("7.jpg"))).open(QIODevice::WriteOnly);
    EXPECT_EQ(examdesk::findPicture(7, paperPath, programDir.path()), paperDir.filePath(QStringLiteral("7.jpg")));
    EXPECT_EQ(examdesk::findPicture(0, paperPath, programDir.path()), QString());
}

} // namespace

TEST_F(SessionTest, AnswersTypedInQuickSuccessionReachTheJournalSoonAfterAndAtTheEnd)
{
    const QString path = paper({ header, QStringLiteral("Q1^0^x^1^7^Paris^Rome") });
    const auto journaled = [&] {
        QFile file(path + QStringLiteral(".journal"));
        const std::optional<examdesk::Journal> journal =
            file.open(QIODevice::ReadOnly) ? examdesk::decodeJournal(file.readAll()) : std::nullopt;
        return journal ? journal->answers.value(0) : QStringLiteral("(none)");
    };
    for (const bool waitForTheWrite : { true, false }) {
        SCOPED_TRACE(waitForTheWrite ? "the program goes on" : "the program ends at once");
        QFile::remove(path + QStringLiteral(".journal"));
        auto s = session(path);
        ASSERT_FALSE(s->startTest());
        for (const QString &typed : { QStringLiteral("P"), QStringLiteral("Pa"), QStringLiteral("Par~~~~~~") })
            s->testConsole().rec.addSel(0, typed);
        if (waitForTheWrite) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return journaled() == QStringLiteral("Par~~~~~~"); }, 2000));
        }
        s.reset();
        EXPECT_EQ(journaled(), QStringLiteral("Par~~~~~~"));
    }
}
