// Comma-separated values as spreadsheets write and read them.
#include "common/csv.h"

namespace csv {

namespace {

bool needsQuotes(const QString &field)
{
    for (QChar c : field) {
        if (c == u',' || c == u'"' || c == u'\r' || c == u'\n')
            return true;
    }
    return false;
}

} // namespace

QString record(const QStringList &fields)
{
    QString line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += u',';
        const QString &field = fields[i];
        if (needsQuotes(field)) {
            QString quoted = field;
            quoted.replace(u'"', QStringLiteral("\"\""));
            line += u'"' + quoted + u'"';
        } else {
            line += field;
        }
    }
    line += QStringLiteral("\r\n");
    return line;
}

} // namespace csv

namespace csv {

Reading read(QStringView text)
{
    Reading result;
    if (text.startsWith(u'\uFEFF'))
        text = text.mid(1);

    int line = 1;
    Record current;
    current.line = line;
    QString field;
    bool atFieldStart = true; // nothing of the current field read yet: a quote opens a quoted field
    bool pending = false;     // the current record has begun, so the end of the text ends it
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto endField = [&]() {
        current.fields << field;
        field.clear();
    };
    auto endRecord = [&]() {
        endField();
        result.records.push_back(std::move(current));
        current = Record();
        current.line = line;
        atFieldStart = true;
        pending = false;
    };
    while (i < n) {
        const QChar c = text[i];
        if (c == u'"' && atFieldStart) {
            // A quoted field: runs to the quote that is not doubled.
            ++i;
            bool closed = false;
            while (i < n) {
                const QChar q = text[i];
                if (q == u'"') {
                    if (i + 1 < n && text[i + 1] == u'"') {
                        field += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                if (q == u'\n' || (q == u'\r' && !(i + 1 < n && text[i + 1] == u'\n')))
                    ++line;
                field += q;
                ++i;
            }
            if (!closed) {
                result.unclosedQuoteLine = current.line;
                return result;
            }
            atFieldStart = false;
            pending = true;
            continue;
        }
        if (c == u',') {
            endField();
            atFieldStart = true;
            pending = true; // a field follows the comma, even if the text ends here
            ++i;
            continue;
        }
        if (c == u'\r' || c == u'\n') {
            i += (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') ? 2 : 1;
            ++line;
            endRecord();
            continue;
        }
        field += c;
        atFieldStart = false;
        pending = true;
        ++i;
    }
    if (pending)
        endRecord();
    return result;
}

} // namespace csv
