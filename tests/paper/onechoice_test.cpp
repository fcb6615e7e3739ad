// The question record: parsing lines as the test-taking program does, the option run, validity.
#include "paper/onechoice.h"
#include "paper/paperformat.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

QStringList options(const oneChoice &q)
{
    QStringList out;
    for (int i = 0; i < oneChoice::optionCount; ++i)
        out << q.getOption(i);
    return out;
}

oneChoice filled(const QString &type, const QString &answer, const QStringList &opts)
{
    oneChoice q;
    q.setContext(QStringLiteral("Q"));
    q.setPoint(QStringLiteral("2"));
    q.setType(type);
    q.setAnswer(answer);
    for (int i = 0; i < opts.size(); ++i)
        q.setOption(i, opts[i]);
    return q;
}

} // namespace

TEST(OneChoice, InitParsesEveryField)
{
    oneChoice q;
    q.init(QStringLiteral("Q^0^2^2^9^x^y"));
    EXPECT_EQ(q.getContext(), QStringLiteral("Q"));
    EXPECT_EQ(q.getImg(), 0);
    EXPECT_EQ(q.getAnswer(), QStringLiteral("2"));
    EXPECT_EQ(q.getPoint(), QStringLiteral("2"));
    EXPECT_EQ(q.getType(), QStringLiteral("9"));
    EXPECT_EQ(options(q), (QStringList { "x", "y", "", "", "", "" }));
    EXPECT_EQ(q.getOneLine(), QStringLiteral("Q^0^2^2^9^x^y"));
}

TEST(OneChoice, InitFillsWhatIsMissingAndIgnoresExtraFields)
{
    oneChoice empty;
    empty.init(QString());
    EXPECT_EQ(empty.getContext(), QString());
    EXPECT_EQ(empty.getImg(), 0);
    EXPECT_EQ(options(empty), QStringList(6));

    oneChoice many;
    many.init(QStringLiteral("Q^0^1^1^9^a^b^c^d^e^f^g^h"));
    EXPECT_EQ(many.getOption(5), QStringLiteral("f"));
    EXPECT_EQ(many.getOption(6), QString());

    oneChoice image;
    image.init(QStringLiteral("Q^12abc^1^2^9^x"));
    EXPECT_EQ(image.getImg(), 12);
    image.init(QStringLiteral("Q^99999^1^2^9^x"));
    EXPECT_EQ(image.getImg(), 0); // beyond 16 bits: no picture rather than a wrapped number
}

// The text and options are cut from the line only when first read: an edit, a new line or a
// copy made before that must still see the fields of the line that was parsed.
TEST(OneChoice, EditsBeforeTheTextIsReadKeepTheParsedLinesFields)
{
    const QString line = QStringLiteral("Q^0^1^1^9^x^y");
    oneChoice renamed;
    renamed.init(line);
    renamed.setOneLine(QStringLiteral("other^0^2^2^8^p^q"));
    EXPECT_EQ(renamed.getContext(), QStringLiteral("Q"));
    EXPECT_EQ(options(renamed), (QStringList { "x", "y", "", "", "", "" }));

    oneChoice edited;
    edited.init(line);
    edited.setOption(1, QStringLiteral("z"));
    EXPECT_EQ(options(edited), (QStringList { "x", "z", "", "", "", "" }));
    edited.setContext(QStringLiteral("R"));
    EXPECT_EQ(edited.getContext(), QStringLiteral("R"));
    EXPECT_EQ(edited.getOptStr(), QStringLiteral("^x^z"));

    oneChoice original;
    original.init(line);
    const oneChoice copy = original;
    original.init(QStringLiteral("S^0^1^1^9^s"));
    EXPECT_EQ(copy.getContext(), QStringLiteral("Q"));
    EXPECT_EQ(copy.getOption(1), QStringLiteral("y"));
    EXPECT_EQ(original.getContext(), QStringLiteral("S"));
    EXPECT_EQ(original.getOption(1), QString());
}

TEST(OneChoice, FieldsAfterACaretLoseTheirLeadingBlanks)
{
    oneChoice q;
    q.init(QStringLiteral(" Q ^ 0 ^  1 ^ 2 ^ 9 ^ a ^ b "));
    EXPECT_EQ(q.getContext(), QStringLiteral(" Q "));
    EXPECT_EQ(q.getAnswer(), QStringLiteral("1 "));
    EXPECT_EQ(q.getOption(0), QStringLiteral("a "));
    EXPECT_EQ(q.getOption(1), QStringLiteral("b"));
}

TEST(OneChoice, OptionRunStopsAtTheFirstEmptyOptionAndDropsLineBreaks)
{
    EXPECT_EQ(filled("9", "1", { "x", "y" }).getOptStr(), QStringLiteral("^x^y"));
    EXPECT_EQ(filled("9", "1", { "a", "", "c" }).getOptStr(), QStringLiteral("^a"));
    EXPECT_EQ(filled("9", "1", {}).getOptStr(), QString());
    EXPECT_EQ(filled("9", "1", { "ab\r\ncd" }).getOptStr(), QStringLiteral("^abcd"));
}

TEST(OneChoice, ValidityNeedsTextMarksKindOptionAAndAnAnswerUnlessFillIn)
{
    EXPECT_TRUE(filled("7", "", { "w1" }).validateLine());
    EXPECT_FALSE(filled("9", "", { "w1" }).validateLine());
    EXPECT_TRUE(filled("9", "1", { "x" }).validateLine());
    EXPECT_FALSE(filled("9", "1", { "", "b", "c", "d", "e", "f" }).validateLine());
    oneChoice noMarks = filled("9", "1", { "x" });
    noMarks.setPoint(QString());
    EXPECT_FALSE(noMarks.validateLine());
    oneChoice noText = filled("9", "1", { "x" });
    noText.setContext(QString());
    EXPECT_FALSE(noText.validateLine());
}

TEST(OneChoice, OptionIndexesOutsideTheSlotsThrow)
{
    oneChoice q;
    EXPECT_THROW(q.getOption(7), std::out_of_range);
    EXPECT_THROW(q.getOption(-1), std::out_of_range);
    EXPECT_THROW(q.setOption(7, QStringLiteral("x")), std::out_of_range);
    EXPECT_EQ(q.getOption(6), QString());
}
