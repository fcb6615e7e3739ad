// The "^"-separated fields of a plain paper line, the header or a question, split in one place.
#include "paper/linefields.h"

#include "paper/paperformat.h"

#include <algorithm>
#include <array>

namespace paper {

LineFields::LineFields(QStringView plainLine) : m_line(plainLine)
{
    const char16_t *begin = m_line.utf16();
    const char16_t *end = begin + m_line.size();
    // Fields are short: a plain scan beats setting up the general search for each one.
    for (const char16_t *at = begin;; ++at) {
        at = std::find(at, end, fieldSeparator.unicode());
        m_ends.append(at - begin);
        if (at == end)
            break;
    }
}

QStringView LineFields::at(qsizetype i) const
{
    if (i < 0 || i >= count())
        return {};
    const qsizetype from = i == 0 ? 0 : m_ends[i - 1] + 1;
    return m_line.sliced(from, m_ends[i] - from);
}

QStringView LineFields::readAt(qsizetype i) const
{
    QStringView field = at(i);
    if (i < 1)
        return field;
    while (!field.isEmpty() && field.front() == u' ')
        field = field.sliced(1);
    if (i == count() - 1) {
        while (!field.isEmpty() && field.back() == u' ')
            field.chop(1);
    }
    return field;
}

QStringList LineFields::toList() const
{
    QStringList fields;
    fields.reserve(count());
    for (qsizetype i = 0; i < count(); ++i)
        fields.append(at(i).toString());
    return fields;
}

QString fieldString(QStringView field)
{
    static const std::array<QString, 128> ascii = [] {
        std::array<QString, 128> texts;
        for (char16_t c = 0; c < 128; ++c)
            texts[c] = QString(QChar(c));
        return texts;
    }();
    if (field.size() == 1 && field[0].unicode() < ascii.size())
        return ascii[field[0].unicode()];
    return field.toString();
}

} // namespace paper
