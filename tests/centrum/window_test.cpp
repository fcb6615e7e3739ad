// The server's windows driven as an examiner would: service buttons, the log box, the paper
// list through the open dialog, the day-file list, the report viewer and the log viewer.
#include "centrum/dialog.h"
#include "centrum/dlgallow.h"
#include "centrum/dlgrpt.h"
#include "centrum/form1.h"
#include "centrum/roommodel.h"
#include "centrum/scorehistogram.h"
#include "centrum/textwindow.h"
#include "common/inifile.h"
#include "tests/centrum/serverfixture.h"

#include "common/clsencryptxor.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTcpServer>
#include <QTest>

using namespace centrum;

// The font library keeps caches for the life of the process.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

namespace {

class ServerWindow : public ServerTest
{
protected:
    Form1 &open(int lcid = 1033)
    {
        m_form.reset(); // a window never outlives its server
        m_server.reset();
        Desktop desktop;
        desktop.warn = [this](QWidget *, const QString &title, const QString &text) { m_told << title + u'|' + text; };
        desktop.ask = [this](QWidget *, const QString &title, const QString &text) {
            m_asked << title + u'|' + text;
            return m_answerYes;
        };
        desktop.openText = [this](const QString &file) {
            m_handedOver << file;
            return m_handlerTakes;
        };
        m_form = std::make_unique<Form1>(server(lcid), desktop);
        m_form->show();
        return *m_form;
    }
    void click(QAbstractButton *button) { QTest::mouseClick(button, Qt::LeftButton); }
    QStringList consLines() const { return m_form->cons->toPlainText().split(u'\n'); }
    bool showsRunning(bool running) const
    {
        return m_form->Command4->isEnabled() == !running && m_form->Command5->isEnabled() == running;
    }
    QStringList buttonTexts() const
    {
        QStringList t;
        for (QAbstractButton *b : { m_form->Command1, m_form->Command2, m_form->Command3, m_form->Command4,
                                    m_form->Command5, m_form->Command6, m_form->Command7 })
            t << b->text();
        return t;
    }

    // Answers the next open dialog by typing into its name box, or cancels it for an empty
    // text. After an earlier choice the dialog preselects it once its folder is read; typing
    // waits for that, so the preselection cannot land in the middle of it.
    void chooseInDialog(const QString &typed, bool earlierChoice)
    {
        auto *timer = new QTimer;
        QObject::connect(timer, &QTimer::timeout, [this, timer, typed, earlierChoice] {
            auto *dialog = m_form->findChild<QFileDialog *>();
            auto *list = dialog ? dialog->findChild<QAbstractItemView *>(QStringLiteral("listView")) : nullptr;
            auto *name = dialog ? dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")) : nullptr;
            if (!dialog || !dialog->isVisible() || !list || !name
                || (earlierChoice && !list->selectionModel()->hasSelection()))
                return;
            timer->stop();
            timer->deleteLater();
            m_dialogSeen = QStringList { dialog->windowTitle(), dialog->nameFilters().join(u';'),
                                         dialog->directory().absolutePath() };
            if (typed.isEmpty())
                return dialog->reject();
            // Offscreen the name box never has focus, so the dialog writes a selected file's
            // name into it while typing goes on; folders along the typed path get selected on
            // the way and would be taken instead of the name.
            list->clearSelection();
            name->clear();
            QTest::keyClicks(name, typed);
            list->clearSelection();
            static_cast<QDialog *>(dialog)->accept(); // Return could land in the name completer's list
        });
        timer->start(10);
    }

    // Answers the next export dialog: takes what it offers (typed empty) or the typed path,
    // after noting its title, filter, folder and offered file. A typed path needs an offered
    // file that exists.
    void answerExportDialog(const QString &typed, QStringList *offered)
    {
        auto *timer = new QTimer;
        QObject::connect(timer, &QTimer::timeout, [this, timer, typed, offered] {
            auto *dialog = m_form->findChild<QFileDialog *>(QStringLiteral("exportCsvDialog"));
            auto *list = dialog ? dialog->findChild<QAbstractItemView *>(QStringLiteral("listView")) : nullptr;
            auto *name = dialog ? dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")) : nullptr;
            if (!dialog || !dialog->isVisible() || !list || !name)
                return;
            // An offered file that exists is selected once its folder is read; typing waits for that.
            if (!typed.isEmpty() && !list->selectionModel()->hasSelection())
                return;
            timer->stop();
            timer->deleteLater();
            *offered = QStringList { dialog->windowTitle(), dialog->nameFilters().join(u';'),
                                     dialog->directory().absolutePath(), dialog->selectedFiles().value(0) };
            if (!typed.isEmpty()) {
                list->clearSelection();
                name->clear();
                QTest::keyClicks(name, typed);
                list->clearSelection();
            }
            static_cast<QDialog *>(dialog)->accept();
        });
        timer->start(10);
    }

    std::unique_ptr<Form1> m_form;
    QStringList m_told;
    QStringList m_asked;
    bool m_answerYes = false;
    QStringList m_handedOver;
    bool m_handlerTakes = false;
    QStringList m_dialogSeen;
};

const QString stamp = QStringLiteral("2026-12-6 14:05:33");

TEST_F(ServerWindow, StartAndStopFollowTheServiceAndTheLogBoxShowsNewestFirst)
{
    writeFile(QStringLiteral("p.dat"), 10);
    writeSettings(QStringLiteral("p.dat"));
    Form1 &form = open();
    EXPECT_EQ(form.windowTitle(), "ZeloServerV1.1 Local IP:" + Server::localIpAddress());
    EXPECT_EQ(buttonTexts(), QStringList({ "Show Log", "Show Report", "Add Tests", "Start", "Stop", "Close", "Allow Again" }));
    EXPECT_TRUE(showsRunning(false));
    EXPECT_FALSE(form.Picture1->pixmap().isNull());

    click(form.Command4);
    EXPECT_TRUE(showsRunning(true) && m_server->isRunning());
    click(form.Command5);
    EXPECT_TRUE(showsRunning(false));
    EXPECT_FALSE(m_server->isRunning() || m_server->isHttpRunning());
    click(form.Command4);
    EXPECT_TRUE(showsRunning(true)) << "a start after a stop works";
    EXPECT_TRUE(m_told.isEmpty());
    EXPECT_EQ(consLines(), QStringList({ stamp + " Server Started", stamp + " Server Stoped", stamp + " Server Started" }));

    // New lines go in at the top until the box clears itself; then it starts again from
    // the line that cleared it.
    for (int i = 0; i < 1000 && m_server->logBox().lines().size() > 1; ++i) {
        m_server->stop();
        ASSERT_EQ(form.cons->blockCount(), m_server->logBox().lines().size());
    }
    EXPECT_EQ(consLines(), QStringList { stamp + " Server Stoped" });
    m_server->stop();
    EXPECT_EQ(consLines(), m_server->logBox().lines());

    click(form.Command2);
    click(form.Command6);
    EXPECT_FALSE(form.isVisible() || form.fileList()->isVisible());
    EXPECT_FALSE(m_server->isRunning() || m_server->isHttpRunning()) << "closing stops the service";
}

TEST_F(ServerWindow, AllowAgainLetsAConfirmedLoggedInIdFetchOnceMoreAndLogsIt)
{
    writeFile(QStringLiteral("p.dat"), 100);
    writeSettings(QStringLiteral("p.dat"));
    Form1 &form = open();
    click(form.Command4);
    for (const char *id : { "w2", "w1" }) {
        Candidate &c = candidate(QString::fromLatin1(id));
        c.fetch(m_server->messagePort());
        ASSERT_TRUE(waitFor([&] { return c.finished; }));
    }

    // An ID that has not logged in is told, not taken; the list offers those that have.
    click(form.Command7);
    DlgAllow *dialog = form.allowDialog();
    ASSERT_TRUE(dialog && dialog->isVisible());
    EXPECT_EQ(dialog->List1->count(), 2);
    EXPECT_EQ(dialog->List1->item(0)->text(), QStringLiteral("w1"));
    QTest::keyClicks(dialog->Text1, QStringLiteral("nobody"));
    QTest::keyClick(dialog->Text1, Qt::Key_Return);
    EXPECT_EQ(m_told, QStringList { QStringLiteral("Warning|This ID has not logged in: nobody") });
    EXPECT_TRUE(m_asked.isEmpty());

    // Chosen from the list by keys: asked first, and No leaves the ID refused.
    for (bool yes : { false, true }) {
        m_answerYes = yes;
        click(form.Command7);
        EXPECT_TRUE(dialog->Text1->text().isEmpty());
        dialog->List1->setCurrentRow(0); // as the arrow keys do
        EXPECT_EQ(dialog->Text1->text(), QStringLiteral("w1"));
        QTest::keyClick(dialog->List1, Qt::Key_Return);
        EXPECT_FALSE(dialog->isVisible());
    }
    EXPECT_EQ(m_asked, QStringList(2, QStringLiteral("Allow Again|Let this ID log in once more? ID: w1")));
    EXPECT_EQ(consLines().first(), stamp + " Allowed to log in again:w1");
    EXPECT_EQ(m_server->logBox().lines().filter(QStringLiteral("Allowed")).size(), 1);
    EXPECT_FALSE(m_server->isLoggedIn(QStringLiteral("w1")));
    EXPECT_TRUE(m_server->isLoggedIn(QStringLiteral("w2")));
}

TEST_F(ServerWindow, ARefusedStartSaysWhyAndLeavesTheButtons)
{
    writeFile(QStringLiteral("p.dat"), 10);
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::Any, 0));
    const QString port = QString::number(taken.serverPort());
    const struct {
        QString papers, msg, told;
        bool browsersServed;
    } rows[] = {
        { "", "0", "NO Tests", true },
        { "p.dat,gone.dat", "0", "Paper cannot be served:gone.dat (does not exist)", true },
        { "p.dat", "8601x", "Bad port setting:comm/msg=8601x", false },
        { "p.dat", port, "Port cannot be listened on:comm/msg=" + port, true },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.told.toStdString());
        m_told.clear();
        writeSettings(row.papers, row.msg);
        click(open().Command4);
        EXPECT_EQ(m_told, QStringList { "Warning|" + row.told });
        EXPECT_TRUE(showsRunning(false));
        EXPECT_EQ(m_server->isHttpRunning(), row.browsersServed);
    }
}

TEST_F(ServerWindow, AddTestsWritesTheChosenPathAndRefusesACommaInIt)
{
    writeSettings(QStringLiteral("old.dat"));
    writeFile(QStringLiteral("new.dat"), 1);
    writeFile(QStringLiteral("a,b.dat"), 1);
    Form1 &form = open();
    auto papers = [this] { return IniFile::load(path("setting.ini")).value(u"subject", u"file").value_or(QString()); };

    chooseInDialog(path(QStringLiteral("new.dat")), false);
    click(form.Command3);
    EXPECT_EQ(papers(), path(QStringLiteral("new.dat")));
    EXPECT_EQ(m_dialogSeen, QStringList({ "Add Tests", "Tests File (*.dat)", QDir(folder()).absolutePath() }));
    chooseInDialog(path(QStringLiteral("a,b.dat")), true);
    click(form.Command3);
    EXPECT_EQ(m_told, QStringList { "Warning|A paper path cannot contain \",\":" + path("a,b.dat") });
    chooseInDialog(QString(), false);
    click(form.Command3);
    EXPECT_EQ(papers(), path(QStringLiteral("new.dat"))) << "neither the refused path nor a cancel changes it";

    click(form.Command4);
    ASSERT_EQ(m_server->papers().size(), 1);
    EXPECT_EQ(m_server->papers()[0].fNameNoPs, QStringLiteral("new.dat"));
}

TEST_F(ServerWindow, ShowReportListsTheReportDaysAndShowsTheChosenDaysRows)
{
    const clsEncryptXOR cipher;
    DayFileWriter reports(folder(), QStringLiteral(".rpt"), DayFileWriter::Mode::Durable);
    ASSERT_TRUE(reports.write(fixedNow.addDays(-1), "10.0.0.9:old:" + cipher.HexEncrypt("1:x.dat:1")));
    ASSERT_TRUE(reports.write(fixedNow, "127.0.0.1:S01:" + cipher.HexEncrypt("85:mid.dat:125")));
    ASSERT_TRUE(reports.write(fixedNow, "127.0.0.2:S02:" + cipher.HexEncrypt("60:mid.dat:59")));
    // An older day written to last: the list still goes by day, the newest one chosen.
    ASSERT_TRUE(reports.write(fixedNow.addDays(-70), "10.0.0.9:sep:" + cipher.HexEncrypt("1:x.dat:1")));
    writeFile(QStringLiteral("2026-12-6.log"), 10);
    Form1 &form = open();

    click(form.Command2);
    Dialog *list = form.fileList();
    ASSERT_TRUE(list && list->isVisible());
    EXPECT_FALSE(list->isModal());
    EXPECT_EQ(list->windowTitle(), QStringLiteral("Report File List"));
    ASSERT_EQ(list->File1->count(), 3);
    EXPECT_EQ(list->File1->item(0)->text(), QStringLiteral("2026-9-27.rpt"));
    EXPECT_EQ(list->File1->item(1)->text(), QStringLiteral("2026-12-5.rpt"));
    ASSERT_TRUE(list->File1->currentItem());
    EXPECT_EQ(list->File1->currentItem()->text(), QStringLiteral("2026-12-6.rpt"));
    QTest::keyClick(list->File1, Qt::Key_Return);
    DlgRpt *viewer = form.reportViewer();
    ASSERT_TRUE(viewer && viewer->isVisible());
    EXPECT_FALSE(list->isVisible()) << "the list closes once a report is open";
    EXPECT_EQ(viewer->windowTitle(), QStringLiteral("Reports"));
    QStringList cells;
    for (const QString &cell : viewer->Text1->toPlainText().split(QRegularExpression(QStringLiteral("[\t\n]"))))
        cells << cell.trimmed();
    EXPECT_EQ(cells, QStringList({ "ID or Name", "Marks", "TimeSpent", "Tests File", "Location", //
                                   "S01", "85", "2:5", "mid.dat", "127.0.0.1",                    //
                                   "S02", "60", "0:59", "mid.dat", "127.0.0.2", "" }));
    QTest::keyClick(viewer, Qt::Key_Escape);
    EXPECT_FALSE(viewer->isVisible());

    click(form.Command1);
    EXPECT_EQ(form.fileList(), list) << "one list window, reused";
    EXPECT_EQ(list->windowTitle(), QStringLiteral("Log File List"));
    ASSERT_EQ(list->File1->count(), 1);
    EXPECT_EQ(list->File1->item(0)->text(), QStringLiteral("2026-12-6.log"));
    QTest::keyClick(list->File1, Qt::Key_Escape);
    EXPECT_FALSE(list->isVisible());
}

TEST_F(ServerWindow, TheReportViewerSumsUpTheScoresAndExportsTheShownRowsFromTheKeyboard)
{
    const clsEncryptXOR cipher;
    DayFileWriter reports(folder(), QStringLiteral(".rpt"), DayFileWriter::Mode::Durable);
    ASSERT_TRUE(reports.write(fixedNow, "127.0.0.1:张三:" + cipher.HexEncrypt("85:mid,term.dat:125")));
    ASSERT_TRUE(reports.write(fixedNow, "127.0.0.2:S02:" + cipher.HexEncrypt("60:mid.dat:59")));
    ASSERT_TRUE(reports.write(fixedNow, "127.0.0.3:S03:" + cipher.HexEncrypt("absent:mid.dat:1")));
    Form1 &form = open();
    click(form.Command2);
    QTest::keyClick(form.fileList()->File1, Qt::Key_Return);
    DlgRpt *viewer = form.reportViewer();
    ASSERT_TRUE(viewer && viewer->isVisible());
    EXPECT_EQ(viewer->Label1->text(), QStringLiteral("Candidates: 3   Mean: 72.5   Median: 72.5   Lowest: 60   "
                                                     "Highest: 85   Not numbers: 1 (left out)"));
    qsizetype charted = 0;
    for (const report::HistogramBin &bin : viewer->Picture1->histogram().bins)
        charted += bin.count;
    EXPECT_EQ(charted, 2);

    // Tab leads from the table to the button; Alt+E presses it from anywhere in the window.
    ASSERT_TRUE(QTest::qWaitForWindowActive(viewer));
    QTest::keyClick(viewer->Text1, Qt::Key_Tab);
    EXPECT_TRUE(viewer->Command1->hasFocus());
    QStringList offered;
    answerExportDialog(QString(), &offered);
    QTest::keyClick(viewer->Text1, Qt::Key_E, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !offered.isEmpty(); })) << "a mnemonic clicks a moment later";
    EXPECT_EQ(offered, QStringList({ "Export CSV", "CSV files (*.csv)", QDir(folder()).absolutePath(),
                                     path(QStringLiteral("2026-12-6.csv")) }));
    QFile csv(path(QStringLiteral("2026-12-6.csv")));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QByteArray exported = csv.readAll();
    EXPECT_EQ(exported, "\xEF\xBB\xBF" + QStringLiteral("ID or Name,Marks,TimeSpent,Tests File,Location\r\n"
                                                         "张三,85,2:5,\"mid,term.dat\",127.0.0.1\r\n"
                                                         "S02,60,0:59,mid.dat,127.0.0.2\r\n"
                                                         "S03,absent,0:1,mid.dat,127.0.0.3\r\n")
                                              .toUtf8());

    // A place that cannot be written is told, and the earlier export stays as it was.
    const QString nowhere = path(QStringLiteral("missing/out.csv"));
    answerExportDialog(nowhere, &offered);
    click(viewer->Command1);
    ASSERT_EQ(m_told.size(), 1);
    EXPECT_TRUE(m_told[0].startsWith("Warning|CSV file cannot be written:" + nowhere)) << m_told[0].toStdString();
    EXPECT_FALSE(QFile::exists(nowhere));
    QFile again(csv.fileName());
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), exported);
}

TEST_F(ServerWindow, ALogFileGoesToTheDesktopsViewerOrElseToOurOwn)
{
    writeSettings(QString());
    Form1 &form = open();
    click(form.Command4); // the empty list's warning is written into the day's log
    m_told.clear();
    click(form.Command1);
    QListWidget *files = form.fileList()->File1;
    ASSERT_EQ(files->count(), 1);
    const QPoint at = files->visualItemRect(files->item(0)).center();
    // One click opens the log; the rest of a double-click does not open it a second time.
    QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(m_handedOver, QStringList { path(QStringLiteral("2026-12-6.log")) });
    QTest::mousePress(files->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(files->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(files->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(m_handedOver.size(), 1);

    TextWindow *viewer = form.logViewer();
    ASSERT_TRUE(viewer && viewer->isVisible()) << "no desktop viewer took the file";
    EXPECT_EQ(viewer->windowTitle(), QStringLiteral("2026-12-6.log"));
    EXPECT_TRUE(viewer->Text1->toPlainText().contains(QStringLiteral("=NO Tests")));
    EXPECT_TRUE(form.fileList()->isVisible()) << "the list stays open for the next log";
    QTest::keyClick(viewer->Text1, Qt::Key_Escape);
    EXPECT_FALSE(viewer->isVisible());

    m_handlerTakes = true;
    QTest::keyClick(files, Qt::Key_Return);
    EXPECT_EQ(m_handedOver.size(), 2);
    EXPECT_FALSE(viewer->isVisible());

    // A file gone between listing and opening is reported, not shown empty.
    m_handlerTakes = false;
    QFile::remove(path(QStringLiteral("2026-12-6.log")));
    QTest::keyClick(files, Qt::Key_Return);
    ASSERT_EQ(m_told.size(), 1);
    EXPECT_TRUE(m_told[0].startsWith("Warning|File cannot be read:" + path("2026-12-6.log"))) << m_told[0].toStdString();
    EXPECT_FALSE(viewer->isVisible());
}

TEST_F(ServerWindow, TheRoomTableFollowsCandidatesAndSortsFromTheKeyboard)
{
    writeFile(QStringLiteral("p.dat"), 2000);
    QFile roster(path(QStringLiteral("roster.csv")));
    ASSERT_TRUE(roster.open(QIODevice::WriteOnly) && roster.write("ID,Name,Seat\nS1,Wang,A1\nS2,Li,A2\nS3,Zhao,A3\n") > 0);
    roster.close();
    writeSettings(QStringLiteral("p.dat"));
    ASSERT_TRUE(writeIniValue(path(QStringLiteral("setting.ini")), QStringLiteral("subject"), QStringLiteral("roster"),
                              QStringLiteral("roster.csv")));
    Form1 &form = open();
    click(form.Command4);
    QAbstractItemModel *table = form.roomTable->model();
    ASSERT_EQ(table->rowCount(), 3);
    EXPECT_EQ(form.roomCounters->text(), QStringLiteral("Expected: 3   Logged in: 0   Taking the test: 0   Submitted: 0   Absent: 3"));

    // A batch of changes reaches the view as one: rows inserted once, and the counters after.
    QSignalSpy inserted(table, &QAbstractItemModel::rowsInserted);
    for (const char *id : { "S2", "guest" }) {
        Candidate &c = candidate(QString::fromLatin1(id));
        c.fetch(server().messagePort());
        ASSERT_TRUE(waitFor([&] { return c.finished; }));
    }
    Candidate &result = candidate(QStringLiteral("S2"));
    result.submit(server().messagePort(), clsEncryptXOR().HexEncrypt(QStringLiteral("72:p.dat:61")));
    ASSERT_TRUE(waitFor([&] { return form.roomCounters->text().contains(QStringLiteral("Submitted: 1")); }));
    EXPECT_EQ(form.roomCounters->text(), QStringLiteral("Expected: 3   Logged in: 2   Taking the test: 1   Submitted: 1   Absent: 2"));
    EXPECT_EQ(inserted.size(), 1);
    ASSERT_EQ(table->rowCount(), 4);

    const auto column = [&](int c) {
        QStringList cells;
        for (int r = 0; r < table->rowCount(); ++r)
            cells << table->index(r, c).data().toString();
        return cells;
    };
    form.roomTable->setFocus();
    QTest::keyClick(form.roomTable, Qt::Key_6, Qt::ControlModifier); // the state, in the order an exam goes
    EXPECT_EQ(column(RoomModel::State), QStringList({ "Absent", "Absent", "Taking the test (not on the list)", "Submitted" }));
    QTest::keyClick(form.roomTable, Qt::Key_9, Qt::ControlModifier); // the marks, highest first the second time
    QTest::keyClick(form.roomTable, Qt::Key_9, Qt::ControlModifier);
    EXPECT_EQ(column(RoomModel::Id).first(), QStringLiteral("S2"));
    EXPECT_EQ(table->index(0, RoomModel::Name).data().toString() + table->index(0, RoomModel::TimeUsed).data().toString(),
              QStringLiteral("Li1:01"));
}

TEST_F(ServerWindow, EveryTextIsChineseOnAChineseSystem)
{
    Form1 &form = open(2052);
    EXPECT_TRUE(form.windowTitle().startsWith(QStringLiteral("Orla服务器程序V1.1 本机IP地址:")));
    EXPECT_EQ(buttonTexts(), QStringList({ "查看日志", "查看成绩", "添加试卷", "启动服务", "停止服务", "关闭", "允许重新登录" }));
    click(form.Command2);
    EXPECT_EQ(form.fileList()->windowTitle() + form.fileList()->OKButton->text(), QStringLiteral("成绩文件列表关闭"));
}

} // namespace
