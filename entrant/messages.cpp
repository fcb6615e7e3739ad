// The login client's side of the wire messages, and the checks on what settings and server hand it.
#include "messages.h"

#include "tokenizer.h"

#include <limits>

namespace entrant {

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

} // namespace

QString formLoginId(const QString &typed)
{
    QString id = trimBlanks(typed).left(idWidth);
    if (id.size() == idWidth && id.back().isHighSurrogate())
        id.chop(1);
    return id.leftJustified(idWidth, u' ');
}

std::optional<quint16> portSetting(const QString &value)
{
    const auto v = digitsValue(trimBlanks(value), 65535);
    if (!v)
        return std::nullopt;
    return quint16(*v);
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

QByteArray loginMessage(const QString &loginId, quint16 filePort)
{
    return wire::tagLogin + loginId.toUtf8() + QByteArray::number(filePort);
}

QByteArray reportMessage(const QString &loginId, const QString &resultText)
{
    return wire::tagReport + loginId.toUtf8() + resultText.toUtf8();
}

QByteArray overMessage(const QString &paperName)
{
    return wire::tagOver + paperName.toUtf8();
}

} // namespace entrant
