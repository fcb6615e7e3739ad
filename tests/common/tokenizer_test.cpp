// Field splitting: the Tokenizer's trimming rules and ParseString's exact pieces.
#include "common/tokenizer.h"

#include <gtest/gtest.h>

namespace {

QStringList tokens(const QString &text, const QString &separator, int count)
{
    Tokenizer t;
    t.setSeparator(separator);
    t.init(text);
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << t.nextToken();
    return out;
}

} // namespace

TEST(Tokenizer, ReturnsFieldsThenEmptyTexts)
{
    EXPECT_EQ(tokens(QStringLiteral("a^b^c"), QStringLiteral("^"), 5),
              (QStringList { "a", "b", "c", "", "" }));
    EXPECT_EQ(tokens(QStringLiteral("a^^b"), QStringLiteral("^"), 3), (QStringList { "a", "", "b" }));
    EXPECT_EQ(tokens(QStringLiteral("whole line"), QStringLiteral("^"), 2),
              (QStringList { "whole line", "" }));
}

TEST(Tokenizer, FirstFieldKeepsBlanksLaterOnesLoseLeadingAndLastLosesTrailing)
{
    EXPECT_EQ(tokens(QStringLiteral(" a ^ b ^ c "), QStringLiteral("^"), 3),
              (QStringList { " a ", "b ", "c" }));
    // Only blanks are trimmed, not tabs.
    EXPECT_EQ(tokens(QStringLiteral("a^\tb"), QStringLiteral("^"), 2), (QStringList { "a", "\tb" }));
}

TEST(Tokenizer, DefaultSeparatorIsCommaAndInitKeepsTheSeparator)
{
    Tokenizer t;
    EXPECT_EQ(t.nextToken(), QString()); // before any init
    t.init(QStringLiteral("a,b"));
    EXPECT_EQ(t.nextToken(), QStringLiteral("a"));
    EXPECT_EQ(t.lastPosition(), 2);
    EXPECT_EQ(t.nextToken(), QStringLiteral("b"));
    EXPECT_EQ(t.lastPosition(), 0);

    t.setSeparator(QStringLiteral("~"));
    t.init(QStringLiteral("x~y"));
    EXPECT_EQ(t.nextToken(), QStringLiteral("x"));
}

TEST(ParseString, SplitsAtEveryDelimiterKeepingEmptyPieces)
{
    struct Row {
        QString text, delim;
        QStringList pieces;
    };
    const Row rows[] = {
        { "a,b,c", ",", { "a", "b", "c" } },
        { "a,b,", ",", { "a", "b", "" } },
        { "abc", ",", { "abc" } },
        { "a^b^", "^", { "a", "b", "" } },
        { "^a", "^", { "", "a" } },
        { "a^^b", "^", { "a", "", "b" } },
        { " a : b ", ":", { " a ", " b " } },
        { "aXbxc", "x", { "aXb", "c" } },
        { "a::b", "::", { "a", "b" } },
    };
    for (const Row &r : rows) {
        const auto pieces = ParseString(r.text, r.delim);
        ASSERT_TRUE(pieces.has_value()) << r.text.toStdString();
        EXPECT_EQ(*pieces, r.pieces) << r.text.toStdString();
    }
}

TEST(ParseString, GivesNoListForTextsNotLongerThanTheDelimiter)
{
    EXPECT_FALSE(ParseString(QStringLiteral("a"), QStringLiteral("^")));
    EXPECT_FALSE(ParseString(QStringLiteral(","), QStringLiteral(",")));
    EXPECT_FALSE(ParseString(QString(), QStringLiteral(",")));
    EXPECT_FALSE(ParseString(QStringLiteral("abc"), QString()));
    EXPECT_FALSE(ParseString(QStringLiteral("ab"), QStringLiteral("abc")));
}

TEST(Tokenizer, ViewsGiveTheSameFieldsAsTokens)
{
    for (const QString &text : { QStringLiteral(" a ^ b ^^ c "), QStringLiteral("^"), QStringLiteral("x"), QString(),
                                 QStringLiteral("a~~b"), QStringLiteral("  ^  ") }) {
        for (const QString &separator : { QStringLiteral("^"), QStringLiteral("~~"), QString() }) {
            Tokenizer byToken;
            Tokenizer byView;
            byToken.setSeparator(separator);
            byView.setSeparator(separator);
            byToken.init(text);
            byView.init(text);
            for (int i = 0; i < 6; ++i) {
                const QString token = byToken.nextToken();
                EXPECT_EQ(byView.nextView(), token) << text.toStdString() << " " << separator.toStdString();
                EXPECT_EQ(byView.lastPosition(), byToken.lastPosition());
            }
        }
    }
}
