// A day's answer file as the report viewer analyses it: the sheets, the papers they name, and each paper's figures.
#include "centrum/dayquestions.h"

#include "centrum/texts.h"
#include "common/multilanguage.h"
#include "paper/onechoices.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace centrum {

QString answerPathFor(const QString &reportPath)
{
    const QFileInfo report(reportPath);
    return report.dir().filePath(report.completeBaseName() + QStringLiteral(".ans"));
}

std::optional<DayAnswers> readDayAnswers(const QString &reportPath, const CmultiLanguage &texts)
{
    const QString answerPath = answerPathFor(reportPath);
    if (!QFileInfo::exists(answerPath))
        return std::nullopt;
    DayAnswers day;
    QString why;
    qsizetype skipped = 0;
    std::optional<QList<report::AnswerEntry>> entries = report::readAnswerFile(answerPath, reportPath, &why, &skipped);
    if (!entries) {
        day.notes << texts.getRes(text::AnswersUnreadable) + why;
        return day;
    }
    day.entries = std::move(*entries);
    if (skipped > 0)
        day.notes << texts.getRes(text::EntriesSkipped).arg(skipped);
    if (day.entries.isEmpty())
        day.notes << texts.getRes(text::NoSheets);

    day.papers = report::papersBySheets(day.entries);
    return day;
}

PaperAnalysis analysePaper(const QList<report::AnswerEntry> &entries, const QString &paper, const QString &paperPath,
                           const CmultiLanguage &texts)
{
    QList<report::QuestionKey> keys;
    // Why the paper's keys cannot be used; empty when they can.
    QString why;
    const QFileInfo file(paperPath);
    oneChoices questions;
    if (!file.exists()) {
        why = texts.getRes(text::FileMissing);
    } else if (!file.isFile() || !file.isReadable()) {
        why = texts.getRes(text::NotReadableFile);
    } else {
        switch (questions.init(paperPath)) {
        case oneChoices::LoadStatus::Loaded:
            keys = report::questionKeys(questions);
            break;
        case oneChoices::LoadStatus::Unreadable:
            why = texts.getRes(text::NotReadableFile);
            break;
        case oneChoices::LoadStatus::BadLine:
        case oneChoices::LoadStatus::TooManyQuestions:
            why = texts.getRes(text::NotAPaper).arg(questions.errorLine());
            break;
        }
    }
    // A paper changed since the day (or another paper of the same name) would leave every sheet out; the sheets are
    // still worth reading without it.
    if (why.isEmpty()) {
        const auto sheet = std::find_if(entries.cbegin(), entries.cend(),
                                        [&paper](const report::AnswerEntry &e) { return e.paper == paper; });
        const bool anyFits = std::any_of(entries.cbegin(), entries.cend(), [&](const report::AnswerEntry &e) {
            return e.paper == paper && e.questions.size() == keys.size();
        });
        if (sheet != entries.cend() && !anyFits) {
            why = texts.getRes(text::PaperShape).arg(keys.size()).arg(sheet->questions.size());
            keys.clear();
        }
    }
    PaperAnalysis result;
    result.figures = report::analyse(entries, paper, keys);
    if (!why.isEmpty())
        result.withoutPaper = texts.getRes(text::PaperNotUsed).arg(QDir::toNativeSeparators(paperPath), why);
    return result;
}

} // namespace centrum
