// What the authoring program takes into a question's fields: texts without the separator, marks, picture numbers.
#include "paper/fieldrules.h"

#include "paper/paperformat.h"

#include <QRegularExpression>

#include <limits>

namespace paper {

bool holdsSeparator(const QString &text)
{
    return text.contains(fieldSeparator);
}

MarksText classifyMarks(const QString &boxText)
{
    const QString t = boxText.trimmed();
    static const QRegularExpression number(QStringLiteral("^([0-9]*\\.?[0-9]*)$"));
    if (!number.match(t).hasMatch())
        return MarksText::Invalid;
    bool ok = false;
    const double value = t.toDouble(&ok);
    if (ok && value > 0)
        return MarksText::Valid;
    // "", ".", "0", "0." and "0.0" are where 0.5 begins.
    return MarksText::Incomplete;
}

std::optional<qint16> imageIdOf(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return qint16(0);
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    if (!digits.match(t).hasMatch())
        return std::nullopt;
    const int value = t.toInt();
    if (value > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return qint16(value);
}

} // namespace paper
