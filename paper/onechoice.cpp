// One question in memory: parsed from a plain question line, or filled by the editor and written as one.
#include "paper/onechoice.h"

#include "common/numbers.h"
#include "paper/linefields.h"
#include "paper/paperformat.h"

#include <stdexcept>
#include <string>

namespace {

void checkSlot(int i)
{
    if (i < 0 || i >= oneChoice::optionSlots)
        throw std::out_of_range("option index " + std::to_string(i) + " is outside 0 to 6");
}

constexpr int fieldsBeforeOptions = 5; // text, image id, answer, marks, kind

} // namespace

void oneChoice::init(const QString &line)
{
    m_oneLine = line;
    const paper::LineFields fields(m_oneLine); // field 0, the text, is taken when first asked for
    // An image id beyond 16 bits names no picture.
    m_img = numbers::leadingInt16(fields.readAt(1)).value_or(0);
    m_answer = paper::fieldString(fields.readAt(2));
    m_point = paper::fieldString(fields.readAt(3));
    m_type = paper::fieldString(fields.readAt(4));
    m_context.clear();
    for (QString &option : m_options)
        option.clear();
    m_textPending = true;
}

void oneChoice::takeText() const
{
    if (!m_textPending)
        return;
    m_textPending = false;
    const paper::LineFields fields(m_oneLine);
    m_context = paper::fieldString(fields.readAt(0));
    for (int i = 0; i < optionCount; ++i)
        m_options[i] = paper::fieldString(fields.readAt(fieldsBeforeOptions + i));
}

QString oneChoice::getContext() const
{
    takeText();
    return m_context;
}

void oneChoice::setContext(const QString &cntx)
{
    takeText();
    m_context = cntx;
}

QString oneChoice::getOption(int i) const
{
    checkSlot(i);
    takeText();
    return m_options[i];
}

void oneChoice::setOption(int i, const QString &v)
{
    checkSlot(i);
    takeText();
    m_options[i] = v;
}

void oneChoice::setOneLine(const QString &ln)
{
    takeText(); // the fields stay those of the line they were read from
    m_oneLine = ln;
}

QString oneChoice::getOptStr() const
{
    takeText();
    QString run;
    for (int i = 0; i < optionCount && !m_options[i].isEmpty(); ++i) {
        run += paper::fieldSeparator;
        run += m_options[i];
    }
    return paper::removeCrLf(run);
}

bool oneChoice::validateLine() const
{
    takeText();
    return !m_context.isEmpty() && (!m_answer.isEmpty() || m_type == paper::kindBlank)
        && !m_point.isEmpty() && !m_type.isEmpty() && !m_options[0].isEmpty();
}
