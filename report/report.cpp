// Report files read back: entries deciphered into rows, the rows as CSV, the scores' figures.
#include "report/report.h"

#include "common/clsencryptxor.h"
#include "common/creadini.h"
#include "common/csv.h"
#include "common/durablefile.h"
#include "common/inifile.h"
#include "common/numbers.h"
#include "common/tokenizer.h"
#include "paper/resulttext.h"

#include <QDir>
#include <QFileInfo>
#include <QHostAddress>

#include <algorithm>
#include <cmath>

namespace report {

namespace {

// A workstation that reached the server over IPv6 is stored with its colons ("::1:ID:..."):
// the address is then the longest run of leading fields that reads as one, up to the ID.
void takeIpv6Address(const QString &entry, OuterSplit &parts)
{
    if (!parts.last || QHostAddress(parts.first).protocol() == QAbstractSocket::IPv4Protocol)
        return;
    const QString front = entry.left(entry.size() - parts.last->size() - 1);
    for (qsizetype p = front.lastIndexOf(u':'); p > 0; p = front.lastIndexOf(u':', p - 1)) {
        if (QHostAddress(front.left(p)).protocol() == QAbstractSocket::IPv6Protocol) {
            parts.first = front.left(p);
            parts.middle = front.mid(p + 1);
            return;
        }
    }
}

} // namespace

QString reportEntry(const QString &address, const QString &id, const QString &resultText)
{
    return address + u':' + id + u':' + resultText;
}

ReportRow reportRow(const QString &entry)
{
    ReportRow row;
    OuterSplit parts = splitAtFirstAndLast(entry, u':');
    takeIpv6Address(entry, parts);
    row.address = parts.first;
    row.id = parts.middle;
    if (!parts.last || parts.last->isEmpty()) {
        row.problem = ReportProblem::NoResult;
        return row;
    }
    const QString &hex = *parts.last;
    // Shown as the server has always read results; a result that reads only so is still a problem.
    const auto plain = clsEncryptXOR(clsEncryptXOR::HexMode::Tolerant).tryHexDecrypt(hex);
    const bool clean = plain && hex.size() % 4 == 0 && clsEncryptXOR().tryHexDecrypt(hex);
    if (!plain) {
        row.problem = ReportProblem::NotDeciphered;
        return row;
    }
    const paper::ResultText fields = paper::parseResultText(*plain);
    row.score = fields.score;
    row.paper = fields.paper;
    bool timeRead = false;
    if (fields.seconds) {
        const auto seconds = numbers::roundHalfEven(numbers::leadingNumber(*fields.seconds));
        if (seconds && *seconds >= 0)
            row.time = QString::number(*seconds / 60) + u':' + QString::number(*seconds % 60);
        timeRead = !row.time.isEmpty() && scoreValue(*fields.seconds);
    }
    if (!clean)
        row.problem = ReportProblem::NotDeciphered;
    else if (!fields.seconds)
        row.problem = ReportProblem::MissingFields;
    else if (!timeRead)
        row.problem = ReportProblem::BadTime;
    else if (!scoreValue(row.score))
        row.problem = ReportProblem::BadScore;
    return row;
}

QStringList reportEntries(const QString &reportFile)
{
    CReadINI reader;
    reader.readLog(reportFile);
    return reader.entryCol;
}

std::optional<QList<ReportEntry>> readReport(const QString &reportFile, QString *why)
{
    if (!QFileInfo(reportFile).isFile()) {
        if (why)
            *why = reportFile + QStringLiteral(": no such file");
        return std::nullopt;
    }
    QString error;
    const IniFile file = IniFile::load(reportFile, &error);
    if (!error.isEmpty()) {
        if (why)
            *why = error;
        return std::nullopt;
    }
    const QStringList values = file.values(u"record");
    const QList<qsizetype> lines = file.valueLines(u"record");
    QList<ReportEntry> entries;
    entries.reserve(values.size());
    for (qsizetype i = 0; i < values.size(); ++i)
        entries.append({ lines.value(i), values[i] });
    return entries;
}

QStringList reportCells(const ReportRow &row)
{
    return { row.id, row.score, row.time, row.paper, row.address };
}

QString reportCsv(const QList<ReportRow> &rows, const QStringList &header)
{
    QString out = csv::record(header);
    for (const ReportRow &r : rows) {
        QStringList cells;
        for (const QString &c : reportCells(r))
            cells.append(c.trimmed()); // as the viewer shows them
        out += csv::record(cells);
    }
    return out;
}

std::optional<double> scoreValue(const QString &score)
{
    const QString t = score.trimmed();
    qsizetype i = 0;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+'))
        ++i;
    qsizetype digits = 0;
    bool point = false;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c >= u'0' && c <= u'9')
            ++digits;
        else if (c == u'.' && !point)
            point = true;
        else
            return std::nullopt;
    }
    if (digits == 0)
        return std::nullopt;
    const double v = numbers::leadingNumber(t);
    if (!std::isfinite(v))
        return std::nullopt;
    return v;
}

ScoreSummary summarize(const QList<ReportRow> &rows)
{
    ScoreSummary s;
    s.candidates = rows.size();
    for (const ReportRow &r : rows) {
        if (const auto v = scoreValue(r.score))
            s.scores.append(*v);
        else
            ++s.notNumbers;
    }
    if (s.scores.isEmpty())
        return s;
    std::sort(s.scores.begin(), s.scores.end());
    const qsizetype n = s.scores.size();
    double sum = 0;
    for (double v : s.scores)
        sum += v;
    s.mean = sum / double(n);
    s.median = n % 2 ? s.scores[n / 2] : (s.scores[n / 2 - 1] + s.scores[n / 2]) / 2;
    s.lowest = s.scores.first();
    s.highest = s.scores.last();
    return s;
}

QString figureText(double value)
{
    QString t = QString::number(value, 'f', 2);
    while (t.endsWith(u'0'))
        t.chop(1);
    if (t.endsWith(u'.'))
        t.chop(1);
    return t == u"-0" ? QStringLiteral("0") : t;
}

Histogram histogramOf(const QList<double> &scores)
{
    Histogram h;
    if (scores.isEmpty())
        return h;
    const auto [lowIt, highIt] = std::minmax_element(scores.begin(), scores.end());
    const double low = *lowIt;
    const double high = *highIt;
    if (high - low > 1e12) {
        // Beyond any paper's marks: one bin rather than widths that no longer count exactly.
        h.width = high - low;
        h.bins.append({ low, high, scores.size(), figureText(low) + u'-' + figureText(high) });
        h.highestCount = scores.size();
        return h;
    }
    bool whole = true;
    for (double v : scores)
        whole = whole && v == std::floor(v);

    // The narrowest width of 1, 2 or 5 times a power of ten that needs at most ten bins.
    const int steps[] = { 1, 2, 5 };
    double start = 0;
    qsizetype count = 0;
    bool closedTop = false;
    for (double decade = 1;; decade *= 10) {
        bool found = false;
        for (int step : steps) {
            h.width = step * decade;
            start = std::floor(low / h.width) * h.width;
            count = qsizetype(std::floor((high - start) / h.width)) + 1;
            // A top score on a bin's lower edge joins the bin below rather than open one alone,
            // except for bins of one point, where each score has its own.
            closedTop = count > 1 && h.width > 1 && high == start + double(count - 1) * h.width;
            if (closedTop)
                --count;
            if (count <= 10) {
                found = true;
                break;
            }
        }
        if (found)
            break;
    }

    for (qsizetype i = 0; i < count; ++i) {
        HistogramBin bin;
        bin.from = start + double(i) * h.width;
        bin.to = bin.from + h.width;
        const bool last = i == count - 1;
        if (whole && h.width == 1)
            bin.label = figureText(bin.from);
        else if (whole)
            bin.label = figureText(bin.from) + u'-' + figureText(last && closedTop ? bin.to : bin.to - 1);
        else
            bin.label = figureText(bin.from) + u'-' + figureText(bin.to);
        h.bins.append(bin);
    }
    for (double v : scores) {
        const qsizetype i = std::min(count - 1, qsizetype(std::floor((v - start) / h.width)));
        ++h.bins[i].count;
    }
    for (const HistogramBin &bin : h.bins)
        h.highestCount = std::max(h.highestCount, bin.count);
    return h;
}

QString csvPathFor(const QString &reportPath)
{
    const QFileInfo info(reportPath);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".csv"));
}

bool writeCsvFile(const QString &path, const QString &csv, QString *why)
{
    // The byte-order mark tells spreadsheet programs the file is UTF-8, so Chinese IDs survive.
    return writeFileDurably(path, "\xEF\xBB\xBF" + csv.toUtf8(), why);
}

ReportView ReportView::read(const QString &reportFile)
{
    ReportView view;
    view.path = reportFile;
    for (const QString &entry : reportEntries(reportFile))
        view.rows.append(reportRow(entry));
    return view;
}

} // namespace report
