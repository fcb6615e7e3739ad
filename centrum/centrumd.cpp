// The exam server without a window: starts the service at launch and prints the log.
#include "centrum/consolecommands.h"
#include "centrum/consolelog.h"
#include "centrum/dayfilewriter.h"
#include "centrum/epolldispatcher.h"
#include "centrum/server.h"
#include "common/datafolder.h"
#include "common/multilanguage.h"
#include "common/netsocket.h"
#include "common/systemlocale.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <malloc.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = { -1, -1 };

void onSignal(int)
{
    const char c = 1;
    // Only a write is safe here; the event loop does the rest.
    [[maybe_unused]] auto n = ::write(signalPipe[0], &c, 1);
}

} // namespace

int main(int argc, char *argv[])
{
    // Every log line carries the local time; with TZ unset the C library looks at the zone file
    // again for each one. Named once, the zone is read once, as at any restart.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    // A room holds a connection for every candidate: a turn of the loop must not visit them all.
    QCoreApplication::setEventDispatcher(new EpollDispatcher);
    QCoreApplication app(argc, argv);
    // Every transfer piece is 64 KiB: keep freed memory for the next one instead of handing it
    // back to the system and asking for it again at every download.
    mallopt(M_TRIM_THRESHOLD, 16 << 20);
    // ...but what a burst of connections (a room logging in at once) freed goes back to the
    // system twice a minute, so that over a long day the resident size follows what the
    // service holds, not its busiest moment.
    QTimer trim;
    QObject::connect(&trim, &QTimer::timeout, [] { malloc_trim(0); });
    trim.start(30000);

    // Every candidate holds a connection.
    raiseOpenFileLimit();

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
        std::perror("centrumd: socketpair");
        return 1;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A log reader that goes away must not end the service; the write just fails.
    std::signal(SIGPIPE, SIG_IGN);

    centrum::ServerSeams seams;
    // Installed where it cannot write, the settings, logs and reports are the user's own.
    const DataFolder data = chooseDataFolder(QCoreApplication::applicationDirPath());
    seams.programFolder = data.path;
    if (data.perUser)
        std::fprintf(stderr, "centrumd: the program folder cannot be written; settings, logs and reports are kept in %s\n",
                     qUtf8Printable(data.path));
    if (!data.problem.isEmpty())
        std::fprintf(stderr, "centrumd: %s\n", qUtf8Printable(data.problem));
    seams.lcid = systemDefaultLcid();
    // A stopped terminal or an unread pipe must never hold up the candidates. Made before the
    // server, so that it is still there for what the server logs while it ends.
    centrum::ConsoleLog console(STDOUT_FILENO);
    centrum::Server server(seams);
    QObject::connect(&server, &centrum::Server::logLine,
                     [&console](const QString &line) { console.writeLine(line.toUtf8()); });

    QSocketNotifier notifier(signalPipe[1], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        char c;
        [[maybe_unused]] auto n = ::read(signalPipe[1], &c, 1);
        notifier.setEnabled(false);
        server.stop();
        app.quit();
    });

    // Commands come from a terminal only: a pipe or file on standard input (a service
    // manager's, a script's) is left alone, and the end of the input ends only the commands.
    centrum::ConsoleCommands commands(server, [](const QString &line) {
        std::fprintf(stderr, "centrumd: %s\n", qUtf8Printable(line));
    });
    std::unique_ptr<QSocketNotifier> input;
    QTimer inputAgain;
    if (::isatty(STDIN_FILENO)) {
        // Reading the terminal from the background fails instead of stopping the service.
        std::signal(SIGTTIN, SIG_IGN);
        input = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        inputAgain.setSingleShot(true);
        inputAgain.setInterval(1000);
        QObject::connect(&inputAgain, &QTimer::timeout, [&input] { input->setEnabled(true); });
        QObject::connect(input.get(), &QSocketNotifier::activated, [&] {
            char bytes[4096];
            const ssize_t n = ::read(STDIN_FILENO, bytes, sizeof bytes);
            if (n > 0) {
                commands.feed(QByteArrayView(bytes, n));
            } else if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
                return;
            } else if (n < 0 && errno == EIO) {
                // The terminal belongs to the foreground now: look again in a while.
                input->setEnabled(false);
                inputAgain.start();
            } else {
                commands.finish();
                input->setEnabled(false);
            }
        });
    }

    // While candidates are connected, the room's counts once a minute among the log lines.
    QTimer summary;
    QObject::connect(&summary, &QTimer::timeout, [&] {
        if (server.connectedCount() > 0)
            console.writeLine((centrum::shownStamp(QDateTime::currentDateTime()) + u' '
                               + centrum::countersText(server.texts(), server.room().counters()))
                                  .toUtf8());
    });
    summary.start(60000);

    const auto started = server.start();
    if (!started.messageService || !started.httpService) {
        std::fprintf(stderr, "centrumd: %s: %s\n", qUtf8Printable(server.settingsPath()),
                     qUtf8Printable(started.problem.trimmed()));
        return 2;
    }
    std::fprintf(stderr, "centrumd: serving candidates on port %u and browsers on port %u\n",
                 unsigned(server.messagePort()), unsigned(server.webPort()));
    return app.exec();
}
