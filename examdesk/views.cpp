// The three question views and their shared skeleton.
#include "examdesk/views.h"

#include "common/tokenizer.h"
#include "examdesk/texts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QWindow>

namespace examdesk {

namespace {
const QRect kindLabelRect(120, 150, 8280, 465);
const QRect itemNumberRect(105, 825, 255, 255);
constexpr int memberStep = 600;
constexpr int pictureGap = 240;

QString optionLetter(int k) { return QString(QChar(u'A' + k - 1)); }
} // namespace

subject *subject::create(const QString &fType, ViewContext context)
{
    if (fType == QLatin1String("9") || fType == QLatin1String("6"))
        return new Form3(context);
    if (fType == QLatin1String("8"))
        return new Form1(context);
    if (fType == QLatin1String("7"))
        return new Form4(context);
    return nullptr;
}

subject::subject(ViewContext context, const Design &design)
    : QWidget(context.testWindow, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_context(context), m_design(design), m_item(context.cons.currentItem)
{
    setAttribute(Qt::WA_DeleteOnClose);
    Label4 = new QLabel(this);
    QFont kindFont = Label4->font();
    kindFont.setBold(true);
    Label4->setFont(kindFont);
    lbItemNum = new QLabel(this);
    lbItemNum->setText(QString::number(m_item));
    Text1 = new QPlainTextEdit(this);
    Text1->setReadOnly(true);
    Text1->setTabChangesFocus(true);
    Picture1 = new QLabel(this);
    Picture1->hide();
    // The multiple-select and fill-in views keep this caption in both languages.
    setWindowTitle(res(text::FixedViewCaption));
}

QRect subject::memberRect(int k) const
{
    const QRect member = m_design.member.translated(0, memberStep * k);
    return { twips(member.left()), twips(member.top()), twips(member.width()), twips(member.height()) };
}

void subject::storeAnswer(const QString &answer)
{
    if (m_restoring)
        m_storeSkipped = true;
    else
        m_context.cons.rec.addSel(m_item - 1, answer);
}

QString subject::storedAnswer() const { return m_context.cons.rec.getUsel(m_item - 1); }

void subject::placeOption(QAbstractButton *option, int k, const QString &text, const char *family)
{
    option->setText(optionLetter(k) + QLatin1Char(' ') + text);
    option->setObjectName(QStringLiteral("%1_%2").arg(QLatin1String(family)).arg(k));
    option->setGeometry(memberRect(k));
}

QString subject::pointsPart(const oneChoice &sb, const QString &suffix) const
{
    return QLatin1Char('(') + sb.getPoint() + res(text::MarksUnit) + suffix + QLatin1Char(')');
}

void subject::setSubject(const oneChoice &sb)
{
    Text1->setPlainText(sb.getContext());

    const QString picture = sb.getImg() != 0 ? m_context.picturePath(sb.getImg()) : QString();
    QPixmap pixmap;
    // A picture that is missing or unreadable leaves the question without it.
    m_hasPicture = !picture.isEmpty() && pixmap.load(picture);

    // Showing the stored answer box by box would store, and journal, each step on the way.
    m_restoring = true;
    buildOptions(sb);
    m_restoring = false;
    if (m_storeSkipped)
        collectAnswer();
    placeBelowTestWindow();

    // Widen to the test window: what spans the view keeps its designed right margin.
    const int width = this->width();
    const auto widened = [&](const QRect &designed) {
        const int rightMargin = m_design.client.width() - designed.right() - 1;
        const int left = twips(designed.left());
        return QRect(left, twips(designed.top()), qMax(twips(designed.width()), width - left - twips(rightMargin)),
                     twips(designed.height()));
    };
    Label4->setGeometry(widened(kindLabelRect));
    const int textLeft = twips(m_design.text.left());
    lbItemNum->setGeometry(twips(itemNumberRect.left()), twips(itemNumberRect.top()),
                           qMax(twips(itemNumberRect.width()), textLeft - twips(itemNumberRect.left()) - 2),
                           twips(itemNumberRect.height()));
    Text1->setGeometry(widened(m_design.text));
    // Option captions use the whole width unless a picture stands beside them.
    if (!m_hasPicture) {
        const int memberWidth = widened(m_design.member).width();
        for (QAbstractButton *button : findChildren<QAbstractButton *>())
            button->resize(memberWidth, button->height());
    } else {
        // Beside the answers rather than over them.
        const QRect firstMember = memberRect(1);
        const int left = firstMember.right() + 1 + twips(pictureGap);
        const int top = twips(m_design.picture.top());
        const QSize room(qMax(twips(m_design.picture.width()), width - left - twips(120)),
                         qMax(twips(m_design.picture.height()), height() - top - twips(120)));
        if (pixmap.width() > room.width() || pixmap.height() > room.height())
            pixmap = pixmap.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        Picture1->setPixmap(pixmap);
        Picture1->setGeometry(left, top, pixmap.width(), pixmap.height());
        Picture1->show();
    }
    show();
    raise();
    activateWindow();
    // A minimized question would stay out of sight until the candidate moved to another one, so
    // it comes back at once; minimized along with the test window, it comes back with that.
    // The window's state is watched, as some desktops never tell the widget of a minimize, and
    // the minimize is remembered, as some report it and at once take it back while the window
    // stays out of sight.
    connect(windowHandle(), &QWindow::windowStateChanged, this, [this](Qt::WindowState state) {
        if (state != Qt::WindowMinimized)
            return;
        m_minimized = true;
        QMetaObject::invokeMethod(this, &subject::restore, Qt::QueuedConnection);
    });
}

void subject::placeBelowTestWindow()
{
    const QWidget *bar = m_context.testWindow;
    const QRect frame = bar ? bar->frameGeometry() : QRect();
    resize(bar ? bar->width() : twips(m_design.client.width()), twips(m_design.client.height()));
    if (bar)
        move(frame.left(), frame.bottom() + 1);
}

void subject::unloadme()
{
    collectAnswer();
    m_unloading = true;
    close(); // deletes the view
}

void subject::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        collectAnswer();
    QWidget::changeEvent(event);
}

void subject::restore()
{
    const QWidget *bar = m_context.testWindow;
    if (!(m_minimized || isMinimized()) || m_unloading || (bar && bar->isMinimized()))
        return;
    m_minimized = false;
    setWindowState(windowState() & ~Qt::WindowMinimized);
    if (QWindow *window = windowHandle())
        window->setWindowStates(window->windowStates() & ~Qt::WindowMinimized);
    // Some desktops let a program minimize a window but not take it back: shown anew, it is back.
    hide();
    show();
    raise();
    activateWindow();
}

void subject::closeEvent(QCloseEvent *event)
{
    // Only the test window closes a view; a question never disappears under the candidate.
    if (!m_unloading)
        event->ignore();
}

Form3::Form3(ViewContext context)
    : subject(context, { { 10350, 6540 }, { 630, 810, 9660, 1095 }, { 600, 1440, 8550, 375 }, { 6045, 2280, 2160, 2100 } })
{
    setWindowTitle(res(text::ViewCaption));
}

void Form3::setSubject(const oneChoice &sb)
{
    Label4->setText(res(sb.getType() == QLatin1String("6") ? text::TrueFalseKind : text::SingleKind) + pointsPart(sb));
    subject::setSubject(sb);
}

void Form3::buildOptions(const oneChoice &sb)
{
    auto *group = new QButtonGroup(this);
    const QString stored = storedAnswer();
    for (int k = 1; k <= oneChoice::optionCount; ++k) {
        const QString text = sb.getOption(k - 1);
        if (text.isEmpty())
            continue;
        auto *button = new QRadioButton(this);
        placeOption(button, k, text, "Option1");
        group->addButton(button, k);
        Option1.push_back(button);
        button->setChecked(stored == QString::number(k));
        connect(button, &QAbstractButton::toggled, this, [this, k](bool on) {
            if (on)
                storeAnswer(QString::number(k));
        });
    }
}

Form1::Form1(ViewContext context)
    : subject(context, { { 10920, 6360 }, { 615, 810, 10110, 1095 }, { 615, 1410, 8850, 555 }, { 5835, 3750, 2160, 2100 } })
{
    Label4->setText(res(text::MultipleKind));
}

void Form1::setSubject(const oneChoice &sb)
{
    Label4->setText(Label4->text() + pointsPart(sb));
    subject::setSubject(sb);
}

void Form1::buildOptions(const oneChoice &sb)
{
    const QString stored = storedAnswer();
    for (int k = 1; k <= oneChoice::optionCount; ++k) {
        const QString text = sb.getOption(k - 1);
        if (text.isEmpty())
            continue;
        auto *box = new QCheckBox(this);
        placeOption(box, k, text, "Check1");
        Check1.push_back(box);
        // Each change is stored at once, so what is on screen is always what counts.
        connect(box, &QAbstractButton::toggled, this, [this, k](bool on) {
            m_checkedMarks[k] = on ? QString::number(k) : QString();
            collectAnswer();
        });
        box->setChecked(stored.contains(QString::number(k)));
    }
}

void Form1::collectAnswer()
{
    QString answer;
    for (int k = 1; k <= oneChoice::optionCount; ++k)
        answer += m_checkedMarks[k];
    storeAnswer(answer);
}

Form4::Form4(ViewContext context)
    : subject(context, { { 10335, 6360 }, { 630, 810, 9660, 1095 }, { 660, 1530, 4080, 360 }, { 5775, 3795, 2160, 2100 } })
{
    Label4->setText(res(text::BlankKind));
}

void Form4::setSubject(const oneChoice &sb)
{
    Label4->setText(Label4->text() + pointsPart(sb, res(text::PerBlank)));
    subject::setSubject(sb);
}

void Form4::buildOptions(const oneChoice &sb)
{
    Tokenizer stored;
    stored.init(storedAnswer());
    stored.setSeparator(QStringLiteral("~"));
    for (int k = 1; k <= oneChoice::optionCount; ++k) {
        // The stored answer holds all six blanks in place, so each position takes its own token.
        const QString token = stored.nextToken();
        if (sb.getOption(k - 1).isEmpty())
            continue;
        auto *box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("Text2_%1").arg(k));
        box->setGeometry(memberRect(k));
        // "~" ends a blank in the stored answer: typed into one, it would split it on the way back.
        box->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[^~]*")), box));
        Text2.push_back(box);
        connect(box, &QLineEdit::textChanged, this, [this, k](const QString &text) {
            m_blankEntries[k] = text.trimmed();
            collectAnswer();
        });
        box->setText(token);
    }
}

void Form4::collectAnswer()
{
    QString answer;
    for (int k = 1; k <= oneChoice::optionCount; ++k)
        answer += m_blankEntries[k] + QLatin1Char('~');
    storeAnswer(answer);
}

} // namespace examdesk
