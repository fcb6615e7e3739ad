// Number texts: the leading-number rule, rounding half to even, and label and field forms.
#include "common/numbers.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(Numbers, LeadingNumberReadsWhatTheTextBeginsWith)
{
    struct Row {
        const char *text;
        double value;
    };
    const Row rows[] = {
        { "2", 2 },          { "1.5", 1.5 },      { "3分", 3 },       { "", 0 },
        { "abc", 0 },        { "  \t\n42", 42 },  { "-2.5x", -2.5 },  { "+7", 7 },
        { ".5", 0.5 },       { "5.", 5 },         { "1e3", 1000 },    { "1E-1", 0.1 },
        { "2e", 2 },         { "2e+", 2 },        { "1.2.3", 1.2 },   { "-", 0 },
        { ".", 0 },          { "12abc", 12 },     { "1 2", 1 },       { "１２", 0 },
        { "1d2", 100 },      { "\r5", 0 },
        // Plain digits, however many, read as the general rule reads them.
        { "007", 7 },        { "-12", -12 },      { "12d", 12 },      { "12d3", 12000 },
        { "123456789012345", 123456789012345.0 },  { "1234567890123456789", 1234567890123456789.0 },
        { "99999999999999999999分", 1e20 },
    };
    for (const Row &r : rows)
        EXPECT_DOUBLE_EQ(numbers::leadingNumber(QString::fromUtf8(r.text)), r.value) << r.text;
    EXPECT_TRUE(std::signbit(numbers::leadingNumber(u"-0"))) << "minus zero keeps its sign";
    EXPECT_TRUE(std::isinf(numbers::leadingNumber(u"1e999")));
    EXPECT_EQ(numbers::leadingNumber(u"1e-999"), 0.0);
    // Out of a double's range, the size of the number decides, not the exponent's sign.
    EXPECT_EQ(numbers::leadingNumber(QStringLiteral("0.") + QString(400, u'0') + u'1'), 0.0);
    EXPECT_TRUE(std::isinf(numbers::leadingNumber(u'1' + QString(400, u'0') + QStringLiteral("e-5"))));
    EXPECT_TRUE(std::isinf(numbers::leadingNumber(u"-1e99999999999999999999")));
}

TEST(Numbers, WholeNumberIsOneNumberAndNothingElse)
{
    const std::pair<const char *, std::optional<double>> rows[] = {
        { " 2 ", 2 },   { "1e3", 1000 }, { "+2", 2 },          { ".5", 0.5 },          { "5.", 5 },
        { "-1", -1 },   { "1d2", 100 },  { "2分", std::nullopt }, { "2e", std::nullopt }, { "1 2", std::nullopt },
        { ".", std::nullopt }, { "", std::nullopt }, { "x", std::nullopt }, { "1.2.3", std::nullopt },
    };
    for (const auto &[text, value] : rows)
        EXPECT_EQ(numbers::wholeNumber(QString::fromUtf8(text)), value) << text;
}

TEST(Numbers, RoundsHalvesToTheEvenNeighbour)
{
    const std::pair<double, qint64> rows[] = {
        { 0.5, 0 }, { 1.5, 2 }, { 2.5, 2 }, { -0.5, 0 }, { -1.5, -2 }, { 2.4999, 2 }, { 2.5001, 3 },
    };
    for (const auto &[v, r] : rows)
        EXPECT_EQ(numbers::roundHalfEven(v), r) << v;
    EXPECT_FALSE(numbers::roundHalfEven(INFINITY));
    EXPECT_FALSE(numbers::roundHalfEven(NAN));
    EXPECT_FALSE(numbers::roundHalfEven(1e300));
}

TEST(Numbers, SixteenBitValuesOutsideTheRangeAreRefused)
{
    EXPECT_EQ(numbers::leadingInt16(u"32767"), qint16(32767));
    EXPECT_EQ(numbers::leadingInt16(u"-32768"), qint16(-32768));
    EXPECT_FALSE(numbers::leadingInt16(u"32768"));
    EXPECT_EQ(numbers::leadingInt16(u"12.5"), qint16(12));
}

TEST(Numbers, LabelFormHasALeadingBlankForZeroAndPositiveNumbers)
{
    EXPECT_EQ(numbers::labelText(100), QStringLiteral(" 100"));
    EXPECT_EQ(numbers::labelText(0), QStringLiteral(" 0"));
    EXPECT_EQ(numbers::labelText(-5), QStringLiteral("-5"));
    EXPECT_EQ(numbers::labelText(1.5), QStringLiteral(" 1.5"));
    EXPECT_EQ(numbers::fieldText(100), QStringLiteral("100"));
    EXPECT_EQ(numbers::fieldText(-0.0), QStringLiteral("0"));
    EXPECT_EQ(numbers::fieldText(1e20), QStringLiteral("1E+20"));
}
