// The "^"-separated fields of a plain paper line, the header or a question, split in one place.
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVarLengthArray>

namespace paper {

// The fields of one plain line, as views into it: the line must outlive the fields.
class LineFields
{
public:
    explicit LineFields(QStringView plainLine);
    LineFields(QString &&) = delete; // the views would outlive a temporary line

    // A line without "^" is one field; an empty line is one empty field.
    qsizetype count() const { return m_ends.size(); }
    // Field i exactly as the line holds it; empty past the last.
    QStringView at(qsizetype i) const;
    // Field i as the test-taking program reads it: every field after the first without its
    // leading blanks, and the last of several without its trailing blanks too; empty past the last.
    QStringView readAt(qsizetype i) const;
    // Every field exactly as the line holds it.
    QStringList toList() const;

private:
    QStringView m_line;
    QVarLengthArray<qsizetype, 12> m_ends; // where each field ends: its separator or the line's end
};

// A field as a string of its own. One-character fields (kind codes, one-digit answers and
// marks) recur on every line of a paper and every answer sheet: each of those texts is made
// once and shared rather than allocated for every field.
QString fieldString(QStringView field);

} // namespace paper
