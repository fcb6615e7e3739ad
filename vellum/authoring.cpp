// One authoring run: the shared paper state, the string table and the two windows in their order.
#include "vellum/authoring.h"

#include "vellum/form1.h"
#include "vellum/frmpapr.h"
#include "vellum/texts.h"

namespace vellum {

Authoring::Authoring(const QString &programFolder, int lcid, std::function<int()> randomBelow1000,
                     Prompter prompter)
    : m_texts(stringTable(lcid))
    , m_session(std::make_unique<PaperSession>(programFolder, std::move(randomBelow1000)))
    , m_prompter(std::move(prompter))
    , m_header(std::make_unique<FrmPapr>(*m_session, *m_texts, m_prompter))
{
    connect(m_header.get(), &FrmPapr::questionsRequested, this, &Authoring::toQuestions);
}

Authoring::~Authoring()
{
    // The windows refer to the session and the table, so they go first.
    m_questions.reset();
    m_header.reset();
}

void Authoring::start()
{
    m_header->show();
}

void Authoring::toQuestions()
{
    m_questions = std::make_unique<Form1>(*m_session, *m_texts, m_prompter);
    m_questions->show();
    m_header->hide();
}

} // namespace vellum
