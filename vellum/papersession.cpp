// The state both authoring windows share: the header, the paper's lines, the mode, and saving.
#include "vellum/papersession.h"

#include "common/errors.h"
#include "common/numbers.h"
#include "paper/linefields.h"
#include "paper/paperformat.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

namespace vellum {

namespace {

constexpr int headerFields = 6;

// A number box: its leading number rounded half to even; beyond 16 bits counts as missing.
qint16 boxNumber(const QString &text)
{
    return numbers::leadingInt16(text.trimmed()).value_or(0);
}

} // namespace

PaperSession::PaperSession(QString programFolder, std::function<int()> randomBelow1000)
    : m_programFolder(std::move(programFolder))
    , m_random(std::move(randomBelow1000))
    , m_lines(std::make_unique<vbFile>())
{
}

bool PaperSession::setHeaderField(HeaderField field, const QString &boxText)
{
    if (holdsSeparator(boxText))
        return false;
    switch (field) {
    case HeaderField::Title:
        paperHeader.Title = boxText.trimmed();
        break;
    case HeaderField::Subject:
        paperHeader.Subject = boxText.trimmed();
        break;
    case HeaderField::TimeLimit:
        paperHeader.timeLimit = boxNumber(boxText);
        break;
    case HeaderField::Total:
        paperHeader.Total = boxNumber(boxText);
        break;
    case HeaderField::Author:
        paperHeader.Author = boxText.trimmed();
        break;
    case HeaderField::FileName:
        paperHeader.FileName = fileNameFor(boxText);
        break;
    }
    return true;
}

QString PaperSession::fileNameFor(const QString &boxText) const
{
    const QString name = boxText.trimmed();
    // Only the exact lower-case suffix of the box text itself counts, not of the trimmed text.
    if (boxText.endsWith(QStringLiteral(".dat"), Qt::CaseSensitive)) {
        if (QFileInfo(name).isAbsolute())
            return name;
        return m_programFolder + u'/' + name;
    }
    return m_programFolder + u'/' + name + QStringLiteral(".dat");
}

PaperSession::Opened PaperSession::openPaper(const QString &path)
{
    // The message shown says in the author's language what is wrong with a file that opens;
    // the reason adds only which file it is.
    Opened result;
    result.reason = path;
    auto lines = std::make_unique<vbFile>();
    if (!lines->OpenForRead(path)) {
        result.reason = lines->getLastError();
        return result;
    }
    try {
        lines->readAllLine();
    } catch (const SuiteError &) {
        lines->closeFile();
        return result; // more lines than a paper holds
    }
    lines->closeFile();
    if (lines->lineCount < 1)
        return result;
    const std::optional<QString> plain = m_cipher.tryHexDecrypt(lines->getLineByIndex(0));
    if (!plain)
        return result;
    const QStringList fields = paper::LineFields(*plain).toList();
    if (fields.size() < headerFields)
        return result;

    m_lines = std::move(lines);
    paperMode = Mode::Append;
    // The chosen path is kept as it is, whatever its suffix.
    paperHeader.FileName = path;
    setHeaderField(HeaderField::Title, fields.at(3));
    setHeaderField(HeaderField::Subject, fields.at(2));
    setHeaderField(HeaderField::TimeLimit, fields.at(1));
    setHeaderField(HeaderField::Total, fields.at(4));
    setHeaderField(HeaderField::Author, fields.at(5));
    result.ok = true;
    result.hasQuestions = m_lines->lineCount > 1;
    return result;
}

PaperSession::Leave PaperSession::leaveToAdd()
{
    if (!paperHeader.validateItem())
        return Leave::Incomplete;
    return leave(paperMode);
}

PaperSession::Leave PaperSession::leaveToEdit()
{
    if (paperMode == Mode::New)
        return Leave::Ignored;
    if (!paperHeader.validateItem())
        return Leave::Incomplete;
    return leave(Mode::Modi);
}

PaperSession::Leave PaperSession::leave(Mode mode)
{
    m_lines->setFilename(paperHeader.FileName);
    if (mode == Mode::New && m_lines->exists())
        return Leave::Exists;
    if (!canWrite())
        return Leave::Unwritable;
    // Only a hand-over changes the mode: after a refusal the other button still does what it says.
    paperMode = mode;
    if (paperMode == Mode::New)
        m_lines->AddLineByIndex(0, headerLine());
    else
        m_lines->setLineByIndex(0, headerLine());
    return Leave::Go;
}

bool PaperSession::canWrite() const
{
    const QFileInfo target(paperHeader.FileName);
    if (target.isDir() || (target.exists() && !target.isWritable()))
        return false;
    // Saving goes through a temporary file beside the paper, so the folder must take one.
    QTemporaryFile probe(target.absoluteDir().filePath(QStringLiteral(".vellum-XXXXXX")));
    return probe.open();
}

QString PaperSession::headerLine() const
{
    paper::Header h;
    h.random = QString::number(m_random());
    h.timeLimit = QString::number(paperHeader.timeLimit);
    h.subject = paperHeader.Subject;
    h.title = paperHeader.Title;
    h.total = QString::number(paperHeader.Total);
    h.author = paperHeader.Author;
    return m_cipher.HexEncrypt(paper::buildHeaderLine(h));
}

bool PaperSession::save(QString *error)
{
    m_lines->setFilename(paperHeader.FileName);
    if (m_lines->replaceFile())
        return true;
    if (error)
        *error = m_lines->getLastError();
    return false;
}

} // namespace vellum
