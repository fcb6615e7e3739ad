// Writing paper files for tests: plain lines enciphered as the format stores them.
#pragma once

#include "paper/paperformat.h"

#include <QFile>
#include <QStringList>

// Writes each plain line enciphered and ended by CR LF, then rawTail as it stands
// (for damaged lines); returns path.
inline QString writePaper(const QString &path, const QStringList &plainLines, const QByteArray &rawTail = {})
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    for (const QString &line : plainLines)
        f.write(paper::encipherLine(line).toLatin1() + "\r\n");
    f.write(rawTail);
    return path;
}
