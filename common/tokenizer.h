// Splitting one-line records: the field-by-field Tokenizer and the one-call ParseString.
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// Returns the fields of one line one call at a time. Every field after the first loses
// its leading blanks and the last one its trailing blanks too, because the rest of the
// line is trimmed after each separator; blanks before a separator stay in the field.
class Tokenizer
{
public:
    void init(const QString &st);
    void setSeparator(const QString &sp);

    // The next field; the empty text once the line is used up.
    QString nextToken();
    // The same field as a view into the text given to init, valid until the next init.
    QStringView nextView();

    // 1-based position of the separator the last nextToken found in the text it was
    // given, 0 when none was found.
    int lastPosition() const { return m_lastPosition; }

private:
    QString m_text;
    qsizetype m_begin = 0; // the remaining text is m_text[m_begin, m_end)
    qsizetype m_end = 0;
    QString m_separator = QStringLiteral(",");
    int m_lastPosition = 0;
};

// text without its leading and trailing blanks (spaces only; tabs stay).
QString trimBlanks(const QString &text);

// A record of three fields whose middle one may hold the separator: the text before the
// first separator, between the first and the last, and after the last.
struct OuterSplit {
    QString first;
    QString middle;
    std::optional<QString> last; // none when there is at most one separator
};
OuterSplit splitAtFirstAndLast(const QString &text, QChar separator);

// Splits at every Delim, exactly, keeping empty pieces and blanks. No list when either
// text is empty or Delim is not shorter than the text.
std::optional<QStringList> ParseString(const QString &StringToParse, const QString &Delim);
