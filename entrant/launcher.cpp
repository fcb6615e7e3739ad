// Starting the test-taking program on a received paper.
#include "launcher.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace entrant {

bool ExamdeskLauncher::startExamdesk(const QString &paperPath, QString *program)
{
    const QString path = QDir(m_programFolder).filePath(QStringLiteral("examdesk"));
    if (program)
        *program = QDir::toNativeSeparators(path);
    const QFileInfo info(path);
    if (!info.isFile() || !info.isExecutable())
        return false;
    return QProcess::startDetached(path, { paperPath });
}

} // namespace entrant
