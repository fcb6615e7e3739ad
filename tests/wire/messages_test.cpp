// The wire messages, both sides: the ID field, the candidate's messages, the server's reading of
// them fed whole, in pieces and oversized, the announcement and the port setting.
#include "wire/wiremessages.h"

#include <gtest/gtest.h>

using namespace wire;

TEST(LoginMessages, IdTravelsTrimmedAndPaddedOrCutToTwelve)
{
    EXPECT_EQ(formLoginId(QStringLiteral("  abc  ")), QStringLiteral("abc         "));
    EXPECT_EQ(formLoginId(QStringLiteral("ABCDEFGHIJKLMNO")), QStringLiteral("ABCDEFGHIJKL"));
    EXPECT_EQ(formLoginId(QString()), QString(12, u' '));
    // A character of two UTF-16 units at the cut is left out whole, not halved.
    EXPECT_EQ(formLoginId(QStringLiteral("张三四五六七八九十一二😀")), QStringLiteral("张三四五六七八九十一二 "));
    EXPECT_EQ(loginMessage(QStringLiteral("abc         "), 8602), QByteArray("infdabc         8602"));
}

TEST(LoginMessages, AnnouncementsThatCannotBeFollowedSafelyAreRefused)
{
    const auto a = parseAnnouncement(QStringLiteral("maths1.dat,2048"));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->name, QStringLiteral("maths1.dat"));
    EXPECT_EQ(a->length, 2048);
    for (const char *bad : { "maths1.dat", "maths1.dat,", "maths1.dat,20x8", "maths1.dat,0", "a,b,12", ",12",
                             "../maths1.dat,12", "..,12", "x\\y.dat,12", "setting.ini,12", "examdesk,12",
                             "maths1.dat,4294967296" })
        EXPECT_FALSE(parseAnnouncement(QString::fromUtf8(bad))) << bad;
    EXPECT_EQ(portSetting(QStringLiteral(" 8601 ")), 8601);
    for (const char *bad : { "", "86o1", "-1", "65536", "0x10" })
        EXPECT_FALSE(portSetting(QString::fromUtf8(bad))) << bad;
}

TEST(MessageParser, TakesOneMessageOrWaitsForTheRestUnlessNoMoreIsComing)
{
    struct Row {
        QByteArray bytes;
        ParseStatus status;
        qsizetype consumed;
        QString id;
        QString rest;
        Arrival arrival = Arrival::MayContinue;
    };
    const QByteArray longId = QStringLiteral("考生一二三四五六七八九十").toUtf8();
    const Row rows[] = {
        { "rqs", ParseStatus::Incomplete, 0, {}, {} },
        { "rqsF", ParseStatus::Ok, 4, {}, {} },
        { "rqsFover a.dat", ParseStatus::Ok, 4, {}, {} }, // two arrivals merged: the request first
        { "infd  s01       ", ParseStatus::Incomplete, 0, {}, {} },
        { "infd  s01       8602", ParseStatus::Ok, 20, QStringLiteral("s01"), QStringLiteral("8602") },
        { "infd" + longId + "8602", ParseStatus::Ok, 4 + longId.size() + 4,
          QStringLiteral("考生一二三四五六七八九十"), QStringLiteral("8602") },
        { "infd" + longId.left(longId.size() - 1), ParseStatus::Incomplete, 0, {}, {} }, // mid-character
        { "rprtab          0A1", ParseStatus::Incomplete, 0, {}, {} },                  // not 4 digits a character
        { "rprtab          0A1B", ParseStatus::Ok, 20, QStringLiteral("ab"), QStringLiteral("0A1B") },
        { "over", ParseStatus::Incomplete, 0, {}, {} },
        { "overa.dat", ParseStatus::Ok, 9, {}, {} },
        { "ping", ParseStatus::Ok, 4, {}, {} }, // unknown, taken and ignored by the caller
        { QByteArray(maxMessageBytes + 1, 'r'), ParseStatus::Bad, 0, {}, {} },
        // Nothing more is coming: a report is taken as it stands, a login still is not.
        { "rprtab          0A1", ParseStatus::Ok, 19, QStringLiteral("ab"), QStringLiteral("0A1"), Arrival::Ended },
        { "rprtab          ", ParseStatus::Ok, 16, QStringLiteral("ab"), {}, Arrival::Ended },
        { "rprt" + longId.left(longId.size() - 1), ParseStatus::Ok, 3 + longId.size(), {}, {}, Arrival::Ended },
        { "infd  s01       ", ParseStatus::Incomplete, 0, {}, {}, Arrival::Ended },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.bytes.left(40).toStdString());
        const ParsedMessage m = parseMessage(row.bytes, row.arrival);
        EXPECT_EQ(m.status, row.status);
        EXPECT_EQ(m.consumed, row.consumed);
        if (!row.id.isEmpty()) {
            EXPECT_EQ(m.id(), row.id);
        }
        if (!row.rest.isEmpty()) {
            EXPECT_EQ(m.afterId(), row.rest);
        }
    }
    EXPECT_EQ(parseMessage("overmaths 1.dat").afterTag(), QStringLiteral("maths 1.dat"));
}
