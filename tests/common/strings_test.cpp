// String tables: the locale rule, both languages of every program, and the table bounds.
#include "multilanguage.h"
#include "systemlocale.h"

#include <gtest/gtest.h>

#include <stdexcept>

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

TEST(StringTables, OnlyLocale2052ChoosesChinese)
{
    EXPECT_EQ(chooseStringTable(Program::Entrant, 2052)->getRes(1), QStringLiteral("登录"));
    EXPECT_EQ(chooseStringTable(Program::Entrant, 1028)->getRes(1), QStringLiteral("Login"));
    EXPECT_EQ(chooseStringTable(Program::Entrant, 1033)->getRes(1), QStringLiteral("Login"));
}

TEST(StringTables, BothLanguagesOfAProgramHaveTheSameNumbers)
{
    const std::pair<Program, int> sizes[] = {
        { Program::Vellum, 54 }, { Program::Examdesk, 19 }, { Program::Centrum, 45 }, { Program::Entrant, 30 },
    };
    for (const auto &[program, size] : sizes) {
        const Cmlc zh(program);
        const Cmlo en(program);
        EXPECT_EQ(zh.size(), size);
        EXPECT_EQ(en.size(), size);
        for (int n = 1; n <= size; ++n)
            EXPECT_EQ(zh.getRes(n).isEmpty(), en.getRes(n).isEmpty()) << n;
        EXPECT_THROW(zh.getRes(0), std::out_of_range);
        EXPECT_THROW(en.getRes(size + 1), std::out_of_range);
    }
}

TEST(StringTables, TextsKeepTheirBlanksAndGapsStayEmpty)
{
    EXPECT_EQ(Cmlo(Program::Examdesk).getRes(7), QStringLiteral(" Subject:"));
    EXPECT_EQ(Cmlc(Program::Examdesk).getRes(7), QStringLiteral(" 科目:"));
    EXPECT_EQ(Cmlo(Program::Vellum).getRes(43), QStringLiteral("Tests has "));
    EXPECT_EQ(Cmlo(Program::Vellum).getRes(44), QStringLiteral(" Items"));
    for (int gap : { 5, 37, 42 })
        EXPECT_EQ(Cmlo(Program::Vellum).getRes(gap), QString()) << gap;
    EXPECT_EQ(Cmlo(Program::Centrum).getRes(25), QStringLiteral(" Local IP:"));
    EXPECT_EQ(Cmlc(Program::Centrum).getRes(1), QStringLiteral("Orla服务器程序V1.1"));
}

TEST(StringTables, TestTakerFindsTheClientWindowByTheSameTitle)
{
    for (int lcid : { 2052, 1033 }) {
        EXPECT_EQ(chooseStringTable(Program::Examdesk, lcid)->getRes(5),
                  chooseStringTable(Program::Entrant, lcid)->getRes(12));
    }
}

TEST(StringTables, TheInterfaceAloneAnswersEmptyTexts)
{
    const CmultiLanguage none;
    EXPECT_EQ(none.getRes(1), QString());
    EXPECT_EQ(none.getRes(999), QString());
}
