// The server's window, in this process, while loadgen drives a room of candidates through it: the
// longest time the window's event loop was kept from a 10 ms timer, and the counters at the end.
#include "centrum/form1.h"
#include "centrum/server.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>

namespace {

qint64 threadCpuNs()
{
    timespec t {};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral(
        "Runs the exam server with its window while loadgen sends a room of candidates through it; prints JSON."));
    options.addHelpOption();
    const QCommandLineOption loadgen(QStringLiteral("loadgen"), QStringLiteral("the load generator"), QStringLiteral("PATH"));
    const QCommandLineOption candidates(QStringLiteral("candidates"), QStringLiteral("candidates (1000)"), QStringLiteral("N"),
                                        QStringLiteral("1000"));
    const QCommandLineOption concurrency(QStringLiteral("concurrency"), QStringLiteral("at once (100)"), QStringLiteral("C"),
                                         QStringLiteral("100"));
    const QCommandLineOption maxHold(QStringLiteral("max-hold-ms"),
                                     QStringLiteral("longest hold of the loop allowed, beyond the tick (0: not judged)"),
                                     QStringLiteral("MS"), QStringLiteral("0"));
    const QCommandLineOption noWindow(QStringLiteral("no-window"), QStringLiteral("the server alone, for reference"));
    options.addOptions({ loadgen, candidates, concurrency, maxHold, noWindow });
    options.process(app);
    const int room = options.value(candidates).toInt();
    if (!options.isSet(loadgen) || room < 1) {
        std::fputs("roomwindow_bench: --loadgen PATH is needed, and at least one candidate\n", stderr);
        return 2;
    }

    // A paper, and a roster of the IDs loadgen gives (its prefix and the candidate's number).
    QTemporaryDir dir;
    const auto write = [&dir](const QString &name, const QByteArray &bytes) {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    };
    QByteArray roster = "ID\n";
    for (int i = 0; i < room; ++i)
        roster += "R" + QByteArray::number(i) + '\n';
    QByteArray paper(40 * 1024, 'p');
    if (!write(QStringLiteral("p.dat"), paper) || !write(QStringLiteral("roster.txt"), roster)
        || !write(QStringLiteral("setting.ini"),
                  "[comm]\nmsg=0\nweb=0\ntransfers=8\n[subject]\nfile=p.dat\nroster=roster.txt\nstrict=1\nresume=0\n")) {
        std::fputs("roomwindow_bench: the server's folder cannot be written\n", stderr);
        return 2;
    }

    centrum::ServerSeams seams;
    seams.programFolder = dir.path();
    centrum::Server server(seams);
    centrum::Desktop desktop;
    desktop.warn = [](QWidget *, const QString &, const QString &text) {
        std::fprintf(stderr, "roomwindow_bench: %s\n", qUtf8Printable(text));
    };
    desktop.ask = [](QWidget *, const QString &, const QString &) { return false; };
    desktop.openText = [](const QString &) { return false; };
    std::unique_ptr<centrum::Form1> form;
    if (!options.isSet(noWindow)) {
        form = std::make_unique<centrum::Form1>(server, desktop);
        form->show();
    }
    const auto started = server.start();
    if (!started.messageService) {
        std::fprintf(stderr, "roomwindow_bench: %s\n", qUtf8Printable(started.problem));
        return 2;
    }

    // Every tick notes how long it was since the last: more than the interval is time the loop
    // was held. Of that, the thread's own CPU time is what the server and its window spent; the
    // rest is a busy machine handing the processor to others.
    QElapsedTimer clock;
    qint64 last = 0, longest = 0, lastCpu = threadCpuNs(), busiest = 0;
    constexpr int tickMs = 10;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed(), cpu = threadCpuNs();
        longest = std::max(longest, now - last);
        busiest = std::max(busiest, cpu - lastCpu);
        last = now;
        lastCpu = cpu;
    });

    QProcess driver;
    driver.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QObject::connect(&driver, &QProcess::finished, &app, [&] {
        tick.stop();
        // The last batch of the table's changes is in once the batch time has passed.
        QTimer::singleShot(2 * seams.roomBatch, &app, &QApplication::quit);
    });
    clock.start();
    tick.start(tickMs);
    driver.start(options.value(loadgen),
                 { QStringLiteral("room"), QStringLiteral("--port"), QString::number(server.messagePort()),
                   QStringLiteral("--candidates"), QString::number(room), QStringLiteral("--concurrency"),
                   options.value(concurrency), QStringLiteral("--id-prefix"), QStringLiteral("R"), QStringLiteral("--folder"),
                   dir.path(), QStringLiteral("--paper"), dir.filePath(QStringLiteral("p.dat")) });
    app.exec();

    const centrum::RoomCounters c = server.room().counters();
    const double gapMs = double(longest) / 1e6;
    const double holdMs = std::max(0.0, gapMs - double(tickMs));
    const QByteArray loadgenOut = driver.readAllStandardOutput();
    QJsonObject result {
        { QStringLiteral("candidates"), room },
        { QStringLiteral("seconds"), double(clock.elapsed()) / 1000.0 },
        { QStringLiteral("longest_gap_ms"), gapMs },
        { QStringLiteral("longest_hold_ms"), holdMs },
        { QStringLiteral("busiest_gap_cpu_ms"), double(busiest) / 1e6 },
        { QStringLiteral("expected"), c.expected },
        { QStringLiteral("logged_in"), c.loggedIn },
        { QStringLiteral("submitted"), c.submitted },
        { QStringLiteral("absent"), c.absent },
        { QStringLiteral("counters_shown"), form ? form->roomCounters->text() : QString() },
        { QStringLiteral("loadgen_exit"), driver.exitCode() },
    };
    std::fputs(QJsonDocument(result).toJson(QJsonDocument::Compact).constData(), stdout);
    std::fputc('\n', stdout);
    const double allowed = options.value(maxHold).toDouble();
    const bool ok = driver.exitStatus() == QProcess::NormalExit && driver.exitCode() == 0 && c.submitted == room
        && c.expected == room && c.absent == 0 && (allowed <= 0 || holdMs <= allowed);
    if (!ok)
        std::fprintf(stderr, "roomwindow_bench: not every candidate went through, or a gap was too long; loadgen said %s\n",
                     loadgenOut.left(2000).constData());
    return ok ? 0 : 1;
}
