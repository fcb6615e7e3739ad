// Number texts: reading a leading number, rounding half to even, and the label form of a number.
#include "common/numbers.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace numbers {

namespace {

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// The leading number of text; *stop is where it ends, 0 when the text begins with no number.
double readNumber(QStringView text, qsizetype *stop)
{
    *stop = 0;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\n'))
        ++i;

    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Most number texts (marks, image ids, limits) are a few digits and nothing more: read
    // them directly, exactly as the general reading below would.
    {
        qsizetype j = i;
        std::int64_t whole = 0;
        while (j < n && j - i < 15 && isDigit(text[j]))
            whole = whole * 10 + (text[j++].unicode() - u'0');
        const bool more = j < n && (isDigit(text[j]) || text[j] == u'.' || text[j] == u'e' || text[j] == u'E'
                                     || text[j] == u'd' || text[j] == u'D');
        if (j > i && !more) {
            *stop = j;
            return negative ? -double(whole) : double(whole);
        }
    }
    std::string digits = negative ? "-" : "";
    qsizetype intDigits = 0;  // digits before the point
    qsizetype firstSignificant = -1; // index among all mantissa digits, -1 while all are zero
    qsizetype mantissaDigits = 0;
    auto takeDigits = [&](bool beforePoint) {
        while (i < n && isDigit(text[i])) {
            if (firstSignificant < 0 && text[i] != u'0')
                firstSignificant = mantissaDigits;
            digits += char(text[i].unicode());
            ++mantissaDigits;
            if (beforePoint)
                ++intDigits;
            ++i;
        }
    };
    takeDigits(true);
    if (i < n && text[i] == u'.') {
        digits += '.';
        ++i;
        takeDigits(false);
    }
    if (mantissaDigits == 0)
        return 0.0;

    // The exponent counts only when at least one digit follows its letter and sign.
    long exponent = 0;
    if (i < n && (text[i] == u'e' || text[i] == u'E' || text[i] == u'd' || text[i] == u'D')) {
        qsizetype j = i + 1;
        bool negativeExponent = false;
        if (j < n && (text[j] == u'+' || text[j] == u'-')) {
            negativeExponent = text[j] == u'-';
            ++j;
        }
        if (j < n && isDigit(text[j])) {
            while (j < n && isDigit(text[j])) {
                exponent = std::min(exponent * 10 + (text[j].unicode() - u'0'), 1000000000L);
                ++j;
            }
            if (negativeExponent)
                exponent = -exponent;
            digits += 'e';
            digits += std::to_string(exponent);
            i = j;
        }
    }
    *stop = i;
    if (firstSignificant < 0)
        return negative ? -0.0 : 0.0;

    double value = 0.0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone here: the decimal order of the first
        // significant digit tells overflow from underflow.
        const long order = long(intDigits - firstSignificant) + exponent;
        if (order <= 0)
            return negative ? -0.0 : 0.0;
        return negative ? -std::numeric_limits<double>::infinity()
                        : std::numeric_limits<double>::infinity();
    }
    return value;
}

} // namespace

double leadingNumber(QStringView text)
{
    qsizetype end = 0;
    return readNumber(text, &end);
}

std::optional<double> wholeNumber(QStringView text)
{
    const QStringView t = text.trimmed();
    qsizetype end = 0;
    const double value = readNumber(t, &end);
    if (t.isEmpty() || end != t.size())
        return std::nullopt;
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
