// Number texts: reading a leading number, rounding half to even, and the label form of a number.
#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace numbers {

// The decimal number spelled by the leading characters of text: blanks, tabs and line
// feeds are skipped, then an optional sign, digits, one "." whatever the locale, and an
// optional exponent. Reading stops at the first other character; no number gives 0.
// A number too large for a double gives an infinity of its sign.
double leadingNumber(QStringView text);

// The value of text when, blanks around it aside, it is one number as leadingNumber reads
// it and nothing else ("1e3", "+2", ".5"); none for "2分", "2e", "." or an empty text.
std::optional<double> wholeNumber(QStringView text);

// Rounds to the nearest integer, ties to the even one (0.5 -> 0, 1.5 -> 2, 2.5 -> 2).
// Empty when the value is not finite or lies beyond what a double holds exactly (2^53).
std::optional<qint64> roundHalfEven(double value);

// The whole number that text's leading number rounds to, when it fits 16 bits.
std::optional<qint16> leadingInt16(QStringView text);

// The label form: a leading blank for zero and positive numbers, "-" for negative ones.
QString labelText(double value);

// The data-field form: the same digits without the leading blank.
QString fieldText(double value);

} // namespace numbers
