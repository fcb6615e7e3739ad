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
    const QCommandLineOption maxGap(QStringLiteral("max-gap-ms"), QStringLiteral("longest gap allowed (0: not judged)"),
                                    QStringLiteral("MS"), QStringLiteral("0"));
    options.addOptions({ loadgen, candidates, concurrency, maxGap });
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
    centrum::Form1 form(server, desktop);
    form.show();
    const auto started = server.start();
    if (!started.messageService) {
        std::fprintf(stderr, "roomwindow_bench: %s\n", qUtf8Printable(started.problem));
        return 2;
    }

    // Every tick notes how long it was since the last: more than the interval is time the loop was held.
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });

    QProcess driver;
    driver.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QObject::connect(&driver, &QProcess::finished, &app, [&] {
        tick.stop();
        // The last batch of the table's changes is in once the batch time has passed.
        QTimer::singleShot(2 * seams.roomBatch, &app, &QApplication::quit);
    });
    clock.start();
    tick.start(10);
    driver.start(options.value(loadgen),
                 { QStringLiteral("room"), QStringLiteral("--port"), QString::number(server.messagePort()),
                   QStringLiteral("--candidates"), QString::number(room), QStringLiteral("--concurrency"),
                   options.value(concurrency), QStringLiteral("--id-prefix"), QStringLiteral("R"), QStringLiteral("--folder"),
                   dir.path(), QStringLiteral("--paper"), dir.filePath(QStringLiteral("p.dat")) });
    app.exec();

    const centrum::RoomCounters c = server.room().counters();
    const double gapMs = double(longest) / 1e6;
    const QByteArray loadgenOut = driver.readAllStandardOutput();
    QJsonObject result {
        { QStringLiteral("candidates"), room },
        { QStringLiteral("seconds"), double(clock.elapsed()) / 1000.0 },
        { QStringLiteral("longest_gap_ms"), gapMs },
        { QStringLiteral("expected"), c.expected },
        { QStringLiteral("logged_in"), c.loggedIn },
        { QStringLiteral("submitted"), c.submitted },
        { QStringLiteral("absent"), c.absent },
        { QStringLiteral("counters_shown"), form.roomCounters->text() },
        { QStringLiteral("loadgen_exit"), driver.exitCode() },
    };
    std::fputs(QJsonDocument(result).toJson(QJsonDocument::Compact).constData(), stdout);
    std::fputc('\n', stdout);
    const double allowed = options.value(maxGap).toDouble();
    const bool ok = driver.exitStatus() == QProcess::NormalExit && driver.exitCode() == 0 && c.submitted == room
        && c.expected == room && c.absent == 0 && (allowed <= 0 || gapMs <= allowed);
    if (!ok)
        std::fprintf(stderr, "roomwindow_bench: not every candidate went through, or a gap was too long; loadgen said %s\n",
                     loadgenOut.left(2000).constData());
    return ok ? 0 : 1;
}
