// A day's answer file as the report viewer analyses it: the sheets, the papers they name, and each paper's figures.
#pragma once

#include "report/answerfile.h"
#include "report/itemanalysis.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class CmultiLanguage;

namespace centrum {

// The day's answer file beside its report: "2026-12-7.ans" for "2026-12-7.rpt".
QString answerPathFor(const QString &reportPath);

// Where the paper a sheet names (a file name without folder) is read from.
using PaperLocator = std::function<QString(const QString &paperName)>;

struct DayAnswers {
    QList<report::AnswerEntry> entries;
    QList<report::PaperSheets> papers; // the commonest first; among equals, the one named first
    // Lines about the file itself, in the server's language: why it cannot be read, entries left out.
    QStringList notes;
};

// The sheets of the day whose results are in the report; nothing when the day has no answer file (it was not held in
// secure mode).
std::optional<DayAnswers> readDayAnswers(const QString &reportPath, const CmultiLanguage &texts);

struct PaperAnalysis {
    report::PaperFigures figures;
    // Why the paper's answers and marks are not used, in the server's language; empty when they are.
    QString withoutPaper;
};

// The figures of one paper of the day, with its kinds, marks and answers from paperPath. A paper that cannot be read,
// or whose questions do not match the sheets, is left aside and said so.
PaperAnalysis analysePaper(const QList<report::AnswerEntry> &entries, const QString &paper, const QString &paperPath,
                           const CmultiLanguage &texts);

} // namespace centrum
