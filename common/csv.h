// Comma-separated values as spreadsheets write and read them.
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

namespace csv {

// One record: the fields joined by ",", a field quoted when it holds a comma, a quote,
// a carriage return or a line feed (a quote inside doubled), and the record ended by
// CR LF, which every spreadsheet program reads.
QString record(const QStringList &fields);

struct Record {
    int line = 0; // the 1-based line of the text on which the record starts
    QStringList fields;
};

struct Reading {
    std::vector<Record> records;
    // The first line of the record that holds a quoted field the text never closes; 0
    // when none. The records before that one are read.
    int unclosedQuoteLine = 0;
};

// Reads records as spreadsheet programs write them: fields separated by ",", records ended
// by CR LF, LF or CR, a field in quotes may hold commas, line ends and doubled quotes.
// A byte-order mark at the start is dropped, and the end of the text ends the last record
// without a line end. A quote inside an unquoted field, or text after a closing quote, is
// kept as it stands, as spreadsheet programs take it.
Reading read(QStringView text);

} // namespace csv
