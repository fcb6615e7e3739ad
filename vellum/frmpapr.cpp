// The header editor: the first window, where a paper's header is filled in or a paper is opened.
#include "vellum/frmpapr.h"

#include "common/multilanguage.h"
#include "vellum/texts.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace vellum {

FrmPapr::FrmPapr(PaperSession &session, const CmultiLanguage &texts, Prompter &prompter, QWidget *parent)
    : QWidget(parent), m_session(session), m_texts(texts), m_prompter(prompter)
{
    setObjectName(QStringLiteral("FrmPapr"));
    auto named = [](auto *w, const char *name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };
    TxtT = named(new QLineEdit(this), "TxtT");
    txtS = named(new QLineEdit(this), "txtS");
    txtTL = named(new QLineEdit(this), "txtTL");
    txtTP = named(new QLineEdit(this), "txtTP");
    txtA = named(new QLineEdit(this), "txtA");
    txtFN = named(new QLineEdit(this), "txtFN");
    Command1 = named(new QPushButton(this), "Command1");
    Command3 = named(new QPushButton(this), "Command3");
    CmdOpen = named(new QPushButton(this), "CmdOpen");
    CmdShut = named(new QPushButton(this), "CmdShut");
    folderNote = named(new QLabel(this), "folderNote");
    folderNote->setWordWrap(true);
    folderNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
    folderNote->hide();

    txtTL->setText(QString::number(m_session.paperHeader.timeLimit));
    txtTP->setText(QString::number(m_session.paperHeader.Total));

    auto *grid = new QGridLayout;
    const std::pair<int, QLineEdit *> rows[] = {
        { text::TestsTitle, TxtT }, { text::Subject, txtS }, { text::TimeLimited, txtTL },
        { text::Total, txtTP },     { text::Author, txtA },  { text::FileName, txtFN },
    };
    int row = 0;
    for (const auto &[number, box] : rows) {
        auto *label = new QLabel(m_texts.getRes(number), this);
        label->setBuddy(box);
        grid->addWidget(label, row, 0);
        grid->addWidget(box, row, 1, 1, box == txtTL ? 1 : 2);
        ++row;
    }
    auto *unit = new QLabel(m_texts.getRes(text::Minutes), this);
    unit->setObjectName(QStringLiteral("unitLabel"));
    grid->addWidget(unit, 2, 2);
    grid->setColumnStretch(1, 1);

    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : { CmdOpen, Command1, Command3, CmdShut })
        buttons->addWidget(b);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->addWidget(folderNote);

    // Keyboard order follows the screen: the boxes top to bottom, then the buttons left to right.
    QWidget *order[] = { TxtT, txtS, txtTL, txtTP, txtA, txtFN, CmdOpen, Command1, Command3, CmdShut };
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    apnc();
    watch(TxtT, HeaderField::Title);
    watch(txtS, HeaderField::Subject);
    watch(txtTL, HeaderField::TimeLimit);
    watch(txtTP, HeaderField::Total);
    watch(txtA, HeaderField::Author);
    watch(txtFN, HeaderField::FileName);

    connect(CmdOpen, &QPushButton::clicked, this, &FrmPapr::onOpen);
    connect(Command1, &QPushButton::clicked, this, [this] { onLeave(m_session.leaveToAdd()); });
    connect(Command3, &QPushButton::clicked, this, [this] { onLeave(m_session.leaveToEdit()); });
    connect(CmdShut, &QPushButton::clicked, this, &QWidget::close);

    m_dialog.filterText = m_texts.getRes(text::TestsFile);
    m_dialog.title = m_texts.getRes(text::OpenDialogTitle);
    m_dialog.initialFolder = m_session.programFolder() + u'/';
    setMinimumWidth(480);
}

void FrmPapr::showFolderNote(const QString &folder)
{
    folderNote->setText(m_texts.getRes(text::KeptIn) + QDir::toNativeSeparators(folder));
    folderNote->show();
}

void FrmPapr::apnc()
{
    setWindowTitle(m_texts.getRes(text::WindowTitle));
    Command1->setText(m_texts.getRes(text::AddQuestion));
    Command3->setText(m_texts.getRes(text::EditQuestion));
    CmdOpen->setText(m_texts.getRes(text::OpenTests));
    CmdShut->setText(m_texts.getRes(text::Close));
}

void FrmPapr::watch(QLineEdit *box, HeaderField field)
{
    // The boxes start with what the header holds; an untouched file name box names no file.
    m_accepted.accept(box, box->text());
    connect(box, &QLineEdit::textChanged, this, [this, box, field](const QString &text) {
        if (m_session.setHeaderField(field, text)) {
            m_accepted.accept(box, text);
            return;
        }
        m_accepted.takeBack(box);
        m_prompter.tell(this, QMessageBox::Warning, m_texts.getRes(text::Warning),
                        m_texts.getRes(text::CaretRefused));
    });
}

void FrmPapr::onOpen()
{
    const OpenDialogResult chosen = m_dialog.showOpenFileDialog(this);
    if (chosen.cancelled)
        return;
    openPaper(chosen.fullPath());
}

void FrmPapr::openPaper(const QString &path)
{
    const PaperSession::Opened opened = m_session.openPaper(path);
    if (!opened.ok) {
        m_prompter.tell(this, QMessageBox::Warning, m_texts.getRes(text::Warning),
                        m_texts.getRes(text::CannotOpen) + u'\n' + opened.reason);
        return;
    }
    const Cpapr &h = m_session.paperHeader;
    m_accepted.show(TxtT, h.Title);
    m_accepted.show(txtS, h.Subject);
    m_accepted.show(txtTL, QString::number(h.timeLimit));
    m_accepted.show(txtTP, QString::number(h.Total));
    m_accepted.show(txtA, h.Author);
    m_accepted.show(txtFN, h.FileName);
    txtFN->setEnabled(false);
    // Editing needs questions to step through.
    Command3->setEnabled(opened.hasQuestions);
}

void FrmPapr::onLeave(PaperSession::Leave leave)
{
    switch (leave) {
    case PaperSession::Leave::Go:
        emit questionsRequested();
        break;
    case PaperSession::Leave::Incomplete:
        m_prompter.tell(this, QMessageBox::Information, m_texts.getRes(text::Warning),
                        m_texts.getRes(text::Incomplete));
        break;
    case PaperSession::Leave::Exists:
        m_prompter.tell(this, QMessageBox::Information, m_texts.getRes(text::Warning),
                        m_texts.getRes(text::FileExists));
        break;
    case PaperSession::Leave::Unwritable:
        m_prompter.tell(this, QMessageBox::Warning, m_texts.getRes(text::Warning),
                        m_texts.getRes(text::CannotWriteThere) + m_session.paperHeader.FileName);
        break;
    case PaperSession::Leave::Ignored:
        break;
    }
}

} // namespace vellum
