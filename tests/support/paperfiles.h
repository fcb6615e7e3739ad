// Writing paper files for tests: plain lines enciphered as the format stores them.
#pragma once

#include "paper/paperformat.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>

// A paper file's bytes: each plain line enciphered and ended by CR LF.
inline QByteArray paperBytes(const QStringList &plainLines)
{
    QByteArray bytes;
    for (const QString &line : plainLines)
        bytes += paper::encipherLine(line).toLatin1() + "\r\n";
    return bytes;
}

// Writes each plain line enciphered and ended by CR LF, then rawTail as it stands
// (for damaged lines); returns path.
inline QString writePaper(const QString &path, const QStringList &plainLines, const QByteArray &rawTail = {})
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    f.write(paperBytes(plainLines));
    f.write(rawTail);
    return path;
}
