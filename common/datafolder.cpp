// Where a program keeps its files: beside itself, or in a folder of the user's own when it is installed.
#include "common/datafolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QString perUserFolder(const QString &programFolder, const QString &xdgDataHome, const QString &home)
{
    // A relative XDG_DATA_HOME is to be ignored, as the XDG base directory rules say.
    const QString base = !xdgDataHome.isEmpty() && QDir::isAbsolutePath(xdgDataHome)
        ? xdgDataHome
        : QDir(home.isEmpty() ? QDir::homePath() : home).filePath(QStringLiteral(".local/share"));
    const QString name = QFileInfo(QDir::cleanPath(programFolder)).fileName();
    return QDir::cleanPath(QStringLiteral("%1/%2/%3").arg(base, QLatin1String(packageName), name));
}

DataFolder chooseDataFolder(const QString &programFolder, bool programFolderWritable, const QString &xdgDataHome,
                            const QString &home)
{
    DataFolder result;
    if (programFolderWritable) {
        result.path = programFolder;
        return result;
    }
    result.perUser = true;
    result.path = perUserFolder(programFolder, xdgDataHome, home);
    const bool made = !QFileInfo(result.path).isDir();
    if (!QDir().mkpath(result.path)) {
        result.problem = QStringLiteral("%1: cannot be made").arg(result.path);
        return result;
    }
    // Papers, results and reports are the user's own business; a folder the user has opened up
    // since is left as it is.
    if (made)
        QFile::setPermissions(result.path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    const QDir source(programFolder);
    const QFileInfoList shipped = source.entryInfoList(QDir::Files | QDir::Readable);
    for (const QFileInfo &file : shipped) {
        const QString target = QDir(result.path).filePath(file.fileName());
        // The programs themselves stay where they are; what exists is the user's and is kept.
        if (file.isExecutable() || QFileInfo::exists(target) || QFileInfo(target).isSymLink())
            continue;
        // QFile::copy writes a temporary file and renames it, so a half copy never takes the name.
        QFile in(file.absoluteFilePath());
        if (!in.copy(target)) {
            result.problem = QStringLiteral("%1: %2").arg(target, in.errorString());
            continue;
        }
        QFile::setPermissions(target, QFile::permissions(target) | QFile::WriteOwner | QFile::ReadOwner);
    }
    return result;
}

DataFolder chooseDataFolder(const QString &programFolder)
{
    const QFileInfo folder(programFolder);
    // A folder that is not there is left for the program to report as it always has.
    return chooseDataFolder(programFolder, !folder.isDir() || folder.isWritable(), qEnvironmentVariable("XDG_DATA_HOME"),
                            qEnvironmentVariable("HOME"));
}

QString keptInNote(const QString &lead, const DataFolder &data)
{
    return lead + data.path + (data.problem.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(data.problem));
}
