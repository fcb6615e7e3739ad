// The parser of browser requests, fed whole, in pieces and oversized, and where request paths lead.
#include "centrum/protocol.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "tests/centrum/candidate.h"

#include <gtest/gtest.h>

using namespace centrum;

TEST(HttpRequestParser, FindsThePathAsBrowsersSendIt)
{
    using Kind = HttpRequest::Kind;
    struct Row {
        QByteArray bytes;
        Kind kind;
        QString path;
    };
    const Row rows[] = {
        { "GE", Kind::Incomplete, {} },
        { "GET /index.html HTTP/1.0", Kind::Incomplete, {} }, // the line is not ended yet
        { "GET / HTTP/1.0\r\n\r\n", Kind::Get, QStringLiteral("index.html") },
        { "GET /papers/ HTTP/1.1\r\n", Kind::Get, QStringLiteral("papers") },
        { "GET /a.dat?x=1 HTTP/1.1\r\n", Kind::Get, QStringLiteral("a.dat?x=1") },
        { "GET /index.html\r\n", Kind::Get, QStringLiteral("index.html") },
        { "GET /\n", Kind::Get, QStringLiteral("index.html") },
        { "HEAD / HTTP/1.0\r\n", Kind::NotGet, {} },
        { "POST", Kind::NotGet, {} },
        { "GET" + QByteArray(maxRequestLineBytes, 'x'), Kind::NotGet, {} },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.bytes.left(40).toStdString());
        const HttpRequest r = parseHttpRequest(row.bytes);
        EXPECT_EQ(r.kind, row.kind);
        EXPECT_EQ(r.path, row.path);
    }
}

TEST(HttpPaths, StayInsideTheFolderAndAwayFromTheRecords)
{
    QTemporaryDir base;
    const QString folder = base.filePath(QStringLiteral("centrum"));
    ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/sub")));
    for (const char *name : { "centrum/a b.dat", "centrum/sub/in.txt", "centrum/x.log", "centrum/server.key", "outside.txt" }) {
        QFile f(base.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QFile::link(base.filePath(QStringLiteral("outside.txt")), folder + QStringLiteral("/link.txt")));
    ASSERT_TRUE(QFile::link(base.path(), folder + QStringLiteral("/out")));
    ASSERT_TRUE(QFile::link(folder + QStringLiteral("/sub/in.txt"), folder + QStringLiteral("/inlink.txt")));
    ASSERT_TRUE(QFile::link(folder + QStringLiteral("/server.key"), folder + QStringLiteral("/keylink.txt")));
    // The folder itself may be reached through a link; what lies below it is judged alike.
    const QString linkedFolder = base.filePath(QStringLiteral("linked"));
    ASSERT_TRUE(QFile::link(folder, linkedFolder));

    using Kind = HttpTarget::Kind;
    const std::pair<const char *, Kind> rows[] = {
        { "a%20b.dat", Kind::File },   { "sub/in.txt", Kind::File },    { "sub", Kind::Missing },
        { "none.dat", Kind::Missing }, { "../outside.txt", Kind::Refused }, { "sub/../../outside.txt", Kind::Refused },
        { "%2e%2e/outside.txt", Kind::Refused }, { "..%2Foutside.txt", Kind::Refused },
        { "%2Fetc/passwd", Kind::Refused }, { "/etc/passwd", Kind::Refused }, { "..\\outside.txt", Kind::Refused },
        { "%5C..%5Coutside.txt", Kind::Refused }, { "C:/x", Kind::Refused }, { "link.txt", Kind::Refused },
        { "setting.ini", Kind::Refused }, { "2026-12-6.Rpt", Kind::Refused }, { "x.log", Kind::Refused },
        { "2026-12-6.CSV", Kind::Refused }, { "out/outside.txt", Kind::Refused }, { "inlink.txt", Kind::File }, { "a%20b.dat/x", Kind::Missing },
        { "sub//in.txt", Kind::File }, { "sub/in.txt/", Kind::Missing }, { "x.log/", Kind::Missing },
        { "Server.KEY", Kind::Refused }, { "keylink.txt", Kind::Refused },
    };
    for (const auto &[path, kind] : rows) {
        SCOPED_TRACE(path);
        EXPECT_EQ(resolveHttpPath(folder, QString::fromUtf8(path)).kind, kind);
        EXPECT_EQ(resolveHttpPath(linkedFolder, QString::fromUtf8(path)).kind, kind);
    }
}
