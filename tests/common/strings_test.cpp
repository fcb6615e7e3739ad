// String tables: the locale rule, both languages of every program, and the table bounds.
#include "centrum/texts.h"
#include "common/multilanguage.h"
#include "common/systemlocale.h"
#include "entrant/texts.h"
#include "examdesk/texts.h"
#include "vellum/texts.h"

#include <gtest/gtest.h>

#include <span>
#include <stdexcept>
#include <vector>

TEST(Locale, PosixNamesMapToWindowsLocaleNumbers)
{
    EXPECT_EQ(lcidFromLocaleName(QStringLiteral("zh_CN.UTF-8")), 2052);
    EXPECT_EQ(lcidFromLocaleName(QStringLiteral("zh_CN")), 2052);
    EXPECT_EQ(lcidFromLocaleName(QStringLiteral("zh_TW.UTF-8")), 1028);
    EXPECT_EQ(lcidFromLocaleName(QStringLiteral("zh_HK.UTF-8")), 3076);
    EXPECT_EQ(lcidFromLocaleName(QStringLiteral("zh_SG.GB2312")), 4100);
    EXPECT_EQ(lcidFromLocaleName(QStringLiteral("en_US.UTF-8")), 1033);
    EXPECT_NE(lcidFromLocaleName(QStringLiteral("C")), 2052);
    EXPECT_NE(lcidFromLocaleName(QStringLiteral("de_DE@euro")), 2052);
    EXPECT_NE(lcidFromLocaleName(QString()), 2052);
}

TEST(Locale, LcAllWinsOverLcMessagesAndLang)
{
    const QByteArray all = qgetenv("LC_ALL"), messages = qgetenv("LC_MESSAGES"), lang = qgetenv("LANG");
    qputenv("LC_ALL", "");
    qputenv("LC_MESSAGES", "");
    qputenv("LANG", "zh_CN.UTF-8");
    EXPECT_EQ(systemDefaultLcid(), 2052);
    qputenv("LC_MESSAGES", "en_US.UTF-8");
    EXPECT_EQ(systemDefaultLcid(), 1033);
    qputenv("LC_ALL", "zh_CN.UTF-8");
    EXPECT_EQ(systemDefaultLcid(), 2052);
    qputenv("LC_ALL", all);
    qputenv("LC_MESSAGES", messages);
    qputenv("LANG", lang);
}

namespace {

struct Range {
    int first;
    int last;
};

struct ProgramTable {
    const char *program;
    std::span<const TextEntry> entries;
    std::vector<Range> numbered; // numbers the program has always had, in both languages
    std::vector<Range> gaps;     // numbers that stay empty
};

const ProgramTable programTables[] = {
    { "vellum", vellum::textEntries(), { { 1, 4 }, { 6, 36 }, { 43, 46 } }, { { 5, 5 }, { 37, 42 } } },
    { "entrant", entrant::textEntries(), { { 1, 13 } }, {} },
    { "examdesk", examdesk::textEntries(), { { 1, 19 } }, {} },
    { "centrum", centrum::textEntries(), { { 1, 25 } }, {} },
};

} // namespace

TEST(StringTables, OnlyLocale2052ChoosesChinese)
{
    EXPECT_EQ(entrant::stringTable(2052)->getRes(entrant::text::LoginButton), QStringLiteral("登录"));
    EXPECT_EQ(entrant::stringTable(1028)->getRes(entrant::text::LoginButton), QStringLiteral("Login"));
    EXPECT_EQ(entrant::stringTable(1033)->getRes(entrant::text::LoginButton), QStringLiteral("Login"));
}

TEST(StringTables, EveryEntryHasBothLanguagesAndGapsStayEmpty)
{
    for (const ProgramTable &t : programTables) {
        SCOPED_TRACE(t.program);
        const Cmlc zh(t.entries);
        const Cmlo en(t.entries);
        EXPECT_EQ(zh.size(), en.size());
        for (const TextEntry &e : t.entries) {
            EXPECT_FALSE(zh.getRes(e.number).isEmpty()) << e.number;
            EXPECT_FALSE(en.getRes(e.number).isEmpty()) << e.number;
        }
        for (const auto &[first, last] : t.numbered) {
            for (int n = first; n <= last; ++n) {
                EXPECT_FALSE(zh.getRes(n).isEmpty()) << n;
                EXPECT_FALSE(en.getRes(n).isEmpty()) << n;
            }
        }
        for (const auto &[first, last] : t.gaps) {
            for (int n = first; n <= last; ++n) {
                EXPECT_EQ(zh.getRes(n), QString()) << n;
                EXPECT_EQ(en.getRes(n), QString()) << n;
            }
        }
        EXPECT_THROW(zh.getRes(0), std::out_of_range);
        EXPECT_THROW(en.getRes(en.size() + 1), std::out_of_range);
    }
}

TEST(StringTables, TextsKeepTheirBlanks)
{
    EXPECT_EQ(Cmlo(examdesk::textEntries()).getRes(7), QStringLiteral(" Subject:"));
    EXPECT_EQ(Cmlc(examdesk::textEntries()).getRes(7), QStringLiteral(" 科目:"));
    EXPECT_EQ(Cmlo(vellum::textEntries()).getRes(43), QStringLiteral("Tests has "));
    EXPECT_EQ(Cmlo(vellum::textEntries()).getRes(44), QStringLiteral(" Items"));
    EXPECT_EQ(Cmlo(centrum::textEntries()).getRes(25), QStringLiteral(" Local IP:"));
    EXPECT_EQ(Cmlc(centrum::textEntries()).getRes(1), QStringLiteral("Orla服务器程序V1.1"));
}

TEST(StringTables, TestTakerFindsTheClientWindowByTheSameTitle)
{
    for (int lcid : { 2052, 1033 }) {
        EXPECT_EQ(examdesk::stringTable(lcid)->getRes(examdesk::text::CaptionStem),
                  entrant::stringTable(lcid)->getRes(entrant::text::Title));
    }
}

TEST(StringTables, TheInterfaceAloneAnswersEmptyTexts)
{
    const CmultiLanguage none;
    EXPECT_EQ(none.getRes(1), QString());
    EXPECT_EQ(none.getRes(999), QString());
}
