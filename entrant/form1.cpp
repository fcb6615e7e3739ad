// The login window: the ID box, login and setting buttons, the status line and the retry of a delivery.
#include "entrant/form1.h"

#include "common/twips.h"

#include <QCloseEvent>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace entrant {

namespace {
// The designed client area, in twips: the status line's right end and bottom, and a margin.
constexpr int clientWidth = 5070;
constexpr int clientHeight = 1740;
} // namespace

Form1::Form1(Client &client, QWidget *parent) : QWidget(parent), m_client(client)
{
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Label2->setBuddy(Text1);
    Command1 = new QPushButton(this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command3 = new QPushButton(this);
    Command3->setObjectName(QStringLiteral("Command3"));
    CmdSubmit = new QPushButton(m_client.text(text::SubmitButton), this);
    CmdSubmit->setObjectName(QStringLiteral("CmdSubmit"));
    CmdSubmit->hide();
    CmdRestart = new QPushButton(this);
    CmdRestart->setObjectName(QStringLiteral("CmdRestart"));
    CmdRestart->hide();
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // Enter on a focused button presses it, as Space does.
    for (QPushButton *button : { Command1, Command3, CmdSubmit, CmdRestart })
        button->setAutoDefault(true);
    setTabOrder(Text1, Command1);
    setTabOrder(Command1, Command3);
    setTabOrder(Command3, CmdSubmit);
    setTabOrder(CmdSubmit, CmdRestart);

    connect(Text1, &QLineEdit::returnPressed, Command1, &QPushButton::click);
    connect(Command1, &QPushButton::clicked, this, [this] { m_client.login(Text1->text()); });
    connect(Command3, &QPushButton::clicked, this, &Form1::promptServerAddress);
    connect(CmdSubmit, &QPushButton::clicked, this, [this] { m_client.submit(); });
    connect(CmdRestart, &QPushButton::clicked, this, [this] { m_client.restartTest(); });
    connect(&m_client, &Client::viewChanged, this, &Form1::showView);
    connect(&m_client, &Client::finished, this, [this] {
        m_mayClose = true;
        close();
    });

    applyLanguage();
    showView();
}

void Form1::applyLanguage()
{
    Label2->setText(m_client.text(text::IdCaption));
    Command1->setText(m_client.text(text::LoginButton));
    Command3->setText(m_client.text(text::SettingButton));
    CmdRestart->setText(m_client.text(text::RestartButton));
    // examdesk finds this window's channel by this very title.
    setWindowTitle(m_client.windowTitle());
}

void Form1::start()
{
    m_started = true;
    show();
    Text1->setFocus();
    if (m_client.needsServerAddress())
        promptServerAddress();
}

void Form1::placeControls()
{
    const auto px = [this](int value) { return twips(this, value); };
    // A control whose text needs more room than designed grows, keeping its designed middle.
    const auto fitted = [&px](QWidget *control, int left, int top, int width, int height) {
        const QSize hint = control->sizeHint();
        const int h = qMax(px(height), hint.height());
        control->setGeometry(px(left), qMax(0, px(top) + (px(height) - h) / 2), qMax(px(width), hint.width()), h);
    };
    fitted(Label2, 0, 240, 900, 180);
    fitted(Command1, 3690, 150, 1245, 370);
    fitted(Command3, 3690, 690, 1245, 370);
    fitted(CmdSubmit, 2280, 720, 1245, 370);
    fitted(CmdRestart, 2280, 720, 1245, 370); // never shown together with CmdSubmit
    // The ID box takes what lies between its caption and the buttons.
    const int textLeft = qMax(px(930), Label2->geometry().right() + 1 + px(30));
    const int textRight = qMin(px(930 + 2655), Command1->x() - px(105));
    const int textHeight = qMax(px(360), Text1->sizeHint().height());
    Text1->setGeometry(textLeft, px(165) + (px(360) - textHeight) / 2, textRight - textLeft, textHeight);

    const int width = qMax(px(clientWidth), qMax(Command1->geometry().right(), Command3->geometry().right()) + 1 + px(135));
    // The status line runs along the bottom and wraps a long text rather than cutting it.
    const int statusWidth = qMax(px(4950), width - px(120));
    const int statusHeight = qMax(px(345), Label1->heightForWidth(statusWidth));
    Label1->setGeometry(px(30), px(1305), statusWidth, statusHeight);
    setFixedSize(width, qMax(px(clientHeight), Label1->geometry().bottom() + 1 + px(90)));
}

void Form1::showView()
{
    const View &v = m_client.view();
    for (QWidget *control : { static_cast<QWidget *>(Label2), static_cast<QWidget *>(Text1),
                              static_cast<QWidget *>(Command1), static_cast<QWidget *>(Command3) })
        control->setVisible(v.loginControlsShown);
    CmdSubmit->setVisible(v.submitShown);
    CmdRestart->setVisible(v.restartShown);
    Label1->setText(v.status);
    placeControls();

    if (!v.windowShown) {
        hide();
        return;
    }
    if (m_started && isHidden()) {
        // Back from hiding: the candidate must see what went wrong.
        show();
        raise();
        activateWindow();
    }
    if (v.loginControlsShown)
        Text1->setFocus();
    else if (v.submitShown)
        CmdSubmit->setFocus();
    else if (v.restartShown)
        CmdRestart->setFocus();
}

void Form1::promptServerAddress()
{
    if (m_prompt) {
        m_prompt->raise();
        return;
    }
    auto *prompt = new QInputDialog(this);
    prompt->setAttribute(Qt::WA_DeleteOnClose);
    prompt->setWindowTitle(m_client.text(text::SettingButton));
    prompt->setLabelText(m_client.text(text::AddressPrompt));
    prompt->setTextValue(QString());
    prompt->setOkButtonText(m_client.text(text::OkButton));
    prompt->setCancelButtonText(m_client.text(text::CancelButton));
    connect(prompt, &QInputDialog::textValueSelected, this,
            [this](const QString &answer) { m_client.saveServerAddress(answer); });
    m_prompt = prompt;
    prompt->open();
}

void Form1::closeEvent(QCloseEvent *event)
{
    // Closed after the test program ended without a result, the test could not be started again.
    if (m_mayClose || !(m_client.resultUndelivered() || m_client.view().restartShown)) {
        event->accept();
        emit closed();
        return;
    }
    // The result exists only here and in examdesk's copy: closing is asked about first.
    event->ignore();
    if (m_closeQuestion)
        return;
    const int asked = m_client.pendingIsAnswerSheet() ? text::SheetUndelivered : text::CloseUndelivered;
    auto *question =
        new QMessageBox(QMessageBox::Question, windowTitle(), m_client.text(asked), QMessageBox::NoButton, this);
    QPushButton *closeButton = question->addButton(m_client.text(text::CloseButton), QMessageBox::DestructiveRole);
    question->setDefaultButton(question->addButton(m_client.text(text::CancelButton), QMessageBox::RejectRole));
    question->setAttribute(Qt::WA_DeleteOnClose);
    connect(question, &QMessageBox::finished, this, [this, question, closeButton] {
        if (question->clickedButton() == closeButton) {
            m_mayClose = true;
            close();
        }
    });
    m_closeQuestion = question;
    question->open();
}

} // namespace entrant
