// The result text "score:paper:seconds": written and read back, and read from texts that lack fields.
#include "paper/resulttext.h"

#include <gtest/gtest.h>

using paper::ResultText;

TEST(ResultText, ReadsBackWhatIsWrittenWhateverThePaperIsNamed)
{
    const struct {
        qint64 score;
        const char *paper;
        qint64 seconds;
        const char *text;
    } rows[] = {
        { 87, "maths1.dat", 125, "87:maths1.dat:125" },
        { 0, "unit:1.dat", 0, "0:unit:1.dat:0" },
        { -3, "a%1%2.dat", 3600, "-3:a%1%2.dat:3600" },
        { 70, "", 61, "70::61" },
        { 70, "数学.dat", 61, "70:数学.dat:61" },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.text);
        const QString text = paper::formatResultText(row.score, QString::fromUtf8(row.paper), row.seconds);
        EXPECT_EQ(text, QString::fromUtf8(row.text));
        const ResultText read = paper::parseResultText(text);
        EXPECT_EQ(read.score, QString::number(row.score));
        EXPECT_EQ(read.paper, QString::fromUtf8(row.paper));
        EXPECT_EQ(read.seconds, QString::number(row.seconds));
    }
}

TEST(ResultText, TextsLackingFieldsKeepWhatTheyHold)
{
    const struct {
        const char *text;
        const char *score;
        const char *paper;
        std::optional<const char *> seconds;
    } rows[] = {
        { "", "", "", std::nullopt },
        { "70", "70", "", std::nullopt },
        { "70:p.dat", "70", "p.dat", std::nullopt },
        { ":p.dat:", "", "p.dat", "" },
        { "absent:p.dat:soon", "absent", "p.dat", "soon" },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.text);
        const ResultText read = paper::parseResultText(QString::fromUtf8(row.text));
        EXPECT_EQ(read.score, QString::fromUtf8(row.score));
        EXPECT_EQ(read.paper, QString::fromUtf8(row.paper));
        EXPECT_EQ(read.seconds.has_value(), row.seconds.has_value());
        if (row.seconds && read.seconds) {
            EXPECT_EQ(*read.seconds, QString::fromUtf8(*row.seconds));
        }
    }
}
