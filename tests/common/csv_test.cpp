// Records as a spreadsheet program reads them back.
#include "common/csv.h"

#include <gtest/gtest.h>

TEST(CsvRecord, QuotesOnlyFieldsThatWouldOtherwiseSplitOrEndTheRecord)
{
    EXPECT_EQ(csv::record({ "a", "b c", "" }), "a,b c,\r\n");
    EXPECT_EQ(csv::record({ "1,5", "say \"hi\"", "two\nlines", "cr\rhere" }),
              "\"1,5\",\"say \"\"hi\"\"\",\"two\nlines\",\"cr\rhere\"\r\n");
    EXPECT_EQ(csv::record({ QString::fromUtf8("中文,逗号") }), QString::fromUtf8("\"中文,逗号\"\r\n"));
    EXPECT_EQ(csv::record({}), "\r\n");
}

namespace {

QList<QStringList> fieldsOf(const csv::Reading &r)
{
    QList<QStringList> out;
    for (const auto &rec : r.records)
        out << rec.fields;
    return out;
}

} // namespace

TEST(CsvRead, QuotedFieldsKeepCommasQuotesAndLineEndsAndRecordsKnowTheirFirstLine)
{
    const QString text = QString::fromUtf8("\uFEFFkind,question\r\n"
                                           "single,\"a, \"\"b\"\"\nc\",中文\r\n"
                                           "\n"
                                           "x,\"\",\r"
                                           "last,\"two\r\nlines\"");
    const csv::Reading r = csv::read(text);
    EXPECT_EQ(r.unclosedQuoteLine, 0);
    const QList<QStringList> expected = {
        { "kind", "question" },
        { "single", "a, \"b\"\nc", QString::fromUtf8("中文") },
        { "" },
        { "x", "", "" },
        { "last", "two\r\nlines" },
    };
    EXPECT_EQ(fieldsOf(r), expected);
    std::vector<int> lines;
    for (const auto &rec : r.records)
        lines.push_back(rec.line);
    EXPECT_EQ(lines, (std::vector<int> { 1, 2, 4, 5, 6 }));

    // What the writer makes, the reader gives back.
    const QStringList fields = { "1,5", "say \"hi\"", "two\nlines", "", "plain" };
    EXPECT_EQ(fieldsOf(csv::read(csv::record(fields) + csv::record({ "b" }))), (QList<QStringList> { fields, { "b" } }));
}

TEST(CsvRead, AQuoteThatIsNeverClosedIsReportedWhereItsRecordStarts)
{
    const csv::Reading r = csv::read(u"a,b\nc,\"x\ny\",\"open\nstill open\n");
    EXPECT_EQ(r.unclosedQuoteLine, 2);
    EXPECT_EQ(fieldsOf(r), (QList<QStringList> { { "a", "b" } }));
    // A stray quote inside an unquoted field is only a character.
    EXPECT_EQ(fieldsOf(csv::read(u"5\" disk,x\n")), (QList<QStringList> { { "5\" disk", "x" } }));
}
