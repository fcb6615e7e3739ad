// The question editor window: composes questions one after another, or steps through and edits them.
#include "vellum/form1.h"

#include "common/multilanguage.h"
#include "vellum/texts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimer>

namespace vellum {

namespace {

QString letter(int i)
{
    return QString(QChar(u'A' + i));
}

// Unchecks every button of an exclusive group, which the group itself does not allow.
void uncheckAll(QButtonGroup *group)
{
    group->setExclusive(false);
    for (QAbstractButton *b : group->buttons()) {
        const QSignalBlocker quiet(b);
        b->setChecked(false);
    }
    group->setExclusive(true);
}

} // namespace

Form1::Form1(PaperSession &session, const CmultiLanguage &texts, Prompter &prompter, QWidget *parent)
    : QWidget(parent), m_session(session), m_texts(texts), m_prompter(prompter), m_editor(session, texts)
{
    setObjectName(QStringLiteral("Form1"));
    auto named = [](auto *w, const QString &name) {
        w->setObjectName(name);
        return w;
    };
    Text2 = named(new QPlainTextEdit(this), QStringLiteral("Text2"));
    Text2->setTabChangesFocus(true);
    Text2->setFixedHeight(Text2->fontMetrics().lineSpacing() * 4 + 12);
    Text3 = named(new QLineEdit(this), QStringLiteral("Text3"));
    Text5 = named(new QLineEdit(this), QStringLiteral("Text5"));

    m_kindGroup = new QButtonGroup(this);
    auto *kindRow = new QHBoxLayout;
    for (int i = 0; i < 4; ++i) {
        Option1[i] = new QRadioButton(this);
        named(Option1[i], QStringLiteral("Option1_%1").arg(i));
        m_kindGroup->addButton(Option1[i], i);
        kindRow->addWidget(Option1[i]);
    }
    kindRow->addStretch();

    auto *answerArea = new QWidget(this);
    auto *answerStack = new QHBoxLayout(answerArea);
    answerStack->setContentsMargins(0, 0, 0, 0);
    singleFrame = named(new QWidget(answerArea), QStringLiteral("singleFrame"));
    checkFrame = named(new QWidget(answerArea), QStringLiteral("checkFrame"));
    auto *singleRow = new QHBoxLayout(singleFrame);
    auto *checkRow = new QHBoxLayout(checkFrame);
    singleRow->setContentsMargins(0, 0, 0, 0);
    checkRow->setContentsMargins(0, 0, 0, 0);
    m_singleGroup = new QButtonGroup(this);
    for (int i = 0; i < 6; ++i) {
        Option4[i] = new QRadioButton(letter(i), singleFrame);
        named(Option4[i], QStringLiteral("Option4_%1").arg(i));
        m_singleGroup->addButton(Option4[i], i);
        singleRow->addWidget(Option4[i]);
        Check1[i] = new QCheckBox(letter(i), checkFrame);
        named(Check1[i], QStringLiteral("Check1_%1").arg(i));
        checkRow->addWidget(Check1[i]);
    }
    singleRow->addStretch();
    checkRow->addStretch();
    answerStack->addWidget(singleFrame);
    answerStack->addWidget(checkFrame);
    answerArea->setMinimumHeight(std::max(Option4[0]->sizeHint().height(), Check1[0]->sizeHint().height()));

    for (int i = 0; i < 6; ++i) {
        Text7[i] = new QLineEdit(this);
        named(Text7[i], QStringLiteral("Text7_%1").arg(i));
    }
    Label16 = named(new QLabel(this), QStringLiteral("Label16"));
    Label17 = named(new QLabel(this), QStringLiteral("Label17"));
    Label17->setWordWrap(true);
    Label18 = named(new QLabel(this), QStringLiteral("Label18"));
    Label18->setWordWrap(true);
    Label18->setTextInteractionFlags(Qt::TextSelectableByMouse);
    problemNote = named(new QLabel(this), QStringLiteral("problemNote"));
    problemNote->setWordWrap(true);
    QPalette warning = problemNote->palette();
    warning.setColor(QPalette::WindowText, QColor(176, 0, 0));
    problemNote->setPalette(warning);
    problemNote->hide();

    Command2 = named(new QPushButton(this), QStringLiteral("Command2"));
    CmdDel = named(new QPushButton(this), QStringLiteral("CmdDel"));
    Command6 = named(new QPushButton(this), QStringLiteral("Command6"));
    Command3 = named(new QPushButton(this), QStringLiteral("Command3"));
    Command5 = named(new QPushButton(this), QStringLiteral("Command5"));

    auto label = [this](int number, QWidget *buddy) {
        auto *l = new QLabel(m_texts.getRes(number), this);
        l->setBuddy(buddy);
        return l;
    };
    auto *grid = new QGridLayout;
    grid->addWidget(label(text::Question, Text2), 0, 0, Qt::AlignTop);
    grid->addWidget(Text2, 0, 1, 1, 3);
    grid->addWidget(label(text::ImageId, Text3), 1, 0);
    grid->addWidget(Text3, 1, 1);
    grid->addWidget(label(text::Marks, Text5), 1, 2);
    grid->addWidget(Text5, 1, 3);
    grid->addWidget(label(text::Type, Option1[0]), 2, 0);
    grid->addLayout(kindRow, 2, 1, 1, 3);
    grid->addWidget(label(text::Answer, Option4[0]), 3, 0);
    grid->addWidget(answerArea, 3, 1, 1, 3);
    for (int i = 0; i < 6; ++i) {
        const int row = 4 + i / 2;
        const int column = (i % 2) * 2;
        grid->addWidget(label(text::OptionA + i, Text7[i]), row, column);
        grid->addWidget(Text7[i], row, column + 1);
    }
    grid->addWidget(Label17, 7, 0, 1, 4);
    grid->addWidget(Label18, 8, 0, 1, 4);
    grid->addWidget(problemNote, 9, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Label16);
    buttons->addStretch();
    for (QPushButton *b : { Command6, Command3, CmdDel, Command2, Command5 })
        buttons->addWidget(b);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(buttons);

    // Keyboard order follows the screen, row by row.
    QList<QWidget *> order { Text2, Text3, Text5 };
    for (QWidget *w : Option1)
        order << w;
    for (QWidget *w : Option4)
        order << w;
    for (QWidget *w : Check1)
        order << w;
    for (QWidget *w : Text7)
        order << w;
    order << Command6 << Command3 << CmdDel << Command2 << Command5;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    apnc();
    m_editor.init();
    const bool editing = m_editor.editing();
    Command2->setVisible(!editing);
    CmdDel->setVisible(editing);
    Command6->setVisible(editing);
    Command3->setVisible(editing);
    showRecord();
    wire();
    setMinimumWidth(640);
}

void Form1::apnc()
{
    setWindowTitle(m_texts.getRes(text::WindowTitle));
    Option1[0]->setText(m_texts.getRes(text::KindSingle));
    Option1[1]->setText(m_texts.getRes(text::KindMultiple));
    Option1[2]->setText(m_texts.getRes(text::KindBlank));
    Option1[3]->setText(m_texts.getRes(text::KindTrueFalse));
    Label17->setText(m_texts.getRes(text::BlankRule));
    Command2->setText(m_texts.getRes(text::Add));
    CmdDel->setText(m_texts.getRes(text::Delete));
    Command6->setText(QStringLiteral("<"));
    Command3->setText(QStringLiteral(">"));
    Command5->setText(m_texts.getRes(text::Close));
}

void Form1::wire()
{
    connect(m_kindGroup, &QButtonGroup::idClicked, this, [this](int id) {
        m_editor.chooseKind(id);
        showAnswerWidgets();
        // True-or-false fills options A and B.
        for (int i = 0; i < 2; ++i)
            m_accepted.show(Text7[i], m_editor.record().getOption(i));
    });
    connect(m_singleGroup, &QButtonGroup::idClicked, this, [this](int id) { m_editor.chooseSingle(id); });
    for (int i = 0; i < 6; ++i) {
        connect(Check1[i], &QCheckBox::clicked, this, [this, i](bool checked) { m_editor.setChecked(i, checked); });
        QLineEdit *box = Text7[i];
        connect(box, &QLineEdit::textChanged, this, [this, box, i](const QString &text) {
            if (m_editor.setOption(i, text))
                m_accepted.accept(box, text);
            else
                refuse(box, text::CaretRefused);
        });
    }
    connect(Text2, &QPlainTextEdit::textChanged, this, [this] {
        const QString text = Text2->toPlainText();
        if (m_editor.setContext(text))
            m_accepted.accept(Text2, text);
        else
            refuse(Text2, text::CaretRefused);
    });
    connect(Text3, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (holdsSeparator(text))
            refuse(Text3, text::CaretRefused);
        else if (m_editor.setImageId(text))
            m_accepted.accept(Text3, text);
        else
            refuse(Text3, text::BadImageId);
    });
    connect(Text5, &QLineEdit::textChanged, this, &Form1::marksChanged);
    connect(Text5, &QLineEdit::editingFinished, this, &Form1::marksFinished);

    connect(Command2, &QPushButton::clicked, this, &Form1::onAdd);
    connect(Command3, &QPushButton::clicked, this, [this] {
        if (m_editor.step(1))
            showRecord();
    });
    connect(Command6, &QPushButton::clicked, this, [this] {
        if (m_editor.step(-1))
            showRecord();
    });
    connect(CmdDel, &QPushButton::clicked, this, [this] {
        m_editor.deleteCurrent();
        showRecord();
    });
    connect(Command5, &QPushButton::clicked, this, &Form1::onClose);

    // Connected after the handlers above, so it sees what each change did to the stored line.
    connect(m_kindGroup, &QButtonGroup::idClicked, this, &Form1::showStoreState);
    connect(m_singleGroup, &QButtonGroup::idClicked, this, &Form1::showStoreState);
    for (int i = 0; i < 6; ++i) {
        connect(Check1[i], &QCheckBox::clicked, this, &Form1::showStoreState);
        connect(Text7[i], &QLineEdit::textChanged, this, &Form1::showStoreState);
    }
    connect(Text2, &QPlainTextEdit::textChanged, this, &Form1::showStoreState);
    connect(Text3, &QLineEdit::textChanged, this, &Form1::showStoreState);
    connect(Text5, &QLineEdit::textChanged, this, &Form1::showStoreState);
}

void Form1::showStoreState()
{
    // A change that leaves the question incomplete is not stored; the author sees why at once,
    // not only on stepping away from it.
    QStringList why;
    if (m_editor.writeThrough()) {
        if (!m_editor.recordComplete())
            why = m_editor.problems();
        else if (m_editor.raisesFullMarksPastLimit())
            why << m_texts.getRes(text::FullMarksTooHigh);
    }
    if (why.isEmpty()) {
        problemNote->hide();
        return;
    }
    problemNote->setText(m_texts.getRes(text::NotStored) + u'\n' + why.join(u'\n'));
    problemNote->show();
}

void Form1::refuse(QWidget *box, int entryNumber)
{
    m_accepted.takeBack(box);
    m_prompter.tell(this, QMessageBox::Warning, m_texts.getRes(text::Warning), m_texts.getRes(entryNumber));
}

void Form1::marksChanged(const QString &text)
{
    if (holdsSeparator(text)) {
        refuse(Text5, text::CaretRefused);
        return;
    }
    const MarksText taken = m_editor.setMarks(text);
    if (taken == MarksText::TooHigh) {
        refuse(Text5, text::FullMarksTooHigh);
        return;
    }
    if (taken != MarksText::Invalid) {
        m_accepted.accept(Text5, text);
        return;
    }
    m_prompter.tell(this, QMessageBox::Warning, m_texts.getRes(text::Warning),
                    m_texts.getRes(text::MarksNotNumber));
    Text5->setText(QuestionEditor::defaultMarks);
    Text5->selectAll(); // so the next keystroke replaces it
}

void Form1::marksFinished()
{
    // Empty or zero marks were let through while typing; leaving the box settles them. An
    // untouched box says nothing, and the flag is cleared first because the message box
    // itself takes the focus away and finishes the editing once more.
    if (!Text5->isModified() || classifyMarks(Text5->text()) != MarksText::Incomplete)
        return;
    Text5->setModified(false);
    m_prompter.tell(this, QMessageBox::Warning, m_texts.getRes(text::Warning),
                    m_texts.getRes(text::MarksNotNumber));
    Text5->setText(QuestionEditor::defaultMarks);
}

void Form1::showAnswerWidgets()
{
    const QuestionEditor::Widgets &w = m_editor.widgets();
    singleFrame->setVisible(QuestionEditor::showsSingleFrame(w.kind));
    for (int i = 2; i < 6; ++i)
        Option4[i]->setVisible(QuestionEditor::showsSingleCtoF(w.kind));
    checkFrame->setVisible(QuestionEditor::showsCheckFrame(w.kind));
    if (w.kind < 0) {
        uncheckAll(m_kindGroup);
    } else {
        const QSignalBlocker quiet(Option1[w.kind]);
        Option1[w.kind]->setChecked(true);
    }
    if (w.single < 0) {
        uncheckAll(m_singleGroup);
    } else {
        const QSignalBlocker quiet(Option4[w.single]);
        Option4[w.single]->setChecked(true);
    }
    for (int i = 0; i < 6; ++i) {
        const QSignalBlocker quiet(Check1[i]);
        Check1[i]->setChecked(w.checked[i]);
    }
}

void Form1::showRecord()
{
    const oneChoice &r = m_editor.record();
    m_accepted.show(Text2, r.getContext());
    const bool shown = m_editor.writeThrough();
    m_accepted.show(Text3, shown || r.getImg() != 0 ? QString::number(r.getImg()) : QString());
    m_accepted.show(Text5, r.getPoint());
    for (int i = 0; i < 6; ++i)
        m_accepted.show(Text7[i], r.getOption(i));
    showAnswerWidgets();
    showCounter();
    showStoreState();
    // What the show had to pass over or replace is told over the question it concerns, so
    // the first question waits until the window is up.
    if (isVisible())
        reportShown();
    else
        QTimer::singleShot(0, this, &Form1::reportShown);
}

void Form1::showCounter()
{
    Label16->setText(m_editor.counterText());
    Label18->setText(m_editor.fileNameText());
}

void Form1::reportShown()
{
    reportSkipped();
    if (m_editor.takeMarksReplaced())
        m_prompter.tell(this, QMessageBox::Warning, m_texts.getRes(text::Warning),
                        m_texts.getRes(text::MarksNotNumber));
}

void Form1::reportSkipped()
{
    QStringList numbers;
    for (int n : m_editor.takeSkipped())
        numbers << QString::number(n);
    if (numbers.isEmpty())
        return;
    m_prompter.tell(this, QMessageBox::Warning, m_texts.getRes(text::Warning),
                    m_texts.getRes(text::QuestionSkipped) + numbers.join(QStringLiteral(", ")));
}

void Form1::onAdd()
{
    if (!m_editor.add()) {
        QString why;
        if (!m_editor.recordComplete())
            why = (QStringList { m_texts.getRes(text::Incomplete) } + m_editor.problems()).join(u'\n');
        else if (m_editor.raisesFullMarksPastLimit())
            why = m_texts.getRes(text::FullMarksTooHigh);
        else
            why = m_texts.getRes(text::PaperFull);
        m_prompter.tell(this, QMessageBox::Warning, m_texts.getRes(text::Warning), why);
        return;
    }
    m_accepted.show(Text2, QString());
    m_accepted.show(Text3, QString());
    for (int i = 0; i < 6; ++i)
        m_accepted.show(Text7[i], m_editor.record().getOption(i));
    showCounter();
    Text2->setFocus();
}

void Form1::onClose()
{
    QString error;
    if (!m_session.save(&error)) {
        m_prompter.tell(this, QMessageBox::Critical, m_texts.getRes(text::Warning),
                        m_texts.getRes(text::CannotSave) + error);
        return;
    }
    m_saved = true;
    emit saved();
    close();
}

void Form1::closeEvent(QCloseEvent *event)
{
    if (m_saved || m_prompter.ask(this, m_texts.getRes(text::Warning), m_texts.getRes(text::CloseWithoutSaving))) {
        event->accept();
        return;
    }
    event->ignore();
}

} // namespace vellum
