// Starting the test-taking program on a received paper.
#pragma once

#include <QString>

namespace entrant {

class Launcher
{
public:
    virtual ~Launcher() = default;
    // Starts the test-taking program with paperPath as its one argument. False when it could
    // not be started; program then names what was tried.
    virtual bool startExamdesk(const QString &paperPath, QString *program) = 0;
};

// The real one: "examdesk" in the client's own program folder, left running on its own.
class ExamdeskLauncher : public Launcher
{
public:
    explicit ExamdeskLauncher(QString programFolder) : m_programFolder(std::move(programFolder)) { }
    bool startExamdesk(const QString &paperPath, QString *program) override;

private:
    QString m_programFolder;
};

} // namespace entrant
