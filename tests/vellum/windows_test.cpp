// The authoring windows driven as an author would: typing, clicking, opening, saving, and the file read back.
#include "paper/onechoices.h"
#include "paper/papercheck.h"
#include "paper/paperformat.h"
#include "vellum/authoring.h"
#include "vellum/form1.h"
#include "vellum/frmpapr.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "tests/support/paperfiles.h"

#include <gtest/gtest.h>

using namespace vellum;

// The font library keeps caches for the life of the process; the leak checker is told so
// (it is only consulted in sanitizer builds).
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

// Readable texts in failure messages.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

struct Told {
    QString title;
    QString text;
};

class Windows : public ::testing::Test
{
protected:
    // The run under test, with message boxes recorded instead of shown.
    Authoring &start(int lcid = 1033)
    {
        Prompter p;
        p.tell = [this](QWidget *, QMessageBox::Icon, const QString &title, const QString &text) {
            m_told.push_back({ title, text });
        };
        p.ask = [this](QWidget *, const QString &, const QString &) {
            ++m_asked;
            return m_answerYes;
        };
        m_run = std::make_unique<Authoring>(m_dir.path(), lcid, [] { return 321; }, p);
        m_run->start();
        return *m_run;
    }
    FrmPapr &header() { return *m_run->headerEditor(); }
    Form1 &editor() { return *m_run->questionEditor(); }

    // Qt Test spells only ASCII as keys; other characters arrive as text, as from an input method.
    void type(QWidget *box, const QString &text)
    {
        for (QChar c : text) {
            if (c.unicode() < 0x80) {
                QTest::keyClick(box, c.toLatin1());
                continue;
            }
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(box, &press);
            QApplication::sendEvent(box, &release);
        }
    }
    void replace(QLineEdit *box, const QString &text)
    {
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Delete);
        type(box, text);
    }
    void click(QAbstractButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

    void fillHeader(const QString &fileName)
    {
        type(header().TxtT, QStringLiteral("Midterm"));
        type(header().txtS, QStringLiteral("Maths"));
        replace(header().txtTL, QStringLiteral("45"));
        type(header().txtA, QStringLiteral("Li"));
        type(header().txtFN, fileName);
    }

    struct Question {
        QString text;
        int kind;
        QString answer; // letters
        QString marks;
        QStringList options;
        QString image;
    };
    void compose(const Question &q)
    {
        Form1 &f = editor();
        type(f.Text2, q.text);
        if (!q.image.isEmpty())
            type(f.Text3, q.image);
        click(f.Option1[q.kind]);
        for (int i = 0; i < q.options.size(); ++i)
            replace(f.Text7[i], q.options[i]);
        for (QChar letter : q.answer) {
            const int i = letter.unicode() - u'A';
            click(q.kind == 1 ? static_cast<QAbstractButton *>(f.Check1[i]) : f.Option4[i]);
        }
        replace(f.Text5, q.marks);
    }

    QString readBack(const QString &path, oneChoices &paper)
    {
        EXPECT_EQ(paper.init(path), oneChoices::LoadStatus::Loaded);
        const auto header = oneChoices::getTitle(path);
        return header.value_or(QString());
    }
    void expectClean(const QString &path)
    {
        const auto check = paper::checkPaper(path);
        EXPECT_TRUE(check.opened);
        for (const auto &p : check.problems)
            ADD_FAILURE() << "line " << p.line << ": " << p.message.toStdString();
    }
    QStringList toldTexts() const
    {
        QStringList t;
        for (const Told &m : m_told)
            t << m.text;
        return t;
    }
    QString file(const QString &name) const { return m_dir.filePath(name); }

    // Accepts the next file dialog with path. When an earlier choice is to be preselected,
    // waits until the dialog's folder listing has selected it, so it cannot land afterwards.
    void chooseInDialog(const QString &path, bool earlierChoice, QStringList *preselected = nullptr)
    {
        auto *timer = new QTimer;
        QObject::connect(timer, &QTimer::timeout, [this, timer, path, earlierChoice, preselected] {
            auto *dialog = header().findChild<QFileDialog *>();
            if (!dialog || !dialog->isVisible())
                return;
            auto *list = dialog->findChild<QAbstractItemView *>(QStringLiteral("listView"));
            if (earlierChoice && list && !list->selectionModel()->hasSelection())
                return;
            timer->stop();
            timer->deleteLater();
            if (preselected)
                *preselected = dialog->selectedFiles();
            if (list)
                list->clearSelection();
            if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                name->setText(path);
            static_cast<QDialog *>(dialog)->accept();
        });
        timer->start(10);
    }

    QTemporaryDir m_dir;
    std::unique_ptr<Authoring> m_run;
    std::vector<Told> m_told;
    int m_asked = 0;
    bool m_answerYes = true;
};

TEST_F(Windows, ANewPaperWithEveryKindIsWrittenAsTyped)
{
    start();
    EXPECT_EQ(header().windowTitle(), QStringLiteral("ZeloGeneratorV1.1"));
    fillHeader(QStringLiteral("mid"));
    click(header().Command1);
    ASSERT_NE(m_run->questionEditor(), nullptr);
    EXPECT_TRUE(editor().isVisible());
    EXPECT_FALSE(header().isVisible());
    EXPECT_EQ(editor().Label16->text(), QStringLiteral("Tests has 0 Items"));
    EXPECT_TRUE(editor().CmdDel->isHidden());

    const Question questions[] = {
        { QStringLiteral("2+2?"), 0, QStringLiteral("C"), QStringLiteral("2"),
          { QStringLiteral("3"), QStringLiteral("5"), QStringLiteral("4") }, QStringLiteral("7") },
        { QStringLiteral("Primes?"), 1, QStringLiteral("AC"), QStringLiteral("1.5"),
          { QStringLiteral("2"), QStringLiteral("4"), QStringLiteral("5") }, {} },
        { QStringLiteral("Capital of France"), 2, {}, QStringLiteral("3"), { QStringLiteral("Paris") }, {} },
        { QStringLiteral("中文题目"), 3, QStringLiteral("A"), QStringLiteral("1"), {}, {} },
    };
    for (const Question &q : questions) {
        compose(q);
        click(editor().Command2);
    }
    EXPECT_TRUE(m_told.empty()) << toldTexts().join(u'|').toStdString();
    EXPECT_EQ(editor().Label16->text(), QStringLiteral("Tests has 4 Items"));
    EXPECT_TRUE(editor().Text2->toPlainText().isEmpty());

    QSignalSpy saved(&editor(), &Form1::saved);
    click(editor().Command5);
    EXPECT_EQ(saved.count(), 1);
    EXPECT_FALSE(editor().isVisible());

    oneChoices paper;
    EXPECT_EQ(readBack(file(QStringLiteral("mid.dat")), paper), QStringLiteral("321^45^Maths^Midterm^100^Li"));
    ASSERT_EQ(paper.getCount(), 4);
    EXPECT_EQ(paper.getOne(1)->getOneLine(), QStringLiteral("2+2?^7^3^2^9^3^5^4"));
    EXPECT_EQ(paper.getOne(2)->getOneLine(), QStringLiteral("Primes?^0^13^1.5^8^2^4^5"));
    EXPECT_EQ(paper.getOne(3)->getOneLine(), QStringLiteral("Capital of France^0^13^3^7^Paris"));
    EXPECT_EQ(paper.getOne(4)->getOneLine(), QStringLiteral("中文题目^0^1^1^6^True^False"));
    expectClean(file(QStringLiteral("mid.dat")));
}

TEST_F(Windows, HeaderRefusalsAndChecks)
{
    start();
    type(header().TxtT, QStringLiteral("Mid^term"));
    EXPECT_EQ(header().TxtT->text(), QStringLiteral("Midterm"));
    ASSERT_EQ(m_told.size(), 1u);
    EXPECT_EQ(m_told[0].title, QStringLiteral("Warning"));
    EXPECT_TRUE(m_told[0].text.contains(u'^'));
    type(header().txtS, QStringLiteral("Maths"));
    type(header().txtA, QStringLiteral("Li"));
    click(header().Command1);
    ASSERT_EQ(m_told.size(), 2u) << "no file name typed yet";
    EXPECT_EQ(m_told.back().text, QStringLiteral("Required Field unavailable"));
    type(header().txtFN, QStringLiteral("p"));
    replace(header().txtTP, QStringLiteral("40000"));
    click(header().Command1);
    EXPECT_EQ(m_told.back().text, QStringLiteral("Required Field unavailable"));
    click(header().Command3);
    EXPECT_EQ(m_told.size(), 3u) << "editing before opening does nothing";
    replace(header().txtTP, QStringLiteral("50"));

    writePaper(file(QStringLiteral("p.dat")), { QStringLiteral("1^2^S^T^9^A") });
    click(header().Command1);
    EXPECT_EQ(m_told.back().text, QStringLiteral("File already exists"));
    EXPECT_EQ(m_run->questionEditor(), nullptr);
}

TEST_F(Windows, APaperWithoutQuestionsCanOnlyBeExtended)
{
    const QString p = writePaper(file(QStringLiteral("bare.dat")), { QStringLiteral("9^60^S^T^20^W") });
    start();
    header().openPaper(p);
    EXPECT_FALSE(header().Command3->isEnabled());
    EXPECT_EQ(header().txtFN->text(), p);
    click(header().Command1);
    ASSERT_NE(m_run->questionEditor(), nullptr);
    EXPECT_EQ(editor().Label16->text(), QStringLiteral("Tests has 0 Items"));
    compose({ QStringLiteral("Q"), 2, {}, QStringLiteral("2"), { QStringLiteral("w") }, {} });
    click(editor().Command2);
    click(editor().Command5);
    oneChoices paper;
    EXPECT_EQ(readBack(p, paper), QStringLiteral("321^60^S^T^20^W"));
    EXPECT_EQ(paper.getCount(), 1);
    expectClean(p);
}

TEST_F(Windows, AppendingToAnOpenedPaperThroughTheDialog)
{
    const QString p = writePaper(file(QStringLiteral("five.dat")),
                                 { QStringLiteral("9^60^History^Quiz^20^Wang"), QStringLiteral("Q1^0^1^2^9^a"),
                                   QStringLiteral("Q2^0^1^2^9^a"), QStringLiteral("Q3^0^1^2^9^a"),
                                   QStringLiteral("Q4^0^1^2^9^a"), QStringLiteral("Q5^0^1^2^9^a") });
    start();
    QStringList preselected;
    const QString empty = writePaper(file(QStringLiteral("empty.dat")), {});
    chooseInDialog(empty, false);
    click(header().CmdOpen);
    ASSERT_EQ(toldTexts().size(), 1) << "an empty paper is reported";
    EXPECT_TRUE(m_told[0].text.startsWith(QStringLiteral("Cannot open the tests file")));
    EXPECT_TRUE(header().txtFN->isEnabled());
    EXPECT_TRUE(header().TxtT->text().isEmpty());

    chooseInDialog(p, true);
    click(header().CmdOpen);
    EXPECT_EQ(header().TxtT->text(), QStringLiteral("Quiz"));
    EXPECT_EQ(header().txtTL->text(), QStringLiteral("60"));
    EXPECT_FALSE(header().txtFN->isEnabled());
    chooseInDialog(p, true, &preselected);
    click(header().CmdOpen);
    EXPECT_EQ(preselected, QStringList { p }) << "the last choice is offered again";

    click(header().Command1);
    ASSERT_NE(m_run->questionEditor(), nullptr);
    EXPECT_EQ(editor().Label16->text(), QStringLiteral("Tests has 5 Items"));
    compose({ QStringLiteral("Q6"), 0, QStringLiteral("A"), QStringLiteral("5"), { QStringLiteral("yes") }, {} });
    click(editor().Command2);
    EXPECT_EQ(editor().Label16->text(), QStringLiteral("Tests has 6 Items"));
    click(editor().Command5);

    oneChoices paper;
    EXPECT_EQ(readBack(p, paper), QStringLiteral("321^60^History^Quiz^20^Wang"));
    ASSERT_EQ(paper.getCount(), 6);
    EXPECT_EQ(paper.getOne(6)->getOneLine(), QStringLiteral("Q6^0^1^5^9^yes"));
}

TEST_F(Windows, EditingStoresStepsAndDeletesThroughTheButtons)
{
    const QString p = writePaper(file(QStringLiteral("e.dat")),
                                 { QStringLiteral("9^60^S^T^20^W"), QStringLiteral("One^4^1^2^9^a^b"),
                                   QStringLiteral("Two^0^13^2^8^a^b^c"), QStringLiteral("Three^0^2^2分^6^True^False") });
    start();
    header().openPaper(p);
    click(header().Command3);
    Form1 &f = editor();
    EXPECT_EQ(f.Label16->text(), QStringLiteral("Count:1/3"));
    EXPECT_TRUE(f.Command2->isHidden());
    EXPECT_EQ(f.Text3->text(), QStringLiteral("4"));
    EXPECT_TRUE(f.Option4[0]->isChecked());

    // A change that is not stored says why while it lasts.
    EXPECT_FALSE(f.problemNote->isVisibleTo(&f));
    f.Text2->selectAll();
    QTest::keyClick(f.Text2, Qt::Key_Delete);
    EXPECT_EQ(f.problemNote->text(), QStringLiteral("The changes to this question are not stored yet:\nThe question is empty"));
    EXPECT_TRUE(f.problemNote->isVisibleTo(&f));
    type(f.Text2, QStringLiteral("One!"));
    EXPECT_FALSE(f.problemNote->isVisibleTo(&f));
    click(f.Command3);
    EXPECT_EQ(f.Label16->text(), QStringLiteral("Count:2/3"));
    EXPECT_TRUE(f.Check1[0]->isChecked() && !f.Check1[1]->isChecked() && f.Check1[2]->isChecked());
    EXPECT_TRUE(f.checkFrame->isVisibleTo(&f));
    click(f.Command3);
    EXPECT_FALSE(f.Option4[2]->isVisibleTo(&f)) << "true-or-false offers A and B only";
    EXPECT_EQ(f.Text5->text(), QStringLiteral("2")) << "stored marks that are not a number";
    EXPECT_EQ(m_told.back().text, QStringLiteral("Should be Number"));
    click(f.Command3);
    EXPECT_EQ(f.Label16->text(), QStringLiteral("Count:3/3"));

    click(f.Command6);
    click(f.CmdDel); // the middle one
    EXPECT_EQ(f.Label16->text(), QStringLiteral("Count:2/2"));
    EXPECT_EQ(f.Text2->toPlainText(), QStringLiteral("Three"));
    click(f.CmdDel); // the last one
    EXPECT_EQ(f.Label16->text(), QStringLiteral("Count:1/1"));
    replace(f.Text5, QStringLiteral("3"));
    click(f.Command5);

    oneChoices paper;
    readBack(p, paper);
    ASSERT_EQ(paper.getCount(), 1);
    EXPECT_EQ(paper.getOne(1)->getOneLine(), QStringLiteral("One!^4^1^3^9^a^b"));
}

TEST_F(Windows, DeletingTheOnlyQuestionWritesAHeaderOnlyPaper)
{
    const QString p = writePaper(file(QStringLiteral("one.dat")),
                                 { QStringLiteral("9^60^S^T^20^W"), QStringLiteral("One^0^1^2^9^a") });
    start();
    header().openPaper(p);
    click(header().Command3);
    click(editor().CmdDel);
    EXPECT_EQ(editor().Label16->text(), QStringLiteral("Count:0/0"));
    type(editor().Text2, QStringLiteral("typed after"));
    click(editor().Command5);
    oneChoices paper;
    readBack(p, paper);
    EXPECT_EQ(paper.getCount(), 0);
}

TEST_F(Windows, MarksCaretAndImageIdRefusals)
{
    start();
    fillHeader(QStringLiteral("r"));
    click(header().Command1);
    Form1 &f = editor();
    f.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    f.Text5->setFocus();
    f.Text2->setFocus();
    ASSERT_TRUE(f.Text2->hasFocus());
    EXPECT_TRUE(m_told.empty()) << "passing through the untouched marks box says nothing";
    type(f.Text5, QStringLiteral("x"));
    EXPECT_EQ(f.Text5->text(), QStringLiteral("2"));
    EXPECT_EQ(m_told.back().text, QStringLiteral("Should be Number"));
    replace(f.Text5, QStringLiteral("0.5"));
    EXPECT_EQ(f.Text5->text(), QStringLiteral("0.5")) << "0 on the way to 0.5 is not refused";
    type(f.Text5, QStringLiteral("^"));
    EXPECT_EQ(f.Text5->text(), QStringLiteral("0.5")) << "a caret keeps the marks as they were";
    EXPECT_EQ(m_told.back().text, QStringLiteral("The character ^ cannot be used: it separates the fields of a tests file"));
    const size_t before = m_told.size();
    replace(f.Text5, QStringLiteral("0"));
    QTest::keyClick(f.Text5, Qt::Key_Return);
    EXPECT_EQ(m_told.size(), before + 1);
    EXPECT_EQ(f.Text5->text(), QStringLiteral("2"));

    type(f.Text7[0], QStringLiteral("a^b"));
    EXPECT_EQ(f.Text7[0]->text(), QStringLiteral("ab"));
    type(f.Text2, QStringLiteral("x^y"));
    EXPECT_EQ(f.Text2->toPlainText(), QStringLiteral("xy"));
    type(f.Text3, QStringLiteral("40000"));
    EXPECT_EQ(f.Text3->text(), QStringLiteral("4000"));
    EXPECT_EQ(m_told.back().text, QStringLiteral("Image ID must be a whole number from 0 to 32767"));

    click(f.Command2);
    EXPECT_EQ(m_told.back().text, QStringLiteral("Required Field unavailable\nNo type is chosen"));
    EXPECT_EQ(f.Label16->text(), QStringLiteral("Tests has 0 Items"));

    replace(f.Text5, QStringLiteral("3276"));
    type(f.Text5, QStringLiteral("8"));
    EXPECT_EQ(f.Text5->text(), QStringLiteral("3276"));
    EXPECT_EQ(m_told.back().text, QStringLiteral("The full marks of the tests cannot exceed 32767"));
}

TEST_F(Windows, ASaveFailureKeepsTheEditorOpenAndTheTitleBarAsksFirst)
{
    start();
    fillHeader(file(QStringLiteral("later/p.dat")));
    click(header().Command1);
    EXPECT_EQ(m_run->questionEditor(), nullptr) << "a folder that is missing is refused at once";
    EXPECT_TRUE(m_told.back().text.startsWith(QStringLiteral("The tests file cannot be written there: ")));
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("later")));
    click(header().Command1);
    ASSERT_NE(m_run->questionEditor(), nullptr);
    ASSERT_TRUE(QDir(m_dir.path()).rmdir(QStringLiteral("later"))); // gone again before saving
    compose({ QStringLiteral("Q"), 2, {}, QStringLiteral("1"), { QStringLiteral("w") }, {} });
    click(editor().Command2);
    click(editor().Command5);
    EXPECT_TRUE(editor().isVisible());
    EXPECT_TRUE(m_told.back().text.startsWith(QStringLiteral("The tests file could not be saved")));

    m_answerYes = false;
    editor().close();
    EXPECT_EQ(m_asked, 1);
    EXPECT_TRUE(editor().isVisible());

    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("later")));
    click(editor().Command5);
    EXPECT_FALSE(editor().isVisible());
    oneChoices paper;
    readBack(file(QStringLiteral("later/p.dat")), paper);
    EXPECT_EQ(paper.getCount(), 1);
}

TEST_F(Windows, ClosingByTheTitleBarWritesNothing)
{
    start();
    fillHeader(QStringLiteral("gone"));
    click(header().Command1);
    compose({ QStringLiteral("Q"), 2, {}, QStringLiteral("1"), { QStringLiteral("w") }, {} });
    click(editor().Command2);
    editor().close();
    EXPECT_EQ(m_asked, 1);
    EXPECT_FALSE(editor().isVisible());
    EXPECT_FALSE(QFile::exists(file(QStringLiteral("gone.dat"))));
}

TEST_F(Windows, RefusalsShowARealMessageBoxOverTheWindow)
{
    Authoring run(m_dir.path(), 2052, [] { return 1; });
    run.start();
    QString shown;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QWidget *owner = nullptr;
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [&, timer] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        timer->stop();
        timer->deleteLater();
        shown = box->windowTitle() + u'|' + box->text();
        icon = box->icon();
        owner = box->parentWidget();
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });
    timer->start(10);
    type(run.headerEditor()->txtA, QStringLiteral("^"));
    EXPECT_EQ(shown, QStringLiteral("提示|不能输入字符^,它是试卷文件的分隔符"));
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(owner, run.headerEditor());
    EXPECT_TRUE(run.headerEditor()->txtA->text().isEmpty());
}

TEST_F(Windows, ChineseLocaleGivesChineseTexts)
{
    start(2052);
    EXPECT_EQ(header().windowTitle(), QStringLiteral("Orla试卷生成器V1.1"));
    EXPECT_EQ(header().Command1->text(), QStringLiteral("添加试题"));
    fillHeader(QStringLiteral("zh"));
    click(header().Command1);
    EXPECT_EQ(editor().Label16->text(), QStringLiteral("试卷中共有0题"));
    EXPECT_EQ(editor().Option1[3]->text(), QStringLiteral("判断"));
}

} // namespace

namespace {

TEST(OpenDialogResult, SplitsAtTheLastSeparator)
{
    const OpenDialogResult chosen = showdialog::resultOf(QStringLiteral("/srv/试卷/a.dat"));
    EXPECT_EQ(chosen.folder, QStringLiteral("/srv/试卷/"));
    EXPECT_EQ(chosen.files, QStringList { QStringLiteral("a.dat") });
    EXPECT_EQ(chosen.count, 1);
    EXPECT_FALSE(chosen.cancelled);
    EXPECT_EQ(showdialog::resultOf(QStringLiteral("C:\\tests\\a.dat")).folder, QStringLiteral("C:\\tests\\"));
    const OpenDialogResult none = showdialog::resultOf(QString());
    EXPECT_TRUE(none.cancelled);
    EXPECT_EQ(none.count, 0);
    EXPECT_TRUE(none.fullPath().isEmpty());
}

} // namespace
