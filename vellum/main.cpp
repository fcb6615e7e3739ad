// vellum: the paper authoring program.
#include "authoring.h"
#include "systemlocale.h"

#include <QApplication>
#include <QRandomGenerator>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    vellum::Authoring authoring(QCoreApplication::applicationDirPath(), systemDefaultLcid(),
                                [] { return int(QRandomGenerator::global()->bounded(1000)); });
    authoring.start();
    return app.exec();
}
