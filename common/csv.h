// Comma-separated values as spreadsheets write and read them.
#pragma once

#include <QString>
#include <QStringList>

namespace csv {

// One record: the fields joined by ",", a field quoted when it holds a comma, a quote,
// a carriage return or a line feed (a quote inside doubled), and the record ended by
// CR LF, which every spreadsheet program reads.
QString record(const QStringList &fields);

} // namespace csv
