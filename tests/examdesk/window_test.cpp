// Whole tests taken through the real windows: Start, every kind of question, moving back and
// forth, the refused close, submission, the time-out and the channel to a receiver; a minimized
// question, the second-instance notice and the message of a failed hand-off.
#include "common/clsencryptxor.h"
#include "examdesk/form2.h"
#include "examdesk/notices.h"
#include "examdesk/texts.h"
#include "examdesk/views.h"
#include "paper/answersheet.h"
#include "tests/support/paperfiles.h"
#include "tests/support/rawchannel.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextLayout>
#include <QTimer>
#include <gtest/gtest.h>

using namespace examdesk;

namespace {

class WindowTest : public ::testing::Test
{
protected:
    std::unique_ptr<Form2> open(const QString &paperPath, TestSession::Sender send = {})
    {
        Form2::Seams seams;
        seams.clock = [this] { return m_clock ? m_clock() : m_now; };
        seams.send = send ? send : [this](const QString &text, const QString &) {
            m_sent.append(text);
            return CsendMessage::Outcome::Delivered;
        };
        seams.warn = [this](const QString &, const QString &text) { m_warnings.append(text); };
        seams.inform = [this](const QString &title, const QString &text) { m_informed.append(title + u'|' + text); };
        seams.programFolder = m_dir.path();
        seams.tickIntervalMs = m_tickMs;
        seams.screen = QRect(0, 0, 1280, 800);
        auto form = std::make_unique<Form2>(m_table, paperPath, seams);
        form->show();
        return form;
    }
    QString samplePaper()
    {
        const QString path = m_dir.filePath(QStringLiteral("sample.dat"));
        QFile::copy(QStringLiteral(EXAM_DIST_DIR "/centrum/sample.dat"), path);
        return path;
    }
    static QString deciphered(const QString &hex) { return clsEncryptXOR().HexDecrypt(hex); }

    QTemporaryDir m_dir;
    Cmlo m_table { examdesk::textEntries() };
    QDateTime m_now = QDateTime(QDate(2026, 6, 1), QTime(9, 0), Qt::UTC);
    TestSession::Clock m_clock; // when set, instead of m_now
    int m_tickMs = 5;
    QStringList m_sent;
    QStringList m_warnings;
    QStringList m_informed;
};

// Clicks an option where a candidate would: on its letter.
void clickOption(QAbstractButton *option)
{
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(5, option->height() / 2));
}

template <typename View> View *viewOf(Form2 &form)
{
    View *view = dynamic_cast<View *>(form.currentView());
    EXPECT_NE(view, nullptr);
    return view;
}

TEST_F(WindowTest, TakesTheSamplePaperThroughEveryKindOfQuestion)
{
    auto form = open(samplePaper());
    EXPECT_FALSE(form->Command1->isEnabled() || form->Command3->isEnabled() || form->Command4->isEnabled());
    EXPECT_EQ(form->width(), 1280);
    EXPECT_FALSE(form->close()) << "no closing before submission";

    QTest::mouseClick(form->Command6, Qt::LeftButton);
    EXPECT_FALSE(form->Command6->isEnabled());
    EXPECT_TRUE(form->Command1->isEnabled() && form->Command3->isEnabled() && form->Command4->isEnabled());
    EXPECT_EQ(form->windowTitle(),
              QStringLiteral("ZeloClientV1.1.41 Subject:Science 科学 Test Name:Sample paper 示例试卷 Author:Exam office 考务组"));
    EXPECT_EQ(form->Label2->text(), QStringLiteral("Count 1/ 5"));
    EXPECT_EQ(form->Label3->text(), QStringLiteral("Total 10"));

    // 1: single choice, B.
    auto *single = viewOf<Form3>(*form);
    ASSERT_TRUE(single);
    EXPECT_EQ(single->Label4->text(), QStringLiteral("Multi-Choice(2 Marks)"));
    EXPECT_EQ(single->lbItemNum->text(), QStringLiteral("1"));
    ASSERT_EQ(single->Option1.size(), 4u);
    EXPECT_EQ(single->Option1[1]->text(), QStringLiteral("B Mercury 水星"));
    EXPECT_EQ(single->x(), form->x());
    EXPECT_EQ(single->width(), form->width());
    EXPECT_GE(single->y(), form->y() + form->height());
    clickOption(single->Option1[1]);

    // 2: multiple select, the first, third and fourth options.
    QTest::mouseClick(form->Command1, Qt::LeftButton);
    auto *multiple = viewOf<Form1>(*form);
    ASSERT_TRUE(multiple);
    EXPECT_EQ(multiple->Label4->text(), QStringLiteral("Multi-Select(3 Marks)"));
    for (int k : { 0, 2, 3 })
        clickOption(multiple->Check1[k]);

    // 3: fill in two blanks, with blanks around a word.
    QTest::mouseClick(form->Command1, Qt::LeftButton);
    auto *blanks = viewOf<Form4>(*form);
    ASSERT_TRUE(blanks);
    EXPECT_EQ(blanks->Label4->text(), QStringLiteral("Fill in the blanks with proper words(1 Marks per blank)"));
    ASSERT_EQ(blanks->Text2.size(), 2u);
    QTest::keyClicks(blanks->Text2[0], QStringLiteral("  Au "));
    QTest::keyClicks(blanks->Text2[1], QStringLiteral("Fe"));

    // 4: true or false, True; 5: single choice, the third option.
    QTest::mouseClick(form->Command1, Qt::LeftButton);
    EXPECT_EQ(form->currentView()->Label4->text(), QStringLiteral("True or False(1 Marks)"));
    clickOption(viewOf<Form3>(*form)->Option1[0]);
    QTest::mouseClick(form->Command1, Qt::LeftButton);
    clickOption(viewOf<Form3>(*form)->Option1[2]);
    subject *last = form->currentView();
    QTest::mouseClick(form->Command1, Qt::LeftButton);
    EXPECT_EQ(form->currentView(), last) << "next on the last question changes nothing";
    EXPECT_EQ(form->Label2->text(), QStringLiteral("Count 5/ 5"));

    // Back to 2 and 3: the answers are restored as given.
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(form->Command3, Qt::LeftButton);
    multiple = viewOf<Form1>(*form);
    ASSERT_TRUE(multiple);
    EXPECT_TRUE(multiple->Check1[0]->isChecked() && !multiple->Check1[1]->isChecked()
                && multiple->Check1[2]->isChecked() && multiple->Check1[3]->isChecked());
    QTest::mouseClick(form->Command1, Qt::LeftButton);
    blanks = viewOf<Form4>(*form);
    ASSERT_TRUE(blanks);
    EXPECT_EQ(blanks->Text2[0]->text(), QStringLiteral("Au"));
    EXPECT_EQ(form->session().testConsole().rec.getUsel(2), QStringLiteral("Au~Fe~~~~~"));

    m_now = m_now.addSecs(100);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->Label1->text() == QStringLiteral("Remain 18: 20"); }, 5000));
    QTest::mouseClick(form->Command4, Qt::LeftButton);
    ASSERT_EQ(m_sent.size(), 1);
    EXPECT_EQ(deciphered(m_sent[0]), QStringLiteral("10:sample.dat:100"));
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->exitCode(), 0);
    EXPECT_TRUE(m_warnings.isEmpty());
}

// The sample paper with a token for its header's first field; unless answersKept, made secure as
// the exam server makes it: answers emptied, each fill-in word replaced by "_".
QStringList sampleLines(const QString &token, bool answersKept)
{
    QFile file(QStringLiteral(EXAM_SOURCE_DIR "/dist/sample.txt"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QStringList lines = QString::fromUtf8(file.readAll()).trimmed().split(u'\n');
    lines[0] = token + lines[0].mid(lines[0].indexOf(u'^'));
    for (qsizetype i = 1; i < lines.size() && !answersKept; ++i) {
        QStringList fields = lines[i].split(u'^');
        fields[2].clear();
        for (qsizetype k = 5; fields[4] == u"7" && k < fields.size(); ++k)
            fields[k] = fields[k].isEmpty() ? QString() : QStringLiteral("_");
        lines[i] = fields.join(u'^');
    }
    return lines;
}

TEST_F(WindowTest, ASecureCopyHandsInItsAnswersUnscoredAndAPaperWithItsAnswersIsScored)
{
    const QString token = QStringLiteral("004217000000000099");
    // The sample's questions answered one by one, the last left blank.
    const std::vector<std::pair<std::function<void(Form2 &)>, QString>> steps = {
        { [](Form2 &f) { clickOption(viewOf<Form3>(f)->Option1.at(1)); }, QStringLiteral("2") },
        { [](Form2 &f) { for (int k : { 0, 2, 3 }) clickOption(viewOf<Form1>(f)->Check1.at(k)); }, QStringLiteral("134") },
        { [](Form2 &f) {
              Form4 *blanks = viewOf<Form4>(f);
              // As many empty boxes as blanks; never the placeholder nor the words expected.
              ASSERT_EQ(blanks->Text2.size(), 2u);
              for (QLabel *label : blanks->findChildren<QLabel *>())
                  EXPECT_FALSE(label->text().contains(u'_') || label->text().contains(QStringLiteral("Au")));
              QTest::keyClicks(blanks->Text2[0], QStringLiteral("  Au "));
              blanks->Text2[1]->insert(QStringLiteral("铁 Fe")); // as an input method commits it
          },
          QStringLiteral("Au~铁 Fe~~~~~") },
        { [](Form2 &f) { clickOption(viewOf<Form3>(f)->Option1.at(0)); }, QStringLiteral("1") },
        { [](Form2 &) {}, QString() },
    };
    for (const bool secure : { true, false }) {
        SCOPED_TRACE(secure ? "secure copy" : "a token-like number, answers in place");
        m_sent.clear();
        const QString path = writePaper(m_dir.filePath(QStringLiteral("sample %1.dat").arg(secure)),
                                        sampleLines(token, !secure));
        auto form = open(path);
        QTest::mouseClick(form->Command6, Qt::LeftButton);
        EXPECT_EQ(form->Label3->text(), QStringLiteral("Total 10")) << "a placeholder counts as its blank";
        QStringList answers;
        for (const auto &[answer, expected] : steps) {
            answer(*form);
            answers.append(expected);
            QTest::mouseClick(form->Command1, Qt::LeftButton);
        }
        m_now = m_now.addSecs(100);
        EXPECT_TRUE(QTest::qWaitFor([&] { return form->session().elapsedSeconds() == 100; }, 5000));
        QTest::mouseClick(form->Command4, Qt::LeftButton);
        ASSERT_EQ(m_sent.size(), 1);
        QFile copy(path + QStringLiteral(".result"));
        EXPECT_TRUE(copy.open(QIODevice::ReadOnly) && copy.readAll() == m_sent[0].toLatin1() + '\n');
        const QString plain = deciphered(m_sent[0]);
        const paper::AnswerSheet sheet { token, QStringLiteral("sample 1.dat"), 100, answers };
        EXPECT_EQ(plain, secure ? paper::formatAnswerSheet(sheet) : QStringLiteral("8:sample 0.dat:100"));
        EXPECT_TRUE(!secure || paper::parseAnswerSheet(plain) == sheet);
        EXPECT_EQ(m_informed.size(), 1) << "told once, and only for the secure copy";
    }
}

TEST_F(WindowTest, TimeOutSubmitsWhatIsOnScreenAndReportsTheWholeLimit)
{
    const QString path = writePaper(m_dir.filePath(QStringLiteral("short.dat")),
                                    { QStringLiteral("1^1^S^T^4^A"), QStringLiteral("Capital of France?^0^^4^7^Paris") });
    auto form = open(path);
    QTest::mouseClick(form->Command6, Qt::LeftButton);
    auto *blanks = viewOf<Form4>(*form);
    ASSERT_TRUE(blanks);
    QTest::keyClicks(blanks->Text2[0], QStringLiteral("Paris"));

    m_now = m_now.addSecs(75); // the tick comes late, past the end
    EXPECT_TRUE(QTest::qWaitFor([&] { return !m_sent.isEmpty(); }, 5000));
    EXPECT_EQ(deciphered(m_sent.value(0)), QStringLiteral("4:short.dat:60"));
    EXPECT_EQ(form->Label1->palette().color(QPalette::WindowText), QColor(255, 17, 17));
    EXPECT_FALSE(form->isVisible());
}

TEST_F(WindowTest, TheFirstTickFindsAWholeSecondUsed)
{
    // The candidate's clock stands at the start time until the countdown runs, then goes
    // five times as fast, so a tick every 200 ms is one a second.
    QElapsedTimer real;
    m_clock = [this, &real] { return real.isValid() ? m_now.addMSecs(real.elapsed() * 5) : m_now; };
    m_tickMs = 200;
    const QString path = writePaper(m_dir.filePath(QStringLiteral("minute.dat")),
                                    { QStringLiteral("1^1^S^T^1^A"), QStringLiteral("Q^0^1^1^9^a") });
    auto form = open(path);
    QTest::mouseClick(form->Command6, Qt::LeftButton);
    real.start();
    form->Timer1->start(); // counting from now, as from Start
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Label1->text() != QStringLiteral("Remain"); }, 5000));
    // 0: 59 on time, less when the machine is slow, never the whole minute.
    EXPECT_NE(form->Label1->text(), QStringLiteral("Remain 1: 0")) << "a tick came before its second was up";
    QTest::mouseClick(form->Command4, Qt::LeftButton);
}

TEST_F(WindowTest, HandsTheResultToAnIndependentReceiverThroughTheChannel)
{
    // A temporary folder of its own keeps this channel apart from other tests.
    QTemporaryDir tmp(QStringLiteral("/tmp/chan-XXXXXX"));
    const QByteArray oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", tmp.path().toLocal8Bit());
    {
        rawchannel::Receiver receiver("ZeloClientV1.1");
        ASSERT_TRUE(receiver.listening());
        auto record = receiver.record();
        auto form = open(samplePaper(), [](const QString &text, const QString &title) {
            return CsendMessage().sendMsg(text, title);
        });
        QTest::mouseClick(form->Command6, Qt::LeftButton);
        QTest::mouseClick(form->Command4, Qt::LeftButton);
        const std::optional<rawchannel::Record> got = record.get();
        ASSERT_TRUE(got);
        EXPECT_EQ(got->tag, 3u);
        const QString hex = clsEncryptXOR().HexEncrypt(QStringLiteral("0:sample.dat:0"));
        EXPECT_EQ(got->data, hex.toStdString() + std::string(1, '\0'));
        EXPECT_TRUE(m_warnings.isEmpty());
    }
    qputenv("TMPDIR", oldTmp);
}

TEST_F(WindowTest, ShowsQuestionsWithoutTheirMissingPicturesAndSkipsEmptyOptions)
{
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    picture.save(m_dir.filePath(QStringLiteral("8.png")));
    const QString path = writePaper(m_dir.filePath(QStringLiteral("pictures.dat")),
                                    { QStringLiteral("1^10^S^T^2^A"), QStringLiteral("No picture here^7^1^1^9^a^^c"),
                                      QStringLiteral("With a picture^8^1^1^9^a^b") });
    auto form = open(path);
    QTest::mouseClick(form->Command6, Qt::LeftButton);
    auto *view = viewOf<Form3>(*form);
    ASSERT_TRUE(view);
    EXPECT_TRUE(view->Picture1->isHidden());
    ASSERT_EQ(view->Option1.size(), 2u);
    EXPECT_EQ(view->Option1[1]->text(), QStringLiteral("C c"));
    QTest::mouseClick(form->Command1, Qt::LeftButton);
    view = viewOf<Form3>(*form);
    ASSERT_TRUE(view);
    EXPECT_FALSE(view->Picture1->isHidden());
    EXPECT_EQ(view->Picture1->pixmap().size(), QSize(40, 30));
}

TEST_F(WindowTest, AFillInAnswerComesBackWholeAfterAnEmptyOptionOrATypedTilde)
{
    const QString path = writePaper(m_dir.filePath(QStringLiteral("gap.dat")),
                                    { QStringLiteral("1^10^S^T^3^A"), QStringLiteral("Capitals?^0^^1^7^Paris^^Rome"),
                                      QStringLiteral("Next^0^1^1^9^a") });
    auto form = open(path);
    QTest::mouseClick(form->Command6, Qt::LeftButton);
    auto *blanks = viewOf<Form4>(*form);
    ASSERT_TRUE(blanks);
    ASSERT_EQ(blanks->Text2.size(), 2u);
    QTest::keyClicks(blanks->Text2[0], QStringLiteral("Par~is"));
    QTest::keyClicks(blanks->Text2[1], QStringLiteral("Rome"));
    const testRecord &rec = form->session().testConsole().rec;
    EXPECT_EQ(rec.getUsel(0), QStringLiteral("Paris~~Rome~~~~"));

    QTest::mouseClick(form->Command1, Qt::LeftButton);
    QTest::mouseClick(form->Command3, Qt::LeftButton);
    blanks = viewOf<Form4>(*form);
    ASSERT_TRUE(blanks);
    EXPECT_EQ(blanks->Text2[0]->text(), QStringLiteral("Paris"));
    EXPECT_EQ(blanks->Text2[1]->text(), QStringLiteral("Rome"));
    EXPECT_EQ(rec.getUsel(0), QStringLiteral("Paris~~Rome~~~~"));
    QTest::mouseClick(form->Command4, Qt::LeftButton);
    EXPECT_EQ(deciphered(m_sent.value(0)), QStringLiteral("2:gap.dat:0"));
}

TEST_F(WindowTest, ALongCountIsShownWholeAndTheTotalMovesAlong)
{
    QStringList lines { QStringLiteral("1^600^S^T^1^A") };
    for (int k = 1; k <= 10000; ++k)
        lines.append(QStringLiteral("Q%1^0^1^1^9^a").arg(k));
    auto form = open(writePaper(m_dir.filePath(QStringLiteral("long.dat")), lines));
    QTest::mouseClick(form->Command6, Qt::LeftButton);
    EXPECT_EQ(form->Label2->text(), QStringLiteral("Count 1/ 10000"));
    EXPECT_GE(form->Label2->width(), form->Label2->sizeHint().width());
    EXPECT_GT(form->Label3->x(), form->Label2->geometry().right());
    EXPECT_LT(form->Label3->geometry().right(), form->width());
    QTest::mouseClick(form->Command4, Qt::LeftButton);
}

TEST_F(WindowTest, AMinimizedQuestionComesBackAtOnceOrWithTheTestWindow)
{
    auto form = open(samplePaper());
    QTest::mouseClick(form->Command6, Qt::LeftButton);
    subject *view = form->currentView();
    ASSERT_TRUE(view);
    view->showMinimized();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view->isMinimized(); }, 5000));
    EXPECT_TRUE(view->isVisible());

    form->showMinimized();
    view->showMinimized(); // as a desktop takes a window's questions along
    QCoreApplication::processEvents();
    EXPECT_TRUE(view->isMinimized()) << "not back on its own without the bar";
    form->showNormal();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view->isMinimized(); }, 5000));
    QTest::mouseClick(form->Command4, Qt::LeftButton);
}

TEST_F(WindowTest, TheSecondInstanceNoticeIsWideEnoughForTheProgramsTitle)
{
    using Case = std::tuple<int, const char *, const char *>;
    for (const auto &[lcid, title, text] : { Case { 1033, "ZeloClientV1.1.41", "This Program has run already" },
                                             Case { chineseLcid, "Orla客户端程序V1.1.41", "程序已经启动" } }) {
        SCOPED_TRACE(lcid);
        const std::unique_ptr<CmultiLanguage> table = stringTable(lcid);
        const std::unique_ptr<QMessageBox> box = alreadyRunningBox(*table);
        box->show();
        EXPECT_EQ(box->windowTitle(), QString::fromUtf8(title));
        EXPECT_EQ(box->text(), QString::fromUtf8(text));
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        // A title bar sets the title beside an icon and three buttons, often in bold.
        QFont bold = box->font();
        bold.setBold(true);
        EXPECT_GE(box->width(), QFontMetrics(bold).horizontalAdvance(box->windowTitle()) + 100);
    }
}

TEST_F(WindowTest, AFailedHandOffShowsWhereTheResultIsOnOneUnbrokenLine)
{
    // Blanks, hyphens and Chinese names: every place a line could otherwise break.
    const QString folder = m_dir.filePath(QStringLiteral("考生 资料/exam-papers-of-the-morning/第一场"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = writePaper(folder + QStringLiteral("/期中 试卷.dat"),
                                    { QStringLiteral("1^10^S^T^2^A"), QStringLiteral("Q^0^1^1^9^a") });
    auto form = open(path, [](const QString &, const QString &) { return CsendMessage::Outcome::NoReceiver; });
    QTest::mouseClick(form->Command6, Qt::LeftButton);
    QTest::mouseClick(form->Command4, Qt::LeftButton);
    ASSERT_EQ(m_warnings.size(), 1);
    const QStringList lines = m_warnings[0].split(u'\n');
    ASSERT_EQ(lines.size(), 3) << m_warnings[0].toStdString();
    EXPECT_EQ(QString(lines[1]).remove(QChar(0x2060)).replace(QChar(QChar::Nbsp), u' '), path + QStringLiteral(".result"));

    // Laid out far narrower than itself, the path's line stays one line.
    QTextLayout layout(lines[1], form->font());
    layout.beginLayout();
    int laidLines = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(40);
        ++laidLines;
    }
    layout.endLayout();
    EXPECT_EQ(laidLines, 1);
}

TEST_F(WindowTest, StartedAgainAfterACrashTheTestGoesOnOrIsSubmittedWhenItsTimeRanOut)
{
    struct Case {
        const char *name;
        qint64 outageSeconds;
        QString timeShown; // empty when the test is submitted at once
    };
    const std::vector<Case> cases = {
        { "time left", 120, QStringLiteral("Remain 7: 59") },
        { "time ran out while down", 600, {} },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_sent.clear();
        const QString path = writePaper(m_dir.filePath(QStringLiteral("%1.dat").arg(c.outageSeconds)),
                                        { QStringLiteral("1^10^S^T^2^A"), QStringLiteral("Q1^0^2^1^9^a^b"),
                                          QStringLiteral("Q2^0^1^1^9^a^b") });
        const QDateTime started = m_now;
        auto form = open(path);
        QTest::mouseClick(form->Command6, Qt::LeftButton);
        clickOption(viewOf<Form3>(*form)->Option1[1]);
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        m_now = started.addSecs(1);
        form.reset(); // the window closes: what was not yet in the journal is written as it goes

        m_now = started.addSecs(c.outageSeconds + 1);
        form = open(path);
        QTest::mouseClick(form->Command6, Qt::LeftButton);
        if (c.timeShown.isEmpty()) {
            ASSERT_EQ(m_sent.size(), 1);
            EXPECT_EQ(deciphered(m_sent[0]), QStringLiteral("1:%1.dat:600").arg(c.outageSeconds));
            EXPECT_FALSE(form->isVisible());
            continue;
        }
        EXPECT_TRUE(m_sent.isEmpty());
        EXPECT_EQ(form->Label1->text(), c.timeShown);
        EXPECT_EQ(form->Label3->text(), QStringLiteral("Total 2    Resumed"));
        EXPECT_EQ(form->Label2->text(), QStringLiteral("Count 2/ 2"));
        QTest::mouseClick(form->Command3, Qt::LeftButton);
        EXPECT_TRUE(viewOf<Form3>(*form)->Option1[1]->isChecked());
        QTest::mouseClick(form->Command4, Qt::LeftButton);
        EXPECT_EQ(deciphered(m_sent.value(0)), QStringLiteral("1:%1.dat:121").arg(c.outageSeconds));
    }
}

TEST_F(WindowTest, APaperThatCannotBeTakenEndsWithAMessageAndNoResult)
{
    const QString path = writePaper(m_dir.filePath(QStringLiteral("odd.dat")),
                                    { QStringLiteral("1^10^S^T^2^A"), QStringLiteral("Odd^0^1^1^4^a") });
    auto form = open(path);
    QTest::mouseClick(form->Command6, Qt::LeftButton);
    ASSERT_EQ(m_warnings.size(), 1);
    EXPECT_TRUE(m_warnings[0].contains(QStringLiteral("at line 2")));
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->exitCode(), 1);
    EXPECT_TRUE(m_sent.isEmpty());
}

} // namespace
