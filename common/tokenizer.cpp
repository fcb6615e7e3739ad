// Splitting one-line records: the field-by-field Tokenizer and the one-call ParseString.
#include "common/tokenizer.h"

#include <algorithm>

void Tokenizer::init(const QString &st)
{
    m_text = st;
    m_begin = 0;
    m_end = st.size();
}

void Tokenizer::setSeparator(const QString &sp)
{
    m_separator = sp;
}

QString Tokenizer::nextToken()
{
    return nextView().toString();
}

QStringView Tokenizer::nextView()
{
    // Read through a view: indexing the text itself would copy the caller's shared line.
    const QStringView text(m_text);
    const QStringView rest = text.mid(m_begin, m_end - m_begin);
    qsizetype p = -1;
    if (m_separator.size() == 1) {
        // Fields are short: a plain scan beats setting up the general search for each one.
        const char16_t separator = m_separator.at(0).unicode();
        const char16_t *begin = rest.utf16();
        const char16_t *found = std::find(begin, begin + rest.size(), separator);
        p = found == begin + rest.size() ? -1 : found - begin;
    } else if (!m_separator.isEmpty()) {
        p = rest.indexOf(m_separator);
    }
    if (p < 0) {
        m_lastPosition = 0;
        m_begin = m_end;
        return rest;
    }
    m_lastPosition = int(p + 1);
    // Only the separator's first character goes; the system only uses one-character ones.
    m_begin += p + 1;
    while (m_begin < m_end && text[m_begin] == u' ')
        ++m_begin;
    while (m_end > m_begin && text[m_end - 1] == u' ')
        --m_end;
    return rest.left(p);
}

std::optional<QStringList> ParseString(const QString &StringToParse, const QString &Delim)
{
    if (StringToParse.isEmpty() || Delim.isEmpty() || Delim.size() >= StringToParse.size())
        return std::nullopt;
    return StringToParse.split(Delim, Qt::KeepEmptyParts, Qt::CaseSensitive);
}

QString trimBlanks(const QString &text)
{
    qsizetype b = 0;
    qsizetype e = text.size();
    while (b < e && text[b] == u' ')
        ++b;
    while (e > b && text[e - 1] == u' ')
        --e;
    return text.mid(b, e - b);
}

OuterSplit splitAtFirstAndLast(const QString &text, QChar separator)
{
    const qsizetype a = text.indexOf(separator);
    if (a < 0)
        return { text, {}, std::nullopt };
    const qsizetype b = text.lastIndexOf(separator);
    if (a == b)
        return { text.left(a), text.mid(a + 1), std::nullopt };
    return { text.left(a), text.mid(a + 1, b - a - 1), text.mid(b + 1) };
}
