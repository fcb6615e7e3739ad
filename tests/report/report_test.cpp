// Report files read back: rows and what keeps an entry from reading, the scores' figures,
// the CSV export and the chart's bins.
#include "centrum/reportview.h"
#include "report/report.h"

#include "centrum/texts.h"
#include "common/clsencryptxor.h"
#include "common/multilanguage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace centrum;
using namespace report;

namespace {

QString enc(const QString &plain)
{
    return clsEncryptXOR().HexEncrypt(plain);
}

QList<ReportRow> rowsScoring(const QStringList &scores)
{
    QList<ReportRow> rows;
    for (const QString &s : scores)
        rows.append({ QStringLiteral("id"), s, QStringLiteral("1:0"), QStringLiteral("p.dat"), QStringLiteral("10.0.0.1") });
    return rows;
}

} // namespace

TEST(ReportRows, DecipherEachEntryIntoItsCells)
{
    const clsEncryptXOR cipher;
    const QString longName = QString(120, u'n') + QStringLiteral(".dat");
    struct Row {
        QString entry;
        ReportRow row;
    };
    const Row rows[] = {
        { "192.168.0.7:s01:" + cipher.HexEncrypt("87:maths1.dat:125"), { "s01", "87", "2:5", "maths1.dat", "192.168.0.7" } },
        { "10.0.0.1:a:" + cipher.HexEncrypt("5:p.dat:59"), { "a", "5", "0:59", "p.dat", "10.0.0.1" } },
        { "10.0.0.1:a:" + cipher.HexEncrypt("5:p.dat:60"), { "a", "5", "1:0", "p.dat", "10.0.0.1" } },
        // Far beyond 254 characters, still read whole.
        { "10.0.0.1:b:" + cipher.HexEncrypt("9:" + longName + ":3600"), { "b", "9", "60:0", longName, "10.0.0.1" } },
        { "10.0.0.2:c", { "c", "", "", "", "10.0.0.2" } },
        { "10.0.0.3:d:" + cipher.HexEncrypt("7"), { "d", "7", "", "", "10.0.0.3" } },
    };
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("day.rpt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[record]\n");
    for (int i = 0; i < int(std::size(rows)); ++i) {
        const ReportRow r = reportRow(rows[i].entry);
        SCOPED_TRACE(rows[i].entry.left(40).toStdString());
        EXPECT_EQ(QStringList({ r.id, r.score, r.time, r.paper, r.address }),
                  QStringList({ rows[i].row.id, rows[i].row.score, rows[i].row.time, rows[i].row.paper,
                                rows[i].row.address }));
        file.write(QStringLiteral("k%1=%2\n").arg(i).arg(rows[i].entry).toUtf8());
    }
    file.close();
    EXPECT_EQ(reportEntries(file.fileName()).size(), qsizetype(std::size(rows)));
}

TEST(ReportRows, KeepColonsInIdsAndPapersAndTellWhatKeepsAnEntryFromReading)
{
    const QString whole = enc(QStringLiteral("70:p.dat:61"));
    const struct {
        QString entry;
        QStringList cells; // ID, score, time, paper, address
        ReportProblem problem;
    } rows[] = {
        { "10.0.0.1:a:b:" + enc("70:unit:1.dat:61"), { "a:b", "70", "1:1", "unit:1.dat", "10.0.0.1" }, ReportProblem::None },
        { "::1:v6:" + whole, { "v6", "70", "1:1", "p.dat", "::1" }, ReportProblem::None },
        { "fe80::2a:1:b:" + whole, { "b", "70", "1:1", "p.dat", "fe80::2a:1" }, ReportProblem::None },
        { "10.0.0.2:c", { "c", "", "", "", "10.0.0.2" }, ReportProblem::NoResult },
        { "10.0.0.3:d:", { "d", "", "", "", "10.0.0.3" }, ReportProblem::NoResult },
        { "10.0.0.4:e:" + whole.chopped(2), { "e", "70", "0:6", "p.dat", "10.0.0.4" }, ReportProblem::NotDeciphered },
        { "10.0.0.5:f:" + whole.left(8) + "ZZZZ", { "f", "70n", "", "", "10.0.0.5" }, ReportProblem::NotDeciphered },
        { "10.0.0.6:g:" + enc("70:p.dat"), { "g", "70", "", "p.dat", "10.0.0.6" }, ReportProblem::MissingFields },
        { "10.0.0.7:h:" + enc("70:p.dat:soon"), { "h", "70", "0:0", "p.dat", "10.0.0.7" }, ReportProblem::BadTime },
        { "10.0.0.8:i:" + enc("70:p.dat:-5"), { "i", "70", "", "p.dat", "10.0.0.8" }, ReportProblem::BadTime },
        { "10.0.0.9:j:" + enc("absent:p.dat:61"), { "j", "absent", "1:1", "p.dat", "10.0.0.9" }, ReportProblem::BadScore },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.entry.left(30).toStdString());
        const ReportRow r = reportRow(row.entry);
        EXPECT_EQ(reportCells(r), row.cells);
        EXPECT_EQ(r.problem, row.problem);
    }

    // Entries come with the line they stand on, for messages that name it.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("day.rpt"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("; kept by hand\r\n[record]\r\n\r\nk1=first\r\n; a note\r\nk2=second\r\n[other]\r\nk3=not a result\r\n");
    f.close();
    const auto entries = readReport(file);
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 2);
    EXPECT_EQ((*entries)[0].line, 4);
    EXPECT_EQ((*entries)[0].value, QStringLiteral("first"));
    EXPECT_EQ((*entries)[1].line, 6);
    QString why;
    EXPECT_FALSE(readReport(dir.filePath(QStringLiteral("gone.rpt")), &why));
    EXPECT_TRUE(why.startsWith(dir.filePath(QStringLiteral("gone.rpt")))) << why.toStdString();
}

TEST(ScoreSummary, FiguresLeaveOutScoresThatAreNotNumbers)
{
    const Cmlo english(centrum::textEntries());
    ScoreSummary s = summarize(rowsScoring({ "70", "50", "90" }));
    EXPECT_EQ(QList<double>({ s.mean, s.median, s.lowest, s.highest }), QList<double>({ 70, 70, 50, 90 }));

    s = summarize(rowsScoring({ "80", "60", "80", "60" }));
    EXPECT_EQ(s.median, 70) << "an even count takes the mean of the middle two";
    EXPECT_EQ(s.mean, 70);

    s = summarize(rowsScoring({ " 85 ", "x", "", "-", "7.5", "1e3", "12abc" }));
    EXPECT_EQ(s.candidates, 7);
    EXPECT_EQ(s.notNumbers, 5);
    EXPECT_EQ(s.scores, QList<double>({ 7.5, 85 }));
    EXPECT_EQ(summaryText(s, english), QStringLiteral("Candidates: 7   Mean: 46.25   Median: 46.25   Lowest: 7.5   "
                                                      "Highest: 85   Not numbers: 5 (left out)"));

    s = summarize(rowsScoring({ "1", "1", "2" }));
    EXPECT_EQ(summaryText(s, english), QStringLiteral("Candidates: 3   Mean: 1.33   Median: 1   Lowest: 1   Highest: 2"));

    s = summarize({});
    EXPECT_EQ(summaryText(s, english), QStringLiteral("Candidates: 0   No scores to count"));
    EXPECT_EQ(summaryText(summarize(rowsScoring({ "?" })), Cmlc(centrum::textEntries())),
              QStringLiteral("考生:1   没有可统计的成绩   非数字成绩:1(未计入)"));
}

TEST(ReportCsv, QuotesWhatWouldSplitAFieldKeepsChineseAndReplacesTheFileWhole)
{
    QList<ReportRow> rows = rowsScoring({ "85", "60" });
    rows[0].id = QStringLiteral("张三");
    rows[0].paper = QStringLiteral("期中,上.dat");
    rows[1].id = QStringLiteral("say \"hi\" ");
    const QString csv = reportCsv(rows, reportHeader(Cmlc(centrum::textEntries())));
    EXPECT_EQ(csv, QStringLiteral("考号,得分,用时,试卷号,登录地址\r\n"
                                  "张三,85,1:0,\"期中,上.dat\",10.0.0.1\r\n"
                                  "\"say \"\"hi\"\"\",60,1:0,p.dat,10.0.0.1\r\n"));

    QTemporaryDir dir;
    EXPECT_EQ(csvPathFor(dir.filePath(QStringLiteral("2026-12-7.rpt"))), dir.filePath(QStringLiteral("2026-12-7.csv")));
    const QString path = dir.filePath(QStringLiteral("2026-12-7.csv"));
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(5000, 'x')); // longer than what replaces it
    old.close();
    ASSERT_TRUE(writeCsvFile(path, csv));
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), "\xEF\xBB\xBF" + csv.toUtf8());

    QString why;
    const QString nowhere = dir.filePath(QStringLiteral("missing/x.csv"));
    EXPECT_FALSE(writeCsvFile(nowhere, csv, &why));
    EXPECT_TRUE(why.startsWith(nowhere)) << why.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList { "2026-12-7.csv" }) << "no temporary file left";
}

TEST(Histogram, BinsOfOneRoundWidthWithTheTopScoreInTheLastBin)
{
    const auto shape = [](const Histogram &h) {
        QStringList s;
        for (const HistogramBin &b : h.bins)
            s << b.label + u'=' + QString::number(b.count);
        return s.join(u' ');
    };
    Histogram h = histogramOf({ 0, 9, 10, 55, 99, 100, 100 });
    EXPECT_EQ(h.width, 10);
    EXPECT_EQ(shape(h), "0-9=2 10-19=1 20-29=0 30-39=0 40-49=0 50-59=1 60-69=0 70-79=0 80-89=0 90-100=3");
    EXPECT_EQ(h.highestCount, 3);

    EXPECT_EQ(shape(histogramOf({ 7, 3, 4, 4 })), "3=1 4=2 5=0 6=0 7=1") << "one bin a point, the top one too";
    EXPECT_EQ(shape(histogramOf({ 70, 70 })), "70=2");
    EXPECT_EQ(shape(histogramOf({ 0.5, 2.5 })), "0-1=1 1-2=0 2-3=1");
    EXPECT_EQ(shape(histogramOf({ -3, 12 })), "-4--3=1 -2--1=0 0-1=0 2-3=0 4-5=0 6-7=0 8-9=0 10-12=1");

    h = histogramOf({ 1, 32767 });
    EXPECT_EQ(h.width, 5000);
    EXPECT_EQ(h.bins.size(), 7);
    EXPECT_EQ(h.bins.last().count, 1);
    EXPECT_TRUE(histogramOf({}).bins.isEmpty());
}
