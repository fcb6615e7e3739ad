// The server's day files (log and report), the log box, and the rows of the report viewer.
#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

class CmultiLanguage;

namespace centrum {

// "2026-12-6" for 6 December 2026: the day files' names never hold a "/".
QString dayName(const QDate &date);
// The date and time in front of a line in the log box.
QString shownStamp(const QDateTime &when);

// Writes entries into section "record" of one file a day, program folder + day name +
// suffix. Keys are the time of day and a counter, so no entry ever replaces another,
// also across restarts of the server on the same day.
class DayFileWriter
{
public:
    enum class Mode {
        Append,  // each entry appended to the file (the log)
        Durable, // the file replaced through a synced temporary file (the report)
    };

    DayFileWriter(QString folder, QString suffix, Mode mode);

    // False, with why set, when the file could not be written.
    bool write(const QDateTime &when, const QString &value, QString *why = nullptr);
    QString pathFor(const QDate &date) const;

private:
    QString nextKey(const QString &path, const QDateTime &when);

    QString m_folder;
    QString m_suffix;
    Mode m_mode;
    QString m_currentPath;
    QSet<QString> m_keys;
    int m_counter = 0;
};

// The log box: newest line first; once 512 lines are shown the next line clears it.
class LogBox
{
public:
    void add(const QString &shownLine);
    // Set to 1 by each service start.
    void setCounter(int counter) { m_counter = counter; }
    int counter() const { return m_counter; }
    const QStringList &lines() const { return m_lines; }
    // Every line followed by CR LF, newest first.
    QString text() const;

private:
    QStringList m_lines;
    int m_counter = 0;
};

// One row of the report viewer: ID, score, time used as minutes:seconds, paper, address.
struct ReportRow {
    QString id;
    QString score;
    QString time;
    QString paper;
    QString address;
};

// A report entry ("IP:ID:result") made readable; fields it lacks stay empty.
ReportRow reportRow(const QString &entry);
// The values of a report file's section "record", whole and in file order.
QStringList reportEntries(const QString &reportFile);
// The viewer's text: the header row and one row an entry, cells padded to 12 characters
// and separated by TAB, every row ended by CR LF.
QString reportText(const QStringList &entries, const CmultiLanguage &texts);

} // namespace centrum
