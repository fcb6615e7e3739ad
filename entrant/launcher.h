// Starting the test-taking program on a received paper, and noticing when it ends.
#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;

namespace entrant {

class Launcher : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    // Starts the test-taking program with paperPath as its one argument. False when it could
    // not be started; program then names what was tried.
    virtual bool startExamdesk(const QString &paperPath, QString *program) = 0;

signals:
    // The test-taking program last started has ended, for whatever reason.
    void examdeskEnded();
};

// The real one: "examdesk" in the client's own program folder, left running on its own
// (the client never ends it) and watched through a process descriptor, without polling.
class ExamdeskLauncher : public Launcher
{
    Q_OBJECT
public:
    explicit ExamdeskLauncher(QString programFolder, QObject *parent = nullptr);
    ~ExamdeskLauncher() override;
    bool startExamdesk(const QString &paperPath, QString *program) override;

private:
    void watch(qint64 pid);
    void stopWatching();

    QString m_programFolder;
    int m_pidfd = -1;
    QSocketNotifier *m_ended = nullptr;
};

} // namespace entrant
