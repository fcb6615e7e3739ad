// The login client's side of the wire messages, and the checks on what settings and server hand it.
#pragma once

#include "wiretags.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace entrant {

inline constexpr int idWidth = 12;

// The ID as it travels: the typed text without the blanks around it, cut to its first 12
// characters or padded with blanks to 12. A character that needs two UTF-16 units is never
// cut in half; a blank takes the place of its first half.
QString formLoginId(const QString &typed);

// A port setting: decimal digits, blanks around them allowed, at most 65535.
std::optional<quint16> portSetting(const QString &value);

struct Announcement {
    QString name;      // the paper's file name, without folder
    qint64 length = 0; // its length in bytes
};

// The payload of "fINF": name, ",", length. Refused: no "," or more than one; a length that
// is not decimal digits, is 0 or does not fit 32 bits; a name that would leave the program
// folder ("", ".", "..", or holding "/" or "\") or would replace one of the client's own files.
std::optional<Announcement> parseAnnouncement(const QString &payload);

QByteArray loginMessage(const QString &loginId, quint16 filePort);
QByteArray reportMessage(const QString &loginId, const QString &resultText);
QByteArray overMessage(const QString &paperName);

} // namespace entrant
