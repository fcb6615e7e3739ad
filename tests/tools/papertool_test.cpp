// papertool as examiners and scripts run it: its output, its exit status, and its messages.
#include "paperformat.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include "paperfiles.h"

#include <gtest/gtest.h>

namespace {

struct ToolRun {
    int status = -1;
    QByteArray out;
    QString err;
};

class Papertool : public ::testing::Test
{
protected:
    static ToolRun run(const QStringList &args, const QByteArray &input = {})
    {
        QProcess p;
        p.start(QStringLiteral(EXAM_BIN_DIR "/papertool"), args);
        EXPECT_TRUE(p.waitForStarted());
        p.write(input);
        p.closeWriteChannel();
        EXPECT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        return { p.exitCode(), p.readAllStandardOutput(), QString::fromUtf8(p.readAllStandardError()) };
    }

    QString paperOf(const QStringList &plainLines, const QByteArray &rawTail = {})
    {
        return writePaper(m_dir.filePath(QStringLiteral("p%1.dat").arg(++m_count)), plainLines, rawTail);
    }

    QTemporaryDir m_dir;
    int m_count = 0;
};

} // namespace

TEST_F(Papertool, ShowPrintsThePaperAsTheTestTakerReadsIt)
{
    const QString path = paperOf({ "417^90^科学^Sample^10^ Author ", "Q1 ^ 3 ^2^2^9^x^y",
                                   "填空 \"quoted\"^0^^1.5^7^w1" });
    const ToolRun r = run({ "show", path });
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QJsonObject doc = QJsonDocument::fromJson(r.out).object();
    const QJsonObject header = doc["header"].toObject();
    EXPECT_EQ(header["random"].toString(), QStringLiteral("417"));
    EXPECT_EQ(header["timeLimit"].toString(), QStringLiteral("90"));
    EXPECT_EQ(header["subject"].toString(), QStringLiteral("科学"));
    EXPECT_EQ(header["author"].toString(), QStringLiteral("Author"));

    const QJsonArray questions = doc["questions"].toArray();
    ASSERT_EQ(questions.size(), 2);
    const QJsonObject q1 = questions[0].toObject();
    EXPECT_EQ(q1["number"].toInt(), 1);
    EXPECT_EQ(q1["text"].toString(), QStringLiteral("Q1 "));
    EXPECT_EQ(q1["image"].toInt(), 3);
    EXPECT_EQ(q1["kind"].toString(), QStringLiteral("9"));
    EXPECT_EQ(q1["options"].toArray().size(), 6);
    EXPECT_EQ(q1["options"].toArray()[1].toString(), QStringLiteral("y"));
    EXPECT_EQ(questions[1].toObject()["text"].toString(), QStringLiteral("填空 \"quoted\""));
    EXPECT_EQ(questions[1].toObject()["marks"].toString(), QStringLiteral("1.5"));
    EXPECT_EQ(doc["fullMarks"].toInt(), 4); // 2, then 2 + 1.5 = 3.5 rounds to 4

    // Keys come in the documented order.
    EXPECT_TRUE(r.out.startsWith("{\"header\":{\"random\":"));
    EXPECT_LT(r.out.indexOf("\"questions\""), r.out.indexOf("\"fullMarks\""));
}

TEST_F(Papertool, ReportListsTheReadableRowsAndNamesEachUnreadableEntryByItsLine)
{
    const QString path = m_dir.filePath(QStringLiteral("2026-12-7.rpt"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(("[record]\n08:00:01-1=10.0.0.1:张三:" + paper::encipherLine("85:期中.dat:125") + "\n"
             + "08:00:02-2=10.0.0.2:S02:" + paper::encipherLine("60:a,b.dat:59") + "\n"
             + "08:00:03-3=10.0.0.3:bad:12G4\n")
                .toUtf8());
    f.close();

    ToolRun r = run({ "report", path });
    EXPECT_EQ(r.status, 1);
    // Wide characters take two columns, so the columns still line up in a terminal.
    EXPECT_EQ(QString::fromUtf8(r.out), QStringLiteral("ID or Name  Marks  TimeSpent  Tests File  Location\n"
                                                       "张三        85     2:5        期中.dat    10.0.0.1\n"
                                                       "S02         60     0:59       a,b.dat     10.0.0.2\n"));
    EXPECT_EQ(r.err, path + ":4: the result does not decipher (ID \"bad\")\n");

    r = run({ "report", "--csv", path });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(QString::fromUtf8(r.out), QStringLiteral("ID or Name,Marks,TimeSpent,Tests File,Location\r\n"
                                                       "张三,85,2:5,期中.dat,10.0.0.1\r\n"
                                                       "S02,60,0:59,\"a,b.dat\",10.0.0.2\r\n"));

    r = run({ "report", m_dir.filePath(QStringLiteral("gone.rpt")) });
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("cannot read"))) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
}

TEST_F(Papertool, ScoreReadsAnswersFromStdin)
{
    const QString path = paperOf({ "1^90^S^T^10^A", "Q^0^2^2^9^x^y", "Q^0^13^3^8^a^b^c", "Q^0^^1^7^Paris^Rome" });
    ToolRun r = run({ "score", path }, R"(["2","13","Rome~Paris~~~~~"])");
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), QByteArray(R"({"score":7,"fullMarks":7})"));

    r = run({ "score", path }, R"(["1"])");
    EXPECT_EQ(r.out.trimmed(), QByteArray(R"({"score":0,"fullMarks":7})"));
}

TEST_F(Papertool, ScoreRefusesMalformedAnswers)
{
    const QString path = paperOf({ "1^90^S^T^10^A", "Q^0^2^2^9^x^y" });
    for (const char *bad : { "[\"2\"", "{\"a\":1}", "[2]", "[\"1\",\"2\"]", "" }) {
        const ToolRun r = run({ "score", path }, bad);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_TRUE(r.err.startsWith(u"papertool: stdin")) << r.err.toStdString();
    }
}

TEST_F(Papertool, EncodeAndDecodeAreInverseLineByLine)
{
    const QByteArray text = "417^90^科学^T^10^A\nQ^0^1^1^9^a\n\nlast line without end";
    const ToolRun encoded = run({ "encode" }, text);
    ASSERT_EQ(encoded.status, 0);
    EXPECT_EQ(encoded.out.count("\r\n"), 4);
    EXPECT_TRUE(encoded.out.startsWith("5800500059002A00"));
    const ToolRun decoded = run({ "decode" }, encoded.out);
    ASSERT_EQ(decoded.status, 0);
    EXPECT_EQ(decoded.out, text + "\n");

    const QString out = m_dir.filePath(QStringLiteral("out.dat"));
    const QString in = m_dir.filePath(QStringLiteral("in.txt"));
    QFile f(in);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
    f.close();
    ASSERT_EQ(run({ "encode", "-o", out, in }).status, 0);
    QFile written(out);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), encoded.out);
}

TEST_F(Papertool, DecodeNamesTheLineThatIsNotHex)
{
    const ToolRun r = run({ "decode" }, "0D000300\nnot hex\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.contains(u"stdin, line 2")) << r.err.toStdString();
}

TEST_F(Papertool, CheckListsProblemsWithLinesAndExitsOne)
{
    const QString good = paperOf({ "1^90^S^T^10^A", "Q^0^2^2^9^x^y" });
    const ToolRun ok = run({ "check", good });
    EXPECT_EQ(ok.status, 0);
    EXPECT_TRUE(ok.out.isEmpty());

    const QString bad = paperOf({ "1^90^S^T^10^A", "Q^0^2^2^9^x^y", "Q^0^7^2^9^x" }, "nothex\r\n");
    const ToolRun r = run({ "check", bad });
    EXPECT_EQ(r.status, 1);
    const QList<QByteArray> lines = r.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith((bad + QStringLiteral(":3: ")).toUtf8()));
    EXPECT_TRUE(lines[1].startsWith((bad + QStringLiteral(":4: ")).toUtf8()));
}

TEST_F(Papertool, BadInputIsAMessageAndExitTwoNeverACrash)
{
    const QString missing = m_dir.filePath(QStringLiteral("missing.dat"));
    for (const QString &command : { QStringLiteral("show"), QStringLiteral("score"), QStringLiteral("check") }) {
        const ToolRun r = run({ command, missing });
        EXPECT_EQ(r.status, 2) << command.toStdString();
        EXPECT_TRUE(r.err.contains(missing)) << r.err.toStdString();
    }
    const QString damaged = paperOf({ "1^90^S^T^10^A", "Q^0^2^2^9^x^y" }, "GG\r\n");
    const ToolRun shown = run({ "show", damaged });
    EXPECT_EQ(shown.status, 2);
    EXPECT_TRUE(shown.err.contains(damaged + QStringLiteral(", line 3"))) << shown.err.toStdString();

    EXPECT_EQ(run({}).status, 2);
    EXPECT_EQ(run({ "frobnicate" }).status, 2);
    EXPECT_EQ(run({ "show" }).status, 2);
    EXPECT_EQ(run({ "encode", "-o" }).status, 2);
}

TEST_F(Papertool, BundledSamplePaperPassesTheCheck)
{
    const QString sample = QStringLiteral(EXAM_DIST_DIR "/centrum/sample.dat");
    const ToolRun r = run({ "check", sample });
    EXPECT_EQ(r.status, 0) << r.out.toStdString() << r.err.toStdString();
    const QJsonObject doc = QJsonDocument::fromJson(run({ "show", sample }).out).object();
    QSet<QString> kinds;
    for (const auto &q : doc["questions"].toArray())
        kinds << q.toObject()["kind"].toString();
    EXPECT_EQ(kinds, (QSet<QString> { "9", "8", "7", "6" }));
    EXPECT_EQ(doc["fullMarks"].toInt(), doc["header"].toObject()["total"].toString().toInt());
}
