// Timings through examdesk's real windows, offscreen: Start to the first question shown, and each
// move to the next or previous question until its view is painted.
#include "bench/support/benchpaper.h"

#include "common/multilanguage.h"
#include "examdesk/form2.h"
#include "examdesk/texts.h"
#include "examdesk/views.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace examdesk;

namespace {

// Notes the question view that was painted last, wherever the painting starts.
class PaintWatch : public QObject
{
public:
    const QWidget *lastPainted = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            if (auto *view = qobject_cast<subject *>(watched))
                lastPainted = view;
        }
        return false;
    }
};

struct Figures {
    double median = 0;
    double max = 0;
    int count = 0;
};

Figures figuresOf(std::vector<double> ms)
{
    Figures f;
    f.count = int(ms.size());
    if (ms.empty())
        return f;
    std::sort(ms.begin(), ms.end());
    const size_t n = ms.size();
    f.median = n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2;
    f.max = ms.back();
    return f;
}

QJsonObject jsonOf(const Figures &f)
{
    return { { "median_ms", f.median }, { "max_ms", f.max }, { "count", f.count } };
}

class Bench
{
public:
    explicit Bench(QString paperPath) : m_paperPath(std::move(paperPath))
    {
        qApp->installEventFilter(&m_watch);
    }

    // A fresh test window, shown and painted, before any clock runs.
    std::unique_ptr<Form2> openWindow()
    {
        Form2::Seams seams;
        seams.clock = [] { return QDateTime::currentDateTimeUtc(); };
        seams.send = [](const QString &, const QString &) { return CsendMessage::Outcome::Delivered; };
        seams.warn = [this](const QString &, const QString &text) { m_warnings << text; };
        seams.screen = QRect(0, 0, 1280, 800);
        auto form = std::make_unique<Form2>(m_table, m_paperPath, seams);
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get()))
            m_warnings << QStringLiteral("the test window was never shown");
        QCoreApplication::processEvents();
        return form;
    }

    // Milliseconds from the click on button until form's new question view has been
    // painted and the view it replaced is gone; negative when no view came.
    double timeClick(Form2 &form, QPushButton *button)
    {
        m_watch.lastPainted = nullptr;
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(button, Qt::LeftButton);
        QDeadlineTimer deadline(10000);
        while (!(form.currentView() && m_watch.lastPainted == form.currentView())) {
            if (deadline.hasExpired() || !m_warnings.isEmpty())
                return -1;
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return double(clock.nsecsElapsed()) / 1e6;
    }

    QStringList warnings() const { return m_warnings; }

private:
    QString m_paperPath;
    Cmlo m_table { examdesk::textEntries() };
    PaintWatch m_watch;
    QStringList m_warnings;
};

// The offscreen platform cannot raise windows and says so for every view shown; that says
// nothing about the timings, so it is left out of the output.
void quietOffscreenNotes(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains(QLatin1String("does not support raise()")))
        return;
    qt_message_output(type, context, message);
}

int fail(const QString &message)
{
    std::fprintf(stderr, "examdesk_bench: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietOffscreenNotes);
    QApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Times examdesk's windows on a generated paper."));
    parser.addHelpOption();
    parser.addOption({ QStringLiteral("questions"), QStringLiteral("Questions in the paper (1 to 32766)."),
                       QStringLiteral("n"), QStringLiteral("32766") });
    parser.addOption({ QStringLiteral("starts"), QStringLiteral("Times Start is timed, each on a new window."),
                       QStringLiteral("n"), QStringLiteral("5") });
    parser.addOption({ QStringLiteral("steps"), QStringLiteral("Moves forward, then as many back."),
                       QStringLiteral("n"), QStringLiteral("300") });
    parser.addOption({ QStringLiteral("json"), QStringLiteral("Also write the figures to this file."),
                       QStringLiteral("file") });
    parser.process(app);

    bool ok1 = false, ok2 = false, ok3 = false;
    const int questions = parser.value(QStringLiteral("questions")).toInt(&ok1);
    const int starts = parser.value(QStringLiteral("starts")).toInt(&ok2);
    const int steps = parser.value(QStringLiteral("steps")).toInt(&ok3);
    if (!ok1 || !ok2 || !ok3 || questions < 1 || questions > 32766 || starts < 1 || steps < 0)
        return fail(QStringLiteral("--questions takes 1 to 32766, --starts at least 1, --steps at least 0"));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.dat"));
    if (!dir.isValid() || !bench::writePaperFile(path, bench::paperLines(questions, bench::Kinds::All)))
        return fail(QStringLiteral("cannot write the paper in %1").arg(dir.path()));

    Bench bench(path);
    std::vector<double> startMs;
    for (int run = 0; run < starts; ++run) {
        auto form = bench.openWindow();
        const double ms = bench.timeClick(*form, form->Command6);
        if (ms < 0)
            return fail(QStringLiteral("Start showed no question: %1").arg(bench.warnings().join(QLatin1Char(' '))));
        startMs.push_back(ms);
    }

    // One window moves forward through the paper and back again.
    std::vector<double> nextMs, previousMs;
    auto form = bench.openWindow();
    if (bench.timeClick(*form, form->Command6) < 0)
        return fail(QStringLiteral("Start showed no question"));
    const int moves = std::min(steps, questions - 1);
    for (int i = 0; i < moves; ++i) {
        const double ms = bench.timeClick(*form, form->Command1);
        if (ms < 0 || form->session().testConsole().currentItem != i + 2)
            return fail(QStringLiteral("> did not show question %1").arg(i + 2));
        nextMs.push_back(ms);
    }
    for (int i = 0; i < moves; ++i) {
        const double ms = bench.timeClick(*form, form->Command3);
        if (ms < 0 || form->session().testConsole().currentItem != moves - i)
            return fail(QStringLiteral("< did not show question %1").arg(moves - i));
        previousMs.push_back(ms);
    }

    const Figures start = figuresOf(startMs), next = figuresOf(nextMs), previous = figuresOf(previousMs);
    std::printf("examdesk on %d questions, offscreen\n", questions);
    std::printf("  Start to first question: median %8.2f ms  max %8.2f ms  (%d runs)\n", start.median, start.max, start.count);
    std::printf("  next question:           median %8.2f ms  max %8.2f ms  (%d moves)\n", next.median, next.max, next.count);
    std::printf("  previous question:       median %8.2f ms  max %8.2f ms  (%d moves)\n", previous.median, previous.max, previous.count);

    if (parser.isSet(QStringLiteral("json"))) {
        const QJsonObject figures { { "questions", questions }, { "start", jsonOf(start) },
                                    { "next", jsonOf(next) }, { "previous", jsonOf(previous) } };
        QFile out(parser.value(QStringLiteral("json")));
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || out.write(QJsonDocument(figures).toJson()) < 0 || !out.flush())
            return fail(QStringLiteral("cannot write %1").arg(out.fileName()));
    }
    return 0;
}
