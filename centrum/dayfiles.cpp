// The day files of the program folder (logs and reports) as the viewers list and read them.
#include "centrum/dayfiles.h"

#include "centrum/servicelog.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <utility>

namespace centrum {

DayFiles::DayFiles(QString programFolder, const ServiceLog &log) : m_folder(std::move(programFolder)), m_log(log)
{
}

QStringList DayFiles::names(bool reports) const
{
    QDir dir(m_folder);
    QFileInfoList files = dir.entryInfoList({ reports ? QStringLiteral("*.rpt") : QStringLiteral("*.log") }, QDir::Files);
    // By the day a name gives, not by when the file last changed: an old day's file edited
    // today is still an old day, and "2026-9-30" comes before "2026-12-1". Other names first.
    const auto dayOf = [](const QFileInfo &f) {
        return QDate::fromString(f.completeBaseName(), QStringLiteral("yyyy-M-d"));
    };
    std::sort(files.begin(), files.end(), [&dayOf](const QFileInfo &a, const QFileInfo &b) {
        const QDate da = dayOf(a);
        const QDate db = dayOf(b);
        if (da != db)
            return !da.isValid() || (db.isValid() && da < db);
        return a.fileName() < b.fileName();
    });
    QStringList names;
    for (const QFileInfo &f : files)
        names.append(f.fileName());
    return names;
}

QString DayFiles::path(const QString &fileName) const
{
    return QDir(m_folder).filePath(fileName);
}

std::optional<QString> DayFiles::text(const QString &fileName, QString *why) const
{
    QFile file(path(fileName));
    if (!file.open(QIODevice::ReadOnly)) {
        if (why)
            *why = m_log.text(text::Unreadable) + file.fileName() + QStringLiteral(" (") + file.errorString() + u')';
        return std::nullopt;
    }
    return QString::fromUtf8(file.readAll());
}

} // namespace centrum
