// What the authoring program takes into a question's fields: texts without the separator, marks, picture numbers.
#pragma once

#include <QString>

#include <optional>

namespace paper {

// Texts that would split a stored line at its field separator.
bool holdsSeparator(const QString &text);

// How a typed marks text is taken.
enum class MarksText {
    Valid,      // a number above zero: the record's marks
    Incomplete, // empty or zero so far, as on the way to 0.5: no marks yet, no message yet
    Invalid,    // anything else: the author is told and the box becomes "2"
    TooHigh,    // a number that takes the paper's full marks past what the test-taking program counts
};
// Valid, Incomplete or Invalid: digits with at most one "." and a value above zero are marks.
MarksText classifyMarks(const QString &boxText);

// A picture number as typed: empty for 0, else a whole number from 0 to 32767; none otherwise.
std::optional<qint16> imageIdOf(const QString &text);

} // namespace paper
