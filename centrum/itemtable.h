// The item analysis as a table in the server's language: the report viewer's "Questions" tab and papertool show the same cells.
#pragma once

#include "report/itemanalysis.h"

#include <QList>
#include <QString>
#include <QStringList>

class CmultiLanguage;

namespace centrum {

// The table's columns, in this order.
enum class ItemColumn { Number, Kind, Marks, Answered, Blank, Facility, Correlation, UpperLower, Choices, Flags, Count };

// The column names.
QStringList itemHeader(const CmultiLanguage &texts);

// One row of cells per question, in the columns above. Shares and correlations have two
// decimals; a figure that cannot be worked out is an empty cell. Choices lists every option
// with its count, the correct ones marked; a fill-in lists each blank's commonest wrong words.
QList<QStringList> itemRows(const report::PaperFigures &figures, const CmultiLanguage &texts);

// Why a question is flagged, every reason, or empty.
QString flagText(unsigned flags, const CmultiLanguage &texts);

// The lines above the table: the paper and its candidates, mean, median, standard deviation,
// reliability (named alpha or KR-20), and the entries left out.
QStringList itemSummaryLines(const report::PaperFigures &figures, const CmultiLanguage &texts);

// The CSV export: the header and a line per question, as the table shows them.
QString itemCsvText(const report::PaperFigures &figures, const CmultiLanguage &texts);

} // namespace centrum
