// The report viewer's "Questions" table of a day, as CSV on stdout: what the window shows for
// the commonest paper of the day's answer file, read and analysed the way the window does.
#include "centrum/dayquestions.h"
#include "centrum/itemtable.h"
#include "centrum/texts.h"
#include "common/multilanguage.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fputs("usage: viewerquestions REPORT.rpt PAPER.dat\n", stderr);
        return 2;
    }
    const Cmlo english(centrum::textEntries());
    const std::optional<centrum::DayAnswers> day = centrum::readDayAnswers(args[1], english);
    if (!day || day->papers.isEmpty()) {
        std::fputs("the day has no answer sheets\n", stderr);
        return 1;
    }
    const centrum::PaperAnalysis analysis =
        centrum::analysePaper(day->entries, day->papers.constFirst().paper, args[2], english);
    if (!analysis.withoutPaper.isEmpty()) {
        std::fprintf(stderr, "%s\n", analysis.withoutPaper.toUtf8().constData());
        return 1;
    }
    const QByteArray csv = centrum::itemCsvText(analysis.figures, english).toUtf8();
    std::fwrite(csv.constData(), 1, size_t(csv.size()), stdout);
    return 0;
}
