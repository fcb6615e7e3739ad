// The authoring rules without windows: the header, opening, saving, and composing and editing questions.
#include "common/multilanguage.h"
#include "paper/onechoices.h"
#include "paper/papercheck.h"
#include "paper/paperformat.h"
#include "vellum/papersession.h"
#include "vellum/questioneditor.h"
#include "vellum/texts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>

#include "tests/support/paperfiles.h"

#include <gtest/gtest.h>

using namespace vellum;

// Readable texts in failure messages.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class Core : public ::testing::Test
{
protected:
    QString folder() const { return m_dir.path(); }
    QString path(const QString &name) const { return m_dir.filePath(name); }

    // A paper of the given question lines under a valid header.
    QString paperWith(const QString &name, const QStringList &questions)
    {
        return writePaper(path(name), QStringList { QStringLiteral("7^45^Maths^Midterm^100^Li") } + questions);
    }

    QString plainLine(int index) { return *paper::decipherLine(m_session.paperLines().getLineByIndex(index)); }

    QTemporaryDir m_dir;
    int m_random = 417;
    PaperSession m_session { m_dir.path(), [this] { return m_random; } };
    Cmlo m_texts { vellum::textEntries() };
};

TEST_F(Core, FileNameBoxFollowsTheSuffixRule)
{
    const QString f = folder() + u'/';
    EXPECT_EQ(m_session.fileNameFor(QStringLiteral("exam")), f + QStringLiteral("exam.dat"));
    EXPECT_EQ(m_session.fileNameFor(QStringLiteral("/srv/p/exam.dat")), QStringLiteral("/srv/p/exam.dat"));
    EXPECT_EQ(m_session.fileNameFor(QStringLiteral("sub/exam.dat")), f + QStringLiteral("sub/exam.dat"));
    EXPECT_EQ(m_session.fileNameFor(QStringLiteral("exam.DAT")), f + QStringLiteral("exam.DAT.dat"));
    EXPECT_EQ(m_session.fileNameFor(QStringLiteral("exam.dat ")), f + QStringLiteral("exam.dat.dat"));
    EXPECT_EQ(m_session.fileNameFor(QString()), f + QStringLiteral(".dat"));
}

TEST_F(Core, NumberBoxesRoundHalfEvenAndTreatOversizeAsMissing)
{
    const std::pair<const char *, qint16> cases[] = {
        { "45 min", 45 }, { " 2.5", 2 }, { "3.5", 4 }, { "abc", 0 }, { "32767", 32767 },
        { "32768", 0 },   { "40000", 0 }, { "-3", -3 },
    };
    for (const auto &[text, expected] : cases) {
        ASSERT_TRUE(m_session.setHeaderField(HeaderField::TimeLimit, QString::fromLatin1(text)));
        EXPECT_EQ(m_session.paperHeader.timeLimit, expected) << text;
    }
    m_session.setHeaderField(HeaderField::Title, QStringLiteral("T"));
    m_session.setHeaderField(HeaderField::Subject, QStringLiteral("S"));
    m_session.setHeaderField(HeaderField::Author, QStringLiteral("A"));
    m_session.setHeaderField(HeaderField::FileName, QStringLiteral("x"));
    m_session.setHeaderField(HeaderField::TimeLimit, QStringLiteral("60"));
    EXPECT_TRUE(m_session.paperHeader.validateItem());
    m_session.setHeaderField(HeaderField::Total, QStringLiteral("99999"));
    EXPECT_FALSE(m_session.paperHeader.validateItem());
    EXPECT_EQ(m_session.leaveToAdd(), PaperSession::Leave::Incomplete);
}

TEST_F(Core, CaretIsRefusedInEveryHeaderFieldAndKeepsTheValue)
{
    m_session.setHeaderField(HeaderField::Title, QStringLiteral(" Midterm "));
    EXPECT_EQ(m_session.paperHeader.Title, QStringLiteral("Midterm"));
    for (HeaderField field : { HeaderField::Title, HeaderField::Subject, HeaderField::TimeLimit,
                               HeaderField::Total, HeaderField::Author, HeaderField::FileName })
        EXPECT_FALSE(m_session.setHeaderField(field, QStringLiteral("a^b")));
    EXPECT_EQ(m_session.paperHeader.Title, QStringLiteral("Midterm"));
    EXPECT_EQ(m_session.paperHeader.timeLimit, 90);
}

TEST_F(Core, LeavingANewPaperStoresTheHeaderOrRefusesAnExistingFile)
{
    EXPECT_EQ(m_session.leaveToEdit(), PaperSession::Leave::Ignored);
    m_session.setHeaderField(HeaderField::Title, QStringLiteral("Midterm"));
    m_session.setHeaderField(HeaderField::Subject, QStringLiteral("Maths"));
    m_session.setHeaderField(HeaderField::Author, QStringLiteral("Li"));
    paperWith(QStringLiteral("taken.dat"), {});
    m_session.setHeaderField(HeaderField::FileName, QStringLiteral("taken"));
    EXPECT_EQ(m_session.leaveToAdd(), PaperSession::Leave::Exists);
    EXPECT_EQ(m_session.paperLines().lineCount, 0);
    // Nothing could be saved there at the end, and the question editor offers no other place.
    ASSERT_TRUE(QDir(folder()).mkdir(QStringLiteral("dir.dat")));
    for (const char *name : { "missing/p", "dir.dat" }) {
        m_session.setHeaderField(HeaderField::FileName, QString::fromLatin1(name));
        EXPECT_EQ(m_session.leaveToAdd(), PaperSession::Leave::Unwritable) << name;
        EXPECT_EQ(m_session.paperLines().lineCount, 0);
    }

    m_session.setHeaderField(HeaderField::FileName, QStringLiteral("fresh"));
    ASSERT_EQ(m_session.leaveToAdd(), PaperSession::Leave::Go);
    EXPECT_EQ(m_session.paperMode, Mode::New);
    ASSERT_EQ(m_session.paperLines().lineCount, 1);
    EXPECT_EQ(plainLine(0), QStringLiteral("417^90^Maths^Midterm^100^Li"));
}

TEST_F(Core, OpeningTakesTheHeaderKeepsTheChosenPathAndRefreshesLineZero)
{
    const QString p = writePaper(path(QStringLiteral("old.paper")),
                                 { QStringLiteral("7^45^Maths^Midterm^100^Li"), QStringLiteral("Q^0^1^2^9^a^b") });
    const auto opened = m_session.openPaper(p);
    ASSERT_TRUE(opened.ok) << opened.reason.toStdString();
    EXPECT_TRUE(opened.hasQuestions);
    EXPECT_EQ(m_session.paperMode, Mode::Append);
    EXPECT_EQ(m_session.paperHeader.FileName, p);
    EXPECT_EQ(m_session.paperHeader.Title, QStringLiteral("Midterm"));
    EXPECT_EQ(m_session.paperHeader.Subject, QStringLiteral("Maths"));
    EXPECT_EQ(m_session.paperHeader.timeLimit, 45);
    EXPECT_EQ(m_session.paperHeader.Author, QStringLiteral("Li"));

    m_session.setHeaderField(HeaderField::Title, QStringLiteral("Final"));
    ASSERT_EQ(m_session.leaveToEdit(), PaperSession::Leave::Go);
    EXPECT_EQ(m_session.paperMode, Mode::Modi);
    EXPECT_EQ(plainLine(0), QStringLiteral("417^45^Maths^Final^100^Li"));
    EXPECT_EQ(plainLine(1), QStringLiteral("Q^0^1^2^9^a^b"));
}

TEST_F(Core, ARefusedEditLeavesTheModeForAdding)
{
    ASSERT_TRUE(QDir(folder()).mkdir(QStringLiteral("sub")));
    ASSERT_TRUE(m_session.openPaper(paperWith(QStringLiteral("sub/p.dat"), { QStringLiteral("Q^0^1^2^9^a") })).ok);
    ASSERT_TRUE(QDir(path(QStringLiteral("sub"))).removeRecursively());
    EXPECT_EQ(m_session.leaveToEdit(), PaperSession::Leave::Unwritable);
    EXPECT_EQ(m_session.paperMode, Mode::Append);
    ASSERT_TRUE(QDir(folder()).mkdir(QStringLiteral("sub")));
    ASSERT_EQ(m_session.leaveToAdd(), PaperSession::Leave::Go);
    EXPECT_EQ(m_session.paperMode, Mode::Append) << "Add after a refused Edit still adds";
}

TEST_F(Core, APaperThatCannotBeOpenedChangesNothing)
{
    const QString good = paperWith(QStringLiteral("good.dat"), { QStringLiteral("Q^0^1^2^9^a") });
    ASSERT_TRUE(m_session.openPaper(good).ok);
    QFile(path(QStringLiteral("empty.dat"))).open(QIODevice::WriteOnly);
    const QString bad[] = {
        path(QStringLiteral("missing.dat")),
        path(QStringLiteral("empty.dat")),
        writePaper(path(QStringLiteral("nothex.dat")), {}, "ZZZZ\r\n"),
        writePaper(path(QStringLiteral("short.dat")), { QStringLiteral("1^2^3^4^5") }),
    };
    for (const QString &p : bad) {
        const auto opened = m_session.openPaper(p);
        EXPECT_FALSE(opened.ok) << p.toStdString();
        EXPECT_TRUE(opened.reason.startsWith(p)) << "no sentence in one language only";
        if (!p.contains(QStringLiteral("missing"))) {
            EXPECT_EQ(opened.reason, p);
        }
        EXPECT_EQ(m_session.paperHeader.FileName, good);
        EXPECT_EQ(m_session.paperLines().lineCount, 2);
        EXPECT_EQ(m_session.paperHeader.Title, QStringLiteral("Midterm"));
    }
}

TEST_F(Core, SavingReplacesTheWholeFileAndKeepsTheOldOneOnFailure)
{
    const QString p = paperWith(QStringLiteral("p.dat"), { QStringLiteral("Q1^0^1^2^9^a"), QStringLiteral("Q2^0^1^2^9^a") });
    ASSERT_TRUE(m_session.openPaper(p).ok);
    ASSERT_EQ(m_session.leaveToEdit(), PaperSession::Leave::Go);
    QuestionEditor editor(m_session, m_texts);
    editor.init();
    editor.deleteCurrent();
    QString error;
    ASSERT_TRUE(m_session.save(&error)) << error.toStdString();
    oneChoices loaded;
    ASSERT_EQ(loaded.init(p), oneChoices::LoadStatus::Loaded);
    ASSERT_EQ(loaded.getCount(), 1);
    EXPECT_EQ(loaded.getOne(1)->getContext(), QStringLiteral("Q2"));
    EXPECT_TRUE(QDir(folder()).entryList(QDir::Files) == QStringList { QStringLiteral("p.dat") });

    // A file name whose folder has gone cannot be written: the reason comes back.
    const QByteArray before = bytesOf(p);
    m_session.paperHeader.FileName = path(QStringLiteral("gone/p.dat"));
    EXPECT_FALSE(m_session.save(&error));
    EXPECT_TRUE(error.contains(QStringLiteral("gone")));
    EXPECT_EQ(bytesOf(p), before);
}

class Questions : public Core
{
protected:
    void startNew()
    {
        m_session.setHeaderField(HeaderField::Title, QStringLiteral("T"));
        m_session.setHeaderField(HeaderField::Subject, QStringLiteral("S"));
        m_session.setHeaderField(HeaderField::Author, QStringLiteral("A"));
        m_session.setHeaderField(HeaderField::FileName, QStringLiteral("q"));
        ASSERT_EQ(m_session.leaveToAdd(), PaperSession::Leave::Go);
        m_editor.init();
    }
    void startEditing(const QStringList &questions)
    {
        ASSERT_TRUE(m_session.openPaper(paperWith(QStringLiteral("e.dat"), questions)).ok);
        ASSERT_EQ(m_session.leaveToEdit(), PaperSession::Leave::Go);
        m_editor.init();
    }
    void fill(const QString &text, int kind, const QString &marks, const QStringList &options)
    {
        m_editor.setContext(text);
        m_editor.chooseKind(kind);
        m_editor.setMarks(marks);
        for (int i = 0; i < options.size(); ++i)
            m_editor.setOption(i, options[i]);
    }

    QuestionEditor m_editor { m_session, m_texts };
};

TEST_F(Questions, MarksTextsAreValidIncompleteOrInvalid)
{
    for (const char *t : { "2", "1.5", " 0.5 ", "1.", ".25" })
        EXPECT_EQ(classifyMarks(QString::fromLatin1(t)), MarksText::Valid) << t;
    for (const char *t : { "", "0", "0.", ".", "0.00" })
        EXPECT_EQ(classifyMarks(QString::fromLatin1(t)), MarksText::Incomplete) << t;
    for (const char *t : { "x", "-1", "1x", "1e3", "2 marks" })
        EXPECT_EQ(classifyMarks(QString::fromLatin1(t)), MarksText::Invalid) << t;
}

TEST_F(Questions, AddingAppendsLinesAndCarriesKindAnswerAndMarksOver)
{
    startNew();
    EXPECT_EQ(m_editor.counterText(), QStringLiteral("Tests has 0 Items"));
    m_editor.setContext(QStringLiteral("Which?"));
    EXPECT_FALSE(m_editor.add()) << "no kind chosen yet";
    fill(QStringLiteral("  Which\r\none?\n "), 0, QStringLiteral("1.5"), { QStringLiteral("x"), QStringLiteral("y") });
    m_editor.chooseSingle(1);
    EXPECT_TRUE(m_editor.setImageId(QStringLiteral("12")));
    ASSERT_TRUE(m_editor.add());
    EXPECT_EQ(plainLine(1), QStringLiteral("Whichone?^12^2^1.5^9^x^y"));
    EXPECT_EQ(m_editor.counterText(), QStringLiteral("Tests has 1 Items"));
    EXPECT_TRUE(m_editor.record().getContext().isEmpty());
    EXPECT_EQ(m_editor.record().getImg(), 0);

    // The kind, answer and marks stay for the next question.
    m_editor.setContext(QStringLiteral("Next"));
    m_editor.setOption(0, QStringLiteral("p"));
    EXPECT_FALSE(m_editor.add()) << "answer B names an empty option";
    m_editor.setOption(1, QStringLiteral("q"));
    ASSERT_TRUE(m_editor.add());
    EXPECT_EQ(plainLine(2), QStringLiteral("Next^0^2^1.5^9^p^q"));
}

TEST_F(Questions, RefusalsLeaveTheRecordAsItWas)
{
    startNew();
    fill(QStringLiteral("Q"), 2, QStringLiteral("1"), { QStringLiteral("word") });
    EXPECT_FALSE(m_editor.setContext(QStringLiteral("Q^x")));
    EXPECT_FALSE(m_editor.setOption(0, QStringLiteral("w^")));
    EXPECT_FALSE(m_editor.setImageId(QStringLiteral("32768")));
    EXPECT_FALSE(m_editor.setImageId(QStringLiteral("-1")));
    EXPECT_FALSE(m_editor.setImageId(QStringLiteral("7a")));
    EXPECT_TRUE(m_editor.setImageId(QStringLiteral("32767")));
    EXPECT_EQ(m_editor.record().getContext(), QStringLiteral("Q"));
    EXPECT_EQ(m_editor.record().getOption(0), QStringLiteral("word"));
    ASSERT_TRUE(m_editor.add()) << "a fill-in needs no answer mark";
    EXPECT_EQ(plainLine(1), QStringLiteral("Q^32767^^1^7^word"));

    m_editor.setContext(QStringLiteral("R"));
    m_editor.setOption(0, QStringLiteral("w"));
    EXPECT_EQ(m_editor.setMarks(QStringLiteral("0")), MarksText::Incomplete);
    EXPECT_FALSE(m_editor.add());
    EXPECT_EQ(m_editor.setMarks(QStringLiteral("abc")), MarksText::Invalid);
    EXPECT_EQ(m_editor.record().getPoint(), QStringLiteral("2"));
}

TEST_F(Questions, ARefusedQuestionNamesWhatToFix)
{
    startNew();
    using Input = std::function<void(QuestionEditor &)>;
    const struct {
        Input input;
        QStringList named;
    } rows[] = {
        { [](QuestionEditor &) {}, { QStringLiteral("The question is empty"), QStringLiteral("The marks must be a number greater than zero"),
                                     QStringLiteral("Option A is empty"), QStringLiteral("No type is chosen") } },
        { [](QuestionEditor &e) { e.chooseKind(0); }, { QStringLiteral("No answer is marked") } },
        { [](QuestionEditor &e) { e.chooseKind(0); e.chooseSingle(2); }, { QStringLiteral("The answer marks option C, which is empty") } },
        { [](QuestionEditor &e) { e.chooseKind(1); e.setChecked(1, true); e.setChecked(3, true); },
          { QStringLiteral("The answer marks option D, which is empty") } },
        { [](QuestionEditor &e) { e.chooseKind(3); e.chooseSingle(0); e.setOption(1, QString()); }, { QStringLiteral("Option B is empty") } },
        { [](QuestionEditor &e) { e.chooseKind(2); e.setContext(QString()); }, { QStringLiteral("The question is empty") } },
        { [](QuestionEditor &e) { e.chooseKind(2); e.setMarks(QStringLiteral("0")); },
          { QStringLiteral("The marks must be a number greater than zero") } },
        { [](QuestionEditor &e) { e.chooseKind(0); e.chooseSingle(1); }, {} },
    };
    int row = 0;
    for (const auto &r : rows) {
        QuestionEditor editor(m_session, m_texts);
        editor.init();
        if (row > 0) {
            editor.setContext(QStringLiteral("Q"));
            editor.setMarks(QStringLiteral("1"));
            editor.setOption(0, QStringLiteral("a"));
            editor.setOption(1, QStringLiteral("b"));
        }
        r.input(editor);
        EXPECT_EQ(editor.problems(), r.named) << "row " << row;
        EXPECT_EQ(editor.add(), r.named.isEmpty()) << "row " << row;
        ++row;
    }

    // What editing may find in a stored line: codes and answers the buttons never give.
    Cmlc chinese { vellum::textEntries() };
    PaperSession stored { folder(), [] { return 1; } };
    ASSERT_TRUE(stored.openPaper(paperWith(QStringLiteral("s.dat"), { QStringLiteral("Q^0^1^2^5^a"), QStringLiteral("Q^0^31^2^8^a^b^c") })).ok);
    ASSERT_EQ(stored.leaveToEdit(), PaperSession::Leave::Go);
    QuestionEditor editing(stored, chinese);
    editing.init();
    EXPECT_EQ(editing.problems(), QStringList { QStringLiteral("类型代码\"5\"不是9、8、7、6之一,请选择类型") });
    editing.step(1);
    EXPECT_EQ(editing.problems(), QStringList { QStringLiteral("答案\"31\"不符合此类型,请重新选择答案") });
    editing.setChecked(0, true);
    EXPECT_TRUE(editing.problems().isEmpty());
    EXPECT_EQ(*paper::decipherLine(stored.paperLines().getLineByIndex(2)), QStringLiteral("Q^0^13^2^8^a^b^c"));
}

TEST_F(Questions, StoredMarksPassTheMarksCheckWhenShown)
{
    const std::pair<const char *, const char *> rows[] = {
        { "2分", "2" }, { "1e3", "1e3" }, { " 1.5 ", "1.5" }, { "+3", "+3" }, { "0", "2" }, { "-1", "2" }, { "", "2" },
    };
    QStringList lines;
    for (const auto &[marks, shown] : rows)
        lines << QStringLiteral("Q^0^1^%1^9^a").arg(QString::fromUtf8(marks));
    startEditing(lines);
    int index = 1;
    for (const auto &[marks, shown] : rows) {
        const QString stored = QString::fromUtf8(marks);
        EXPECT_EQ(m_editor.record().getPoint(), QString::fromUtf8(shown)) << marks;
        EXPECT_EQ(m_editor.takeMarksReplaced(), stored.trimmed() != QString::fromUtf8(shown)) << marks;
        m_editor.setContext(QStringLiteral("R"));
        EXPECT_EQ(plainLine(index), QStringLiteral("R^0^1^%1^9^a").arg(QString::fromUtf8(shown))) << "later edits are stored: " << marks;
        m_editor.step(1);
        ++index;
    }
}

TEST_F(Questions, FullMarksStayWithinWhatTheTestTakerCounts)
{
    startNew();
    fill(QStringLiteral("Big"), 0, QStringLiteral("30000"), { QStringLiteral("x") });
    m_editor.chooseSingle(0);
    ASSERT_TRUE(m_editor.add());
    fill(QStringLiteral("Carried"), 0, QStringLiteral("30000"), { QStringLiteral("x") });
    EXPECT_FALSE(m_editor.add()) << "the carried marks would make 60000";
    EXPECT_EQ(m_editor.setMarks(QStringLiteral("2768")), MarksText::TooHigh);
    EXPECT_EQ(m_editor.record().getPoint(), QStringLiteral("30000"));
    EXPECT_EQ(m_editor.setMarks(QStringLiteral("2767")), MarksText::Valid);
    ASSERT_TRUE(m_editor.add());
    EXPECT_EQ(m_session.paperLines().lineCount, 3);
}

TEST_F(Questions, EditingKeepsFullMarksWithinTheLimitButMayLowerAPaperPastIt)
{
    startEditing({ QStringLiteral("One^0^1^30000^9^a"), QStringLiteral("Two^0^1^5000^9^a") });
    ASSERT_TRUE(m_editor.step(1));
    EXPECT_EQ(m_editor.setMarks(QStringLiteral("4000")), MarksText::Valid);
    EXPECT_EQ(plainLine(2), QStringLiteral("Two^0^1^4000^9^a"));
    EXPECT_EQ(m_editor.setMarks(QStringLiteral("6000")), MarksText::TooHigh);
    EXPECT_EQ(plainLine(2), QStringLiteral("Two^0^1^4000^9^a"));
    m_editor.setContext(QStringLiteral("Deux"));
    EXPECT_EQ(plainLine(2), QStringLiteral("Deux^0^1^4000^9^a")) << "a change that does not raise it is kept";
}

TEST_F(Questions, AnswerFollowsTheWidgetsOfTheChosenKind)
{
    startNew();
    m_editor.chooseKind(1);
    m_editor.setChecked(0, true);
    m_editor.setChecked(2, true);
    EXPECT_EQ(m_editor.record().getAnswer(), QStringLiteral("13"));
    m_editor.setChecked(0, false);
    EXPECT_EQ(m_editor.record().getAnswer(), QStringLiteral("3"));

    m_editor.chooseKind(0);
    EXPECT_EQ(m_editor.record().getAnswer(), QString()) << "no single answer marked yet";
    m_editor.chooseSingle(4);
    m_editor.setOption(2, QStringLiteral("kept"));
    m_editor.chooseKind(3);
    EXPECT_EQ(m_editor.record().getAnswer(), QString()) << "E is not offered for true-or-false";
    EXPECT_EQ(m_editor.widgets().single, -1);
    EXPECT_EQ(m_editor.record().getOption(0), QStringLiteral("True"));
    EXPECT_EQ(m_editor.record().getOption(1), QStringLiteral("False"));
    m_editor.chooseSingle(1);
    m_editor.setContext(QStringLiteral("Sky is green"));
    m_editor.setMarks(QStringLiteral("1"));
    ASSERT_TRUE(m_editor.add());
    EXPECT_EQ(plainLine(1), QStringLiteral("Sky is green^0^2^1^6^True^False^kept"));
    EXPECT_EQ(m_editor.record().getOption(0), QStringLiteral("True")) << "ready for the next one";
    EXPECT_EQ(m_editor.record().getOption(2), QString());
}

TEST_F(Questions, EditingStoresValidChangesStepsAndDeletes)
{
    startEditing({ QStringLiteral("One^5^13^2^8^a^b^c"), QStringLiteral("Two^0^2^1^9^a^b"),
                   QStringLiteral("Three^0^1^1^6^True^False") });
    EXPECT_EQ(m_editor.counterText(), QStringLiteral("Count:1/3"));
    EXPECT_EQ(m_editor.record().getImg(), 5);
    EXPECT_TRUE(m_editor.widgets().checked[0] && m_editor.widgets().checked[2]);

    m_editor.setContext(QString());
    EXPECT_EQ(plainLine(1), QStringLiteral("One^5^13^2^8^a^b^c")) << "an incomplete change is not stored";
    m_editor.setContext(QStringLiteral("Uno"));
    EXPECT_EQ(plainLine(1), QStringLiteral("Uno^5^13^2^8^a^b^c")) << "the image id is kept";
    m_editor.chooseKind(3);
    EXPECT_EQ(m_editor.record().getOption(0), QStringLiteral("a")) << "options stay while editing";
    m_session.paperLines().setLineByIndex(1, paper::encipherLine(QStringLiteral("One^12 px^13^2^8^a^b^c")));
    m_editor.step(1);
    m_editor.step(-1);
    m_editor.setContext(QStringLiteral("Uno"));
    EXPECT_EQ(plainLine(1), QStringLiteral("Uno^12^13^2^8^a^b^c")) << "the picture the test taker shows is kept";

    EXPECT_FALSE(m_editor.step(-1));
    ASSERT_TRUE(m_editor.step(1));
    EXPECT_EQ(m_editor.widgets().single, 1);
    EXPECT_TRUE(m_editor.step(1));
    EXPECT_FALSE(m_editor.step(1));
    EXPECT_EQ(m_editor.counterText(), QStringLiteral("Count:3/3"));

    // The last of several: the previous one is shown and takes later changes.
    m_editor.deleteCurrent();
    EXPECT_EQ(m_editor.counterText(), QStringLiteral("Count:2/2"));
    m_editor.setMarks(QStringLiteral("4"));
    EXPECT_EQ(plainLine(2), QStringLiteral("Two^0^2^4^9^a^b"));
    // Not the last: the following one moves up.
    m_editor.step(-1);
    m_editor.deleteCurrent();
    EXPECT_EQ(m_editor.counterText(), QStringLiteral("Count:1/1"));
    EXPECT_EQ(m_editor.record().getContext(), QStringLiteral("Two"));
    // The only one: nothing is left and nothing is stored afterwards.
    m_editor.deleteCurrent();
    EXPECT_EQ(m_editor.counterText(), QStringLiteral("Count:0/0"));
    m_editor.setContext(QStringLiteral("lost"));
    m_editor.deleteCurrent();
    EXPECT_EQ(m_session.paperLines().lineCount, 1);
}

TEST_F(Questions, UnreadableStoredLinesAreSkippedAndReported)
{
    ASSERT_TRUE(m_session.openPaper(writePaper(path(QStringLiteral("d.dat")),
                                               { QStringLiteral("1^2^S^T^9^A"), QStringLiteral("a^b") },
                                               paper::encipherLine(QStringLiteral("Good^0^1^1^9^x")).toLatin1()
                                                   + "\r\nNOT HEX\r\n"))
                    .ok);
    ASSERT_EQ(m_session.leaveToEdit(), PaperSession::Leave::Go);
    m_editor.init();
    EXPECT_EQ(m_editor.takeSkipped(), std::vector<int> { 1 });
    EXPECT_EQ(m_editor.currentIndex(), 2);
    EXPECT_TRUE(m_editor.writeThrough());
    EXPECT_TRUE(m_editor.step(1));
    EXPECT_EQ(m_editor.takeSkipped(), std::vector<int> { 3 });
    EXPECT_EQ(m_editor.currentIndex(), 2);
    EXPECT_EQ(m_editor.record().getContext(), QStringLiteral("Good"));
}

} // namespace
