// The test's steps: loading and checking the paper, moving between questions, the countdown and submission.
#include "examdesk/testsession.h"

#include "common/clsencryptxor.h"
#include "common/durablefile.h"
#include "common/numbers.h"
#include "common/vbfile.h"
#include "examdesk/journal.h"
#include "examdesk/texts.h"
#include "paper/answersheet.h"
#include "paper/paperformat.h"
#include "paper/resulttext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <chrono>
#include <limits>
#include <tuple>

namespace examdesk {

namespace {
constexpr qint32 redSeconds = 180;
constexpr qint32 journalEverySeconds = 5;
// A change of an answer goes to the journal at once, unless the last write is more recent than
// this: then it follows when this much has passed since. Typing in a blank thus costs a few
// durable writes a second rather than one a keystroke, and a failure loses at most what was
// typed in this time.
constexpr std::chrono::milliseconds journalGrouping { 250 };
const QString journalSuffix = QStringLiteral(".journal");
} // namespace

QString findPicture(qint16 img, const QString &paperPath, const QString &programFolder)
{
    if (img == 0)
        return {};
    const QStringList folders = { QFileInfo(paperPath).absolutePath(), programFolder };
    for (const QString &folder : folders) {
        if (folder.isEmpty())
            continue;
        for (const char *suffix : { "png", "jpg", "bmp" }) {
            const QString path = QDir(folder).filePath(QStringLiteral("%1.%2").arg(img).arg(QLatin1String(suffix)));
            if (QFileInfo(path).isFile())
                return path;
        }
    }
    return {};
}

QString startCaption(const CmultiLanguage &table)
{
    return table.getRes(text::CaptionStem) + QStringLiteral(".41");
}

TestSession::TestSession(const CmultiLanguage &table, QString paperPath, Clock clock)
    : m_table(table), m_paperPath(std::move(paperPath)), m_clock(std::move(clock)), m_caption(startCaption(table))
{
    m_journalLater.setSingleShot(true);
    m_journalLater.callOnTimeout([this] { writeJournal(); });
}

TestSession::~TestSession()
{
    if (m_journalLater.isActive())
        writeJournal();
}

std::optional<QString> TestSession::paperProblem(oneChoices::LoadStatus status) const
{
    const QString path = QDir::toNativeSeparators(m_paperPath);
    switch (status) {
    case oneChoices::LoadStatus::Unreadable:
        return message(text::PaperUnreadable).arg(path, m_paper.lastError());
    case oneChoices::LoadStatus::BadLine:
        return message(text::PaperBadLine).arg(path).arg(m_paper.errorLine());
    case oneChoices::LoadStatus::TooManyQuestions:
        return message(text::PaperTooLarge).arg(path);
    case oneChoices::LoadStatus::Loaded:
        break;
    }
    if (m_paper.getCount() == 0)
        return message(text::PaperEmpty).arg(path);
    for (int k = 1; k <= m_paper.getCount(); ++k) {
        const QString kind = m_paper.getOne(k)->getType();
        if (!paper::isKnownKind(kind))
            return message(text::UnknownKind).arg(path).arg(k + 1).arg(kind);
    }
    return std::nullopt;
}

std::optional<QString> TestSession::startTest()
{
    if (auto problem = paperProblem(m_paper.init(m_paperPath)))
        return problem;
    const std::optional<QString> header = oneChoices::getTitle(m_paperPath);
    if (!header)
        return message(text::PaperBadLine).arg(QDir::toNativeSeparators(m_paperPath)).arg(1);

    m_questionCount = m_paper.getCount();
    testRecord &rec = m_console.rec;
    rec.setAns(m_questionCount, m_paper);
    const std::optional<qint64> full = rec.getFullPoint(m_paper);
    if (!full || *full > std::numeric_limits<qint16>::max() || *full < std::numeric_limits<qint16>::min()) {
        const QString shown = full ? QString::number(*full) : QStringLiteral("?");
        return message(text::MarksOutOfRange).arg(QDir::toNativeSeparators(m_paperPath), shown);
    }
    m_fullMarks = *full;
    applyPaperHeader(*header);
    recogniseSecureCopy(paper::readHeader(*header).random);
    m_console.currentItem = 1;
    m_console.setTesting(false, true, true, true, true, true);
    m_startTime = m_clock();
    m_elapsedSeconds = 0;

    QFile paperFile(m_paperPath);
    resumeFromJournal(paperHash(paperFile.open(QIODevice::ReadOnly) ? paperFile.readAll() : QByteArray()));
    m_journaling = true;
    rec.setOnChange([this] { answerChanged(); });
    writeJournal();
    return std::nullopt;
}

void TestSession::resumeFromJournal(const QByteArray &hash)
{
    m_paperHash = hash;
    // Both places count: a folder that stopped (or started) taking the journal midway leaves an
    // older one behind, so the latest state of the latest test of this paper decides.
    std::optional<Journal> latest;
    for (const QString &path : keptFilePaths(m_paperPath, m_spareFolder, journalSuffix)) {
        QFile file(path);
        if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
            continue;
        const std::optional<Journal> journal = decodeJournal(file.readAll());
        file.close();
        if (!journal) {
            // Kept for the examiner: it may still hold answers someone can read.
            QString aside = path + QStringLiteral(".bad");
            if (QFileInfo::exists(aside))
                aside = path + m_clock().toUTC().toString(QStringLiteral(".yyyyMMdd-HHmmss")) + QStringLiteral(".bad");
            if (!QFile::rename(path, aside))
                aside = path;
            m_journalNotice = message(text::JournalDamaged)
                                  .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(aside));
            continue;
        }
        const auto order = [](const Journal &j) { return std::tuple(j.started, j.secondsUsed, j.submitted); };
        if (journal->paperHash == hash && (!latest || order(*journal) > order(*latest)))
            latest = journal;
    }
    // A test already handed over, or one whose questions no longer match, starts afresh.
    if (!latest || latest->submitted || latest->answers.size() != m_questionCount || latest->currentItem > m_questionCount)
        return;
    for (int k = 0; k < m_questionCount; ++k)
        m_console.rec.addSel(k, latest->answers.at(k));
    m_console.currentItem = latest->currentItem;
    m_startTime = latest->started;
    m_elapsedSeconds = qint32(std::clamp<qint64>(m_startTime.msecsTo(m_clock()) / 1000, 0,
                                                 std::numeric_limits<qint32>::max()));
    m_resumed = true;
    m_journalNotice.clear(); // nothing was lost, so there is nothing to tell
}

void TestSession::answerChanged()
{
    const auto since = std::chrono::milliseconds(m_sinceJournal.isValid() ? m_sinceJournal.elapsed() : journalGrouping.count());
    if (since >= journalGrouping)
        writeJournal();
    else if (!m_journalLater.isActive())
        m_journalLater.start(journalGrouping - since);
}

void TestSession::writeJournal()
{
    if (!m_journaling)
        return;
    m_journalLater.stop();
    m_sinceJournal.start();
    Journal journal;
    journal.paperHash = m_paperHash;
    journal.started = m_startTime;
    journal.secondsUsed = m_elapsedSeconds;
    journal.currentItem = m_console.currentItem;
    journal.submitted = m_handedOver;
    for (int k = 0; k < m_questionCount; ++k)
        journal.answers.append(m_console.rec.getUsel(k));
    const QByteArray data = encodeJournal(journal);
    m_journalSeconds = m_elapsedSeconds;
    // Beside the paper where its folder takes it, else in the spare folder, like the result copy.
    m_journalPath.clear();
    for (const QString &path : keptFilePaths(m_paperPath, m_spareFolder, journalSuffix)) {
        if (writeFileDurably(path, data)) {
            m_journalPath = path;
            return;
        }
    }
}

void TestSession::applyPaperHeader(const QString &headerLine)
{
    const paper::Header header = paper::readHeader(headerLine);
    // Minutes to seconds; a limit beyond what fits is as good as none.
    const std::optional<qint64> seconds = numbers::roundHalfEven(numbers::leadingNumber(header.timeLimit) * 60);
    m_timeLimitSeconds = seconds ? qint32(std::clamp<qint64>(*seconds, std::numeric_limits<qint32>::min(),
                                                             std::numeric_limits<qint32>::max()))
                                 : std::numeric_limits<qint32>::max();
    m_caption += message(text::SubjectPart) + header.subject + message(text::TitlePart) + header.title
        + message(text::AuthorPart) + header.author;
}

void TestSession::recogniseSecureCopy(const QString &firstHeaderField)
{
    m_sheetToken.clear();
    if (!paper::isSheetToken(firstHeaderField))
        return;
    // A paper with a token-like number but its answers in place is scored here as ever.
    for (int k = 1; k <= m_questionCount; ++k) {
        if (!m_paper.getOne(k)->getAnswer().isEmpty())
            return;
    }
    m_sheetToken = firstHeaderField;
}

const oneChoice *TestSession::currentQuestion() const
{
    return std::as_const(m_paper).getOne(m_console.currentItem);
}

bool TestSession::next()
{
    if (m_console.currentItem >= m_questionCount)
        return false;
    ++m_console.currentItem;
    return true;
}

bool TestSession::previous()
{
    if (m_console.currentItem <= 1)
        return false;
    --m_console.currentItem;
    return true;
}

QString TestSession::countText() const
{
    return message(text::CountLabel) + numbers::labelText(m_console.currentItem) + QLatin1Char('/')
        + numbers::labelText(m_questionCount);
}

QString TestSession::fullMarksText() const
{
    return message(text::TotalLabel) + numbers::labelText(double(m_fullMarks));
}

QString TestSession::initialTimeText() const
{
    const bool untimedStarted = m_startTime.isValid() && m_timeLimitSeconds <= 0;
    return message(untimedStarted ? text::TimeUsedLabel : text::TimeLabel);
}

TestSession::Tick TestSession::tick()
{
    Tick result;
    const qint64 elapsed = m_startTime.msecsTo(m_clock()) / 1000;
    m_elapsedSeconds = qint32(std::clamp<qint64>(elapsed, 0, std::numeric_limits<qint32>::max()));
    // A paper without a positive limit is untimed: only Submit ends it.
    const bool timed = m_timeLimitSeconds > 0;
    if (timed && m_elapsedSeconds >= m_timeLimitSeconds && !m_timeUp) {
        m_timeUp = true;
        result.timeUp = true;
        m_elapsedSeconds = m_timeLimitSeconds; // a late tick still reports the whole limit
    }
    if (!m_submitted && m_elapsedSeconds - m_journalSeconds >= journalEverySeconds)
        writeJournal();
    if (!timed) {
        // Nothing counts down, so the candidate sees the time used rather than a time below zero.
        result.timeText = message(text::TimeUsedLabel) + numbers::labelText(double(m_elapsedSeconds / 60))
            + QLatin1Char(':') + numbers::labelText(double(m_elapsedSeconds % 60));
        return result;
    }
    const qint64 remaining = qint64(m_timeLimitSeconds) - m_elapsedSeconds;
    if (remaining <= redSeconds && !m_red) {
        m_red = true;
        result.turnRed = true;
    }
    // Whole minutes round down; the seconds keep the sign of what remains.
    const qint64 minutes = remaining >= 0 ? remaining / 60 : -((-remaining + 59) / 60);
    result.timeText = message(text::TimeLabel) + numbers::labelText(double(minutes)) + QLatin1Char(':')
        + numbers::labelText(double(remaining % 60));
    return result;
}

QString TestSession::resultText() const
{
    const std::optional<qint64> score = m_console.rec.getResult(m_paper);
    return paper::formatResultText(score.value_or(0), vbFile::fileNameNoPath(m_paperPath), m_elapsedSeconds);
}

QString TestSession::answerSheetText() const
{
    paper::AnswerSheet sheet { m_sheetToken, vbFile::fileNameNoPath(m_paperPath), m_elapsedSeconds, {} };
    for (int k = 0; k < m_questionCount; ++k)
        sheet.answers.append(m_console.rec.getUsel(k));
    return paper::formatAnswerSheet(sheet);
}

TestSession::HandOff TestSession::submit(const Sender &send)
{
    HandOff handOff;
    m_submitted = true;
    m_console.setTesting(false, false, false, false, true, true);
    const bool secure = secureCopy();
    handOff.resultHex = clsEncryptXOR().HexEncrypt(secure ? answerSheetText() : resultText());

    // The copy beside the paper comes first, so a failed hand-off never loses the result. A paper
    // in a folder the candidate cannot write to, such as an installed one, has it in the spare folder.
    for (const QString &copyPath : keptFilePaths(m_paperPath, m_spareFolder, QStringLiteral(".result"))) {
        if (writeFileDurably(copyPath, handOff.resultHex.toLatin1() + '\n', &handOff.saveError)) {
            handOff.savedPath = copyPath;
            break;
        }
    }

    handOff.outcome = send(handOff.resultHex, message(text::CaptionStem));
    if (handOff.outcome == CsendMessage::Outcome::Delivered) {
        // Not before: a test whose result never arrived resumes when it is started again.
        m_handedOver = true;
        writeJournal();
        if (secure)
            handOff.notice = message(text::SheetHandedIn);
        return handOff;
    }
    const bool tooLong = handOff.outcome == CsendMessage::Outcome::TooLong;
    if (!handOff.savedPath.isEmpty()) {
        const int entry = secure ? (tooLong ? text::SheetTooLong : text::SheetHandOffFailed)
                                 : (tooLong ? text::ResultTooLong : text::HandOffFailed);
        handOff.message = message(entry).arg(QDir::toNativeSeparators(handOff.savedPath));
    } else if (secure) {
        // A sheet runs to thousands of digits: nobody could copy it by hand from a message box.
        handOff.message = message(text::SheetNotSaved).arg(handOff.saveError);
    } else {
        handOff.message = message(text::HandOffNotSaved).arg(handOff.resultHex, handOff.saveError);
    }
    return handOff;
}

} // namespace examdesk
