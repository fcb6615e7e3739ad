// The server's parsers: candidate messages and browser requests, pure functions over bytes.
#pragma once

#include "wiretags.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace centrum {

// More than this on a connection without a whole message means a client to close.
inline constexpr qsizetype maxMessageBytes = 64 * 1024;

enum class ParseStatus { Ok, Incomplete, Bad };

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

// One message from the front of what a connection has received. A message has no
// frame, so everything received counts as one, except that a request for the file is
// exactly its tag, and a login or report still too short, or a report whose enciphered
// text is not yet whole (four digits a character), waits for more.
ParsedMessage parseMessage(QByteArrayView bytes);

// The announcement payload of a paper: name, ",", length.
QString announcement(const QString &nameNoPath, qint64 length);

// What a browser asked for.
struct HttpRequest {
    enum class Kind { Incomplete, NotGet, Get };
    Kind kind = Kind::Incomplete;
    QString path; // as it came, trailing "/" dropped, "index.html" for the root
};

inline constexpr qsizetype maxRequestLineBytes = 8192;

HttpRequest parseHttpRequest(QByteArrayView bytes);

// Where a requested path leads inside the program folder.
struct HttpTarget {
    enum class Kind { File, Refused, Missing };
    Kind kind = Kind::Missing;
    QString filePath;
};

// Refuses what would leave the folder ("..", absolute paths, backslashes, in plain or
// percent-encoded form, links pointing out) and the server's own records (".rpt", ".log",
// ".ini", and ".csv" exports of reports, by the name asked for and by the file a link leads
// to); a folder or a missing file is Missing.
HttpTarget resolveHttpPath(const QString &folder, const QString &requestPath);

QString contentTypeFor(const QString &fileName);
QByteArray httpHead(int status, qint64 length, const QString &contentType);

} // namespace centrum
