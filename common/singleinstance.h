// At most one running copy of a program per user.
#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

class SingleInstance
{
public:
    // lockFolder defaults to the temporary folder.
    explicit SingleInstance(const QString &programName, const QString &lockFolder = {});

    // True when this copy now holds the program's lock; false while another copy runs.
    // A lock left by a copy that died is taken over.
    bool acquire();

private:
    std::unique_ptr<QLockFile> m_lock;
};
