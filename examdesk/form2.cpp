// The test window: Start, moving between questions, the countdown, submission and the refused close.
#include "examdesk/form2.h"

#include "examdesk/notices.h"
#include "examdesk/texts.h"
#include "examdesk/views.h"

#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTimer>

namespace examdesk {

namespace {
constexpr int clientHeight = 1275;
constexpr int resumedShownMs = 5000;
const QColor lastMinutesColour(255, 17, 17);
} // namespace

Form2::Form2(const CmultiLanguage &table, const QString &paperPath, Seams seams)
    : m_table(table), m_seams(std::move(seams)), m_session(table, paperPath, m_seams.clock)
{
    m_session.setSpareFolder(m_seams.spareFolder);
    const auto place = [this](QWidget *control, int left, int top, int width, int height) {
        control->setGeometry(twips(left), twips(top), twips(width), twips(height));
    };
    Command6 = new QPushButton(table.getRes(text::StartButton), this);
    place(Command6, 780, 240, 1560, 405);
    Command3 = new QPushButton(QStringLiteral("<"), this);
    place(Command3, 4110, 240, 1560, 405);
    Command1 = new QPushButton(QStringLiteral(">"), this);
    place(Command1, 5760, 240, 1560, 405);
    Command4 = new QPushButton(table.getRes(text::SubmitButton), this);
    place(Command4, 7380, 240, 1560, 405);
    Label1 = new QLabel(table.getRes(text::TimeLabel), this);
    place(Label1, 15, 915, 1590, 330);
    Label2 = new QLabel(table.getRes(text::CountLabel), this);
    place(Label2, 1650, 915, 1140, 330);
    Label3 = new QLabel(this);
    Timer1 = new QTimer(this);
    Timer1->setInterval(m_seams.tickIntervalMs);
    // A coarse timer fires up to a twentieth early, so its ticks would find a second too few used.
    Timer1->setTimerType(Qt::PreciseTimer);

    setWindowTitle(m_session.caption());
    console &cons = m_session.testConsole();
    cons.setStatusObj(Command1, Command3, Command4, Label1, Label2);
    cons.setStatus();

    // The bar spans the screen; the total-marks label takes what the other labels leave.
    QRect screen = m_seams.screen;
    if (screen.isEmpty() && QGuiApplication::primaryScreen())
        screen = QGuiApplication::primaryScreen()->availableGeometry();
    setFixedSize(screen.width(), twips(clientHeight));
    move(screen.topLeft());
    placeTotalLabel();

    connect(Command6, &QPushButton::clicked, this, &Form2::startTest);
    connect(Command1, &QPushButton::clicked, this, &Form2::nextQuestion);
    connect(Command3, &QPushButton::clicked, this, &Form2::previousQuestion);
    connect(Command4, &QPushButton::clicked, this, &Form2::submitTest);
    connect(Timer1, &QTimer::timeout, this, &Form2::timerTick);

    // Moving between questions from the keyboard, wherever the focus is.
    const auto shortcut = [this](QKeySequence keys, QPushButton *button) {
        auto *s = new QShortcut(keys, this);
        s->setContext(Qt::ApplicationShortcut);
        connect(s, &QShortcut::activated, button, [button] {
            if (button->isEnabled())
                button->click();
        });
    };
    shortcut(QKeySequence(Qt::ALT | Qt::Key_Right), Command1);
    shortcut(QKeySequence(Qt::ALT | Qt::Key_Left), Command3);
}

void Form2::startTest()
{
    if (!Command6->isEnabled())
        return;
    Command6->setEnabled(false);
    if (const std::optional<QString> problem = m_session.startTest()) {
        m_seams.warn(m_table.getRes(text::Fault), *problem);
        endWith(1);
        return;
    }
    if (!m_session.journalNotice().isEmpty())
        m_seams.warn(m_table.getRes(text::Fault), m_session.journalNotice());
    setWindowTitle(m_session.caption());
    Label1->setText(m_session.initialTimeText());
    showCurrentQuestion();
    Timer1->start();
    showCount();
    Label3->setText(m_session.fullMarksText());
    if (m_session.resumed()) {
        Label3->setText(m_session.fullMarksText() + QStringLiteral("    ") + m_table.getRes(text::Resumed));
        QTimer::singleShot(resumedShownMs, Label3, [this] { Label3->setText(m_session.fullMarksText()); });
        // The time left shows at once; a test whose time ran out meanwhile is submitted now.
        timerTick();
    }
}

void Form2::showCurrentQuestion()
{
    const oneChoice *question = m_session.currentQuestion();
    subject *view = question ? subject::create(question->getType(), ViewContext { m_session.testConsole(), m_table, this,
        [this](qint16 img) { return findPicture(img, m_session.paperPath(), m_seams.programFolder); } }) : nullptr;
    if (!view) {
        // The paper was checked at Start, so this means the paper changed under us.
        m_seams.warn(m_table.getRes(text::Fault), m_table.getRes(text::MissingQuestion));
        return;
    }
    m_currentView = view;
    view->setSubject(*question);
}

void Form2::closeCurrentView()
{
    if (m_currentView)
        m_currentView->unloadme();
    m_currentView = nullptr;
}

void Form2::nextQuestion() { moveBy(1); }

void Form2::previousQuestion() { moveBy(-1); }

void Form2::moveBy(int step)
{
    if (m_session.submitted())
        return;
    // The view stores its answers into its own question as it closes.
    if (step > 0 ? m_session.next() : m_session.previous()) {
        closeCurrentView();
        showCurrentQuestion();
    }
    showCount();
}

void Form2::showCount()
{
    Label2->setText(m_session.countText());
    // A count too long for the designed width widens its label; the total marks move along.
    const int width = qMax(twips(1140), Label2->sizeHint().width());
    if (width == Label2->width())
        return;
    Label2->resize(width, Label2->height());
    placeTotalLabel();
}

void Form2::placeTotalLabel()
{
    // 30 twips after the count; as wide as the bar leaves beside the time and the count.
    Label3->setGeometry(Label2->geometry().right() + 1 + twips(30), twips(915),
                        width() - Label1->width() - Label2->width() - twips(180), twips(330));
}

void Form2::timerTick()
{
    if (m_session.submitted())
        return;
    const TestSession::Tick tick = m_session.tick();
    Label1->setText(tick.timeText);
    if (tick.turnRed) {
        QPalette palette = Label1->palette();
        palette.setColor(QPalette::WindowText, lastMinutesColour);
        Label1->setPalette(palette);
    }
    if (tick.timeUp)
        submitTest();
}

void Form2::submitTest()
{
    if (m_session.submitted())
        return;
    closeCurrentView();
    Timer1->stop();
    const TestSession::HandOff handOff = m_session.submit(m_seams.send);
    // The candidate reads the result's path out to the examiner: on a line of its own, whole.
    if (!handOff.message.isEmpty())
        m_seams.warn(m_table.getRes(text::Fault),
                     withPathUnbroken(handOff.message, QDir::toNativeSeparators(handOff.savedPath)));
    // A secure copy has no score to show: the candidate learns the answers went in.
    if (!handOff.notice.isEmpty() && m_seams.inform)
        m_seams.inform(m_table.getRes(text::SheetHandedInTitle), handOff.notice);
    endWith(0);
}

void Form2::endWith(int exitCode)
{
    m_exitCode = exitCode;
    m_mayClose = true;
    closeCurrentView();
    close();
}

void Form2::changeEvent(QEvent *event)
{
    // The question, minimized along with this window, comes back with it.
    if (event->type() == QEvent::WindowStateChange && !isMinimized() && m_currentView)
        m_currentView->restore();
    QWidget::changeEvent(event);
}

void Form2::closeEvent(QCloseEvent *event)
{
    // Until the result is handed over the window stays, whoever asks it to close.
    if (!m_mayClose) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

} // namespace examdesk
