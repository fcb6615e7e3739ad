// The answer sheet a secure copy of a paper ends with: the candidate's answers, scored by the server.
#include "paper/answersheet.h"

#include "paper/linefields.h"

#include <QtEndian>

namespace paper {

namespace {

constexpr QStringView sheetMark = u"#sheet1:";

bool needsEscape(QChar c)
{
    return c == u'%' || c == u':' || c == u',' || c.unicode() < 0x20 || c.unicode() == 0x7f;
}

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

// The text an escaped field stands for; nothing for a "%" not followed by two hexadecimal
// digits, or for a character that should have been escaped.
std::optional<QString> unescaped(QStringView field)
{
    // Nearly every field holds no escape: checked, then taken whole.
    qsizetype first = 0;
    while (first < field.size() && !needsEscape(field[first]))
        ++first;
    if (first == field.size())
        return fieldString(field);
    QString out;
    out.reserve(field.size());
    out.append(field.first(first));
    for (qsizetype i = first; i < field.size(); ++i) {
        const QChar c = field[i];
        if (c != u'%') {
            if (needsEscape(c))
                return std::nullopt;
            out += c;
            continue;
        }
        if (i + 2 >= field.size())
            return std::nullopt;
        const int high = hexValue(field[i + 1]);
        const int low = hexValue(field[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out += QChar(char16_t(high * 16 + low));
        i += 2;
    }
    return out;
}

std::optional<qint64> wholeNumber(QStringView field)
{
    if (field.isEmpty() || field.size() > 18)
        return std::nullopt;
    qint64 value = 0;
    for (QChar c : field) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

} // namespace

QString tokenFromMac(QByteArrayView mac)
{
    Q_ASSERT(mac.size() >= 8);
    const quint64 number = qFromBigEndian<quint64>(mac.data()) % 1'000'000'000'000'000'000ULL;
    return QStringLiteral("%1").arg(number, sheetTokenDigits, 10, QLatin1Char('0'));
}

bool isSheetToken(QStringView field)
{
    if (field.size() != sheetTokenDigits)
        return false;
    for (QChar c : field) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

QString formatAnswerSheet(const AnswerSheet &sheet)
{
    QString out = sheetMark.toString();
    out += sheet.token + u':' + QString::number(sheet.seconds) + u':' + QString::number(sheet.answers.size()) + u':';
    appendEscapedSheetText(out, sheet.paper);
    out += u':';
    for (qsizetype i = 0; i < sheet.answers.size(); ++i) {
        if (i > 0)
            out += u',';
        appendEscapedSheetText(out, sheet.answers[i]);
    }
    out += u':';
    return out;
}

bool isAnswerSheet(QStringView text)
{
    return text.startsWith(sheetMark);
}

std::optional<AnswerSheet> parseAnswerSheet(QStringView text)
{
    if (!isAnswerSheet(text))
        return std::nullopt;
    text = text.sliced(sheetMark.size());
    // token, seconds, count, paper, answers: the escapes leave exactly four ":" and the last.
    if (!text.endsWith(u':'))
        return std::nullopt;
    text.chop(1);
    QStringView fields[5];
    for (int i = 0; i < 4; ++i) {
        const qsizetype colon = text.indexOf(u':');
        if (colon < 0)
            return std::nullopt;
        fields[i] = text.first(colon);
        text = text.sliced(colon + 1);
    }
    fields[4] = text;

    AnswerSheet sheet;
    if (!isSheetToken(fields[0]))
        return std::nullopt;
    sheet.token = fields[0].toString();
    const std::optional<qint64> seconds = wholeNumber(fields[1]);
    const std::optional<qint64> count = wholeNumber(fields[2]);
    std::optional<QString> paperName = unescaped(fields[3]);
    if (!seconds || !count || !paperName)
        return std::nullopt;
    sheet.seconds = *seconds;
    sheet.paper = std::move(*paperName);
    if (*count == 0)
        return fields[4].isEmpty() ? std::optional(sheet) : std::nullopt;
    if (*count > fields[4].size() + 1)
        return std::nullopt;
    sheet.answers.reserve(*count);
    QStringView rest = fields[4];
    for (;;) {
        const qsizetype comma = rest.indexOf(u',');
        std::optional<QString> answer = unescaped(comma < 0 ? rest : rest.first(comma));
        if (!answer)
            return std::nullopt;
        sheet.answers.append(std::move(*answer));
        if (comma < 0)
            break;
        rest = rest.sliced(comma + 1);
    }
    if (sheet.answers.size() != *count)
        return std::nullopt;
    return sheet;
}

QString escapeSheetText(QStringView text)
{
    QString out;
    appendEscapedSheetText(out, text);
    return out;
}

void appendEscapedSheetText(QString &out, QStringView text)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    // Runs that need no escape, nearly every answer whole, go in at once.
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!needsEscape(c))
            continue;
        out.append(text.sliced(from, i - from));
        const char16_t escape[3] = { u'%', char16_t(hex[c.unicode() >> 4]), char16_t(hex[c.unicode() & 0xf]) };
        out.append(QStringView(escape, 3));
        from = i + 1;
    }
    out.append(text.sliced(from));
}

std::optional<QString> unescapeSheetText(QStringView text)
{
    return unescaped(text);
}

} // namespace paper
