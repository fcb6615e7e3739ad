// The writer of the server's day files (log and report), and the names and times they show.
#pragma once

#include "common/inifile.h"
#include "report/report.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>
#include <span>
#include <utility>

namespace centrum {

// The local date and time now, to the millisecond. The zone's offset from UTC is asked for once
// a second, not at every call: the log, the room and the report ask at every line.
QDateTime localNow();
// "2026-12-6" for 6 December 2026: the day files' names never hold a "/".
QString dayName(const QDate &date);
// The date and time in front of a line in the log box.
QString shownStamp(const QDateTime &when);
// "14:05:33": the time of day as the keys of the day files and the log box show it.
QString timeText(const QTime &time);

// Writes entries into section "record" of one file a day, program folder + day name +
// suffix. Keys are the time of day and a counter, so no entry ever replaces another,
// also across restarts of the server on the same day.
class DayFileWriter
{
public:
    enum class Mode {
        Append,  // each entry appended to the file (the log)
        Durable, // the file written whole through a synced temporary file, then entries appended
                 // at its end and synced while it stays as this writer left it (the report)
    };

    DayFileWriter(QString folder, QString suffix, Mode mode);
    ~DayFileWriter();
    DayFileWriter(const DayFileWriter &) = delete;
    DayFileWriter &operator=(const DayFileWriter &) = delete;

    struct Entry {
        QDateTime when;
        QString value;
        QString key = {}; // one reserveKey gave; empty for the next key
    };
    // The key the next entry of when's day file takes, kept for an entry that another file
    // names before this one is written. A durable file only.
    QString reserveKey(const QDateTime &when);
    // False, with why set, when the file could not be written.
    bool write(const QDateTime &when, const QString &value, QString *why = nullptr);
    // Writes the entries in order with one write of each day's file, so that a durable file
    // is synced once for all of them. False, with why set, when any file could not be written.
    bool write(const QList<Entry> &entries, QString *why = nullptr);
    QString pathFor(const QDate &date) const;

private:
    // What tells a file apart from the one this writer left: a replaced file is a new inode.
    struct Stamp {
        bool exists = false;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 modifiedNs = 0;
        bool operator==(const Stamp &) const = default;
    };
    static Stamp stampOf(const QString &path);
    // Appends bytes to the file at path and syncs them, when it is still the one stamped: its
    // new stamp. Nothing when it is another (changed set, nothing written) or the write failed
    // (why set, the file cut back to its length before).
    static std::optional<Stamp> appendSynced(const QString &path, const QByteArray &bytes, const Stamp &expected,
                                             bool *changed, QString *why);

    void knowKeys(const QString &path);
    QString nextKey(const QString &path, const QDateTime &when);
    // Both take entries of one day whose values are clean of line breaks.
    bool append(const QString &path, std::span<const Entry> lines, QString *why);
    // The day's log stays open between lines; false, with why set, when it cannot be opened.
    bool openForAppend(const QString &path, qint64 *size, QString *why);
    void closeAppended();
    bool writeDurably(const QString &path, const QList<Entry> &lines, QString *why);
    void forgetDocument();

    QString m_folder;
    QString m_suffix;
    Mode m_mode;
    mutable QDate m_pathDate;
    mutable QString m_path;
    QString m_currentPath;
    QSet<QString> m_keys; // found in the file, not made here
    int m_counter = 0;
    // The log file held open, and what it was when opened: a file moved away or replaced is
    // told apart by its inode, so the next line goes to the file of the day's name again.
    int m_fd = -1;
    QString m_fdPath;
    QByteArray m_fdName; // the path as the system takes it: the file is looked at before every write
    quint64 m_fdDevice = 0;
    quint64 m_fdInode = 0;
    // The durable file as last written, so that an entry does not cost reading and parsing
    // the whole day's file again; read afresh when anyone else has changed it.
    std::optional<IniFile> m_document;
    QString m_documentPath;
    Stamp m_documentStamp;
    // While the section ends the file, its bytes as written: an entry is then added at the
    // end without working through the whole document again.
    std::optional<QByteArray> m_documentBytes;
    QString m_lineEnd;
};

} // namespace centrum
