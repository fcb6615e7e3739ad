// entrant: the candidate's login client; fetches the paper, starts examdesk and delivers the result.
#include "common/datafolder.h"
#include "common/qttranslations.h"
#include "common/singleinstance.h"
#include "common/systemlocale.h"
#include "entrant/form1.h"
#include "entrant/launcher.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("entrant"));

    // examdesk is started from beside entrant; the settings and the paper may be the user's own.
    const QString folder = QApplication::applicationDirPath();
    const DataFolder data = chooseDataFolder(folder);
    entrant::ExamdeskLauncher launcher(folder);
    const int lcid = systemDefaultLcid();
    installQtTranslations(app, lcid);
    entrant::Client client({ data.path, lcid, &launcher, {} });

    // A second copy would take over the first one's result channel.
    SingleInstance instance(QStringLiteral("entrant"));
    if (!instance.acquire()) {
        QMessageBox box(QMessageBox::Information, client.windowTitle(), client.text(entrant::text::AlreadyRunning),
                        QMessageBox::NoButton);
        box.addButton(client.text(entrant::text::OkButton), QMessageBox::AcceptRole);
        box.exec();
        return 0;
    }

    entrant::Form1 form(client);
    // The window is hidden while the test runs, so the end comes from the client, not from a closed window.
    app.setQuitOnLastWindowClosed(false);
    QObject::connect(&client, &entrant::Client::finished, &app, &QApplication::quit, Qt::QueuedConnection);
    QObject::connect(&form, &entrant::Form1::closed, &app, &QApplication::quit, Qt::QueuedConnection);
    // Every status line also goes to standard error, so a workstation's session log shows
    // what the candidate saw when something went wrong.
    QObject::connect(&client, &entrant::Client::viewChanged, &app, [&client, shown = QString()]() mutable {
        if (client.view().status == shown)
            return;
        shown = client.view().status;
        std::fprintf(stderr, "entrant: %s\n", qUtf8Printable(shown));
    });
    if (data.perUser)
        client.note(keptInNote(client.text(entrant::text::KeptIn), data));
    form.start();
    return app.exec();
}
