// The report viewer's texts in the server's language: the column names, the table and the figures' line.
#pragma once

#include "report/report.h"
#include "report/roster.h"

#include <QList>
#include <QString>
#include <QStringList>

class CmultiLanguage;

namespace centrum {

// The column names in the table's language: ID, marks, time used, paper, address.
QStringList reportHeader(const CmultiLanguage &texts);

// The export's CSV: with a roster, names and seats after the IDs and a row for each absentee.
QString reportCsvText(const QList<report::ReportRow> &rows, const report::Roster *roster, const CmultiLanguage &texts);

// The viewer's text: the header row and one row an entry, cells padded to 12 characters
// and separated by TAB, every row ended by CR LF. A row whose result cannot be read ends
// in a cell that says so.
QString reportText(const QStringList &entries, const CmultiLanguage &texts);
QString reportRowsText(const QList<report::ReportRow> &rows, const CmultiLanguage &texts);

// The line under the viewer's table.
QString summaryText(const report::ScoreSummary &summary, const CmultiLanguage &texts);

} // namespace centrum
