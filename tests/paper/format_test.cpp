// Paper lines: building header and question lines, and agreeing with other writers of the format.
#include "paper/onechoice.h"
#include "paper/paperformat.h"

#include <QStringList>

#include <gtest/gtest.h>

TEST(PaperFormat, HeaderLineJoinsSixFieldsWithCarets)
{
    paper::Header h { "417", "90", "S", "T", "100", "A" };
    EXPECT_EQ(paper::buildHeaderLine(h), QStringLiteral("417^90^S^T^100^A"));
    h.title = QStringLiteral("two\r\nlines");
    EXPECT_EQ(paper::buildHeaderLine(h), QStringLiteral("417^90^S^twolines^100^A"));
}

TEST(PaperFormat, HeaderIsReadWithTheTestTakersTrimming)
{
    const paper::Header h = paper::readHeader(QStringLiteral(" 5 ^ 90^ Subject ^Title ^100^ Author "));
    EXPECT_EQ(h.random, QStringLiteral(" 5 "));
    EXPECT_EQ(h.timeLimit, QStringLiteral("90"));
    EXPECT_EQ(h.subject, QStringLiteral("Subject "));
    EXPECT_EQ(h.title, QStringLiteral("Title "));
    EXPECT_EQ(h.author, QStringLiteral("Author"));
}

TEST(PaperFormat, QuestionLinesOfEachKind)
{
    oneChoice single;
    single.setContext(QStringLiteral("Q"));
    single.setAnswer(QStringLiteral("2"));
    single.setPoint(QStringLiteral("2"));
    single.setType(paper::kindSingle);
    single.setOption(0, QStringLiteral("x"));
    single.setOption(1, QStringLiteral("y"));
    EXPECT_EQ(paper::buildQuestionLine(single), QStringLiteral("Q^0^2^2^9^x^y"));

    oneChoice blank;
    blank.setContext(QStringLiteral("ab\r\ncd"));
    blank.setPoint(QStringLiteral("3"));
    blank.setType(paper::kindBlank);
    blank.setOption(0, QStringLiteral("w1"));
    blank.setOption(1, QStringLiteral("w2"));
    blank.setImg(7);
    EXPECT_EQ(paper::buildQuestionLine(blank), QStringLiteral("abcd^7^^3^7^w1^w2"));
}

TEST(PaperFormat, StoredLinesAgreeWithAnyCorrectWriter)
{
    // Written out by hand from the format: UTF-16LE bytes XOR "lanterns", upper-case hex.
    const QString stored = QStringLiteral("3D003F005E002A00");
    EXPECT_EQ(paper::decipherLine(stored), QStringLiteral("Q^0^"));
    EXPECT_EQ(paper::encipherLine(QStringLiteral("Q^0^")), stored);
    EXPECT_EQ(paper::decipherLine(stored.toLower()), QStringLiteral("Q^0^"));
    // Chinese text travels as UTF-16: 题 is U+9898; 98^6C = F4, 98^00 = 98.
    EXPECT_EQ(paper::encipherLine(QStringLiteral("题")), QStringLiteral("F498"));
}

TEST(PaperFormat, ALineReadAsBytesDeciphersAsTheSameLineReadAsText)
{
    const QString good = paper::encipherLine(QStringLiteral("题目^0^1^2^9^甲^乙"));
    // A character beyond ASCII where only a trailing odd digit may stand is ignored like one;
    // elsewhere it stops the line, and the position counts characters, not bytes.
    const QStringList lines = { good,        good.toLower(), good + u'é', QStringLiteral("题") + good,
                                good.left(8) + QStringLiteral("é0") + good.mid(10), good + QStringLiteral("zz"),
                                QString(),   QStringLiteral("F") };
    for (const QString &line : lines) {
        qsizetype fromText = -1;
        qsizetype fromBytes = -1;
        const auto asText = paper::decipherLine(QStringView(line), &fromText);
        const auto asBytes = paper::decipherLine(QByteArrayView(line.toUtf8()), &fromBytes);
        EXPECT_EQ(asBytes, asText) << line.toStdString();
        EXPECT_EQ(fromBytes, fromText) << line.toStdString();
    }
    qsizetype position = -1;
    EXPECT_FALSE(paper::decipherLine(QByteArrayView(QStringLiteral("0D00中0D00").toUtf8()), &position));
    EXPECT_EQ(position, 4);
}
