// Records as a spreadsheet program reads them back.
#include "csv.h"

#include <gtest/gtest.h>

TEST(CsvRecord, QuotesOnlyFieldsThatWouldOtherwiseSplitOrEndTheRecord)
{
    EXPECT_EQ(csv::record({ "a", "b c", "" }), "a,b c,\r\n");
    EXPECT_EQ(csv::record({ "1,5", "say \"hi\"", "two\nlines", "cr\rhere" }),
              "\"1,5\",\"say \"\"hi\"\"\",\"two\nlines\",\"cr\rhere\"\r\n");
    EXPECT_EQ(csv::record({ QString::fromUtf8("中文,逗号") }), QString::fromUtf8("\"中文,逗号\"\r\n"));
    EXPECT_EQ(csv::record({}), "\r\n");
}
