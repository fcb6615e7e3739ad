// Where a program keeps its files: beside itself, or in a folder of the user's own when it is installed.
#pragma once

#include <QString>

// The name the suite is installed under; also names the users' own folders.
inline constexpr char packageName[] = EXAM_PACKAGE_NAME;

struct DataFolder {
    QString path;         // where the program reads and writes its settings, papers, logs and reports
    bool perUser = false; // path is the user's own folder, because the program folder cannot be written
    QString problem;      // what went wrong making or filling the user's folder; empty when nothing did
};

// The user's folder for a program folder: $XDG_DATA_HOME (~/.local/share when that is unset or
// relative), then the package name and the program folder's own name ("centrum", "candidate").
QString perUserFolder(const QString &programFolder, const QString &xdgDataHome, const QString &home);

// The program folder where it can be written. Otherwise the user's folder, made when missing,
// and given a copy of each file the program folder ships (settings, start page, sample paper)
// that it does not hold yet, so a setting never changed is the installed default.
DataFolder chooseDataFolder(const QString &programFolder, bool programFolderWritable, const QString &xdgDataHome,
                            const QString &home);
// The same with what this process may write, and XDG_DATA_HOME and HOME as it has them.
DataFolder chooseDataFolder(const QString &programFolder);

// What a window tells the user of a per-user folder: lead, the folder, and what went wrong
// making or filling it, in parentheses, when anything did.
QString keptInNote(const QString &lead, const DataFolder &data);
