// A served paper as measured at service start.
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class CmultiLanguage;

namespace centrum {

class SecurePaper;
class ShuffledPaper;

// One entry of the paper list.
class ClassFile
{
public:
    QString fName;     // as configured: a full path, or a name inside the program folder
    qint32 fLength = 0;
    QString fNameNoPs; // after the last "/" or "\"
    QString fPath;     // where the file is read from
    // When papers are shuffled: the paper as read at service start, each candidate's copy made from it.
    std::shared_ptr<const ShuffledPaper> shuffled;
    // Derived at service start from the server's secret and the paper: with a candidate's ID it
    // decides the order of that candidate's copy, so a candidate who fetches the paper again,
    // also after a restart of the service, gets the same bytes while the paper is unchanged.
    QByteArray shuffleKey;
    // In secure mode: the paper as read at service start, each candidate's answerless copy made
    // from it (in the candidate's own order when shuffled), and its sheets scored against it.
    std::shared_ptr<const SecurePaper> secure;

    // Measures the file, relative paths taken from folder; never creates one. False, with
    // why set (in the language of texts), for a missing, empty or unreadable file and a name
    // the announcement cannot carry.
    bool setFileLen(const QString &folder, const CmultiLanguage &texts, QString *why = nullptr);
};

} // namespace centrum
