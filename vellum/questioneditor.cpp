// The question editor's rules: composing, adding, stepping through, changing and deleting questions.
#include "vellum/questioneditor.h"

#include "common/errors.h"
#include "common/multilanguage.h"
#include "common/numbers.h"
#include "paper/linefields.h"
#include "paper/papercheck.h"
#include "paper/paperformat.h"
#include "paper/scoring.h"
#include "vellum/texts.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vellum {

namespace {

constexpr int questionFields = 5;

// A line break of any platform would end the stored line early, so none is kept.
QString oneLine(const QString &boxText)
{
    QString text = boxText.trimmed();
    text.remove(u'\n');
    text.remove(u'\r');
    return text;
}

QString digitOf(int index)
{
    return QString(QChar(u'1' + index));
}

// The answer of a multiple-answer question: the digits of the checked options in order.
QString digitsOf(const std::array<bool, oneChoice::optionCount> &checked)
{
    QString digits;
    for (int i = 0; i < oneChoice::optionCount; ++i) {
        if (checked[i])
            digits += digitOf(i);
    }
    return digits;
}

} // namespace

QuestionEditor::QuestionEditor(PaperSession &session, const CmultiLanguage &texts)
    : m_session(session), m_texts(texts)
{
}

void QuestionEditor::init()
{
    m_record = oneChoice();
    m_widgets = Widgets();
    m_lineTotal = m_session.paperLines().lineCount;
    m_currentIndex = 0;
    m_writeThrough = false;
    if (editing() && m_lineTotal > 1)
        settleOn(1, 1);
}

void QuestionEditor::chooseKind(int index)
{
    if (index < 0 || index >= kinds)
        return;
    m_widgets.kind = index;
    m_record.setType(QString::number(9 - index));
    if (index == 3 && !editing())
        offerTrueFalse();
    answerFromWidgets();
    store();
}

void QuestionEditor::answerFromWidgets()
{
    // The answer follows the widgets the kind shows, so what is written is what the author sees.
    switch (m_widgets.kind) {
    case 3:
        if (m_widgets.single > 1)
            m_widgets.single = -1;
        [[fallthrough]];
    case 0:
        m_record.setAnswer(m_widgets.single >= 0 ? digitOf(m_widgets.single) : QString());
        break;
    case 1:
        m_record.setAnswer(digitsOf(m_widgets.checked));
        break;
    default:
        break; // a fill-in keeps its expected words in the options
    }
}

void QuestionEditor::chooseSingle(int index)
{
    if (index < 0 || index >= options)
        return;
    m_widgets.single = index;
    m_record.setAnswer(digitOf(index));
    store();
}

void QuestionEditor::setChecked(int index, bool checked)
{
    if (index < 0 || index >= options)
        return;
    m_widgets.checked[index] = checked;
    m_record.setAnswer(digitsOf(m_widgets.checked));
    store();
}

bool QuestionEditor::setContext(const QString &boxText)
{
    if (holdsSeparator(boxText))
        return false;
    m_record.setContext(oneLine(boxText));
    store();
    return true;
}

bool QuestionEditor::setOption(int index, const QString &boxText)
{
    if (index < 0 || index >= options || holdsSeparator(boxText))
        return false;
    m_record.setOption(index, oneLine(boxText));
    store();
    return true;
}

bool QuestionEditor::setImageId(const QString &boxText)
{
    const auto id = paper::imageIdOf(boxText);
    if (!id)
        return false;
    m_record.setImg(*id);
    store();
    return true;
}

MarksText QuestionEditor::setMarks(const QString &boxText)
{
    const MarksText kind = classifyMarks(boxText);
    switch (kind) {
    case MarksText::Valid: {
        const QString before = m_record.getPoint();
        m_record.setPoint(boxText.trimmed());
        if (raisesFullMarksPastLimit()) {
            m_record.setPoint(before);
            return MarksText::TooHigh;
        }
        break;
    }
    case MarksText::Incomplete:
        m_record.setPoint(QString());
        break;
    case MarksText::Invalid:
        m_record.setPoint(defaultMarks);
        break;
    case MarksText::TooHigh:
        break;
    }
    store();
    return kind;
}

bool QuestionEditor::recordComplete() const
{
    return m_record.validateLine() && paper::questionProblems(m_record).isEmpty();
}

QStringList QuestionEditor::problems() const
{
    // The paper's question check decides; only the words are the author's language.
    using Kind = paper::QuestionFault::Kind;
    QStringList named;
    for (const paper::QuestionFault &f : paper::questionFaults(m_record)) {
        switch (f.kind) {
        case Kind::QuestionEmpty:
            named << m_texts.getRes(text::QuestionEmpty);
            break;
        case Kind::MarksMissing:
        case Kind::MarksNotNumber:
            named << m_texts.getRes(text::MarksMissing);
            break;
        case Kind::OptionAEmpty:
            named << m_texts.getRes(text::OptionAEmpty);
            break;
        case Kind::OptionBEmpty:
            named << m_texts.getRes(text::OptionBEmpty);
            break;
        case Kind::KindMissing:
            named << m_texts.getRes(text::NoKind);
            break;
        case Kind::KindUnknown:
            named << m_texts.getRes(text::UnknownKind).arg(f.value);
            break;
        case Kind::SingleAnswer:
        case Kind::MultipleAnswer:
        case Kind::TrueFalseAnswer:
            named << (f.value.isEmpty() ? m_texts.getRes(text::NoAnswer)
                                        : m_texts.getRes(text::AnswerDoesNotFit).arg(f.value));
            break;
        case Kind::AnswerOptionEmpty:
            named << m_texts.getRes(text::AnswerOptionEmpty).arg(f.value);
            break;
        }
    }
    return named;
}

bool QuestionEditor::raisesFullMarksPastLimit() const
{
    // Both sums in line order, as the test-taking program rounds after every question.
    paper::MarksTotal now;
    paper::MarksTotal with;
    for (int i = 1; i < m_lineTotal; ++i) {
        oneChoice stored;
        if (const auto plain = m_session.paperCipher().tryHexDecrypt(m_session.paperLines().getLineByIndex(i))) {
            stored.init(*plain);
            paper::addFullMarks(now, stored, stored.getPoint());
        }
        const oneChoice &counted = m_writeThrough && i == m_currentIndex ? m_record : stored;
        paper::addFullMarks(with, counted, counted.getPoint());
    }
    if (!editing())
        paper::addFullMarks(with, m_record, m_record.getPoint());
    constexpr qint64 limit = std::numeric_limits<qint16>::max();
    const auto after = with.value();
    if (after && *after <= limit)
        return false;
    // A paper that is past the limit already may still be changed as long as it does not grow.
    const auto before = now.value();
    if (!after)
        return before.has_value();
    return before && *after > *before;
}

QString QuestionEditor::storedLine() const
{
    return m_session.paperCipher().HexEncrypt(paper::buildQuestionLine(m_record));
}

void QuestionEditor::store()
{
    if (!m_writeThrough || !recordComplete() || raisesFullMarksPastLimit())
        return;
    m_session.paperLines().setLineByIndex(m_currentIndex, storedLine());
}

bool QuestionEditor::add()
{
    if (!recordComplete() || raisesFullMarksPastLimit() || m_lineTotal >= vbFile::maxLines)
        return false;
    try {
        m_session.paperLines().AddLineByIndex(m_lineTotal, storedLine());
    } catch (const SuiteError &) {
        return false;
    }
    ++m_lineTotal;
    clearEditor();
    // The kind carries over, so a true-or-false question gets its two options again.
    if (m_widgets.kind == 3)
        offerTrueFalse();
    return true;
}

void QuestionEditor::offerTrueFalse()
{
    m_record.setOption(0, QStringLiteral("True"));
    m_record.setOption(1, QStringLiteral("False"));
}

void QuestionEditor::clearEditor()
{
    m_record.setContext(QString());
    m_record.setImg(0);
    for (int i = 0; i < options; ++i)
        m_record.setOption(i, QString());
}

bool QuestionEditor::showQuestion(int index)
{
    const auto plain = m_session.paperCipher().tryHexDecrypt(m_session.paperLines().getLineByIndex(index));
    if (!plain)
        return false;
    const QStringList f = paper::LineFields(*plain).toList();
    if (f.size() < questionFields)
        return false;

    clearEditor();
    m_widgets.checked.fill(false);
    m_widgets.single = -1;
    m_record.setContext(f[0].trimmed());
    // Read as the test-taking program reads it, so an edit keeps the picture it shows.
    m_record.setImg(numbers::leadingInt16(f[1]).value_or(0));
    const QString answer = f[2];
    const QString kind = f[4].trimmed();
    auto singleFromAnswer = [&]() {
        if (answer.size() == 1 && answer[0] >= u'1' && answer[0] <= u'6')
            m_widgets.single = answer[0].unicode() - u'1';
    };
    if (kind == paper::kindSingle) {
        m_widgets.kind = 0;
        singleFromAnswer();
    } else if (kind == paper::kindMultiple) {
        m_widgets.kind = 1;
        for (QChar d : answer) {
            if (d >= u'1' && d <= u'6')
                m_widgets.checked[d.unicode() - u'1'] = true;
        }
    } else if (kind == paper::kindBlank) {
        m_widgets.kind = 2;
    } else if (kind == paper::kindTrueFalse) {
        m_widgets.kind = 3;
        singleFromAnswer();
    }
    m_record.setType(kind);
    m_record.setAnswer(answer);
    // Stored marks pass the marks check as if typed into the box, except that any number form
    // is kept; others become the default, so the question can be stored again after a change.
    const auto marks = numbers::wholeNumber(f[3]);
    m_marksReplaced = !marks || !std::isfinite(*marks) || !(*marks > 0);
    m_record.setPoint(m_marksReplaced ? defaultMarks : f[3].trimmed());
    for (int i = 0; i < options && questionFields + i < f.size(); ++i)
        m_record.setOption(i, f[questionFields + i].trimmed());
    return true;
}

void QuestionEditor::settleOn(int index, int direction)
{
    m_writeThrough = false;
    auto tryFrom = [this](int start, int dir) {
        for (int i = start; i >= 1 && i < m_lineTotal; i += dir) {
            if (showQuestion(i)) {
                m_currentIndex = i;
                m_writeThrough = true;
                return true;
            }
            if (std::find(m_skipped.begin(), m_skipped.end(), i) == m_skipped.end())
                m_skipped.push_back(i);
        }
        return false;
    };
    if (tryFrom(index, direction) || tryFrom(index - direction, -direction))
        return;
    // Nothing here can be shown: the editor stays empty and stores nothing.
    clearEditor();
    m_currentIndex = std::clamp(index, 0, std::max(0, m_lineTotal - 1));
}

bool QuestionEditor::step(int direction)
{
    if (!editing())
        return false;
    int target = 0;
    if (direction > 0 && m_currentIndex < m_lineTotal - 1)
        target = m_currentIndex + 1;
    else if (direction < 0 && m_currentIndex >= 2)
        target = m_currentIndex - 1;
    else
        return false;
    settleOn(target, direction > 0 ? 1 : -1);
    return true;
}

void QuestionEditor::deleteCurrent()
{
    if (!editing() || m_currentIndex < 1)
        return;
    vbFile &lines = m_session.paperLines();
    if (m_currentIndex < m_lineTotal - 1) {
        lines.DelLineByIndex(m_currentIndex);
        --m_lineTotal;
        settleOn(m_currentIndex, 1);
    } else if (m_lineTotal <= 2) {
        lines.DelLastLine();
        clearEditor();
        m_lineTotal = 1;
        m_currentIndex = 0;
        m_writeThrough = false;
    } else {
        lines.DelLineByIndex(m_currentIndex);
        --m_lineTotal;
        --m_currentIndex;
        settleOn(m_currentIndex, -1);
    }
}

QString QuestionEditor::counterText() const
{
    const int questions = std::max(0, m_lineTotal - 1);
    if (editing()) {
        return m_texts.getRes(text::Position) + u':' + QString::number(m_currentIndex) + u'/'
            + QString::number(questions);
    }
    return m_texts.getRes(text::CountBefore) + QString::number(questions) + m_texts.getRes(text::CountAfter);
}

} // namespace vellum
