// Fuzz target: loading, checking and scoring a paper file, and parsing its question lines.
#include "tests/fuzz/fuzzinput.h"

#include "paper/onechoices.h"
#include "paper/papercheck.h"
#include "paper/paperformat.h"
#include "paper/scoring.h"

#include <QFile>

// Input: one byte that says how the rest is taken, then the rest. 'p': plain lines split at
// LF, each written enciphered and ended by CR LF as the authoring program does; anything
// else: the file's own bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const fuzz::ScratchFolder scratch("paper");
    if (size == 0)
        return 0;
    const QByteArray rest(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    QByteArray file;
    if (data[0] == 'p') {
        for (const QString &line : QString::fromUtf8(rest).split(u'\n'))
            file += paper::encipherLine(line).toLatin1() + "\r\n";
    } else {
        file = rest;
    }
    const QString path = scratch.filePath(QStringLiteral("paper.dat"));
    {
        QFile f(path);
        FUZZ_ASSERT(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(file);
    }

    oneChoices paper;
    const auto status = paper.init(path);
    FUZZ_ASSERT(status != oneChoices::LoadStatus::Unreadable);
    FUZZ_ASSERT(status == oneChoices::LoadStatus::Loaded || paper.getCount() == 0);
    FUZZ_ASSERT(paper.getOne(0) == nullptr && paper.getOne(paper.getCount() + 1) == nullptr);

    // Every question can be shown, checked and written again; answering every question as its
    // answer says earns exactly the full marks.
    QStringList correct;
    for (int k = 1; k <= paper.getCount(); ++k) {
        const oneChoice *q = paper.getOne(k);
        FUZZ_ASSERT(q != nullptr);
        paper::questionProblems(*q);
        q->validateLine();
        QString answer = q->getAnswer();
        if (q->getType() == paper::kindBlank) {
            answer.clear();
            for (int b = 0; b < oneChoice::optionCount; ++b)
                answer += q->getOption(b) + u'~';
        }
        correct.append(answer);
        // Written, read and written again, a question stays as it is. (The first writing may
        // still lose the blanks after the option that becomes the line's last field.)
        oneChoice again;
        again.init(paper::buildQuestionLine(*q));
        const QString line = paper::buildQuestionLine(again);
        oneChoice third;
        third.init(line);
        FUZZ_ASSERT(paper::buildQuestionLine(third) == line);
    }
    FUZZ_ASSERT(paper::scoreAnswers(paper, correct) == paper::fullMarks(paper));
    paper::scoreAnswers(paper, { QStringLiteral("1"), QString(), QStringLiteral("135") });

    // The check finds a fault wherever loading stops, and none in a paper it passes.
    const paper::CheckResult check = paper::checkPaper(path);
    FUZZ_ASSERT(check.opened);
    if (status != oneChoices::LoadStatus::Loaded)
        FUZZ_ASSERT(!check.problems.empty());
    if (check.problems.empty()) {
        FUZZ_ASSERT(paper.getCount() > 0);
        const auto full = paper::fullMarks(paper);
        FUZZ_ASSERT(full && *full <= 32767);
    }

    if (const auto header = oneChoices::getTitle(path)) {
        paper::readHeader(*header);
        paper::headerProblems(*header);
    }
    return 0;
}
