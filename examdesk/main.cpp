// examdesk: takes one test on the paper named by the command line and hands the result to the login client.
#include "common/datafolder.h"
#include "common/qttranslations.h"
#include "common/singleinstance.h"
#include "common/systemlocale.h"
#include "examdesk/form2.h"
#include "examdesk/notices.h"
#include "examdesk/texts.h"

#include <QApplication>
#include <QMessageBox>
#include <QSessionManager>
#include <csignal>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("examdesk"));

    const int lcid = systemDefaultLcid();
    const std::unique_ptr<CmultiLanguage> table = examdesk::stringTable(lcid);
    installQtTranslations(app, lcid);

    SingleInstance instance(QStringLiteral("examdesk"));
    if (!instance.acquire()) {
        examdesk::alreadyRunningBox(*table)->exec();
        return 0;
    }

    // The whole command line after the program name is the paper's path.
    const QStringList arguments = QApplication::arguments().mid(1);
    const QString paperPath = arguments.join(QLatin1Char(' '));

    // A test in progress is not ended by a hang-up or a polite kill, only by submission.
    std::signal(SIGTERM, SIG_IGN);
    std::signal(SIGHUP, SIG_IGN);

    examdesk::Form2 *window = nullptr;
    examdesk::Form2::Seams seams;
    seams.clock = [] { return QDateTime::currentDateTimeUtc(); };
    seams.send = [](const QString &text, const QString &title) { return CsendMessage().sendMsg(text, title); };
    seams.warn = [&window](const QString &title, const QString &text) { QMessageBox::warning(window, title, text); };
    seams.inform = [&window](const QString &title, const QString &text) {
        QMessageBox::information(window, title, text);
    };
    seams.programFolder = QApplication::applicationDirPath();
    // Installed where it cannot write, the candidate's own folder takes what the paper's cannot.
    seams.spareFolder = chooseDataFolder(seams.programFolder).path;

    examdesk::Form2 form(*table, paperPath, seams);
    window = &form;
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form, [&form](QSessionManager &manager) {
        if (!form.session().submitted())
            manager.cancel();
    });
    form.show();
    const int status = app.exec();
    return status != 0 ? status : form.exitCode();
}
