// The list of candidates expected at an exam: read from a file, looked up by ID, joined to a report.
#include "report/roster.h"

#include "common/csv.h"

#include <QFile>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>

namespace report {

namespace {

enum class Column { Id, Name, Seat, Other };

Column columnOf(const QString &heading)
{
    const QString h = heading.trimmed().toCaseFolded();
    if (h == u"id" || h == u"考号")
        return Column::Id;
    if (h == u"name" || h == u"姓名")
        return Column::Name;
    if (h == u"seat" || h == u"座位" || h == u"座位号")
        return Column::Seat;
    return Column::Other;
}

std::optional<Roster> failed(RosterFault *fault, RosterFault::Kind kind, int line = 0, const QString &detail = {})
{
    if (fault)
        *fault = { kind, line, detail };
    return std::nullopt;
}

} // namespace

std::optional<Roster> Roster::parse(const QByteArray &bytes, RosterFault *fault)
{
    QStringDecoder decode(QStringDecoder::Utf8);
    const QString text = decode(bytes);
    if (decode.hasError())
        return failed(fault, RosterFault::Kind::NotUtf8);
    const csv::Reading reading = csv::read(text);

    const auto blank = [](const csv::Record &r) {
        return std::all_of(r.fields.begin(), r.fields.end(), [](const QString &f) { return f.trimmed().isEmpty(); });
    };
    size_t first = 0;
    while (first < reading.records.size() && blank(reading.records[first]))
        ++first;

    // A header names the ID column; without one, every line is an ID as it stands.
    int idColumn = -1, nameColumn = -1, seatColumn = -1;
    if (first < reading.records.size()) {
        const QStringList &head = reading.records[first].fields;
        for (int i = 0; i < int(head.size()); ++i) {
            const Column c = columnOf(head[i]);
            if (c == Column::Id && idColumn < 0)
                idColumn = i;
            else if (c == Column::Name && nameColumn < 0)
                nameColumn = i;
            else if (c == Column::Seat && seatColumn < 0)
                seatColumn = i;
        }
        if (idColumn < 0 && (nameColumn >= 0 || seatColumn >= 0))
            return failed(fault, RosterFault::Kind::NoIdColumn, reading.records[first].line);
    }
    const bool withHeader = idColumn >= 0;
    // Only a file with a header is comma-separated; a list of IDs may hold any character.
    if (withHeader && reading.unclosedQuoteLine != 0)
        return failed(fault, RosterFault::Kind::UnclosedQuote, reading.unclosedQuoteLine);

    Roster roster;
    const auto add = [&roster](RosterEntry e) {
        if (e.id.isEmpty() || roster.m_index.contains(e.id))
            return true;
        if (e.id.size() > maxIdLength)
            return false;
        roster.m_index.insert(e.id, roster.m_entries.size());
        roster.m_entries.append(std::move(e));
        return true;
    };
    if (withHeader) {
        const auto field = [](const QStringList &fields, int i) {
            return i >= 0 && i < fields.size() ? fields[i].trimmed() : QString();
        };
        for (size_t r = first + 1; r < reading.records.size(); ++r) {
            const csv::Record &record = reading.records[r];
            RosterEntry e { field(record.fields, idColumn), field(record.fields, nameColumn), field(record.fields, seatColumn) };
            if (!add(e))
                return failed(fault, RosterFault::Kind::IdTooLong, record.line, e.id);
        }
    } else {
        // One ID a line: the line is the ID, commas and quotes included.
        QStringView rest(text);
        if (rest.startsWith(u'\uFEFF'))
            rest = rest.mid(1);
        int line = 0;
        while (!rest.isEmpty()) {
            ++line;
            qsizetype end = 0;
            while (end < rest.size() && rest[end] != u'\n' && rest[end] != u'\r')
                ++end;
            RosterEntry e { rest.first(end).trimmed().toString(), {}, {} };
            if (!add(e))
                return failed(fault, RosterFault::Kind::IdTooLong, line, e.id);
            if (end < rest.size() && rest[end] == u'\r' && end + 1 < rest.size() && rest[end + 1] == u'\n')
                ++end;
            rest = rest.mid(std::min(end + 1, rest.size()));
        }
    }
    if (roster.m_entries.isEmpty())
        return failed(fault, RosterFault::Kind::Empty);
    return roster;
}

std::optional<Roster> Roster::read(const QString &path, RosterFault *fault)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failed(fault, RosterFault::Kind::Unreadable, 0, file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return failed(fault, RosterFault::Kind::Unreadable, 0, file.errorString());
    std::optional<Roster> roster = parse(bytes, fault);
    if (roster)
        roster->m_path = path;
    return roster;
}

const RosterEntry *Roster::find(const QString &id) const
{
    const auto it = m_index.constFind(id);
    return it == m_index.cend() ? nullptr : &m_entries[*it];
}

QString reportCsvWithRoster(const QList<ReportRow> &rows, const QStringList &header, const Roster &roster)
{
    QString out = csv::record(header);
    QSet<QString> present;
    for (const ReportRow &r : rows) {
        QStringList cells;
        for (const QString &c : reportCells(r))
            cells.append(c.trimmed()); // as the viewer shows them
        const QString id = r.id.trimmed();
        present.insert(id);
        const RosterEntry *e = roster.find(id);
        cells.insert(1, e ? e->seat : QString());
        cells.insert(1, e ? e->name : QString());
        out += csv::record(cells);
    }
    for (const RosterEntry &e : roster.entries()) {
        if (!present.contains(e.id))
            out += csv::record({ e.id, e.name, e.seat, {}, {}, {}, {} });
    }
    return out;
}

} // namespace report
