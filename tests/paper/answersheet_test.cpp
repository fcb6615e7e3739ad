// The answer sheet: whatever the answers hold, it reads back as written; damaged sheets do not read.
#include "paper/answersheet.h"

#include <QByteArray>

#include <gtest/gtest.h>

using paper::AnswerSheet;

TEST(AnswerSheet, ReadsBackWhatIsWrittenWhateverTheAnswersHold)
{
    const QString token = QStringLiteral("000000000000000042");
    const AnswerSheet sheets[] = {
        { token, QStringLiteral("maths.dat"), 125, { QStringLiteral("A"), QStringLiteral("BD"), QStringLiteral("T") } },
        { token, QStringLiteral("unit:1,2%.dat"), 0, { QString(), QString(), QString() } },
        { token, QStringLiteral("数学.dat"), 3600, { QStringLiteral("a,b:c%41"), QStringLiteral("line\nbreak\ttab") } },
        { token, QStringLiteral("p.dat"), 7, { QString() } },
        { token, QStringLiteral("p.dat"), 7, {} },
        { token, QStringLiteral("p.dat"), 7, { QStringLiteral("，全角：冒号"), QStringLiteral("^^") } },
    };
    for (const AnswerSheet &sheet : sheets) {
        const QString text = paper::formatAnswerSheet(sheet);
        EXPECT_TRUE(paper::isAnswerSheet(text)) << text.toStdString();
        const std::optional<AnswerSheet> back = paper::parseAnswerSheet(text);
        ASSERT_TRUE(back) << text.toStdString();
        EXPECT_EQ(*back, sheet) << text.toStdString();
    }
}

TEST(AnswerSheet, DamagedSheetsAndResultTextsDoNotRead)
{
    const char *texts[] = {
        "87:maths.dat:125",                                // a result text
        "#sheet2:000000000000000042:1:1:p.dat:A:",         // another mark
        "#sheet1:00000000000000042:1:1:p.dat:A:",          // token one digit short
        "#sheet1:00000000000000004x:1:1:p.dat:A:",         // token not digits
        "#sheet1:000000000000000042:-1:1:p.dat:A:",        // negative seconds
        "#sheet1:000000000000000042:1:2:p.dat:A:",         // fewer answers than counted
        "#sheet1:000000000000000042:1:1:p.dat:A,B:",       // more answers than counted
        "#sheet1:000000000000000042:1:0:p.dat:A:",         // answers where none were counted
        "#sheet1:000000000000000042:1:1:p.dat:A:B:",       // a ":" left unescaped
        "#sheet1:000000000000000042:1:1:p.dat:%4:",        // an escape cut short
        "#sheet1:000000000000000042:1:1:p.dat:%G1:",       // an escape not hexadecimal
        "#sheet1:000000000000000042:1:99999999999:p.dat::", // a count the text cannot hold
        "#sheet1:000000000000000042:1:1:",                 // fields missing
        "#sheet1:000000000000000042:1:1:p.dat:Paris~Ro",   // cut short within the last answer
        "#sheet1:000000000000000042:1:2:p.dat:A,",         // cut short after a ","
    };
    for (const char *text : texts)
        EXPECT_FALSE(paper::parseAnswerSheet(QString::fromUtf8(text))) << text;
}

TEST(AnswerSheet, TokensHaveTheirFixedWidth)
{
    const QByteArray zeros(32, '\0');
    const QByteArray ones(32, '\xff');
    EXPECT_EQ(paper::tokenFromMac(zeros), QStringLiteral("000000000000000000"));
    // 2^64 - 1 = 18446744073709551615; modulo 10^18 leaves its last 18 digits.
    EXPECT_EQ(paper::tokenFromMac(ones), QStringLiteral("446744073709551615"));
    EXPECT_TRUE(paper::isSheetToken(paper::tokenFromMac(ones)));
    EXPECT_FALSE(paper::isSheetToken(u"12345"));
}
