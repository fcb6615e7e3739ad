// Secure mode's results: answer sheets checked against the copies issued, scored, and stored with their answers.
#include "centrum/securesheets.h"

#include "centrum/candidatelinks.h"
#include "centrum/resultrecorder.h"
#include "centrum/securepaper.h"
#include "centrum/servicelog.h"
#include "centrum/texts.h"
#include "common/clsencryptxor.h"
#include "paper/answersheet.h"
#include "paper/resulttext.h"
#include "report/answerfile.h"
#include "report/report.h"
#include "wire/wiretags.h"

#include <QFileInfo>

namespace centrum {

namespace {

QString resultKey(const QString &id, const QString &paperName)
{
    return id + u'\n' + paperName;
}

QString sheetAnswers(qint64 seconds, const QStringList &answers)
{
    QString text = QString::number(seconds);
    text.reserve(text.size() + answers.size() * 4);
    for (const QString &a : answers) {
        text += u':';
        paper::appendEscapedSheetText(text, a);
    }
    return text;
}

} // namespace

SecureSheets::SecureSheets(CandidateLinks &links, ResultRecorder &recorder, ServiceLog &log)
    : m_links(links), m_recorder(recorder), m_log(log)
{
}

SecureSheets::~SecureSheets() = default;

bool SecureSheets::start(const QList<ClassFile> &papers, const QString &answerFile, const QString &reportFile,
                         QString *why)
{
    // Nothing changes until the stored results are read: a start that fails keeps the last.
    QHash<QString, Result> results;
    // Answers whose report could not be written are no result: that sheet may come again.
    if (QFileInfo(answerFile).exists() && QFileInfo(reportFile).exists()) {
        const auto stored = report::readAnswerFile(answerFile, reportFile, why);
        if (!stored)
            return false;
        for (const report::AnswerEntry &e : *stored) {
            QStringList given;
            for (const report::QuestionAnswer &q : e.questions)
                given.append(q.answer);
            results.insert(resultKey(e.id, e.paper), { sheetAnswers(e.seconds, given), true });
        }
    }
    m_papers.clear();
    for (const ClassFile &paper : papers) {
        if (paper.secure)
            m_papers.insert(paper.fNameNoPs, paper.secure);
    }
    m_results = results;
    return true;
}

void SecureSheets::stop()
{
    m_papers.clear();
    m_results.clear();
}

bool SecureSheets::allowAgain(const QString &id)
{
    const QString prefix = id + u'\n';
    return m_results.removeIf([&prefix](const auto &it) { return it.key().startsWith(prefix); }) > 0;
}

void SecureSheets::refuse(qint16 index, quint64 serial, const QString &address, const QString &id, const QString &why)
{
    ++m_refused;
    m_log.log(m_log.text(text::ResultRefused).arg(m_refused).arg(why, address, id));
    m_links.close(index, serial);
}

bool SecureSheets::receive(qint16 index, quint64 serial, const QString &address, const QString &id,
                           const QString &result, std::function<void(const QString &resultText)> stored)
{
    const auto refused = [&](const QString &why) {
        refuse(index, serial, address, id, why);
        return false;
    };
    const std::optional<QString> plain
        = result.size() % 4 == 0 ? clsEncryptXOR().tryHexDecrypt(QStringView(result)) : std::nullopt;
    if (!plain)
        return refused(m_log.text(text::SheetUnreadable));
    if (!paper::isAnswerSheet(*plain))
        return refused(m_log.text(text::NotASheet));
    const std::optional<paper::AnswerSheet> sheet = paper::parseAnswerSheet(*plain);
    if (!sheet)
        return refused(m_log.text(text::SheetUnreadable));
    const std::shared_ptr<const SecurePaper> paper = m_papers.value(sheet->paper);
    if (!paper)
        return refused(m_log.text(text::PaperNotServed).arg(sheet->paper));
    if (sheet->token != paper->tokenFor(id))
        return refused(m_log.text(text::TokenNotIssued));
    if (sheet->answers.size() != paper->questionCount())
        return refused(m_log.text(text::AnswerCount).arg(sheet->answers.size()).arg(paper->questionCount()));
    const SecurePaper::Marked marked = paper->mark(id, sheet->answers);
    const QString key = resultKey(id, paper->name());
    const QString given = sheetAnswers(sheet->seconds, marked.answers);
    if (const auto it = m_results.constFind(key); it != m_results.cend()) {
        if (!it->stored || it->answers != given)
            return refused(m_log.text(text::ResultTaken).arg(paper->name()));
        m_log.log(m_log.text(text::SheetAgain) + id);
        m_links.send(index, serial, QByteArray(wire::tagFinished));
        return true;
    }

    report::AnswerEntry answers { {}, id, paper->name(), sheet->seconds, marked.score, {} };
    answers.questions.reserve(marked.answers.size());
    for (qsizetype i = 0; i < marked.answers.size(); ++i)
        answers.questions.append({ marked.answers[i], marked.points.value(i) });
    const QString resultText = clsEncryptXOR().HexEncrypt(paper::formatResultText(marked.score, paper->name(), sheet->seconds));
    m_results.insert(key, { given, false }); // a second sheet meanwhile is refused
    m_recorder.addSheet(index, serial, report::reportEntry(address, id, resultText), std::move(answers),
                        [this, key, given, resultText, stored = std::move(stored)](bool written) {
                            if (written && stored)
                                stored(resultText);
                            const auto it = m_results.find(key);
                            if (it == m_results.end() || it->answers != given)
                                return; // allowed again meanwhile
                            if (written)
                                it->stored = true;
                            else
                                m_results.erase(it); // it may come again
                        });
    return true;
}

} // namespace centrum
