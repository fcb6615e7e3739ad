// vellum: the paper authoring program.
#include "common/datafolder.h"
#include "common/qttranslations.h"
#include "common/systemlocale.h"
#include "vellum/authoring.h"
#include "vellum/frmpapr.h"

#include <QApplication>
#include <QRandomGenerator>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Installed where it cannot write, papers go to the author's own folder.
    const DataFolder data = chooseDataFolder(QCoreApplication::applicationDirPath());
    if (!data.problem.isEmpty())
        std::fprintf(stderr, "vellum: %s\n", qUtf8Printable(data.problem));
    const int lcid = systemDefaultLcid();
    installQtTranslations(app, lcid);
    vellum::Authoring authoring(data.path, lcid,
                                [] { return int(QRandomGenerator::global()->bounded(1000)); });
    authoring.start();
    if (data.perUser)
        authoring.headerEditor()->showFolderNote(data.path);
    return app.exec();
}
