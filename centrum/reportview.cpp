// The report viewer's texts in the server's language: the column names, the table and the figures' line.
#include "centrum/reportview.h"

#include "centrum/texts.h"
#include "common/multilanguage.h"

namespace centrum {

using report::figureText;
using report::reportCells;
using report::ReportRow;
using report::reportRow;
using report::ScoreSummary;

QStringList reportHeader(const CmultiLanguage &texts)
{
    return { texts.getRes(text::IdColumn), texts.getRes(text::MarksColumn), texts.getRes(text::TimeColumn),
             texts.getRes(text::PaperColumn), texts.getRes(text::AddressColumn) };
}

QString reportCsvText(const QList<report::ReportRow> &rows, const report::Roster *roster, const CmultiLanguage &texts)
{
    QStringList header = reportHeader(texts);
    if (!roster)
        return report::reportCsv(rows, header);
    header.insert(1, texts.getRes(text::SeatColumn));
    header.insert(1, texts.getRes(text::NameColumn));
    return report::reportCsvWithRoster(rows, header, *roster);
}

namespace {

QString rowText(const QStringList &cells)
{
    QStringList padded;
    for (const QString &c : cells)
        padded.append(c.trimmed().leftJustified(12)); // longer texts stay whole
    return padded.join(u'\t') + QStringLiteral("\r\n");
}

} // namespace

QString reportRowsText(const QList<ReportRow> &rows, const CmultiLanguage &texts)
{
    using report::ReportProblem;
    QString out = rowText(reportHeader(texts));
    for (const ReportRow &r : rows) {
        QStringList cells = reportCells(r);
        // A result stored as received may be empty or cut short: its row says so rather than
        // pass for a candidate without marks.
        if (r.problem == ReportProblem::NoResult || r.problem == ReportProblem::NotDeciphered
            || r.problem == ReportProblem::MissingFields)
            cells.append(texts.getRes(text::UnreadableRow));
        out += rowText(cells);
    }
    return out;
}

QString reportText(const QStringList &entries, const CmultiLanguage &texts)
{
    QList<ReportRow> rows;
    for (const QString &entry : entries)
        rows.append(reportRow(entry));
    return reportRowsText(rows, texts);
}

QString summaryText(const ScoreSummary &summary, const CmultiLanguage &texts)
{
    const QString count = QString::number(summary.candidates);
    QString line = summary.scores.isEmpty()
        ? texts.getRes(text::NoScores).arg(count)
        : texts.getRes(text::Summary).arg(count, figureText(summary.mean), figureText(summary.median),
                                          figureText(summary.lowest), figureText(summary.highest));
    if (summary.notNumbers > 0)
        line += texts.getRes(text::NotNumbers).arg(summary.notNumbers);
    return line;
}

} // namespace centrum
