// Qt's own texts follow the language the program speaks, and their absence changes nothing.
#include "common/qttranslations.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTranslator>

#include <gtest/gtest.h>

namespace {

// What Qt writes on the Yes and No buttons of a message box.
QString yesNo()
{
    QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::Yes | QMessageBox::No);
    return box.button(QMessageBox::Yes)->text() + u'|' + box.button(QMessageBox::No)->text();
}

TEST(QtTranslations, OnlyTheChineseProgramsGetChineseButtons)
{
    const QString english = yesNo();
    const QTemporaryDir empty;
    const QString installed = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    ASSERT_TRUE(QFile::exists(installed + QStringLiteral("/qtbase_zh_CN.qm"))) << "qt6-translations-l10n is missing";
    const struct {
        int lcid;
        QString folder;
        bool chinese;
    } rows[] = {
        { 2052, QString(), true },
        { 2052, installed, true },
        { 2052, empty.path(), false }, // not installed: Qt stays English, nothing fails
        { 1028, QString(), false },    // other Chinese locales get the English tables
        { 1033, QString(), false },
    };
    for (const auto &row : rows) {
        QTranslator *translator = installQtTranslations(*qApp, row.lcid, row.folder);
        const QString shown = yesNo();
        EXPECT_EQ(translator != nullptr, row.chinese) << row.lcid << ' ' << row.folder.toStdString();
        EXPECT_EQ(shown != english, row.chinese) << row.lcid << ' ' << shown.toStdString();
        if (translator) {
            EXPECT_EQ(translator->parent(), qApp);
        }
        delete translator; // uninstalls it
        EXPECT_EQ(yesNo(), english);
    }
}

} // namespace
