// Rosters read from what examiners write: spreadsheets' CSV, plain lists, and files to refuse.
#include "report/roster.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace report;

TEST(Roster, ReadsSpreadsheetCsvAndPlainListsAndRefusesWhatCouldNeverWork)
{
    using Kind = RosterFault::Kind;
    const struct {
        const char *name;
        QByteArray bytes;
        QStringList entries; // id|name|seat, in file order; empty when refused
        Kind fault = Kind::None;
        int line = 0;
    } rows[] = {
        { "csv with BOM, quotes, other columns and a Chinese header",
          "\xEF\xBB\xBF" "座位,备注,考号,姓名\r\nA-1,\"x, y\",S001,\"王 \"\"芳\"\"\"\r\n\r\nA-2,,S002,李娜\r\nA-3,,S001,dup\r\n",
          { "S001|王 \"芳\"|A-1", "S002|李娜|A-2" } },
        { "csv with only an ID column, LF ends and no last line end",
          "Id\n  S1 \nS2", { "S1||", "S2||" } },
        { "a name field holding a line end",
          "ID,Name\nS1,\"two\nlines\"\nS2,b\n", { "S1|two\nlines|", "S2|b|" } },
        { "plain list with BOM, blanks and a comma kept in the ID",
          "\xEF\xBB\xBF" "S001\r\n\r\n  S002  \r\nS0,3\n", { "S001||", "S002||", "S0,3||" } },
        { "plain list with a stray quote", "\"S1\nS2\n", { "\"S1||", "S2||" } },
        { "a header with name and seat but no ID", "name,seat\nWang,A1\n", {}, Kind::NoIdColumn, 1 },
        { "an unclosed quote", "ID,name\nS1,\"Wang\nS2,Li\n", {}, Kind::UnclosedQuote, 2 },
        { "an ID longer than a login carries", "S001\nS0123456789012\n", {}, Kind::IdTooLong, 2 },
        { "no ID at all", "ID,name\n,Wang\n\n", {}, Kind::Empty },
        { "an empty file", "", {}, Kind::Empty },
        { "not UTF-8", "S001\n\xC0\xC1\n", {}, Kind::NotUtf8 },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        RosterFault fault;
        const std::optional<Roster> roster = Roster::parse(row.bytes, &fault);
        EXPECT_EQ(fault.kind, row.fault);
        EXPECT_EQ(fault.line, row.line);
        ASSERT_EQ(roster.has_value(), row.fault == Kind::None);
        if (!roster)
            continue;
        QStringList read;
        for (const RosterEntry &e : roster->entries())
            read.append(e.id + u'|' + e.name + u'|' + e.seat);
        EXPECT_EQ(read, row.entries);
        for (const RosterEntry &e : roster->entries())
            EXPECT_TRUE(roster->contains(e.id) && roster->find(e.id)->id == e.id);
    }

    QTemporaryDir dir;
    RosterFault fault;
    EXPECT_FALSE(Roster::read(dir.filePath(QStringLiteral("gone.csv")), &fault));
    EXPECT_EQ(fault.kind, Kind::Unreadable);
    EXPECT_FALSE(fault.detail.isEmpty());
}
