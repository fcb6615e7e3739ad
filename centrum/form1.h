// The exam server's main window: service control, the paper list, the log box and the day files.
#pragma once

#include "centrum/desktop.h"
#include "common/showdialog.h"

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class QTabWidget;

namespace centrum {

class Dialog;
class DlgAllow;
class RoomModel;
class DlgRpt;
class Server;
class TextWindow;

class Form1 : public QWidget
{
    Q_OBJECT
public:
    Form1(Server &server, Desktop desktop, QWidget *parent = nullptr);
    ~Form1() override;

    QPushButton *Command1; // Show Log
    QPushButton *Command2; // Show Report
    QPushButton *Command3; // Add Tests
    QPushButton *Command4; // Start
    QPushButton *Command5; // Stop
    QPushButton *Command6; // Close
    QPushButton *Command7; // Allow Again
    QPushButton *Command8; // Roster…
    QTabWidget *tabs;      // the room's table and the log box
    QLabel *roomCounters;
    QTableView *roomTable;
    QPlainTextEdit *cons;
    QLabel *Picture1;

    showdialog &openDialog() { return m_openDialog; }
    // The windows opened from here; null until first needed, then reused.
    Dialog *fileList() const { return m_fileList; }
    DlgRpt *reportViewer() const { return m_reportViewer; }
    DlgAllow *allowDialog() const { return m_allowDialog; }
    TextWindow *logViewer() const { return m_logViewer; }

    // The server's picture, drawn rather than loaded so nothing has to ship beside the program.
    static QPixmap emblem(int size);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void addTests();
    void startService();
    void showFiles(bool reports);
    void openFile(const QString &fileName, bool report);
    void showLogLine();
    void allowAgain(const QString &id);
    void loadRoster();
    void warn(const QString &text);

    Server &m_server;
    Desktop m_desktop;
    showdialog m_openDialog;
    qsizetype m_shownLines = 0;
    Dialog *m_fileList = nullptr;
    DlgRpt *m_reportViewer = nullptr;
    DlgAllow *m_allowDialog = nullptr;
    TextWindow *m_logViewer = nullptr;
    RoomModel *m_roomModel = nullptr;
    QSortFilterProxyModel *m_roomSorted = nullptr;
    QString m_rosterFolder; // where the last roster was chosen
};

} // namespace centrum
