// centrum: the exam server with its window; the service starts when the examiner presses Start,
// or at once with --start.
#include "centrum/form1.h"
#include "centrum/server.h"
#include "centrum/texts.h"
#include "common/datafolder.h"
#include "common/multilanguage.h"
#include "common/qttranslations.h"
#include "common/systemlocale.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>

int main(int argc, char *argv[])
{
    // Every log line carries the local time; with TZ unset the C library looks at the zone file
    // again for each one. Named once, the zone is read once, as at any restart.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("centrum"));

    centrum::ServerSeams seams;
    // Installed where it cannot write, the settings, logs and reports are the examiner's own.
    const DataFolder data = chooseDataFolder(QCoreApplication::applicationDirPath());
    seams.programFolder = data.path;
    seams.lcid = systemDefaultLcid();

    installQtTranslations(app, seams.lcid);

    centrum::Server server(seams);
    centrum::Form1 form(server, centrum::Desktop::real());
    form.show();
    if (data.perUser)
        server.note(keptInNote(server.texts().getRes(centrum::text::KeptIn), data));
    // As if Start were pressed once the window is up, warnings included.
    if (QCoreApplication::arguments().contains(QStringLiteral("--start")))
        QTimer::singleShot(0, form.Command4, &QPushButton::click);
    return app.exec();
}
