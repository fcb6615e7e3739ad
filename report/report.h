// Report files read back: entries deciphered into rows, the rows as CSV, the scores' figures.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace report {

// What keeps an entry from reading as a whole row.
enum class ReportProblem {
    None,
    NoResult,      // not "IP:ID:result", or the result is empty
    NotDeciphered, // the result is not enciphered text (not hexadecimal, or cut short)
    MissingFields, // the plain result lacks the paper or the seconds
    BadTime,       // the seconds are not a number of 0 or more
    BadScore,      // the score is not a number
};

// One row of the report viewer: ID, score, time used as minutes:seconds, paper, address.
struct ReportRow {
    QString id;
    QString score;
    QString time;
    QString paper;
    QString address;
    ReportProblem problem = ReportProblem::None;
};

// The entry a result is stored as: the address it came from, its trimmed ID and the result
// text as received, joined by ":".
QString reportEntry(const QString &address, const QString &id, const QString &resultText);

// A report entry ("IP:ID:result") made readable; fields it lacks stay empty. The address
// ends at the first ":" and the result follows the last one, so an ID holding ":" stays
// whole; the plain result is read the same way (score, paper, seconds).
ReportRow reportRow(const QString &entry);

// The values of a report file's section "record", whole and in file order.
QStringList reportEntries(const QString &reportFile);

// An entry and the line of the file it stands on (from 1).
struct ReportEntry {
    qsizetype line = 0;
    QString value;
};
// The entries of a report file; empty, with why set, when the file is missing or unreadable.
std::optional<QList<ReportEntry>> readReport(const QString &reportFile, QString *why = nullptr);

// The cells of a row: ID, marks, time used, paper, address.
QStringList reportCells(const ReportRow &row);

// The header and the rows as comma-separated records, ready for a spreadsheet.
QString reportCsv(const QList<ReportRow> &rows, const QStringList &header);

// A score as a number: optional blanks, sign, digits and one "." only; anything else is none.
std::optional<double> scoreValue(const QString &score);

// The figures of a report's scores. Rows whose score is not a number count as candidates
// and as notNumbers but are left out of the rest.
struct ScoreSummary {
    qsizetype candidates = 0;
    qsizetype notNumbers = 0;
    QList<double> scores; // ascending
    double mean = 0;
    double median = 0; // the mean of the middle two for an even count
    double lowest = 0;
    double highest = 0;
};
ScoreSummary summarize(const QList<ReportRow> &rows);
// A figure as shown: at most two decimals, none when whole ("70", "70.5", "71.33").
QString figureText(double value);

// Scores counted into bins of one width (1, 2 or 5 times a power of ten), at most ten bins,
// the first starting at a multiple of the width. Each bin holds from <= score < to, except
// that a score on the last bin's upper edge is counted in it (0 to 100 by tens: ten bins,
// the last 90-100).
struct HistogramBin {
    double from = 0;
    double to = 0;
    qsizetype count = 0;
    QString label; // "70-79" for whole scores, "70" for bins of width 1, "70-80" otherwise
};
struct Histogram {
    double width = 0;
    QList<HistogramBin> bins;
    qsizetype highestCount = 0;
};
Histogram histogramOf(const QList<double> &scores);

// Where an export of the report goes unless the examiner chooses otherwise: beside the
// report, named by the same day ("2026-12-7.rpt" gives "2026-12-7.csv").
QString csvPathFor(const QString &reportPath);
// Writes the CSV text, marked as UTF-8 for spreadsheet programs, through a temporary file
// that replaces path only once complete. False, with why set, when it could not be written.
bool writeCsvFile(const QString &path, const QString &csv, QString *why = nullptr);

// One report file as the viewer shows and exports it.
struct ReportView {
    QString path;
    QList<ReportRow> rows;

    static ReportView read(const QString &reportFile);
};

} // namespace report
