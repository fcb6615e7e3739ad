// The exam server's main window: service control, the paper list, the log box and the day files.
#include "centrum/form1.h"

#include "centrum/dialog.h"
#include "centrum/dlgallow.h"
#include "centrum/dlgrpt.h"
#include "centrum/roommodel.h"
#include "centrum/server.h"
#include "centrum/texts.h"
#include "centrum/textwindow.h"
#include "common/multilanguage.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QTabWidget>
#include <QTableView>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

#include <algorithm>

namespace centrum {

Form1::Form1(Server &server, Desktop desktop, QWidget *parent)
    : QWidget(parent), m_server(server), m_desktop(std::move(desktop))
{
    setObjectName(QStringLiteral("Form1"));
    const CmultiLanguage &texts = m_server.texts();
    auto button = [this, &texts](const char *name, text::Id caption) {
        auto *b = new QPushButton(texts.getRes(caption), this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(true); // Enter presses the focused button, as Space does
        return b;
    };
    Command1 = button("Command1", text::ShowLog);
    Command2 = button("Command2", text::ShowReport);
    Command3 = button("Command3", text::AddTests);
    Command4 = button("Command4", text::StartService);
    Command5 = button("Command5", text::StopService);
    Command6 = button("Command6", text::Close);
    Command7 = button("Command7", text::AllowAgain);
    Command8 = button("Command8", text::RosterButton);
    Command5->setEnabled(false);

    cons = readOnlyTextBox(QStringLiteral("cons"), this);
    cons->setPlainText(m_server.logBox().lines().join(u'\n'));
    m_shownLines = m_server.logBox().lines().size();

    // The room at a glance: the counters over a table sorted by any column, newest changes a
    // batch at a time.
    roomCounters = new QLabel(this);
    roomCounters->setObjectName(QStringLiteral("roomCounters"));
    roomCounters->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_roomModel = new RoomModel(m_server.room(), texts, this);
    m_roomSorted = new QSortFilterProxyModel(this);
    m_roomSorted->setSourceModel(m_roomModel);
    m_roomSorted->setSortRole(RoomModel::SortRole);
    m_roomSorted->setSortCaseSensitivity(Qt::CaseInsensitive);
    roomTable = new QTableView(this);
    roomTable->setObjectName(QStringLiteral("roomTable"));
    roomTable->setModel(m_roomSorted);
    roomTable->setSortingEnabled(true);
    roomTable->sortByColumn(RoomModel::Id, Qt::AscendingOrder);
    roomTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    roomTable->setSelectionMode(QAbstractItemView::SingleSelection);
    roomTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    roomTable->setAlternatingRowColors(true);
    roomTable->setWordWrap(false);
    // Rows of one height are laid out without measuring each: a room of a thousand stays quick.
    roomTable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    roomTable->verticalHeader()->setDefaultSectionSize(roomTable->fontMetrics().height() + 6);
    roomTable->verticalHeader()->hide();
    roomTable->horizontalHeader()->setStretchLastSection(true);
    roomTable->horizontalHeader()->setSortIndicatorShown(true);
    // Columns as wide as their headings or a typical cell, whichever is wider, once: measuring
    // every row as it changes would cost a room of a thousand dearly.
    const QFontMetrics metrics = roomTable->fontMetrics();
    const QString typical[RoomModel::ColumnCount] = {
        QStringLiteral("S2026-0000"), QStringLiteral("Wang Xiaoming"), QStringLiteral("A00"),
        QStringLiteral("192.168.100.100"), QStringLiteral("00:00:00"),
        texts.getRes(text::StateTesting) + texts.getRes(text::Unexpected), QStringLiteral("midterm.dat"),
        QStringLiteral("00:00:00"), QStringLiteral("100.5"), QStringLiteral("100:00"),
    };
    for (int c = 0; c < RoomModel::ColumnCount; ++c) {
        const int heading = roomTable->horizontalHeader()->sectionSizeHint(c);
        roomTable->setColumnWidth(c, std::max(heading, metrics.horizontalAdvance(typical[c]) + 16));
    }
    // From the keyboard: Ctrl+1 to Ctrl+9 and Ctrl+0 sort by the first to tenth column, and the
    // same keys again turn the order round.
    for (int column = 0; column < RoomModel::ColumnCount && column < 10; ++column) {
        auto *sortKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_0 + (column + 1) % 10)), roomTable);
        sortKey->setContext(Qt::WidgetShortcut);
        connect(sortKey, &QShortcut::activated, this, [this, column] {
            const QHeaderView *header = roomTable->horizontalHeader();
            const bool again = header->sortIndicatorSection() == column;
            const Qt::SortOrder order = again && header->sortIndicatorOrder() == Qt::AscendingOrder ? Qt::DescendingOrder
                                                                                                    : Qt::AscendingOrder;
            roomTable->sortByColumn(column, order);
        });
    }
    auto *room = new QWidget(this);
    auto *roomLayout = new QVBoxLayout(room);
    roomLayout->addWidget(roomCounters);
    roomLayout->addWidget(roomTable, 1);
    tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tabs"));
    tabs->addTab(room, texts.getRes(text::RoomTab));
    tabs->addTab(cons, texts.getRes(text::LogTab));
    roomCounters->setText(m_roomModel->countersText());
    connect(m_roomModel, &RoomModel::countersChanged, this, [this] { roomCounters->setText(m_roomModel->countersText()); });

    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setPixmap(emblem(64));
    Picture1->setAlignment(Qt::AlignCenter);

    // One width for the column, wide enough for the longest text in either language.
    int widest = 0;
    for (QPushButton *b : { Command1, Command2, Command3, Command4, Command5, Command6, Command7, Command8 })
        widest = std::max(widest, b->sizeHint().width());
    for (QPushButton *b : { Command1, Command2, Command3, Command4, Command5, Command6, Command7, Command8 })
        b->setMinimumSize(std::max(widest + 16, 120), 30);

    auto *side = new QVBoxLayout;
    side->addWidget(Picture1);
    side->addSpacing(8);
    // Service first, then the paper list, then the records; Close stands apart at the bottom.
    for (QPushButton *b : { Command4, Command5, Command7, Command3, Command1, Command2, Command8 })
        side->addWidget(b);
    side->addStretch();
    side->addWidget(Command6);
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(side);
    layout->addWidget(tabs, 1);

    QWidget *order[] = { Command4, Command5, Command7, Command3, Command1, Command2, Command8, Command6, tabs, roomTable, cons };
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    setWindowTitle(m_server.windowTitle());
    setWindowIcon(emblem(64));
    resize(980, 560);

    m_openDialog.filterText = texts.getRes(text::TestsFile);
    m_openDialog.title = texts.getRes(text::AddTestsTitle);
    m_openDialog.initialFolder = m_server.programFolder() + u'/';

    connect(Command1, &QPushButton::clicked, this, [this] { showFiles(false); });
    connect(Command2, &QPushButton::clicked, this, [this] { showFiles(true); });
    connect(Command3, &QPushButton::clicked, this, &Form1::addTests);
    connect(Command4, &QPushButton::clicked, this, &Form1::startService);
    connect(Command5, &QPushButton::clicked, this, [this] { m_server.stop(); });
    connect(Command6, &QPushButton::clicked, this, &QWidget::close);
    connect(Command8, &QPushButton::clicked, this, &Form1::loadRoster);
    connect(Command7, &QPushButton::clicked, this, [this] {
        if (!m_allowDialog) {
            m_allowDialog = new DlgAllow(m_server.texts(), this);
            connect(m_allowDialog, &DlgAllow::idChosen, this, &Form1::allowAgain);
        }
        m_allowDialog->showIds(m_server.loggedInIds());
    });
    connect(&m_server, &Server::logLine, this, &Form1::showLogLine);
    connect(&m_server, &Server::runningChanged, this, [this](bool running) {
        Command4->setEnabled(!running);
        Command5->setEnabled(running);
    });
}

Form1::~Form1() = default;

void Form1::warn(const QString &message)
{
    m_desktop.warn(this, m_server.texts().getRes(text::Warning), message);
}

void Form1::showLogLine()
{
    const QStringList &lines = m_server.logBox().lines();
    if (lines.size() == m_shownLines + 1 && m_shownLines > 0) {
        // Newest first: only the new line goes in, at the top.
        QTextCursor top(cons->document());
        top.insertText(lines.first() + u'\n');
    } else {
        cons->setPlainText(lines.join(u'\n')); // the first line, or the box was cleared
    }
    m_shownLines = lines.size();
}

void Form1::allowAgain(const QString &id)
{
    const CmultiLanguage &texts = m_server.texts();
    if (!m_server.isLoggedIn(id)) {
        warn(texts.getRes(text::NotLoggedIn) + id);
        return;
    }
    if (m_desktop.ask(this, texts.getRes(text::AllowAgain), texts.getRes(text::AllowConfirm) + id)
        && !m_server.allowAgain(id))
        warn(texts.getRes(text::NotLoggedIn) + id); // allowed meanwhile, while the question was open
}

void Form1::loadRoster()
{
    const CmultiLanguage &texts = m_server.texts();
    QFileDialog dialog(this, texts.getRes(text::RosterTitle),
                       m_rosterFolder.isEmpty() ? m_server.programFolder() : m_rosterFolder,
                       texts.getRes(text::RosterFiles) + QStringLiteral(" (*.csv *.txt)"));
    dialog.setObjectName(QStringLiteral("rosterDialog"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString chosen = dialog.selectedFiles().constFirst();
    m_rosterFolder = QFileInfo(chosen).absolutePath();
    QString why;
    if (!m_server.loadRoster(chosen, &why))
        warn(why.trimmed());
    else
        tabs->setCurrentIndex(0);
}

void Form1::addTests()
{
    const OpenDialogResult chosen = m_openDialog.showOpenFileDialog(this);
    if (chosen.cancelled)
        return;
    QString why;
    if (!m_server.addTests(chosen.fullPath(), &why))
        warn(why.trimmed());
}

void Form1::startService()
{
    const Server::StartResult started = m_server.start();
    using Refusal = Server::StartResult::Refusal;
    if (started.refusal == Refusal::None)
        return;
    // The empty list has its own short text; the others name the setting or file to mend.
    warn(started.refusal == Refusal::NoPapers ? m_server.texts().getRes(text::NoTests) : started.problem.trimmed());
}

void Form1::showFiles(bool reports)
{
    if (!m_fileList) {
        m_fileList = new Dialog(m_server.texts(), this);
        connect(m_fileList, &Dialog::fileChosen, this, &Form1::openFile);
    }
    m_fileList->showFiles(m_server.recordFiles(reports), reports);
}

void Form1::openFile(const QString &fileName, bool report)
{
    if (report) {
        if (!m_reportViewer)
            m_reportViewer = new DlgRpt(m_server.texts(), m_desktop, this);
        const report::Roster *roster = m_server.room().roster();
        m_reportViewer->showReport(report::ReportView::read(m_server.recordFilePath(fileName)),
                                   roster ? std::optional(*roster) : std::nullopt,
                                   [this](const QString &paper) { return m_server.paperPath(paper); });
        m_fileList->close();
        return;
    }
    if (m_desktop.openText(m_server.recordFilePath(fileName)))
        return;
    QString why;
    const std::optional<QString> text = m_server.recordFileText(fileName, &why);
    if (!text) {
        warn(why);
        return;
    }
    if (!m_logViewer) {
        m_logViewer = new TextWindow(m_server.texts(), this);
        m_logViewer->setObjectName(QStringLiteral("logViewer"));
    }
    m_logViewer->showText(fileName, *text);
}

void Form1::closeEvent(QCloseEvent *event)
{
    // Listeners close now; candidates still connected lose their connection with the program.
    if (m_server.isRunning() || m_server.isHttpRunning())
        m_server.stop();
    for (QWidget *w : std::initializer_list<QWidget *> { m_fileList, m_reportViewer, m_logViewer, m_allowDialog }) {
        if (w)
            w->close();
    }
    event->accept();
}

QPixmap Form1::emblem(int size)
{
    // A sheet of paper with a tick, over a small server box.
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    p.setPen(QPen(QColor(40, 60, 90), 2));
    p.setBrush(QColor(70, 110, 160));
    p.drawRoundedRect(QRectF(6, 40, 52, 18), 3, 3);
    p.setBrush(QColor(120, 220, 120));
    p.drawEllipse(QPointF(14, 49), 2.5, 2.5);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(18, 4, 30, 38));
    p.setPen(QPen(QColor(150, 160, 175), 2));
    for (int y : { 12, 18, 24 })
        p.drawLine(QPointF(23, y), QPointF(43, y));
    QPainterPath tick;
    tick.moveTo(24, 31);
    tick.lineTo(30, 37);
    tick.lineTo(44, 26);
    p.setPen(QPen(QColor(200, 40, 40), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(tick);
    return pixmap;
}

} // namespace centrum
