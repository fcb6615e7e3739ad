// Whether the desktop has a program registered to open a kind of file, found from its lists alone.
#pragma once

#include <QString>
#include <QStringList>

namespace centrum {

// Where the desktop keeps its program entries and its lists of which program opens which kind.
struct DesktopDirs {
    QStringList configDirs;      // folders holding mimeapps.list, most important first
    QStringList applicationDirs; // folders holding .desktop entries, mimeapps.list and mimeinfo.cache

    // The user's and the system's folders as the XDG variables (or their defaults) give them.
    static DesktopDirs fromSystem();
};

// True when some listed program, whose entry exists, opens the kind of the file at path or a
// kind it belongs to (a log file is plain text). Nothing is started to find out.
bool hasDesktopHandler(const QString &path, const DesktopDirs &dirs);

} // namespace centrum
