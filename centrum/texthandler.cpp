// Whether the desktop has a program registered to open a kind of file, found from its lists alone.
#include "centrum/texthandler.h"

#include "common/inifile.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStandardPaths>

namespace centrum {

namespace {

// A desktop id names a file below an applications folder, its subfolders joined by "-".
bool entryExists(const QString &id, const QStringList &applicationDirs)
{
    if (id.isEmpty() || !id.endsWith(QLatin1String(".desktop")))
        return false;
    for (const QString &dir : applicationDirs) {
        QString candidate = id;
        for (;;) {
            if (QFileInfo(QDir(dir).filePath(candidate)).isFile())
                return true;
            const qsizetype dash = candidate.indexOf(u'-');
            if (dash < 0)
                break;
            candidate[dash] = u'/';
        }
    }
    return false;
}

} // namespace

DesktopDirs DesktopDirs::fromSystem()
{
    return { QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation),
             QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation) };
}

bool hasDesktopHandler(const QString &path, const DesktopDirs &dirs)
{
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    QStringList kinds { type.name() };
    kinds += type.allAncestors();

    QStringList lists;
    for (const QString &dir : dirs.configDirs)
        lists << QDir(dir).filePath(QStringLiteral("mimeapps.list"));
    for (const QString &dir : dirs.applicationDirs) {
        for (const char *name : { "mimeapps.list", "defaults.list", "mimeinfo.cache" })
            lists << QDir(dir).filePath(QLatin1String(name));
    }
    // "Removed Associations" only takes programs away; looking past it errs on the side of
    // handing the file over, and an open that fails still falls back to our own viewer.
    const QStringView sections[] = { u"Default Applications", u"Added Associations", u"MIME Cache" };
    for (const QString &list : lists) {
        if (!QFileInfo::exists(list))
            continue;
        const IniFile ini = IniFile::load(list);
        for (QStringView section : sections) {
            for (const QString &kind : kinds) {
                const QString ids = ini.value(section, kind).value_or(QString());
                for (const QString &id : ids.split(u';', Qt::SkipEmptyParts)) {
                    if (entryExists(id.trimmed(), dirs.applicationDirs))
                        return true;
                }
            }
        }
    }
    return false;
}

} // namespace centrum
