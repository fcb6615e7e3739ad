// The list of candidates expected at an exam: read from a file, looked up by ID, joined to a report.
#pragma once

#include "report/report.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace report {

struct RosterEntry {
    QString id; // trimmed, as the server keeps a login's ID
    QString name;
    QString seat;
};

// Why a roster cannot be used; line is the file's line (from 1) where that applies.
struct RosterFault {
    enum class Kind { None, Unreadable, NotUtf8, UnclosedQuote, NoIdColumn, Empty, IdTooLong };
    Kind kind = Kind::None;
    int line = 0;
    QString detail; // the reason the system gave, or the ID at fault
};

// A roster file is either comma-separated with a header row naming its columns (ID, and
// optionally name and seat, in English or Chinese, any order and case), or one ID a line.
// UTF-8, with or without a byte-order mark; blank lines are skipped; an ID listed twice
// counts once. An ID longer than the 12 characters a login carries could never log in, so
// such a roster is refused rather than read.
class Roster
{
public:
    static constexpr qsizetype maxIdLength = 12;

    static std::optional<Roster> parse(const QByteArray &bytes, RosterFault *fault = nullptr);
    static std::optional<Roster> read(const QString &path, RosterFault *fault = nullptr);

    QString path() const { return m_path; }
    const QList<RosterEntry> &entries() const { return m_entries; }
    bool contains(const QString &id) const { return m_index.contains(id); }
    const RosterEntry *find(const QString &id) const;
    qsizetype size() const { return m_entries.size(); }

private:
    QString m_path;
    QList<RosterEntry> m_entries; // file order
    QHash<QString, qsizetype> m_index;
};

// The report's rows as CSV with the roster's name and seat beside each ID, then one row for
// each candidate of the roster who has no result: only ID, name and seat. header names the
// seven columns: ID, name, seat, marks, time used, paper, address.
QString reportCsvWithRoster(const QList<ReportRow> &rows, const QStringList &header, const Roster &roster);

} // namespace report
