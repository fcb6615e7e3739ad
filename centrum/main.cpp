// centrum: the exam server with its window; the service starts when the examiner presses Start.
#include "form1.h"
#include "server.h"
#include "systemlocale.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("centrum"));

    centrum::ServerSeams seams;
    seams.programFolder = QCoreApplication::applicationDirPath();
    seams.lcid = systemDefaultLcid();
    centrum::Server server(seams);

    centrum::Form1 form(server, centrum::Desktop::real());
    form.show();
    return app.exec();
}
