// The server's windows driven as an examiner would: service buttons, the log box, the paper
// list through the open dialog, the day-file list, the report viewer and the log viewer.
#include "dialog.h"
#include "form1.h"
#include "inifile.h"
#include "server.h"
#include "textwindow.h"

#include "clsencryptxor.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace centrum;

// The font library keeps caches for the life of the process.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

const QDateTime fixedNow { QDate(2026, 12, 6), QTime(14, 5, 33) };

struct Told {
    QString title;
    QString text;
};

class ServerWindow : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString path(const QString &name) const { return m_dir.filePath(name); }

    void writeFile(const QString &name, const QByteArray &bytes)
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    void writeSettings(const QString &papers, const QString &msg = QStringLiteral("0"))
    {
        writeFile(QStringLiteral("setting.ini"),
                  QStringLiteral("[comm]\nmsg=%1\nfile=8602\nweb=0\n[subject]\nfile=%2\n").arg(msg, papers).toUtf8());
    }

    Form1 &open(int lcid = 1033)
    {
        m_form.reset(); // a window never outlives its server
        ServerSeams seams;
        seams.programFolder = m_dir.path();
        seams.lcid = lcid;
        seams.now = [] { return fixedNow; };
        m_server = std::make_unique<Server>(seams);
        Desktop desktop;
        desktop.warn = [this](QWidget *, const QString &title, const QString &text) { m_told.push_back({ title, text }); };
        desktop.openText = [this](const QString &file) {
            m_handedOver.append(file);
            return m_handlerTakes;
        };
        m_form = std::make_unique<Form1>(*m_server, desktop);
        m_form->show();
        return *m_form;
    }

    void click(QAbstractButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

    QStringList consLines() const { return m_form->cons->toPlainText().split(u'\n'); }

    bool buttonsShowRunning(bool running) const
    {
        return m_form->Command4->isEnabled() == !running && m_form->Command5->isEnabled() == running;
    }

    // Answers the next open dialog by typing typed into its name box, or cancels it when
    // typed is empty. After an earlier choice the dialog preselects it once its folder is
    // read; typing waits for that, so the preselection cannot land in the middle of it.
    void chooseInDialog(const QString &typed, bool earlierChoice, bool noteSettings = false)
    {
        auto *timer = new QTimer;
        QObject::connect(timer, &QTimer::timeout, [this, timer, typed, earlierChoice, noteSettings] {
            auto *dialog = m_form->findChild<QFileDialog *>();
            if (!dialog || !dialog->isVisible())
                return;
            auto *list = dialog->findChild<QAbstractItemView *>(QStringLiteral("listView"));
            auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            if (!list || !name || (earlierChoice && !list->selectionModel()->hasSelection()))
                return;
            timer->stop();
            timer->deleteLater();
            if (noteSettings) {
                m_dialogTitle = dialog->windowTitle();
                m_dialogFilters = dialog->nameFilters();
                m_dialogFolder = dialog->directory().absolutePath();
            }
            if (typed.isEmpty()) {
                dialog->reject();
                return;
            }
            // Offscreen the name box never has focus, so the dialog writes any selected file's
            // name into it while typing goes on; with nothing selected it leaves the box alone.
            list->clearSelection();
            name->clear();
            QTest::keyClicks(name, typed);
            // Folders along the typed path were selected on the way and would be taken
            // instead of the name.
            list->clearSelection();
            static_cast<QDialog *>(dialog)->accept(); // Return could land in the name completer's list
        });
        timer->start(10);
    }

    QString papersSetting() const
    {
        return IniFile::load(path(QStringLiteral("setting.ini"))).value(u"subject", u"file").value_or(QString());
    }

    QTemporaryDir m_dir;
    std::unique_ptr<Server> m_server;
    std::unique_ptr<Form1> m_form;
    std::vector<Told> m_told;
    QStringList m_handedOver;
    bool m_handlerTakes = false;
    QString m_dialogTitle;
    QStringList m_dialogFilters;
    QString m_dialogFolder;
};

TEST_F(ServerWindow, StartAndStopFollowTheServiceAndTheLogBoxShowsNewestFirst)
{
    writeFile(QStringLiteral("p.dat"), "0123456789");
    writeSettings(QStringLiteral("p.dat"));
    Form1 &form = open();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("ZeloServerV1.1 Local IP:") + Server::localIpAddress());
    EXPECT_EQ(QStringList({ form.Command1->text(), form.Command2->text(), form.Command3->text(),
                            form.Command4->text(), form.Command5->text(), form.Command6->text() }),
              QStringList({ "Show Log", "Show Report", "Add Tests", "Start", "Stop", "Close" }));
    EXPECT_TRUE(buttonsShowRunning(false));
    EXPECT_TRUE(form.cons->isReadOnly());
    EXPECT_FALSE(form.Picture1->pixmap().isNull());

    click(form.Command4);
    EXPECT_TRUE(m_server->isRunning());
    EXPECT_TRUE(buttonsShowRunning(true));
    click(form.Command5);
    EXPECT_FALSE(m_server->isRunning() || m_server->isHttpRunning());
    EXPECT_TRUE(buttonsShowRunning(false));
    click(form.Command4);
    EXPECT_TRUE(buttonsShowRunning(true)) << "a second start after a stop works";
    EXPECT_TRUE(m_told.empty());

    const QString stamp = QStringLiteral("2026-12-6 14:05:33");
    EXPECT_EQ(consLines(), QStringList({ stamp + " Server Started", stamp + " Server Stoped", stamp + " Server Started" }));

    // Lines from the service keep coming in at the top until the box clears itself, then
    // the box starts again from the line that cleared it.
    for (int i = 0; i < 1000 && m_server->logBox().lines().size() > 1; ++i) {
        m_server->stop();
        ASSERT_EQ(form.cons->blockCount(), m_server->logBox().lines().size());
    }
    ASSERT_EQ(m_server->logBox().lines().size(), 1);
    EXPECT_EQ(consLines(), m_server->logBox().lines());
    m_server->stop();
    EXPECT_EQ(consLines(), m_server->logBox().lines());
}

TEST_F(ServerWindow, ARefusedStartSaysWhyAndLeavesTheButtons)
{
    writeFile(QStringLiteral("p.dat"), "0123456789");
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::Any, 0));
    const QString takenPort = QString::number(taken.serverPort());
    struct Row {
        QString papers, msg;
        QString told;
        bool browsersServed;
    };
    const Row rows[] = {
        { "", "0", "NO Tests", true },
        { "p.dat,gone.dat", "0", "Paper cannot be served:gone.dat (does not exist)", true },
        { "p.dat", "8601x", "Bad port setting:comm/msg=8601x", false },
        { "p.dat", "", "Bad port setting:comm/msg=", false },
        { "p.dat", takenPort, "Port cannot be listened on:comm/msg=" + takenPort, true },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.told.toStdString());
        m_told.clear();
        writeSettings(row.papers, row.msg);
        Form1 &form = open();
        click(form.Command4);
        ASSERT_EQ(m_told.size(), 1u);
        EXPECT_EQ(m_told[0].title, QStringLiteral("Warning"));
        EXPECT_EQ(m_told[0].text, row.told);
        EXPECT_TRUE(buttonsShowRunning(false));
        EXPECT_FALSE(m_server->isRunning());
        EXPECT_EQ(m_server->isHttpRunning(), row.browsersServed);
    }
}

TEST_F(ServerWindow, AddTestsWritesTheChosenPathAndRefusesACommaInIt)
{
    writeSettings(QStringLiteral("old.dat"));
    writeFile(QStringLiteral("new.dat"), "x");
    writeFile(QStringLiteral("a,b.dat"), "x");
    Form1 &form = open();

    chooseInDialog(path(QStringLiteral("new.dat")), false, true);
    click(form.Command3);
    EXPECT_EQ(papersSetting(), path(QStringLiteral("new.dat")));
    EXPECT_EQ(m_dialogTitle, QStringLiteral("Add Tests"));
    EXPECT_EQ(m_dialogFilters, QStringList { QStringLiteral("Tests File (*.dat)") });
    EXPECT_EQ(m_dialogFolder, QDir(m_dir.path()).absolutePath());
    EXPECT_TRUE(m_told.empty());

    chooseInDialog(path(QStringLiteral("a,b.dat")), true);
    click(form.Command3);
    ASSERT_EQ(m_told.size(), 1u);
    EXPECT_EQ(m_told[0].text, QStringLiteral("A paper path cannot contain \",\":") + path(QStringLiteral("a,b.dat")));
    EXPECT_EQ(papersSetting(), path(QStringLiteral("new.dat")));

    chooseInDialog(QString(), false);
    click(form.Command3);
    EXPECT_EQ(papersSetting(), path(QStringLiteral("new.dat"))) << "a cancelled dialog changes nothing";
    EXPECT_EQ(m_told.size(), 1u);

    // The next start serves the added paper.
    click(form.Command4);
    ASSERT_EQ(m_server->papers().size(), 1);
    EXPECT_EQ(m_server->papers()[0].fNameNoPs, QStringLiteral("new.dat"));
}

TEST_F(ServerWindow, ShowReportListsTheReportDaysAndShowsTheChosenDaysRows)
{
    const clsEncryptXOR cipher;
    DayFileWriter reports(m_dir.path(), QStringLiteral(".rpt"), DayFileWriter::Mode::Durable);
    ASSERT_TRUE(reports.write(fixedNow.addDays(-1), "10.0.0.9:old:" + cipher.HexEncrypt("1:x.dat:1")));
    ASSERT_TRUE(reports.write(fixedNow, "127.0.0.1:S01:" + cipher.HexEncrypt("85:mid.dat:125")));
    ASSERT_TRUE(reports.write(fixedNow, "127.0.0.2:S02:" + cipher.HexEncrypt("60:mid.dat:59")));
    // Older days first, as their files were last written.
    QFile older(path(QStringLiteral("2026-12-5.rpt")));
    ASSERT_TRUE(older.open(QIODevice::ReadWrite));
    older.setFileTime(fixedNow.addDays(-1), QFileDevice::FileModificationTime);
    older.close();
    writeFile(QStringLiteral("2026-12-6.log"), "[record]\n");
    Form1 &form = open();

    click(form.Command2);
    Dialog *list = form.fileList();
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->isVisible());
    EXPECT_EQ(list->windowTitle(), QStringLiteral("Report File List"));
    EXPECT_EQ(list->OKButton->text(), QStringLiteral("Close"));
    QStringList names;
    for (int i = 0; i < list->File1->count(); ++i)
        names << list->File1->item(i)->text();
    EXPECT_EQ(names, QStringList({ "2026-12-5.rpt", "2026-12-6.rpt" }));
    EXPECT_FALSE(form.isHidden()) << "the list does not hold up the main window";
    EXPECT_FALSE(list->isModal());

    QTest::keyClick(list->File1, Qt::Key_Return);
    DlgRpt *viewer = form.reportViewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_FALSE(list->isVisible()) << "the list closes once a report is open";
    EXPECT_EQ(viewer->windowTitle(), QStringLiteral("Reports"));
    const QStringList rows = viewer->Text1->toPlainText().split(u'\n');
    ASSERT_EQ(rows.size(), 4) << viewer->Text1->toPlainText().toStdString();
    auto cells = [](const QString &row) {
        QStringList c = row.split(u'\t');
        for (QString &s : c)
            s = s.trimmed();
        return c;
    };
    EXPECT_EQ(cells(rows[0]), QStringList({ "ID or Name", "Marks", "TimeSpent", "Tests File", "Location" }));
    EXPECT_EQ(cells(rows[1]), QStringList({ "S01", "85", "2:5", "mid.dat", "127.0.0.1" }));
    EXPECT_EQ(cells(rows[2]), QStringList({ "S02", "60", "0:59", "mid.dat", "127.0.0.2" }));
    EXPECT_TRUE(viewer->Text1->isReadOnly());
    QTest::keyClick(viewer, Qt::Key_Escape);
    EXPECT_FALSE(viewer->isVisible());

    // The same list window, now for logs.
    click(form.Command1);
    EXPECT_EQ(form.fileList(), list);
    EXPECT_EQ(list->windowTitle(), QStringLiteral("Log File List"));
    ASSERT_EQ(list->File1->count(), 1);
    EXPECT_EQ(list->File1->item(0)->text(), QStringLiteral("2026-12-6.log"));
    QTest::keyClick(list->File1, Qt::Key_Escape);
    EXPECT_FALSE(list->isVisible());
}

TEST_F(ServerWindow, ALogFileGoesToTheDesktopsViewerOrElseToOurOwn)
{
    writeSettings(QString());
    Form1 &form = open();
    click(form.Command4); // an empty list still writes its warning into the day's log
    m_told.clear();
    click(form.Command1);
    Dialog *list = form.fileList();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->File1->count(), 1);
    QListWidgetItem *item = list->File1->item(0);
    const QPoint at = list->File1->visualItemRect(item).center();
    // A double-click arrives as a click followed by the second press.
    QTest::mouseClick(list->File1->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->File1->viewport(), Qt::LeftButton, {}, at);

    EXPECT_EQ(m_handedOver, QStringList { path(QStringLiteral("2026-12-6.log")) });
    TextWindow *viewer = form.logViewer();
    ASSERT_NE(viewer, nullptr) << "no viewer took the file, so our own shows it";
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_EQ(viewer->windowTitle(), QStringLiteral("2026-12-6.log"));
    EXPECT_TRUE(viewer->Text1->toPlainText().contains(QStringLiteral("=NO Tests")));
    EXPECT_TRUE(viewer->Text1->isReadOnly());
    EXPECT_TRUE(list->isVisible()) << "the list stays open for the next log";
    QTest::keyClick(viewer->Text1, Qt::Key_Escape);
    EXPECT_FALSE(viewer->isVisible());

    m_handlerTakes = true;
    QTest::keyClick(list->File1, Qt::Key_Return);
    EXPECT_EQ(m_handedOver.size(), 2);
    EXPECT_FALSE(viewer->isVisible());
    EXPECT_TRUE(m_told.empty());

    // A file that went away between listing and opening is reported, not shown empty.
    m_handlerTakes = false;
    QFile::remove(path(QStringLiteral("2026-12-6.log")));
    QTest::keyClick(list->File1, Qt::Key_Return);
    ASSERT_EQ(m_told.size(), 1u);
    EXPECT_TRUE(m_told[0].text.startsWith(QStringLiteral("File cannot be read:"))) << m_told[0].text.toStdString();
    EXPECT_FALSE(viewer->isVisible());
}

TEST_F(ServerWindow, ChineseTextsAndClosingStopsTheService)
{
    writeFile(QStringLiteral("p.dat"), "0123456789");
    writeSettings(QStringLiteral("p.dat"));
    Form1 &form = open(2052);
    EXPECT_TRUE(form.windowTitle().startsWith(QStringLiteral("Orla服务器程序V1.1 本机IP地址:")));
    EXPECT_EQ(QStringList({ form.Command1->text(), form.Command2->text(), form.Command3->text(),
                            form.Command4->text(), form.Command5->text(), form.Command6->text() }),
              QStringList({ "查看日志", "查看成绩", "添加试卷", "启动服务", "停止服务", "关闭" }));
    click(form.Command4);
    click(form.Command2);
    ASSERT_NE(form.fileList(), nullptr);
    EXPECT_EQ(form.fileList()->windowTitle(), QStringLiteral("成绩文件列表"));
    EXPECT_EQ(form.fileList()->OKButton->text(), QStringLiteral("关闭"));

    click(form.Command6);
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.fileList()->isVisible());
    EXPECT_FALSE(m_server->isRunning() || m_server->isHttpRunning());
    EXPECT_TRUE(consLines().first().endsWith(QStringLiteral(" 服务停止")));
}

} // namespace
