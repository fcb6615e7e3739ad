// The download service's parsing: browser requests and where their paths lead, pure functions over bytes.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace centrum {

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
// percent-encoded form, links pointing out) and the server's own records (".rpt", ".ans", ".log",
// ".ini", ".csv" exports of reports, and its secret server.key, by the name asked for and by
// the file a link leads to); a folder or a missing file is Missing.
HttpTarget resolveHttpPath(const QString &folder, const QString &requestPath);

QString contentTypeFor(const QString &fileName);
QByteArray httpHead(int status, qint64 length, const QString &contentType);

} // namespace centrum
