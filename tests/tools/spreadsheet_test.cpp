// A question sheet as a spreadsheet program saves it: written to .xlsx and saved as CSV by LibreOffice, imported, taken.
#include "examdesk/testrecord.h"
#include "paper/onechoices.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A flat OpenDocument sheet; a cell that reads as a number is stored as one, as a spreadsheet keeps marks,
// and a line break in a cell is a new paragraph, as typed into a spreadsheet.
QByteArray flatSheet(const QList<QStringList> &rows)
{
    QByteArray xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
<office:body><office:spreadsheet><table:table table:name="Questions">
)";
    for (const QStringList &row : rows) {
        xml += "<table:table-row>";
        for (const QString &cell : row) {
            bool number = false;
            cell.toDouble(&number);
            const QByteArray text = cell.toHtmlEscaped().toUtf8().replace("\n", "</text:p><text:p>");
            if (cell.isEmpty())
                xml += "<table:table-cell/>";
            else if (number)
                xml += "<table:table-cell office:value-type=\"float\" office:value=\"" + text + "\"><text:p>" + text
                    + "</text:p></table:table-cell>";
            else
                xml += "<table:table-cell office:value-type=\"string\"><text:p>" + text + "</text:p></table:table-cell>";
        }
        xml += "</table:table-row>\n";
    }
    xml += "</table:table></office:spreadsheet></office:body></office:document>\n";
    return xml;
}

struct ProgramRun {
    int status = -1;
    QString output;
};

ProgramRun runProgram(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted() || !p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return { -1, QStringLiteral("%1 did not finish").arg(program) };
    }
    return { p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAll()) };
}

} // namespace

TEST(SpreadsheetSheet, SavedByASpreadsheetProgramImportsIntoAPaperTheTestTakerScoresInFull)
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        GTEST_SKIP() << "soffice is not installed (Debian package libreoffice-calc-nogui): "
                        "a sheet saved by a spreadsheet program is not tried";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString profile = QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("profile"));

    const QString fods = dir.filePath(QStringLiteral("questions.fods"));
    {
        QFile f(fods);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(flatSheet({
            { "kind", "question", "A", "B", "C", "D", "E", "F", "answer", "marks" },
            { "single", "首都, \"capital\"?", "上海", "北京", "", "", "", "", "B", "2" },
            { "multiple", "Primes", "2", "3", "4", "", "", "", "AB", "1.5" },
            { "blank", "Two\ncities", "Paris", "Rome", "", "", "", "", "", "1" },
            { "truefalse", "The sky is blue", "", "", "", "", "", "", "True", "3" },
        }));
    }
    ProgramRun r = runProgram(soffice, { profile, "--headless", "--convert-to", "xlsx", "--outdir", dir.path(), fods });
    ASSERT_EQ(r.status, 0) << r.output.toStdString();
    const QString xlsx = dir.filePath(QStringLiteral("questions.xlsx"));
    ASSERT_TRUE(QFile::exists(xlsx)) << r.output.toStdString();
    const QString csvFolder = dir.filePath(QStringLiteral("csv"));
    r = runProgram(soffice, { profile, "--headless", "--convert-to", "csv:Text - txt - csv (StarCalc):44,34,76",
                              "--outdir", csvFolder, xlsx });
    ASSERT_EQ(r.status, 0) << r.output.toStdString();
    const QString csv = csvFolder + QStringLiteral("/questions.csv");
    ASSERT_TRUE(QFile::exists(csv)) << r.output.toStdString();

    const QString papertool = QStringLiteral(EXAM_BIN_DIR "/papertool");
    const QString paperPath = dir.filePath(QStringLiteral("questions.dat"));
    r = runProgram(papertool, { "import", csv, "-o", paperPath, "--title", "Sheet", "--subject", "S", "--author", "A" });
    ASSERT_EQ(r.status, 0) << r.output.toStdString();
    r = runProgram(papertool, { "check", paperPath });
    EXPECT_EQ(r.status, 0) << r.output.toStdString();

    oneChoices paper;
    ASSERT_EQ(paper.init(paperPath), oneChoices::LoadStatus::Loaded);
    ASSERT_EQ(paper.getCount(), 4);
    EXPECT_EQ(paper.getOne(1)->getContext(), QStringLiteral("首都, \"capital\"?"));
    EXPECT_EQ(paper.getOne(3)->getContext(), QStringLiteral("Two cities"));
    examdesk::testRecord record;
    record.setAns(paper.getCount(), paper);
    const QStringList right = { "2", "12", "Paris~Rome~~~~~", "1" };
    for (int i = 0; i < right.size(); ++i)
        record.addSel(i, right[i]);
    // 2, 3.5 -> 4, two blanks of 1 -> 6, 9: rounded after every question as the test taker counts.
    EXPECT_EQ(record.getFullPoint(paper), 9);
    EXPECT_EQ(record.getResult(paper), 9);
    record.addSel(1, QStringLiteral("1"));
    EXPECT_EQ(record.getResult(paper), 7);
}
