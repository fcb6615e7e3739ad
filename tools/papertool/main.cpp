// papertool: show, score, check, encode, decode, import and export paper files, and read reports and answer files, from the command line.
#include "tools/papertool/jsonout.h"

#include "centrum/itemtable.h"
#include "centrum/reportview.h"
#include "centrum/texts.h"
#include "common/csv.h"
#include "common/durablefile.h"
#include "common/multilanguage.h"
#include "paper/fieldrules.h"
#include "paper/onechoices.h"
#include "paper/papercheck.h"
#include "paper/paperformat.h"
#include "paper/scoring.h"
#include "report/answerfile.h"
#include "report/itemanalysis.h"
#include "report/report.h"
#include "report/roster.h"
#include "tools/papertool/sheet.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>

namespace {

constexpr int exitOk = 0;
constexpr int exitProblems = 1;
constexpr int exitBadInput = 2;

const char usageText[] =
    "usage: papertool COMMAND ...\n"
    "\n"
    "  show FILE               the paper as the test-taking program reads it, as JSON\n"
    "  score FILE              score a JSON array of answer texts read from stdin\n"
    "  check FILE              list every problem of the paper; exit 1 when there is one\n"
    "  encode [-o OUT] [IN]    encipher each line to hex (paper file lines, CR LF ends)\n"
    "  decode [-o OUT] [IN]    decipher each hex line to text\n"
    "  import SHEET -o PAPER --title T --subject S --author A [--minutes M] [--total N]\n"
    "                          [--marks M] [--format csv|aiken]\n"
    "                          a paper from a question sheet: comma-separated rows or\n"
    "                          plain-text questions with \"ANSWER:\" lines; every bad row\n"
    "                          is listed as SHEET:LINE and nothing is written\n"
    "  export PAPER [-o SHEET] the paper's questions as a comma-separated sheet\n"
    "  report FILE [--csv] [--roster ROSTER]\n"
    "                          the results of a report file (.rpt) as a table or as CSV;\n"
    "                          with a roster (CSV with an ID column, or one ID a line),\n"
    "                          each ID's name and seat, and a row for each absentee;\n"
    "                          exit 1 when an entry cannot be read\n"
    "  analyse ANS... [--paper PAPER] [--csv]\n"
    "                          item analysis from the answer files (.ans) the server keeps\n"
    "                          in secure mode, all files taken together: the paper's\n"
    "                          figures, then a row a question, or with --csv the rows as\n"
    "                          CSV; the paper named by --paper (kinds, marks and answers\n"
    "                          from the paper file), else the one most entries name;\n"
    "                          entries for other papers are counted and left out; an\n"
    "                          entry that cannot be read is named as ANS:LINE (exit 2);\n"
    "                          exit 1 when no entry is for the paper\n"
    "\n"
    "Exit status: 0 done, 1 problems found by check, import or report, or nothing to\n"
    "analyse; 2 bad input or usage.\n";

void out(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

int fail(const QString &message)
{
    std::fprintf(stderr, "papertool: %s\n", message.toUtf8().constData());
    return exitBadInput;
}

int usage(const QString &message = {})
{
    if (!message.isEmpty())
        std::fprintf(stderr, "papertool: %s\n", message.toUtf8().constData());
    std::fputs(usageText, stderr);
    return exitBadInput;
}

// Loads a paper for show and score; a message names the file and line on failure.
std::optional<QString> loadPaper(const QString &path, oneChoices &paper)
{
    switch (paper.init(path)) {
    case oneChoices::LoadStatus::Loaded:
        return std::nullopt;
    case oneChoices::LoadStatus::Unreadable:
        return QStringLiteral("cannot read %1").arg(paper.lastError());
    case oneChoices::LoadStatus::BadLine:
    case oneChoices::LoadStatus::TooManyQuestions:
        return paper.lastError();
    }
    return QStringLiteral("%1: cannot load").arg(path);
}

QString numberOrNull(std::optional<qint64> value)
{
    return value ? QString::number(*value) : QStringLiteral("null");
}

int show(const QString &path)
{
    oneChoices paper;
    if (const auto error = loadPaper(path, paper))
        return fail(*error);
    const auto title = oneChoices::getTitle(path);
    if (!title)
        return fail(QStringLiteral("%1, line 1: not hexadecimal").arg(path));
    const paper::Header h = paper::readHeader(*title);

    QString json = QStringLiteral("{\"header\":{\"random\":%1,\"timeLimit\":%2,\"subject\":%3,"
                                  "\"title\":%4,\"total\":%5,\"author\":%6},\"questions\":[")
                       .arg(jsonString(h.random), jsonString(h.timeLimit), jsonString(h.subject),
                            jsonString(h.title), jsonString(h.total), jsonString(h.author));
    for (int k = 1; k <= paper.getCount(); ++k) {
        const oneChoice *q = paper.getOne(k);
        if (k > 1)
            json += u',';
        json += QStringLiteral("{\"number\":%1,\"text\":%2,\"image\":%3,\"answer\":%4,"
                               "\"marks\":%5,\"kind\":%6,\"options\":[")
                    .arg(QString::number(k), jsonString(q->getContext()),
                         QString::number(q->getImg()), jsonString(q->getAnswer()),
                         jsonString(q->getPoint()), jsonString(q->getType()));
        for (int i = 0; i < oneChoice::optionCount; ++i) {
            if (i > 0)
                json += u',';
            json += jsonString(q->getOption(i));
        }
        json += QStringLiteral("]}");
    }
    json += QStringLiteral("],\"fullMarks\":%1}\n").arg(numberOrNull(paper::fullMarks(paper)));
    out(json);
    return exitOk;
}

QByteArray readAllStdin()
{
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return {};
    return in.readAll();
}

int score(const QString &path)
{
    oneChoices paper;
    if (const auto error = loadPaper(path, paper))
        return fail(*error);

    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(readAllStdin(), &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return fail(QStringLiteral("stdin: malformed JSON at byte %1: %2")
                        .arg(QString::number(parseError.offset), parseError.errorString()));
    if (!doc.isArray())
        return fail(QStringLiteral("stdin: expected a JSON array of answer texts"));
    const QJsonArray array = doc.array();
    if (array.size() > paper.getCount())
        return fail(QStringLiteral("stdin: %1 answers for a paper of %2 questions")
                        .arg(QString::number(array.size()), QString::number(paper.getCount())));
    QStringList answers;
    for (qsizetype i = 0; i < array.size(); ++i) {
        if (!array[i].isString())
            return fail(QStringLiteral("stdin: answer %1 is not a text").arg(i + 1));
        answers << array[i].toString();
    }
    out(QStringLiteral("{\"score\":%1,\"fullMarks\":%2}\n")
            .arg(numberOrNull(paper::scoreAnswers(paper, answers)),
                 numberOrNull(paper::fullMarks(paper))));
    return exitOk;
}

int check(const QString &path)
{
    const paper::CheckResult result = paper::checkPaper(path);
    if (!result.opened)
        return fail(QStringLiteral("cannot read %1").arg(result.openError));
    for (const auto &p : result.problems) {
        const QString where = p.line > 0 ? QStringLiteral("%1:%2: ").arg(path, QString::number(p.line))
                                         : QStringLiteral("%1: ").arg(path);
        out(where + p.message + u'\n');
    }
    return result.problems.empty() ? exitOk : exitProblems;
}

// The output to stdout without -o, else to the file named, whole or not at all.
int writeOut(const QString &outPath, const QByteArray &bytes)
{
    if (outPath.isEmpty()) {
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
        return exitOk;
    }
    QString error;
    if (!writeFileDurably(outPath, bytes, &error))
        return fail(QStringLiteral("cannot write %1").arg(error));
    return exitOk;
}

// "[-o OUT] [IN]": the files named, or a usage message when the arguments cannot be used.
std::optional<QString> readInOut(const QStringList &args, QString &inPath, QString &outPath)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == u"-o") {
            if (i + 1 >= args.size())
                return QStringLiteral("-o needs a file name");
            outPath = args[++i];
        } else if (inPath.isEmpty() && !args[i].startsWith(u'-')) {
            inPath = args[i];
        } else {
            return QStringLiteral("unexpected argument \"%1\"").arg(args[i]);
        }
    }
    return std::nullopt;
}

// encode and decode: one line out per line in, from a file or stdin, to a file or stdout.
int convert(const QStringList &args, bool encode)
{
    QString inPath;
    QString outPath;
    if (const auto problem = readInOut(args, inPath, outPath))
        return usage(*problem);

    QByteArray input;
    if (inPath.isEmpty()) {
        input = readAllStdin();
    } else {
        QFile file(inPath);
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read %1: %2").arg(inPath, file.errorString()));
        input = file.readAll();
    }
    const QString inName = inPath.isEmpty() ? QStringLiteral("stdin") : inPath;

    QList<QByteArray> lines = input.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    QByteArray output;
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QByteArray line = lines[n];
        if (line.endsWith('\r'))
            line.chop(1);
        if (encode) {
            output += paper::encipherLine(QString::fromUtf8(line)).toLatin1();
            output += "\r\n";
            continue;
        }
        qsizetype bad = 0;
        const auto plain = paper::decipherLine(QString::fromUtf8(line), &bad);
        if (!plain)
            return fail(QStringLiteral("%1, line %2: not hexadecimal at character %3")
                            .arg(inName, QString::number(n + 1), QString::number(bad + 1)));
        output += plain->toUtf8();
        output += '\n';
    }

    return writeOut(outPath, output);
}

// Reads a whole file as UTF-8 text; a byte-order mark is dropped.
std::optional<QString> readUtf8(const QString &path, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(bytes);
    if (!decoder.hasError())
        return text;
    // No byte of a UTF-8 sequence is a line feed, so the lines can be tried one by one.
    const QList<QByteArray> lines = bytes.split('\n');
    qsizetype bad = 0;
    while (bad < lines.size()) {
        QStringDecoder one(QStringDecoder::Utf8);
        const QString decoded = one.decode(lines[bad]); // converts only when taken as text
        if (one.hasError())
            break;
        ++bad;
    }
    error = QStringLiteral("%1:%2: the text is not UTF-8; save the sheet as CSV in UTF-8 (\"Unicode (UTF-8)\")")
                .arg(path, QString::number(bad + 1));
    return std::nullopt;
}

bool sameFile(const QString &a, const QString &b)
{
    const QFileInfo fa(a);
    const QFileInfo fb(b);
    return fa.exists() && fb.exists() && fa.canonicalFilePath() == fb.canonicalFilePath();
}

// A header number as the paper keeps it: a whole number from 1 to 32767.
bool isHeaderNumber(const QString &text)
{
    if (text.isEmpty() || text.size() > 5
        || !std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return false;
    const int value = text.toInt();
    return value >= 1 && value <= std::numeric_limits<qint16>::max();
}

struct ImportOptions {
    QString inPath;
    QString outPath;
    QString title;
    QString subject;
    QString author;
    QString minutes = QStringLiteral("90"); // as vellum's header editor starts
    std::optional<QString> total;           // the full marks of the questions unless given
    std::optional<QString> marks;           // plain-text questions only; 1 unless given
    QString format;                         // csv, aiken, or empty to tell by the file
};

// Reads import's arguments; a message when they cannot be used.
std::optional<QString> readImportOptions(const QStringList &args, ImportOptions &o)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString name = args[i];
        std::optional<QString> value;
        if (name.startsWith(u"--") && name.contains(u'=')) {
            value = name.section(u'=', 1);
            name = name.section(u'=', 0, 0);
        }
        auto take = [&]() -> std::optional<QString> {
            if (value)
                return value;
            if (i + 1 >= args.size())
                return std::nullopt;
            return args[++i];
        };
        std::optional<QString> *optionalField = nullptr;
        QString *field = nullptr;
        if (name == u"-o") field = &o.outPath;
        else if (name == u"--title") field = &o.title;
        else if (name == u"--subject") field = &o.subject;
        else if (name == u"--author") field = &o.author;
        else if (name == u"--minutes") field = &o.minutes;
        else if (name == u"--format") field = &o.format;
        else if (name == u"--total") optionalField = &o.total;
        else if (name == u"--marks") optionalField = &o.marks;
        if (field || optionalField) {
            const auto given = take();
            if (!given)
                return QStringLiteral("%1 needs a value").arg(name);
            if (field)
                *field = given->trimmed();
            else
                *optionalField = given->trimmed();
        } else if (o.inPath.isEmpty() && !name.startsWith(u'-')) {
            o.inPath = args[i];
        } else {
            return QStringLiteral("unexpected argument \"%1\"").arg(args[i]);
        }
    }
    if (o.inPath.isEmpty() || o.outPath.isEmpty())
        return QStringLiteral("import takes a sheet and -o with the paper to write");
    if (o.title.isEmpty() || o.subject.isEmpty() || o.author.isEmpty())
        return QStringLiteral("import needs --title, --subject and --author: a paper's header names them");
    if (sameFile(o.inPath, o.outPath))
        return QStringLiteral("-o names the sheet itself; the paper goes to a file of its own");
    if (!o.format.isEmpty() && o.format != u"csv" && o.format != u"aiken")
        return QStringLiteral("--format is csv or aiken, not \"%1\"").arg(o.format);
    if (o.marks && paper::classifyMarks(*o.marks) != paper::MarksText::Valid)
        return QStringLiteral("--marks \"%1\" is not a number greater than zero").arg(*o.marks);
    QStringList problems;
    problems << sheet::textProblems(QStringLiteral("--title"), o.title)
             << sheet::textProblems(QStringLiteral("--subject"), o.subject)
             << sheet::textProblems(QStringLiteral("--author"), o.author);
    if (!isHeaderNumber(o.minutes))
        problems << QStringLiteral("--minutes \"%1\" is not a whole number from 1 to 32767").arg(o.minutes);
    if (o.total && !isHeaderNumber(*o.total))
        problems << QStringLiteral("--total \"%1\" is not a whole number from 1 to 32767").arg(*o.total);
    if (!problems.isEmpty())
        return problems.join(u'\n');
    o.minutes = QString::number(o.minutes.toInt()); // "045" is kept as 45
    if (o.total)
        o.total = QString::number(o.total->toInt());
    return std::nullopt;
}

int importSheet(const QStringList &args)
{
    ImportOptions o;
    if (const auto message = readImportOptions(args, o))
        return usage(*message);
    const QString &inPath = o.inPath;

    QString error;
    const auto text = readUtf8(inPath, error);
    if (!text)
        return fail(error);
    const bool aiken = o.format.isEmpty()
        ? !inPath.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive) && sheet::looksLikeAiken(*text)
        : o.format == u"aiken";
    if (o.marks && !aiken)
        return usage(QStringLiteral("--marks is for plain-text questions; a comma-separated sheet gives marks in its marks column"));
    sheet::Reading reading = aiken ? sheet::readAiken(*text, o.marks.value_or(QStringLiteral("1")))
                                   : sheet::readCsv(*text);

    paper::MarksTotal full;
    for (const oneChoice &q : reading.questions)
        paper::addFullMarks(full, q, q.getPoint());
    const auto fullValue = full.value();
    if (reading.problems.empty()) {
        if (reading.questions.empty())
            reading.problems.push_back({ 0, QStringLiteral("the sheet holds no questions") });
        else if (reading.questions.size() > size_t(paper::maxQuestions))
            reading.problems.push_back({ 0, QStringLiteral("the sheet holds %1 questions; a paper holds at most %2")
                                                .arg(reading.questions.size()).arg(paper::maxQuestions) });
        else if (!fullValue || *fullValue > std::numeric_limits<qint16>::max())
            reading.problems.push_back({ 0, QStringLiteral("the full marks of the questions exceed 32767, more than "
                                                           "the test-taking program can count") });
        else if (!o.total && *fullValue < 1)
            reading.problems.push_back({ 0, QStringLiteral("the full marks of the questions come to 0; give the total with --total") });
    }
    if (!reading.problems.empty()) {
        // Rows in file order, then what concerns the file as a whole.
        auto order = [](const sheet::Problem &p) { return p.line > 0 ? p.line : std::numeric_limits<int>::max(); };
        std::stable_sort(reading.problems.begin(), reading.problems.end(),
                         [&](const sheet::Problem &a, const sheet::Problem &b) { return order(a) < order(b); });
        for (const sheet::Problem &p : reading.problems) {
            const QString where = p.line > 0 ? QStringLiteral("%1:%2: ").arg(inPath, QString::number(p.line))
                                             : QStringLiteral("%1: ").arg(inPath);
            std::fprintf(stderr, "%s\n", (where + p.message).toUtf8().constData());
        }
        return exitProblems;
    }

    paper::Header header;
    header.random = QString::number(QRandomGenerator::global()->bounded(1000));
    header.timeLimit = o.minutes;
    header.subject = o.subject;
    header.title = o.title;
    header.total = o.total.value_or(QString::number(*fullValue));
    header.author = o.author;
    const QString headerLine = paper::buildHeaderLine(header);
    if (const QStringList wrong = paper::headerProblems(headerLine); !wrong.isEmpty())
        return fail(QStringLiteral("the header cannot be written: %1").arg(wrong.join(QStringLiteral("; "))));
    QByteArray bytes = paper::encipherLine(headerLine).toLatin1() + "\r\n";
    for (const oneChoice &q : reading.questions)
        bytes += paper::encipherLine(paper::buildQuestionLine(q)).toLatin1() + "\r\n";
    if (!writeFileDurably(o.outPath, bytes, &error))
        return fail(QStringLiteral("cannot write %1").arg(error));
    out(QStringLiteral("%1: %2 questions, full marks %3, total %4\n")
            .arg(o.outPath, QString::number(reading.questions.size()), QString::number(*fullValue), header.total));
    return exitOk;
}

int exportSheet(const QStringList &args)
{
    QString inPath;
    QString outPath;
    if (const auto problem = readInOut(args, inPath, outPath))
        return usage(*problem);
    if (inPath.isEmpty())
        return usage(QStringLiteral("export takes one paper file"));
    if (!outPath.isEmpty() && sameFile(inPath, outPath))
        return usage(QStringLiteral("-o names the paper itself; the sheet goes to a file of its own"));
    oneChoices paper;
    if (const auto error = loadPaper(inPath, paper))
        return fail(*error);
    // The byte-order mark tells spreadsheet programs that the sheet is UTF-8, so Chinese text opens as it is.
    const QByteArray bytes = "\xEF\xBB\xBF" + sheet::writeCsv(paper).toUtf8();
    return writeOut(outPath, bytes);
}

// The columns a terminal gives a character: two for the wide East Asian ones.
int columnsOf(const QString &text)
{
    int columns = 0;
    for (const char32_t c : text.toUcs4()) {
        const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F)
            || (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F)
            || (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
        columns += wide ? 2 : 1;
    }
    return columns;
}

// The rows as columns for a terminal, each as wide as its widest cell and two blanks apart.
QString alignedText(const QList<QStringList> &table)
{
    QList<int> widths;
    for (const QStringList &cells : table) {
        widths.resize(std::max(widths.size(), cells.size()), 0);
        for (qsizetype i = 0; i < cells.size(); ++i)
            widths[i] = std::max(widths[i], columnsOf(cells[i]));
    }
    QString text;
    for (const QStringList &cells : table) {
        QString line;
        for (qsizetype i = 0; i < cells.size(); ++i) {
            line += cells[i];
            if (i + 1 < cells.size())
                line += QString(widths[i] - columnsOf(cells[i]) + 2, u' ');
        }
        while (line.endsWith(u' ')) // empty cells at the end leave no blanks behind
            line.chop(1);
        text += line + u'\n';
    }
    return text;
}

QString problemText(report::ReportProblem problem)
{
    using report::ReportProblem;
    switch (problem) {
    case ReportProblem::None:
        break;
    case ReportProblem::NoResult:
        return QStringLiteral("no result (an entry is IP:ID:result)");
    case ReportProblem::NotDeciphered:
        return QStringLiteral("the result does not decipher");
    case ReportProblem::MissingFields:
        return QStringLiteral("the result lacks the paper or the time used (score:paper:seconds)");
    case ReportProblem::BadTime:
        return QStringLiteral("the time used is not a number of seconds");
    case ReportProblem::BadScore:
        return QStringLiteral("the score is not a number");
    }
    return {};
}

QString rosterProblem(const report::RosterFault &fault)
{
    using Kind = report::RosterFault::Kind;
    switch (fault.kind) {
    case Kind::None:
    case Kind::Unreadable:
        break;
    case Kind::NotUtf8:
        return QStringLiteral("not UTF-8 text");
    case Kind::UnclosedQuote:
        return QStringLiteral("the quote opened on line %1 is never closed").arg(fault.line);
    case Kind::NoIdColumn:
        return QStringLiteral("the header on line %1 has no ID column").arg(fault.line);
    case Kind::Empty:
        return QStringLiteral("the roster holds no ID");
    case Kind::IdTooLong:
        return QStringLiteral("the ID \"%1\" on line %2 is longer than 12 characters").arg(fault.detail).arg(fault.line);
    }
    return fault.detail;
}

// report: every readable entry as a row; each unreadable one named by its line on stderr.
int printReport(const QStringList &args)
{
    QString path;
    QString rosterPath;
    bool asCsv = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == u"--csv")
            asCsv = true;
        else if (a == u"--roster") {
            if (++i == args.size() || !rosterPath.isEmpty())
                return usage(QStringLiteral("--roster takes one roster file"));
            rosterPath = args[i];
        } else if (path.isEmpty() && !a.startsWith(u'-'))
            path = a;
        else
            return usage(QStringLiteral("unexpected argument \"%1\"").arg(a));
    }
    if (path.isEmpty())
        return usage(QStringLiteral("report takes one report file"));
    QString why;
    const auto entries = report::readReport(path, &why);
    if (!entries)
        return fail(QStringLiteral("cannot read %1").arg(why));
    std::optional<report::Roster> roster;
    if (!rosterPath.isEmpty()) {
        report::RosterFault fault;
        roster = report::Roster::read(rosterPath, &fault);
        if (!roster)
            return fail(QStringLiteral("cannot read the roster %1: %2").arg(rosterPath, rosterProblem(fault)));
    }

    QList<report::ReportRow> rows;
    bool problems = false;
    for (const report::ReportEntry &e : *entries) {
        const report::ReportRow row = report::reportRow(e.value);
        if (row.problem == report::ReportProblem::None) {
            rows.append(row);
            continue;
        }
        problems = true;
        const QString who = row.id.trimmed().isEmpty() ? QString() : QStringLiteral(" (ID \"%1\")").arg(row.id.trimmed());
        std::fprintf(stderr, "%s\n",
                     QStringLiteral("%1:%2: %3%4").arg(path, QString::number(e.line), problemText(row.problem), who)
                         .toUtf8().constData());
    }

    // The column names the server's viewer shows in English, so scripts read the same names everywhere.
    const Cmlo english(centrum::textEntries());
    const QString csv = centrum::reportCsvText(rows, roster ? &*roster : nullptr, english);
    if (asCsv) {
        out(csv);
        return problems ? exitProblems : exitOk;
    }
    // The table holds what the CSV holds, in columns.
    QList<QStringList> table;
    for (const csv::Record &r : csv::read(csv).records)
        table.append(r.fields);
    out(alignedText(table));
    return problems ? exitProblems : exitOk;
}

// analyse: the figures of one paper's questions from every answer file given.
int analyseAnswers(const QStringList &args)
{
    QStringList files;
    QString paperPath;
    bool asCsv = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == u"--csv")
            asCsv = true;
        else if (a == u"--paper") {
            if (++i == args.size() || !paperPath.isEmpty())
                return usage(QStringLiteral("--paper takes one paper file"));
            paperPath = args[i];
        } else if (!a.startsWith(u'-'))
            files.append(a);
        else
            return usage(QStringLiteral("unexpected argument \"%1\"").arg(a));
    }
    if (files.isEmpty())
        return usage(QStringLiteral("analyse takes one or more answer files (.ans)"));

    // Every file is read before any is analysed, so each one that cannot be read is named.
    QList<report::AnswerEntry> entries;
    bool unreadable = false;
    for (const QString &file : files) {
        report::AnswerFault fault;
        const auto lines = report::readAnswerLines(file, &fault);
        if (!lines) {
            unreadable = true;
            const QString where = fault.line > 0 ? QStringLiteral("%1:%2: ").arg(file, QString::number(fault.line))
                                                 : QStringLiteral("%1: ").arg(file);
            std::fprintf(stderr, "%s\n", (where + fault.reason).toUtf8().constData());
            continue;
        }
        for (const report::AnswerLine &l : *lines)
            entries.append(l.entry);
    }
    if (unreadable)
        return exitBadInput;

    QString paperName;
    QList<report::QuestionKey> keys;
    if (!paperPath.isEmpty()) {
        oneChoices paper;
        if (const auto error = loadPaper(paperPath, paper))
            return fail(*error);
        paperName = QFileInfo(paperPath).fileName();
        keys = report::questionKeys(paper);
    } else {
        paperName = report::commonestPaper(entries);
        if (paperName.isEmpty()) {
            std::fprintf(stderr, "papertool: the answer files hold no entries\n");
            return exitProblems;
        }
    }
    const report::PaperFigures figures = report::analyse(entries, paperName, keys);
    if (figures.candidates == 0) {
        std::fprintf(stderr, "%s\n",
                     QStringLiteral("papertool: no entries for %1 to analyse (left out: %2 for other papers, "
                                    "%3 with another number of questions)")
                         .arg(paperName, QString::number(figures.otherPapers), QString::number(figures.otherShape))
                         .toUtf8()
                         .constData());
        return exitProblems;
    }

    // The names and kinds in English, as report prints them, so scripts read the same words everywhere.
    const Cmlo english(centrum::textEntries());
    if (asCsv) {
        out(centrum::itemCsvText(figures, english));
        return exitOk;
    }
    QList<QStringList> table { centrum::itemHeader(english) };
    table.append(centrum::itemRows(figures, english));
    out(centrum::itemSummaryLines(figures, english).join(u'\n') + QStringLiteral("\n\n") + alignedText(table));
    return exitOk;
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (args.isEmpty())
        return usage();
    const QString command = args.takeFirst();
    if (command == u"-h" || command == u"--help" || command == u"help") {
        std::fputs(usageText, stdout);
        return exitOk;
    }
    if (command == u"encode" || command == u"decode")
        return convert(args, command == u"encode");
    if (command == u"import")
        return importSheet(args);
    if (command == u"export")
        return exportSheet(args);
    if (command == u"report")
        return printReport(args);
    if (command == u"analyse")
        return analyseAnswers(args);
    if (command != u"show" && command != u"score" && command != u"check")
        return usage(QStringLiteral("unknown command \"%1\"").arg(command));
    if (args.size() != 1)
        return usage(QStringLiteral("%1 takes one paper file").arg(command));
    if (command == u"show")
        return show(args[0]);
    if (command == u"score")
        return score(args[0]);
    return check(args[0]);
}
