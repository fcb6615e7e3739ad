// The journal of a test in progress: what is kept on disk so that a closed or crashed test resumes.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

namespace examdesk {

struct Journal {
    QByteArray paperHash; // SHA-256 of the paper's bytes, in hexadecimal
    QDateTime started;    // wall-clock Start, UTC
    qint32 secondsUsed = 0;
    qint16 currentItem = 1;
    bool submitted = false;
    QStringList answers; // one per question, in order
};

// The SHA-256 of data in lower-case hexadecimal, as a journal names its paper.
QByteArray paperHash(const QByteArray &data);

// Lines of key=value, one line per answer with backslash, line breaks and carriage returns
// escaped, and a last line with the checksum of everything before it.
QByteArray encodeJournal(const Journal &journal);
// Empty for anything encodeJournal did not write whole: a wrong checksum, a torn or strange line.
std::optional<Journal> decodeJournal(const QByteArray &data);

// Where a file kept for the test goes, in the order to try: beside the paper, then in the
// spare folder when it is another folder. suffix is appended to the paper's file name.
QStringList keptFilePaths(const QString &paperPath, const QString &spareFolder, const QString &suffix);

} // namespace examdesk
