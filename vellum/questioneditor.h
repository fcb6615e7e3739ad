// The question editor's rules: composing, adding, stepping through, changing and deleting questions.
#pragma once

#include "paper/fieldrules.h"
#include "paper/onechoice.h"
#include "vellum/papersession.h"

#include <QString>
#include <QStringList>

#include <array>
#include <utility>
#include <vector>

class CmultiLanguage;

namespace vellum {

// How a typed marks text is taken; the rules are the paper library's, shared with the import of sheets.
using paper::MarksText;
using paper::classifyMarks;

class QuestionEditor
{
public:
    static constexpr int kinds = 4;
    static constexpr int options = oneChoice::optionCount;
    static inline const QString defaultMarks = QStringLiteral("2");

    QuestionEditor(PaperSession &session, const CmultiLanguage &texts);

    // What the answer widgets show: the kind button, the single-answer button, the check boxes.
    struct Widgets {
        int kind = -1;   // 0 to 3, -1 for none
        int single = -1; // 0 to 5, -1 for none
        std::array<bool, options> checked {};
    };

    // Opens the editor on the session's paper; in "modi" mode the first question is shown.
    void init();

    // Inputs. Those returning bool refuse (false) text that holds the field separator or,
    // for the image id, that is not a whole number from 0 to 32767; the record keeps its value.
    void chooseKind(int index);
    void chooseSingle(int index);
    void setChecked(int index, bool checked);
    bool setContext(const QString &boxText);
    bool setOption(int index, const QString &boxText);
    bool setImageId(const QString &boxText);
    MarksText setMarks(const QString &boxText);

    // Adds the record after the last line; false when it is incomplete or could not be taken.
    bool add();

    // "modi" mode. Step moves by +1 or -1 when there is a question that way.
    bool step(int direction);
    void deleteCurrent();

    // Question numbers of stored lines the last show had to pass over because they
    // cannot be read; the caller reports them.
    std::vector<int> takeSkipped() { return std::exchange(m_skipped, {}); }
    // Whether the last show put the default marks in place of stored marks that are not a
    // number greater than zero; the caller tells the author, as for marks typed.
    bool takeMarksReplaced() { return std::exchange(m_marksReplaced, false); }

    // The widgets the kind shows: single-answer frame, its buttons C to F, check-box frame.
    static bool showsSingleFrame(int kind) { return kind == 0 || kind == 3; }
    static bool showsSingleCtoF(int kind) { return kind == 0; }
    static bool showsCheckFrame(int kind) { return kind == 1; }

    const oneChoice &record() const { return m_record; }
    const Widgets &widgets() const { return m_widgets; }
    int lineTotal() const { return m_lineTotal; }
    int currentIndex() const { return m_currentIndex; }
    bool writeThrough() const { return m_writeThrough; }
    bool editing() const { return m_session.paperMode == Mode::Modi; }

    // The count form ("Tests has 3 Items") or, in "modi" mode, the position form ("Count:2/5").
    QString counterText() const;
    QString fileNameText() const { return m_session.paperHeader.FileName; }

    // What may be stored: the record's own check and a question that can be taken as its kind intends.
    bool recordComplete() const;
    // What keeps the record from being complete, each named in the table's language so the
    // author knows what to fix; empty when it is complete.
    QStringList problems() const;
    // True when taking the record into the paper would raise its full marks, as the
    // test-taking program adds them up, past 32767; it would refuse such a paper.
    bool raisesFullMarksPastLimit() const;

private:
    void store();
    QString storedLine() const;
    void clearEditor();
    // A true-or-false question's options A and B.
    void offerTrueFalse();
    bool showQuestion(int index);
    void settleOn(int index, int direction);
    void answerFromWidgets();

    PaperSession &m_session;
    const CmultiLanguage &m_texts;
    oneChoice m_record;
    Widgets m_widgets;
    int m_lineTotal = 0;
    int m_currentIndex = 0;
    // "modi" mode with a stored question shown (m_currentIndex from 1): changes go into its line.
    bool m_writeThrough = false;
    std::vector<int> m_skipped;
    bool m_marksReplaced = false;
};

} // namespace vellum
