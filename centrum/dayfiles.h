// The day files of the program folder (logs and reports) as the viewers list and read them.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace centrum {

class ServiceLog;

class DayFiles
{
public:
    DayFiles(QString programFolder, const ServiceLog &log);

    // Names of the day files of one kind in the program folder, oldest day first.
    QStringList names(bool reports) const;
    // A day file of the program folder, by the name names() gives.
    QString path(const QString &fileName) const;
    // A day file's whole text, for reading on screen; nothing, with why set, when it cannot be read.
    std::optional<QString> text(const QString &fileName, QString *why = nullptr) const;

private:
    QString m_folder;
    const ServiceLog &m_log;
};

} // namespace centrum
