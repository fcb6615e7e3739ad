// The messages between the candidate client and the exam server, both sides: how each is written and read.
#include "wire/wiremessages.h"

#include "common/tokenizer.h"
#include "wire/wiretags.h"

#include <QStringList>

#include <limits>

namespace wire {

namespace {

// Decimal digits only, and not more of them than a limit needs.
std::optional<qint64> digitsValue(const QString &text, qint64 limit)
{
    if (text.isEmpty() || text.size() > 10)
        return std::nullopt;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    const qint64 v = text.toLongLong();
    if (v > limit)
        return std::nullopt;
    return v;
}

// True when the bytes end inside a UTF-8 sequence that more bytes would complete.
bool endsMidCharacter(QByteArrayView b)
{
    for (qsizetype back = 1; back <= 4 && back <= b.size(); ++back) {
        const auto c = uchar(b[b.size() - back]);
        if ((c & 0xC0) == 0x80)
            continue; // a continuation byte: look further back for its lead
        int need = 1;
        if ((c & 0xE0) == 0xC0)
            need = 2;
        else if ((c & 0xF0) == 0xE0)
            need = 3;
        else if ((c & 0xF8) == 0xF0)
            need = 4;
        return need > back;
    }
    return false;
}

} // namespace

QString formLoginId(const QString &typed)
{
    QString id = trimBlanks(typed).left(idWidth);
    if (id.size() == idWidth && id.back().isHighSurrogate())
        id.chop(1);
    return id.leftJustified(idWidth, u' ');
}

QByteArray loginMessage(const QString &loginId, quint16 filePort)
{
    return tagLogin + loginId.toUtf8() + QByteArray::number(filePort);
}

QByteArray reportMessage(const QString &loginId, const QString &resultText)
{
    return tagReport + loginId.toUtf8() + resultText.toUtf8();
}

QByteArray overMessage(const QString &paperName)
{
    return tagOver + paperName.toUtf8();
}

QString ParsedMessage::id() const
{
    return trimBlanks(text.mid(4, idWidth));
}

ParsedMessage parseMessage(QByteArrayView bytes, Arrival arrival, qsizetype limit)
{
    ParsedMessage m;
    if (bytes.size() > limit) {
        m.status = ParseStatus::Bad;
        return m;
    }
    if (bytes.size() < 4)
        return m;
    if (bytes.first(4) == QByteArrayView(tagRequestFile)) {
        m.status = ParseStatus::Ok;
        m.consumed = 4;
        m.text = QString::fromLatin1(tagRequestFile);
        return m;
    }
    const bool endedReport = arrival == Arrival::Ended && bytes.first(4) == QByteArrayView(tagReport);
    if (endsMidCharacter(bytes) && !endedReport)
        return m;
    const QString text = QString::fromUtf8(bytes);
    const QString tag = text.left(4);
    if (tag == tagLogin && text.size() < 17)
        return m;
    if (tag == tagReport && !endedReport && (text.size() < 17 || (text.size() - 16) % 4 != 0))
        return m;
    if (tag == tagOver && text.size() < 5)
        return m;
    m.status = ParseStatus::Ok;
    m.consumed = bytes.size();
    m.text = text;
    return m;
}

QString announcement(const QString &nameNoPath, qint64 length)
{
    return nameNoPath + u',' + QString::number(length);
}

std::optional<Announcement> parseAnnouncement(const QString &payload)
{
    const auto parts = ParseString(payload, QStringLiteral(","));
    if (!parts || parts->size() != 2)
        return std::nullopt;
    const QString &name = parts->at(0);
    // What the server names is written into the program folder, so it must stay there and
    // leave the client's own files alone.
    static const QStringList ownFiles = { QStringLiteral("setting.ini"), QStringLiteral("entrant"),
                                          QStringLiteral("examdesk") };
    if (name.isEmpty() || name == u"." || name == u".." || name.contains(u'/') || name.contains(u'\\')
        || ownFiles.contains(name))
        return std::nullopt;
    const auto length = digitsValue(parts->at(1), std::numeric_limits<qint32>::max());
    if (!length || *length == 0)
        return std::nullopt;
    return Announcement { name, *length };
}

std::optional<quint16> portSetting(const QString &value)
{
    const auto v = digitsValue(trimBlanks(value), 65535);
    if (!v)
        return std::nullopt;
    return quint16(*v);
}

} // namespace wire
