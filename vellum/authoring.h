// One authoring run: the shared paper state, the string table and the two windows in their order.
#pragma once

#include "vellum/papersession.h"
#include "vellum/prompter.h"

#include <QObject>

#include <functional>
#include <memory>

class CmultiLanguage;

namespace vellum {

class FrmPapr;
class Form1;

class Authoring : public QObject
{
    Q_OBJECT
public:
    Authoring(const QString &programFolder, int lcid, std::function<int()> randomBelow1000,
              Prompter prompter = Prompter::messageBoxes());
    ~Authoring() override;

    // Shows the header editor.
    void start();

    PaperSession &session() { return *m_session; }
    const CmultiLanguage &texts() const { return *m_texts; }
    FrmPapr *headerEditor() const { return m_header.get(); }
    // Null until the header editor hands over.
    Form1 *questionEditor() const { return m_questions.get(); }

private:
    void toQuestions();

    std::unique_ptr<CmultiLanguage> m_texts;
    std::unique_ptr<PaperSession> m_session;
    Prompter m_prompter;
    std::unique_ptr<FrmPapr> m_header;
    std::unique_ptr<Form1> m_questions;
};

} // namespace vellum
