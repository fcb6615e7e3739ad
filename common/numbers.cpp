// Number texts: reading a leading number, rounding half to even, and the label form of a number.
#include "numbers.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace numbers {

namespace {

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

} // namespace

double leadingNumber(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\n' || text[i] == u'\r'))
        ++i;

    std::string digits;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-')
            digits += '-';
        ++i;
    }
    bool any = false;
    while (i < n && isDigit(text[i])) {
        digits += char(text[i].unicode());
        ++i;
        any = true;
    }
    if (i < n && text[i] == u'.') {
        digits += '.';
        ++i;
        while (i < n && isDigit(text[i])) {
            digits += char(text[i].unicode());
            ++i;
            any = true;
        }
    }
    if (!any)
        return 0.0;

    // The exponent counts only when at least one digit follows its letter and sign.
    if (i < n && (text[i] == u'e' || text[i] == u'E' || text[i] == u'd' || text[i] == u'D')) {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (j < n && (text[j] == u'+' || text[j] == u'-')) {
            exponent += char(text[j].unicode());
            ++j;
        }
        if (j < n && isDigit(text[j])) {
            while (j < n && isDigit(text[j])) {
                exponent += char(text[j].unicode());
                ++j;
            }
            digits += exponent;
        }
    }

    double value = 0.0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone here: decide between overflow and underflow.
        const bool negative = digits.front() == '-';
        const auto ePos = digits.find('e');
        const bool tinyExponent = ePos != std::string::npos && digits[ePos + 1] == '-';
        if (tinyExponent)
            return negative ? -0.0 : 0.0;
        return negative ? -std::numeric_limits<double>::infinity()
                        : std::numeric_limits<double>::infinity();
    }
    return value;
}

std::optional<qint64> roundHalfEven(double value)
{
    constexpr double exactLimit = 9007199254740992.0; // 2^53
    if (!std::isfinite(value) || std::fabs(value) > exactLimit)
        return std::nullopt;
    // nearbyint rounds in the current mode, which is to nearest with ties to even.
    return static_cast<qint64>(std::nearbyint(value));
}

std::optional<qint16> leadingInt16(QStringView text)
{
    const auto rounded = roundHalfEven(leadingNumber(text));
    if (!rounded || *rounded < std::numeric_limits<qint16>::min()
        || *rounded > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return static_cast<qint16>(*rounded);
}

QString fieldText(double value)
{
    if (value == 0.0)
        return QStringLiteral("0"); // also for -0
    QString text = QString::number(value, 'g', 15);
    const qsizetype e = text.indexOf(u'e');
    if (e >= 0)
        text[e] = u'E'; // 1E+16, as the exponent is written in labels
    return text;
}

QString labelText(double value)
{
    const QString text = fieldText(value);
    return text.startsWith(u'-') ? text : u' ' + text;
}

} // namespace numbers
