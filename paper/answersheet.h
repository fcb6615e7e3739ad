// The answer sheet a secure copy of a paper ends with: the candidate's answers, scored by the server.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

namespace paper {

// A secure copy's header carries in its first field a token of exactly this many digits: it
// names the candidate and the paper to the server that issued the copy.
inline constexpr int sheetTokenDigits = 18;

// The token written from a keyed hash: its first eight bytes read as an unsigned big-endian
// number, modulo 10^18, with leading zeros to sheetTokenDigits digits. Needs at least eight
// bytes.
QString tokenFromMac(QByteArrayView mac);

// True for exactly sheetTokenDigits ASCII digits.
bool isSheetToken(QStringView field);

// What a candidate hands in from a secure copy instead of a result text.
struct AnswerSheet {
    QString token;
    QString paper;       // the paper's file name, without folder
    qint64 seconds = 0;  // seconds used
    QStringList answers; // one per question, in the order of the copy; empty when left blank

    bool operator==(const AnswerSheet &) const = default;
};

// The plain sheet: "#sheet1:" token ":" seconds ":" number of answers ":" paper ":" the
// answers joined by "," and a last ":". In the paper's name and in each answer "%", ":", ","
// and control characters are written as "%" and two hexadecimal digits, so any text goes
// through and the fields split unambiguously; the last ":" tells a whole sheet from one cut
// short within its last answer. A result text never starts with "#".
QString formatAnswerSheet(const AnswerSheet &sheet);

// True when text starts with the sheet's mark, whether or not the rest reads.
bool isAnswerSheet(QStringView text);

// The sheet in text; nothing when the mark, the token, the seconds (a whole number from 0),
// the count or an escape is wrong, the count differs from the answers found, or the last ":"
// is missing.
std::optional<AnswerSheet> parseAnswerSheet(QStringView text);

// The escaping the sheet's fields use, for other records that carry answers the same way: "%",
// ":", "," and control characters as "%" and two hexadecimal digits; unescaping gives nothing
// for a broken escape or a character that should have been escaped.
QString escapeSheetText(QStringView text);
// The same, added at the end of out: a record of a hundred answers is made without a string each.
void appendEscapedSheetText(QString &out, QStringView text);
std::optional<QString> unescapeSheetText(QStringView text);

} // namespace paper
