// The download service's parsing: browser requests and where their paths lead, pure functions over bytes.
#include "centrum/protocol.h"

#include "centrum/serversecret.h"
#include "common/tokenizer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace centrum {

HttpRequest parseHttpRequest(QByteArrayView bytes)
{
    HttpRequest r;
    if (bytes.size() < 3)
        return r;
    if (bytes.first(3) != QByteArrayView("GET")) {
        r.kind = HttpRequest::Kind::NotGet;
        return r;
    }
    const qsizetype lineEnd = bytes.indexOf('\n');
    if (lineEnd < 0) {
        if (bytes.size() > maxRequestLineBytes)
            r.kind = HttpRequest::Kind::NotGet;
        return r;
    }
    QString line = QString::fromUtf8(bytes.first(lineEnd));
    if (line.endsWith(u'\r'))
        line.chop(1);
    const qsizetype p = line.indexOf(QStringLiteral("GET "));
    if (p < 0) {
        r.kind = HttpRequest::Kind::NotGet;
        return r;
    }
    const qsizetype from = p + 5; // just after "GET /"
    qsizetype to = line.indexOf(u' ', from);
    if (to < 0)
        to = line.size();
    QString path = from < line.size() ? trimBlanks(line.mid(from, to - from)) : QString();
    if (path.endsWith(u'/'))
        path.chop(1);
    if (path.isEmpty() || path == u"/")
        path = QStringLiteral("index.html");
    r.kind = HttpRequest::Kind::Get;
    r.path = path;
    return r;
}

namespace {

enum class Walk { PlainFile, Link, Missing };

// The server's own records, settings and secret, which are never served.
bool isRecordName(const QString &name)
{
    const QString last = name.mid(name.lastIndexOf(u'/') + 1);
    if (last.compare(ServerSecret::fileName, Qt::CaseInsensitive) == 0)
        return true;
    for (const char *suffix : { ".rpt", ".ans", ".log", ".ini", ".csv" }) {
        if (name.endsWith(QLatin1StringView(suffix), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// Follows path down from folder one name at a time without following links: a regular file
// reached through folders alone is inside the folder, whatever the folder's own path is.
Walk walkDown(const QString &folder, const QString &path)
{
    // A name followed by a slash is a folder's: a file named so cannot be opened, nor be judged
    // by a suffix that the slash hides.
    if (path.endsWith(u'/'))
        return Walk::Missing;
    QByteArray at = QFile::encodeName(folder);
    const QStringList names = path.split(u'/', Qt::SkipEmptyParts);
    struct stat st {};
    for (qsizetype k = 0; k < names.size(); ++k) {
        at += '/';
        at += QFile::encodeName(names[k]);
        if (::lstat(at.constData(), &st) != 0)
            return Walk::Missing;
        if (S_ISLNK(st.st_mode))
            return Walk::Link;
        if (k + 1 < names.size() && !S_ISDIR(st.st_mode))
            return Walk::Missing;
    }
    return !names.isEmpty() && S_ISREG(st.st_mode) ? Walk::PlainFile : Walk::Missing;
}

} // namespace

HttpTarget resolveHttpPath(const QString &folder, const QString &requestPath)
{
    HttpTarget t;
    const QString path = QString::fromUtf8(QByteArray::fromPercentEncoding(requestPath.toUtf8()));
    const auto refused = [&t] {
        t.kind = HttpTarget::Kind::Refused;
        return t;
    };
    if (path.contains(u'\\') || path.contains(QChar(0)) || path.startsWith(u'/')
        || (path.size() >= 2 && path[1] == u':'))
        return refused();
    for (const QString &part : path.split(u'/')) {
        if (part == u"..")
            return refused();
    }
    if (isRecordName(path))
        return refused();
    const QFileInfo info(QDir(folder).filePath(path));
    switch (walkDown(folder, path)) {
    case Walk::PlainFile:
        t.kind = HttpTarget::Kind::File;
        t.filePath = info.absoluteFilePath();
        return t;
    case Walk::Missing:
        return t;
    case Walk::Link:
        break;
    }
    // A link on the way may lead anywhere: where it ends up must still be inside the folder.
    if (!info.exists() || !info.isFile())
        return t;
    const QString root = QFileInfo(folder).canonicalFilePath() + u'/';
    // The file actually opened is judged, not only the name asked for.
    const QString target = info.canonicalFilePath();
    if (!target.startsWith(root) || isRecordName(target))
        return refused();
    t.kind = HttpTarget::Kind::File;
    t.filePath = info.absoluteFilePath();
    return t;
}

QString contentTypeFor(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == u"html" || suffix == u"htm")
        return QStringLiteral("text/html; charset=utf-8");
    if (suffix == u"txt")
        return QStringLiteral("text/plain; charset=utf-8");
    if (suffix == u"css")
        return QStringLiteral("text/css");
    if (suffix == u"js")
        return QStringLiteral("text/javascript");
    if (suffix == u"png")
        return QStringLiteral("image/png");
    if (suffix == u"jpg" || suffix == u"jpeg")
        return QStringLiteral("image/jpeg");
    if (suffix == u"gif")
        return QStringLiteral("image/gif");
    return QStringLiteral("application/octet-stream");
}

QByteArray httpHead(int status, qint64 length, const QString &contentType)
{
    const char *reason = status == 200 ? "OK" : status == 403 ? "Forbidden" : "Not Found";
    return "HTTP/1.0 " + QByteArray::number(status) + ' ' + reason + "\r\nContent-Length: "
        + QByteArray::number(length) + "\r\nContent-Type: " + contentType.toUtf8()
        + "\r\nConnection: close\r\n\r\n";
}

} // namespace centrum
