// Secure mode: answerless copies named by a token, sheets scored here as the copy would score them, forgeries refused.
#include "tests/centrum/serverfixture.h"

#include "centrum/ctransfile.h"
#include "centrum/securepaper.h"
#include "centrum/serversecret.h"
#include "centrum/shuffledpaper.h"
#include "centrum/texts.h"
#include "common/clsencryptxor.h"
#include "common/multilanguage.h"
#include "paper/answersheet.h"
#include "paper/linefields.h"
#include "paper/onechoices.h"
#include "paper/paperformat.h"
#include "paper/resulttext.h"
#include "paper/scoring.h"
#include "report/answerfile.h"
#include "tests/support/paperfiles.h"

#include <QRandomGenerator>

namespace {

const QStringList plainPaper = {
    QStringLiteral("417^60^Maths^Midterm^14^Ann"),
    QStringLiteral("Capital of France?^0^2^2^9^Rome^Paris^Oslo^Bern"),
    QStringLiteral("Which are prime?^3^134^3^8^2^4^5^7^9"),
    QStringLiteral("The sky is ... and the grass ...^0^^1^7^blue^green"),
    QStringLiteral("Water is wet^7^1^2^6^True^False"),
};

QStringList plainLinesOf(const QByteArray &file)
{
    QStringList lines;
    for (const QByteArray &stored : file.split('\n')) {
        if (!stored.isEmpty())
            lines.append(paper::decipherLine(QByteArrayView(stored.trimmed())).value_or(QStringLiteral("?")));
    }
    return lines;
}

QString sheetText(const QString &token, const QStringList &answers, const QString &paperName = QStringLiteral("mid.dat"))
{
    return clsEncryptXOR().HexEncrypt(paper::formatAnswerSheet({ token, paperName, 125, answers }));
}

// A random paper of all four kinds that a shuffle can take. Marks are whole when the total
// must not depend on the order questions are added in (it rounds at every step).
QStringList randomPaper(QRandomGenerator &g, bool wholeMarks)
{
    QStringList lines { QStringLiteral("1^30^S^T^10^A") };
    const QStringList words = { QStringLiteral("cat"), QStringLiteral("dog"), QStringLiteral("猫"), QStringLiteral("owl"),
                                QStringLiteral("ox"), QStringLiteral("catalog") };
    const QStringList marks = { QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("1.5"), QStringLiteral("0.5") };
    const int count = 1 + int(g.bounded(12));
    for (int q = 0; q < count; ++q) {
        const QString mark = marks[g.bounded(wholeMarks ? 2 : int(marks.size()))];
        const int run = 2 + int(g.bounded(5));
        QString options;
        for (int i = 0; i < run; ++i)
            options += QStringLiteral("^opt%1-%2").arg(q).arg(i);
        switch (g.bounded(4)) {
        case 0:
            lines << QStringLiteral("Q%1^0^%2^%3^9").arg(q).arg(1 + g.bounded(run)).arg(mark) + options;
            break;
        case 1: {
            QString answer;
            for (int i = 1; i <= run; ++i) {
                if (g.bounded(2) || (answer.isEmpty() && i == run))
                    answer += QString::number(i);
            }
            lines << QStringLiteral("Q%1^0^%2^%3^8").arg(q).arg(answer, mark) + options;
            break;
        }
        case 2: {
            QString blanks;
            for (int i = 0, n = 1 + int(g.bounded(6)); i < n; ++i)
                blanks += u'^' + words[g.bounded(int(words.size()))];
            lines << QStringLiteral("Q%1^0^^%2^7").arg(q).arg(mark) + blanks;
            break;
        }
        default:
            lines << QStringLiteral("Q%1^0^%2^%3^6^True^False").arg(q).arg(1 + g.bounded(2)).arg(mark);
        }
    }
    return lines;
}

// Answers as a candidate might give them, right, wrong or malformed.
QStringList randomAnswers(QRandomGenerator &g, int count)
{
    const QStringList pieces = { QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("13"),
                                 QStringLiteral("24"), QStringLiteral("135"), QStringLiteral("31"), QStringLiteral("7"),
                                 QStringLiteral("cat~dog~~~~~"), QStringLiteral("猫~owl~~~~~"), QString(),
                                 QStringLiteral("catalog~ox~~~~~"), QStringLiteral("2 ") };
    QStringList answers;
    for (int i = 0; i < count; ++i) {
        QString a = pieces[g.bounded(int(pieces.size()))];
        if (g.bounded(3) == 0) {
            a.clear();
            for (int d = 1; d <= 6; ++d) {
                if (g.bounded(2))
                    a += QString::number(d);
            }
        }
        answers << a;
    }
    return answers;
}

} // namespace

class SecureTest : public ServerTest
{
protected:
    void startSecure(const QString &shuffle, const QStringList &lines = plainPaper,
                     const QString &name = QStringLiteral("mid.dat"))
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(paperBytes(lines));
        f.close();
        writeSettings(name + QStringLiteral("\nsecure=1\nshuffle=") + shuffle);
        const auto r = server().start();
        ASSERT_TRUE(r.messageService && r.httpService) << r.problem.toStdString();
    }

    QByteArray fetch(const QString &id)
    {
        Candidate &c = candidate(id);
        c.fetch(server().messagePort());
        EXPECT_TRUE(waitFor([&] { return c.finished || c.duplicate; })) << id.toStdString();
        // Announced before the candidate is known: every copy is as long.
        EXPECT_EQ(c.announcements.value(0), QStringLiteral("mid.dat,%1").arg(c.papers.value(0).size()));
        return c.papers.value(0);
    }

    // Hands in a result; true when the server confirmed it.
    bool submit(const QString &id, const QString &result)
    {
        Candidate &c = candidate(id);
        c.submit(server().messagePort(), result);
        EXPECT_TRUE(waitFor([&] { return c.finished || c.closedByServer; })) << id.toStdString();
        return c.finished;
    }

    static QString tokenOf(const QByteArray &copy) { return plainLinesOf(copy).value(0).section(u'^', 0, 0); }

    QList<report::AnswerEntry> answers()
    {
        return report::readAnswerFile(path(QStringLiteral("2026-12-6.ans")), path(QStringLiteral("2026-12-6.rpt")))
            .value_or(QList<report::AnswerEntry> {});
    }

    QByteArray httpGet(const QByteArray &name)
    {
        QTcpSocket socket;
        QByteArray received;
        QObject::connect(&socket, &QTcpSocket::readyRead, [&] { received += socket.readAll(); });
        socket.connectToHost(QHostAddress::LocalHost, server().webPort());
        socket.write("GET /" + name + " HTTP/1.0\r\n\r\n");
        waitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; });
        return received.left(received.indexOf("\r\n"));
    }
};

TEST_F(SecureTest, CopiesHoldNoAnswerAndCarryATokenOfTheirIdOnly)
{
    for (const QString &shuffle : { QStringLiteral("0"), QStringLiteral("1") }) {
        SCOPED_TRACE(shuffle.toStdString());
        m_server.reset();
        m_candidates.clear();
        m_log.clear();
        startSecure(shuffle);
        EXPECT_TRUE(logTexts().contains(server().texts().getRes(centrum::text::SecureMode)));
        const QByteArray first = fetch(QStringLiteral("s01"));
        const QByteArray other = fetch(QStringLiteral("s02"));
        ASSERT_TRUE(server().allowAgain(QStringLiteral("s01")));
        EXPECT_EQ(fetch(QStringLiteral("s01")), first);
        EXPECT_EQ(first.size(), other.size());
        EXPECT_TRUE(paper::isSheetToken(tokenOf(first)));
        EXPECT_NE(tokenOf(first), tokenOf(other));

        for (const QByteArray &copy : { first, other }) {
            const QStringList lines = plainLinesOf(copy);
            ASSERT_EQ(lines.size(), plainPaper.size());
            EXPECT_EQ(lines[0].section(u'^', 1), plainPaper[0].section(u'^', 1));
            for (const QString &line : lines.mid(1)) {
                const paper::LineFields fields(line);
                EXPECT_TRUE(fields.readAt(2).isEmpty()) << line.toStdString();
                EXPECT_FALSE(line.contains(u"blue") || line.contains(u"green")) << line.toStdString();
            }
            EXPECT_TRUE(lines.contains(QStringLiteral("The sky is ... and the grass ...^0^^1^7^_^_")));
        }
        // The papers themselves stay with the server.
        EXPECT_EQ(httpGet("mid.dat"), QByteArray("HTTP/1.0 403 Forbidden"));
        EXPECT_EQ(httpGet("2026-12-6.ans"), QByteArray("HTTP/1.0 403 Forbidden"));
    }
}

TEST_F(SecureTest, ACopyOfSeveralPiecesArrivesWhole)
{
    // A paper bigger than the pieces it goes out in: every piece in place, the token's header first.
    QStringList lines { plainPaper[0] };
    while (lines.size() < 600)
        lines << QStringLiteral("Question %1, long enough to fill pieces?^0^2^2^9^Rome^Paris^Oslo^Bern").arg(lines.size());
    startSecure(QStringLiteral("0"), lines);
    const QByteArray copy = fetch(QStringLiteral("s01"));
    ASSERT_GT(copy.size(), 2 * centrum::CtransFile::pieceSize);
    const QStringList got = plainLinesOf(copy);
    ASSERT_EQ(got.size(), lines.size());
    EXPECT_TRUE(paper::isSheetToken(tokenOf(copy)));
    EXPECT_EQ(got[0].section(u'^', 1), lines[0].section(u'^', 1));
    for (qsizetype k = 1; k < lines.size(); ++k)
        ASSERT_EQ(got[k], centrum::answerlessLine(lines[k])) << k;
}

TEST_F(SecureTest, ASheetScoresWhatItsAnswersEarnOnTheCopyWithItsAnswers)
{
    const auto texts = centrum::stringTable(1033);
    QRandomGenerator g(20261207);
    const auto secret = centrum::ServerSecret::loadOrCreate(folder(), [&g] { return quint8(g.bounded(256)); });
    ASSERT_TRUE(secret);
    for (int round = 0; round < 120; ++round) {
        const bool shuffle = round % 2 == 1;
        SCOPED_TRACE(round);
        // Shuffled, the copy adds in its own order and the server in the paper's.
        const QByteArray file = paperBytes(randomPaper(g, shuffle));
        const QByteArray key = secret->shuffleKey(QStringLiteral("p.dat"), file);
        QString why;
        const auto secure = centrum::SecurePaper::parse(file, QStringLiteral("p.dat"), *secret, key, shuffle, *texts, &why);
        ASSERT_TRUE(secure) << why.toStdString();
        const QString id = QStringLiteral("c%1").arg(round);
        // What the candidate would have seen had the copy kept its answers.
        const QByteArray withAnswers
            = shuffle ? centrum::ShuffledPaper::parse(file, *texts)->copyFor(centrum::keyedOrder(key, id)) : file;
        const QByteArray copy = secure->copyFor(id);
        EXPECT_EQ(copy.size(), secure->size());
        const QStringList shown = plainLinesOf(copy);
        const QStringList full = plainLinesOf(withAnswers);
        ASSERT_EQ(shown.size(), full.size());
        for (qsizetype k = 1; k < shown.size(); ++k)
            EXPECT_EQ(shown[k], centrum::answerlessLine(full[k]));

        QFile f(path(QStringLiteral("copy.dat")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(withAnswers);
        f.close();
        oneChoices taken;
        ASSERT_EQ(taken.init(f.fileName()), oneChoices::LoadStatus::Loaded);
        for (int trial = 0; trial < 5; ++trial) {
            const QStringList given = randomAnswers(g, secure->questionCount());
            EXPECT_EQ(secure->mark(id, given).score, paper::scoreAnswers(taken, given).value_or(0))
                << given.join(u'|').toStdString();
        }
    }
}

TEST_F(SecureTest, OnlyTheGenuineSheetIsStoredOnceAndForgeriesAreRefused)
{
    // Unshuffled, the copy's right answers are the paper's (shuffled copies are mapped back above).
    startSecure(QStringLiteral("0"));
    const QString token = tokenOf(fetch(QStringLiteral("s01")));
    const QString otherToken = tokenOf(fetch(QStringLiteral("s02")));
    const QStringList right = { QStringLiteral("2"), QStringLiteral("134"), QStringLiteral("blue~green~~~~~"),
                                QStringLiteral("1") };

    const struct {
        const char *name;
        QString id;
        QString result;
        centrum::text::Id why;
    } forgeries[] = {
        { "a score", QStringLiteral("s01"), clsEncryptXOR().HexEncrypt(QStringLiteral("14:mid.dat:100")), centrum::text::NotASheet },
        { "not enciphered", QStringLiteral("s01"), QStringLiteral("#sheet1:whatever"), centrum::text::SheetUnreadable },
        { "a wrong token", QStringLiteral("s01"), sheetText(QStringLiteral("123456789012345678"), right), centrum::text::TokenNotIssued },
        { "another's copy", QStringLiteral("s01"), sheetText(otherToken, right), centrum::text::TokenNotIssued },
        { "an ID never sent it", QStringLiteral("s03"), sheetText(token, right), centrum::text::TokenNotIssued },
        { "a paper not served", QStringLiteral("s01"), sheetText(token, right, QStringLiteral("other.dat")), centrum::text::PaperNotServed },
        { "too few answers", QStringLiteral("s01"), sheetText(token, right.mid(1)), centrum::text::AnswerCount },
    };
    int refused = 0;
    for (const auto &f : forgeries) {
        SCOPED_TRACE(f.name);
        EXPECT_FALSE(submit(f.id, f.result));
        EXPECT_EQ(server().refusedResults(), ++refused);
        EXPECT_TRUE(reportEntries().isEmpty());
        EXPECT_TRUE(std::any_of(m_log.begin(), m_log.end(), [&](const QString &line) {
            return line.contains(server().texts().getRes(f.why).section(u'%', 0, 0)) && line.contains(u"127.0.0.1");
        }));
    }

    EXPECT_TRUE(submit(QStringLiteral("s01"), sheetText(token, right)));
    ASSERT_EQ(reportEntries().size(), 1);
    const report::ReportRow row = report::reportRow(reportEntries()[0]);
    EXPECT_EQ(row.id, QStringLiteral("s01"));
    EXPECT_EQ(row.score, QStringLiteral("9")); // 2 + 3 + 2 blanks of 1 + 2
    EXPECT_EQ(row.paper, QStringLiteral("mid.dat"));
    const auto stored = answers();
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0].score, 9);
    EXPECT_EQ(stored[0].seconds, 125);
    ASSERT_EQ(stored[0].questions.size(), 4);
    EXPECT_EQ(stored[0].questions[1], (report::QuestionAnswer { QStringLiteral("134"), 3 }));

    // A second sheet is refused, also after a restart, until the examiner allows the ID again;
    // the same sheet again (its client missed the confirmation) is confirmed, not stored twice.
    QStringList changed = right;
    changed[0] += u'9';
    for (const bool restarted : { false, true }) {
        SCOPED_TRACE(restarted);
        if (restarted) {
            m_server.reset();
            startSecure(QStringLiteral("0"));
        }
        EXPECT_FALSE(submit(QStringLiteral("s01"), sheetText(token, changed)));
        EXPECT_TRUE(submit(QStringLiteral("s01"), sheetText(token, right)));
        EXPECT_EQ(reportEntries().size(), 1);
    }
    EXPECT_TRUE(std::any_of(m_log.begin(), m_log.end(), [&](const QString &line) {
        return line.contains(QStringLiteral("already has a result"));
    }));
    EXPECT_TRUE(server().allowAgain(QStringLiteral("s01")));
    EXPECT_TRUE(submit(QStringLiteral("s01"), sheetText(token, changed)));
    // s02 fetched before the restart and hands in after it.
    EXPECT_TRUE(submit(QStringLiteral("s02"), sheetText(otherToken, QStringList(4))));
    EXPECT_EQ(reportEntries().size(), 3);
    EXPECT_EQ(answers().size(), 3);
}

TEST_F(SecureTest, AStartThatFailsLeavesTheConnectionsStillOpenInSecureMode)
{
    startSecure(QStringLiteral("0"));
    Candidate &c = candidate(QStringLiteral("s01"));
    c.misbehaviour = Candidate::Misbehaviour::Silent;
    c.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return !c.announcements.isEmpty(); }));
    // The examiner starts again with a paper that is not there: the start fails.
    writeSettings(QStringLiteral("missing.dat\nsecure=1"));
    ASSERT_FALSE(server().start().messageService);
    c.say("rprt" + idField(QStringLiteral("s01")) + clsEncryptXOR().HexEncrypt(QStringLiteral("14:mid.dat:100")).toLatin1());
    EXPECT_TRUE(waitFor([&] { return c.closedByServer; }));
    EXPECT_FALSE(c.finished);
    EXPECT_TRUE(reportEntries().isEmpty());
}

TEST_F(SecureTest, TheSheetOfALongPaperWithLongWrittenAnswersIsTakenWhole)
{
    // 200 fill-in questions, each answered with 30 characters, Chinese among them, and most
    // of them characters the sheet escapes: more than the old limit of 64 KiB.
    QStringList lines { QStringLiteral("1^90^S^T^200^A") };
    QStringList given;
    for (int q = 0; q < 200; ++q) {
        lines << QStringLiteral("Q%1^0^^1^7^北京%1").arg(q);
        given << (QStringLiteral("北京%1~").arg(q) + QString(30, u':')).left(30) + QStringLiteral("~~~~");
    }
    startSecure(QStringLiteral("0"), lines, QStringLiteral("long.dat"));
    Candidate &c = candidate(QStringLiteral("s01"));
    c.fetch(server().messagePort());
    ASSERT_TRUE(waitFor([&] { return c.finished; }));
    const QString sheet = sheetText(tokenOf(c.papers.value(0)), given, QStringLiteral("long.dat"));
    ASSERT_GT(sheet.size(), 64 * 1024);
    EXPECT_TRUE(submit(QStringLiteral("s01"), sheet));
    ASSERT_EQ(reportEntries().size(), 1);
    EXPECT_EQ(report::reportRow(reportEntries()[0]).score, QStringLiteral("200"));
}
