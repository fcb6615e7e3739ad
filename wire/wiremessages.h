// The messages between the candidate client and the exam server, both sides: how each is written and read.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace wire {

// The ID field of "infd" and "rprt" is this many characters.
inline constexpr int idWidth = 12;

// The ID as it travels: the typed text without the blanks around it, cut to its first 12
// characters or padded with blanks to 12. A character that needs two UTF-16 units is never
// cut in half; a blank takes the place of its first half.
QString formLoginId(const QString &typed);

// What the candidate sends: tag, the ID as formed above, then the file port, the result text
// or (for "over") the name of the paper received.
QByteArray loginMessage(const QString &loginId, quint16 filePort);
QByteArray reportMessage(const QString &loginId, const QString &resultText);
QByteArray overMessage(const QString &paperName);

// More than this on a connection without a whole message means a client to close.
inline constexpr qsizetype plainMessageBytes = 64 * 1024;
// The same for a report in secure mode: the answer sheet of a long paper with long written
// answers must fit. The most any message may be.
inline constexpr qsizetype maxMessageBytes = 512 * 1024;

enum class ParseStatus { Ok, Incomplete, Bad };

// A candidate's message as the server reads it.
struct ParsedMessage {
    ParseStatus status = ParseStatus::Incomplete;
    qsizetype consumed = 0;
    QString text; // the whole message, tag included
    QString tag() const { return text.left(4); }
    // The candidate's ID: characters 5 to 16, blanks around it removed.
    QString id() const;
    // Characters 17 to the end: the file port of a login, the result of a report.
    QString afterId() const { return text.mid(16); }
    // Characters 5 to the end: the file name of "over".
    QString afterTag() const { return text.mid(4); }
};

// Whether more of what a connection has received may still come: a connection that has been
// quiet for a while, or that its peer has closed, has sent all it is going to.
enum class Arrival { MayContinue, Ended };

// One message from the front of what a connection has received. A message has no
// frame, so everything received counts as one, except that a request for the file is
// exactly its tag, and a login or report still too short, or a report whose enciphered
// text is not yet whole (four digits a character), waits for more. Once the arrival has
// ended, a report is taken as it stands, whatever its shape: a result is stored as received.
ParsedMessage parseMessage(QByteArrayView bytes, Arrival arrival = Arrival::MayContinue,
                           qsizetype limit = plainMessageBytes);

// The payload of "fINF" that the server sends: the paper's name without folder, ",", its length.
QString announcement(const QString &nameNoPath, qint64 length);

struct Announcement {
    QString name;      // the paper's file name, without folder
    qint64 length = 0; // its length in bytes
};

// The payload of "fINF" as the candidate reads it. Refused: no "," or more than one; a length
// that is not decimal digits, is 0 or does not fit 32 bits; a name that would leave the program
// folder ("", ".", "..", or holding "/" or "\") or would replace one of the client's own files.
std::optional<Announcement> parseAnnouncement(const QString &payload);

// A port setting, the server's and the client's alike: decimal digits, blanks around them
// allowed, at most 65535.
std::optional<quint16> portSetting(const QString &value);

} // namespace wire
