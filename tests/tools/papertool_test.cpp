// papertool as examiners and scripts run it: its output, its exit status, and its messages.
#include "common/csv.h"
#include "common/multilanguage.h"
#include "paper/paperformat.h"
#include "report/answerfile.h"
#include "vellum/papersession.h"
#include "vellum/questioneditor.h"
#include "vellum/texts.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include "tests/support/paperfiles.h"

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
             + "08:00:03-3=10.0.0.3:bad:12G4\n"
             // Results the server stored as received: empty, and cut short of a whole character.
             + "08:00:04-4=10.0.0.4:empty:\n" + "08:00:05-5=10.0.0.5:cut:" + paper::encipherLine("70:p.dat:61").chopped(1) + "\n")
                .toUtf8());
    f.close();

    ToolRun r = run({ "report", path });
    EXPECT_EQ(r.status, 1);
    // Wide characters take two columns, so the columns still line up in a terminal.
    EXPECT_EQ(QString::fromUtf8(r.out), QStringLiteral("ID or Name  Marks  TimeSpent  Tests File  Location\n"
                                                       "张三        85     2:5        期中.dat    10.0.0.1\n"
                                                       "S02         60     0:59       a,b.dat     10.0.0.2\n"));
    EXPECT_EQ(r.err, path + ":4: the result does not decipher (ID \"bad\")\n" + path
                         + ":5: no result (an entry is IP:ID:result) (ID \"empty\")\n" + path
                         + ":6: the result does not decipher (ID \"cut\")\n");

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

TEST_F(Papertool, ReportWithARosterAddsNamesSeatsAndARowForEachAbsentee)
{
    const QString path = m_dir.filePath(QStringLiteral("2026-12-7.rpt"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(("[record]\n08:00:01-1=10.0.0.1:S02:" + paper::encipherLine("85:m.dat:125") + "\n"
             + "08:00:02-2=10.0.0.2:guest:" + paper::encipherLine("60:m.dat:59") + "\n").toUtf8());
    f.close();
    const QString roster = m_dir.filePath(QStringLiteral("roster.csv"));
    QFile r(roster);
    ASSERT_TRUE(r.open(QIODevice::WriteOnly));
    r.write("\xEF\xBB\xBFSeat,ID,Name\r\nA1,S01,\"Wang, Fang\"\r\nA2,S02,李娜\r\nA3,S03,Zhao\r\n");
    r.close();

    ToolRun run1 = run({ "report", path, "--csv", "--roster", roster });
    EXPECT_EQ(run1.status, 0) << run1.err.toStdString();
    // Those with a result first, in the report's order; then the roster's absentees in its order.
    EXPECT_EQ(QString::fromUtf8(run1.out), QStringLiteral("ID or Name,Name,Seat,Marks,TimeSpent,Tests File,Location\r\n"
                                                          "S02,李娜,A2,85,2:5,m.dat,10.0.0.1\r\n"
                                                          "guest,,,60,0:59,m.dat,10.0.0.2\r\n"
                                                          "S01,\"Wang, Fang\",A1,,,,\r\n"
                                                          "S03,Zhao,A3,,,,\r\n"));
    run1 = run({ "report", path, "--roster", roster });
    EXPECT_TRUE(QString::fromUtf8(run1.out).contains(QStringLiteral("\nS03         Zhao        A3\n"))) << run1.out.toStdString();

    r.open(QIODevice::WriteOnly | QIODevice::Truncate);
    r.write("Name,Seat\nWang,A1\n");
    r.close();
    run1 = run({ "report", path, "--roster", roster });
    EXPECT_EQ(run1.status, 2);
    EXPECT_TRUE(run1.err.contains(QStringLiteral("no ID column"))) << run1.err.toStdString();
    EXPECT_TRUE(run1.out.isEmpty());
}

TEST_F(Papertool, AnalyseTakesEveryAnswerFileTogetherForOnePaper)
{
    const auto entry = [](const char *id, const char *paper, QList<report::QuestionAnswer> answers) {
        return report::formatAnswerEntry({ QStringLiteral("k"), QString::fromUtf8(id), QString::fromUtf8(paper), 60, 0, answers });
    };
    const auto write = [this](const char *name, const QStringList &entries) {
        QString text = QStringLiteral("[record]\n");
        for (qsizetype i = 0; i < entries.size(); ++i)
            text += QStringLiteral("10:00:%1-1=%2\n").arg(i, 2, 10, QChar(u'0')).arg(entries[i]);
        QFile f(m_dir.filePath(QString::fromUtf8(name)));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.toUtf8());
        return f.fileName();
    };
    // Totals 4, 3, 1 and 0: each question has facility 0.5 and correlates 0.71 with the rest.
    const QString day1 = write("day1.ans", { entry("s1", "p.dat", { { "2", 2 }, { "Paris~Oslo", 2 } }),
                                             entry("s2", "p.dat", { { "2", 2 }, { "Paris~Rome", 1 } }),
                                             entry("x1", "other.dat", { { "1", 1 } }) });
    const QString day2 = write("day2.ans", { entry("s3", "p.dat", { { "1", 0 }, { "paris~Oslo", 1 } }),
                                             entry("s4", "p.dat", { { "", 0 }, { "~", 0 } }),
                                             entry("s5", "p.dat", { { "2", 2 } }) });
    const QString paper = writePaper(m_dir.filePath(QStringLiteral("p.dat")),
                                     { "1^90^S^T^4^A", "Capital?^0^2^2^9^Rome^Paris^Oslo", "Two cities^0^^1^7^Paris^Oslo" });
    const QString summary = QStringLiteral("Paper: p.dat   Candidates: 4\n"
                                           "Mean: 2.00   Median: 2.00   Standard deviation: 1.58\n"
                                           "Reliability (Cronbach's alpha): 0.80\n"
                                           "Entries for other papers: 1 (left out)\n"
                                           "Entries with another number of questions: 1 (left out)\n\n");

    ToolRun r = run({ "analyse", day1, day2, "--paper", paper });
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(r.out),
              summary
                  + "No.  Kind               Marks  Answered  Blank  Facility  Discrimination r  Upper-lower  Choices / wrong words  Flags\n"
                    "1    Multi-Choice       2      3         1      0.50      0.71              1.00         A 1, B* 2, C 0\n"
                    "2    Fill-in-the-blank  2      3         1      0.50      0.71              1.00         1: paris 1; 2: Rome 1\n");

    r = run({ "analyse", "--csv", day1, day2, "--paper", paper });
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(r.out),
              QStringLiteral("No.,Kind,Marks,Answered,Blank,Facility,Discrimination r,Upper-lower,Choices / wrong words,Flags\r\n"
                             "1,Multi-Choice,2,3,1,0.50,0.71,1.00,\"A 1, B* 2, C 0\",\r\n"
                             "2,Fill-in-the-blank,2,3,1,0.50,0.71,1.00,1: paris 1; 2: Rome 1,\r\n"));

    // Without the paper: the commonest paper, its marks from the points earned, a blank's commonest words.
    r = run({ "analyse", day2, day1 });
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(QString::fromUtf8(r.out).startsWith(summary)) << r.out.toStdString();
    r = run({ "analyse", day1, day2, "--csv" });
    const std::vector<csv::Record> rows = csv::read(QString::fromUtf8(r.out)).records;
    ASSERT_EQ(rows.size(), size_t(3)) << r.out.toStdString();
    EXPECT_EQ(rows[2].fields.mid(2, 7), QStringList({ "2", "3", "1", "0.50", "0.71", "1.00", "1: Paris 2, paris 1; 2: Oslo 2, Rome 1" }));

    // A paper no entry is for.
    r = run({ "analyse", day1, "--paper", writePaper(m_dir.filePath(QStringLiteral("none.dat")), { "1^90^S^T^1^A", "Q^0^1^1^9^a^b" }) });
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("no entries for none.dat"))) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
}

TEST_F(Papertool, AnalyseNamesEachFileItCannotReadAndTheLine)
{
    const QString bad = m_dir.filePath(QStringLiteral("bad.ans"));
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(("[record]\n; kept by hand\n10:00:00-1="
             + report::formatAnswerEntry({ "k", "s1", "p.dat", 5, 1, { { "1", 1 } } })
             + "\n10:00:01-1=ans1:k:s2:p.dat:5:1:2:1,1\n").toUtf8());
    f.close();
    const QString gone = m_dir.filePath(QStringLiteral("gone.ans"));

    const struct {
        QStringList args;
        int status;
        QString err;
    } rows[] = {
        { { "analyse", bad, gone }, 2, bad + ":4: the count says 2 answers, the entry holds 1\n" + gone + ": no such file\n" },
        { { "analyse", "--csv" }, 2, "papertool: analyse takes one or more answer files (.ans)\n" },
        { { "analyse", gone, "--paper" }, 2, "papertool: --paper takes one paper file\n" },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.args.join(u' ').toStdString());
        const ToolRun r = run(row.args);
        EXPECT_EQ(r.status, row.status);
        EXPECT_TRUE(r.err.startsWith(row.err)) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
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

namespace {

class Import : public Papertool
{
protected:
    QString fileOf(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        return path;
    }

    static QStringList plainLinesOf(const QString &path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList lines;
        for (const QByteArray &stored : f.readAll().split('\n')) {
            if (!stored.isEmpty())
                lines << paper::decipherLine(stored.trimmed()).value_or(QStringLiteral("<not hex>"));
        }
        return lines;
    }

    // import with a full header; the paper goes beside the sheet.
    ToolRun import(const QString &sheet, const QString &paper, const QStringList &more = {})
    {
        return run(QStringList { "import", sheet, "-o", paper, "--title", "Midterm", "--subject", "科学",
                                 "--author", "Li", "--minutes", "45" }
                   + more);
    }

    QString paperPath(const QString &name) const { return m_dir.filePath(name); }
};

} // namespace

TEST_F(Import, ReadsQuotedCellsChineseTextAByteOrderMarkAndEveryKind)
{
    // A line break in a cell, CR LF, LF or CR, is read as one blank.
    const QString sheet = fileOf(QStringLiteral("sheet.csv"),
        "\xEF\xBB\xBFKind,Question,A,B,C,D,E,F,Answer,Marks\r\n"
        "single,\"Capital of\r\nFrance, in \"\"one\"\" word?\",Paris,\"Rome,\nItaly\",,,,,b,2\r\n"
        "\r\n"
        "多选, 质数有哪些？ ,2,3,4,,,,\"C, A\",3,\r\n"
        "7,\"Two\rcities\",Paris,Rome,,,,,,1.5,12\r\n"
        "truefalse,The sky is blue,,,,,,,False,1\r\n"
        "6,对错,正确,错误,,,,,a,1");
    const QString paper = paperPath(QStringLiteral("sheet.dat"));
    const ToolRun r = import(sheet, paper);
    ASSERT_EQ(r.status, 0) << r.err.toStdString();

    const QStringList lines = plainLinesOf(paper);
    ASSERT_EQ(lines.size(), 6);
    // Full marks by default, counted as the test-taking program counts them, rounding after
    // every question: 2, 5, 6.5 -> 6 and 7.5 -> 8 for the two blanks, 9, 10.
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("^45^科学^Midterm^10^Li"))) << lines[0].toStdString();
    const QStringList questions = lines.mid(1);
    EXPECT_EQ(questions, (QStringList {
                             "Capital of France, in \"one\" word?^0^2^2^9^Paris^Rome, Italy",
                             "质数有哪些？^0^13^3^8^2^3^4",
                             "Two cities^12^^1.5^7^Paris^Rome",
                             "The sky is blue^0^2^1^6^True^False",
                             "对错^0^1^1^6^正确^错误",
                         }));
    EXPECT_EQ(run({ "check", paper }).status, 0);

    // --total overrides the full marks, and a sheet without a header row reads the same.
    const QString bare = fileOf(QStringLiteral("bare.csv"), "single,Q,x,y,,,,,A,2\n");
    ASSERT_EQ(import(bare, paper, { "--total", "100" }).status, 0);
    EXPECT_TRUE(plainLinesOf(paper).value(0).endsWith(QStringLiteral("^Midterm^100^Li")));
    EXPECT_EQ(plainLinesOf(paper).value(1), QStringLiteral("Q^0^1^2^9^x^y"));
}

TEST_F(Import, ReportsEveryBadRowWhereItStartsAndWritesNothing)
{
    const QString sheet = fileOf(QStringLiteral("bad.csv"),
        "kind,question,A,B,C,D,E,F,answer,marks\n"
        "single,Q,a,b,,,,,C,2\n"                // 2: names an empty option
        "essay,Q,a,,,,,,A,2\n"                  // 3: unknown kind
        "multiple,\"two\nlines\",a,b,,,,,AA,x\n" // 4: repeated letter, bad marks
        "single,fine,a,b,,,,,A,2\n"             // 6: good, and not written either
        "7,Q^,w,,c,,,,w,1\n"                    // 7: caret, lost option, answer on a fill-in
        "truefalse,Q,,,,,,,maybe,1\n"           // 8
        "single,,,,,,,,,0\n"                    // 9: nothing but a kind
        "single,Q,a,,,,,,AB,1,-1,x\n"           // 10: two letters, bad picture, a cell too many
        "single,Q\ta,a,,,,,,A,1\n"              // 11: a control character
        "single,\"never closed,a,,,,,,A,1\n");   // 12
    const QString paper = fileOf(QStringLiteral("kept.dat"), "an older paper");
    const ToolRun r = import(sheet, paper);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(QFile(paper).size(), qint64(strlen("an older paper")));

    const std::pair<int, const char *> expected[] = {
        { 2, "names option C, which is empty" },
        { 3, "the kind \"essay\" is none of" },
        { 4, "names option A twice" },
        { 4, "the marks \"x\" are not a number" },
        { 7, "holds \"^\"" },
        { 7, "option C follows the empty option B" },
        { 7, "its answer cell must be empty" },
        { 8, "a true-or-false answer is True or False, not \"maybe\"" },
        { 9, "the answer is missing" },
        { 9, "the question text is empty" },
        { 9, "option A is empty" },
        { 9, "the marks \"0\" are not a number" },
        { 10, "a single-choice answer is one letter" },
        { 10, "the picture \"-1\"" },
        { 10, "the row has 12 cells" },
        { 11, "control character U+0009" },
        { 12, "a quoted cell is never closed" },
    };
    const QStringList reported = r.err.trimmed().split(u'\n');
    EXPECT_EQ(reported.size(), qsizetype(std::size(expected))) << r.err.toStdString();
    for (const auto &[line, text] : expected) {
        const QString prefix = QStringLiteral("%1:%2: ").arg(sheet).arg(line);
        EXPECT_TRUE(std::any_of(reported.cbegin(), reported.cend(), [&](const QString &l) {
            return l.startsWith(prefix) && l.contains(QString::fromUtf8(text));
        })) << line << ": " << text << "\n" << r.err.toStdString();
    }
    EXPECT_FALSE(reported.join(u'\n').contains(QStringLiteral(":6:")));
}

TEST_F(Import, RefusesWhatItCannotReadOrCouldNotWriteSafely)
{
    const QString paper = paperPath(QStringLiteral("p.dat"));
    // A sheet saved in a Chinese code page rather than UTF-8 is named with its first bad line.
    const QString gbk = fileOf(QStringLiteral("gbk.csv"), "single,Q,a,b,,,,,A,1\nsingle,\xD6\xD0\xCE\xC4,a,b,,,,,A,1\n");
    ToolRun r = import(gbk, paper);
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.contains(gbk + QStringLiteral(":2: the text is not UTF-8"))) << r.err.toStdString();

    const QString sheet = fileOf(QStringLiteral("s.csv"), "single,Q,a,b,,,,,A,30000\nsingle,Q,a,b,,,,,A,2767.5\n");
    r = import(sheet, paper);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(u"full marks of the questions exceed 32767")) << r.err.toStdString();

    const QString empty = fileOf(QStringLiteral("empty.csv"), "kind,question\n\n");
    EXPECT_EQ(import(empty, paper).status, 1);

    const QString good = fileOf(QStringLiteral("good.csv"), "single,Q,a,b,,,,,A,2\n");
    EXPECT_EQ(import(good, good).status, 2); // the sheet itself would be overwritten
    EXPECT_EQ(QFile(good).size(), qint64(strlen("single,Q,a,b,,,,,A,2\n")));
    EXPECT_EQ(run({ "import", good, "-o", paper, "--title", "T", "--author", "A" }).status, 2);
    EXPECT_EQ(import(good, paper, { "--title", "a^b" }).status, 2);
    EXPECT_EQ(import(good, paper, { "--minutes", "0" }).status, 2);
    EXPECT_EQ(import(good, paper, { "--marks", "2" }).status, 2); // marks come from the sheet's column
    EXPECT_FALSE(QFile::exists(paper));
}

TEST_F(Import, ReadsPlainTextQuestionsWithAnswerLines)
{
    const QString text = fileOf(QStringLiteral("quiz.txt"),
        "What is 2 + 2?\n"
        "A. 3\n"
        "B. 4\n"
        "ANSWER: B\n"
        "\n"
        "中国的首都是？\r\n"
        "A) 上海\r\n"
        "B) 北京\r\n"
        "C) 广州\r\n"
        "ANSWER: B\r\n"
        "Follows without an empty line\n"
        "A. x\n"
        "ANSWER: a\n");
    const QString paper = paperPath(QStringLiteral("quiz.dat"));
    ToolRun r = import(text, paper, { "--marks", "2.5" });
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(plainLinesOf(paper).mid(1), (QStringList {
                                              "What is 2 + 2?^0^2^2.5^9^3^4",
                                              "中国的首都是？^0^2^2.5^9^上海^北京^广州",
                                              "Follows without an empty line^0^1^2.5^9^x",
                                          }));

    const QString bad = fileOf(QStringLiteral("bad.txt"),
        "Q1\nA. a\nC. c\nANSWER: C\n\n"  // 1: C where B belongs, then an answer naming nothing
        "Q2\nA. a\nB. b\n\n"             // 6: no answer
        "Q3\nstill Q3\nA. a\nANSWER: A\n\n" // 10: the question on two lines
        "Q4\nA. a\nANSWER: G\n");         // 15
    r = import(bad, paper);
    EXPECT_EQ(r.status, 1);
    for (const char *expected : { ":1: option C comes where option B belongs", ":6: the question has no \"ANSWER:\" line",
                                  ":10: the question runs over more than one line", ":15: the answer \"G\" is not one letter" })
        EXPECT_TRUE(r.err.contains(bad + QString::fromUtf8(expected))) << expected << "\n" << r.err.toStdString();
}

TEST_F(Import, BundledSampleSheetMakesAPaperThatPassesTheCheck)
{
    const QString paper = paperPath(QStringLiteral("sample.dat"));
    const ToolRun r = import(QStringLiteral(EXAM_DIST_DIR "/vellum/sample-questions.csv"), paper);
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(run({ "check", paper }).status, 0);
}

TEST_F(Import, ExportThenImportGivesBackThePaperVellumWrote)
{
    using namespace vellum;
    PaperSession session(m_dir.path(), [] { return 417; });
    session.setHeaderField(HeaderField::Title, QStringLiteral("期中 Midterm"));
    session.setHeaderField(HeaderField::Subject, QStringLiteral("Maths, \"pure\""));
    session.setHeaderField(HeaderField::Author, QStringLiteral("Li"));
    session.setHeaderField(HeaderField::TimeLimit, QStringLiteral("45"));
    session.setHeaderField(HeaderField::Total, QStringLiteral("20"));
    session.setHeaderField(HeaderField::FileName, QStringLiteral("authored"));
    ASSERT_EQ(session.leaveToAdd(), PaperSession::Leave::Go);
    const Cmlo texts(vellum::textEntries());
    QuestionEditor editor(session, texts);
    editor.init();
    editor.chooseKind(0);
    editor.setContext(QStringLiteral("Which, of \"these\", is a capital?"));
    editor.setOption(0, QStringLiteral("Paris"));
    editor.setOption(1, QStringLiteral("罗马"));
    editor.chooseSingle(1);
    editor.setMarks(QStringLiteral("2"));
    editor.setImageId(QStringLiteral("7"));
    ASSERT_TRUE(editor.add());
    editor.chooseKind(1);
    editor.setContext(QStringLiteral("哪些是质数？"));
    for (int i = 0; i < 4; ++i)
        editor.setOption(i, QString::number(i + 2));
    editor.setChecked(0, true);
    editor.setChecked(2, true);
    editor.setMarks(QStringLiteral("1.5"));
    ASSERT_TRUE(editor.add());
    editor.chooseKind(2); // the answer "13" carries over, meaning nothing for a fill-in
    editor.setContext(QStringLiteral("Two cities, then"));
    editor.setOption(0, QStringLiteral("Paris"));
    editor.setOption(1, QStringLiteral("Rome"));
    ASSERT_TRUE(editor.add());
    editor.chooseKind(3);
    editor.setContext(QStringLiteral("The sky is blue"));
    editor.chooseSingle(1);
    ASSERT_TRUE(editor.add());
    ASSERT_TRUE(session.save(nullptr));
    const QString authored = session.paperHeader.FileName;

    const QString sheet = paperPath(QStringLiteral("authored.csv"));
    ToolRun r = run({ "export", authored, "-o", sheet });
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QString back = paperPath(QStringLiteral("back.dat"));
    r = run({ "import", sheet, "-o", back, "--title", "期中 Midterm", "--subject", "Maths, \"pure\"", "--author", "Li",
              "--minutes", "45", "--total", "20" });
    ASSERT_EQ(r.status, 0) << r.err.toStdString();

    QStringList expected = plainLinesOf(authored);
    ASSERT_EQ(expected.size(), 5);
    EXPECT_EQ(expected[1], QStringLiteral("Which, of \"these\", is a capital?^7^2^2^9^Paris^罗马"));
    EXPECT_EQ(expected[3], QStringLiteral("Two cities, then^0^13^1.5^7^Paris^Rome"));
    expected[3] = QStringLiteral("Two cities, then^0^^1.5^7^Paris^Rome"); // the sheet leaves a fill-in's answer empty
    const QStringList got = plainLinesOf(back);
    ASSERT_EQ(got.size(), 5);
    EXPECT_EQ(got.mid(1), expected.mid(1));
    EXPECT_EQ(got[0].section(u'^', 1), expected[0].section(u'^', 1));
}
