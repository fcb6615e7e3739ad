// The state both authoring windows share: the header, the paper's lines, the mode, and saving.
#pragma once

#include "common/clsencryptxor.h"
#include "common/vbfile.h"
#include "paper/fieldrules.h"
#include "vellum/cpapr.h"

#include <QString>

#include <functional>
#include <memory>

namespace vellum {

// "new": a paper whose file must not exist yet; "append": an opened paper to extend;
// "modi": an opened paper whose questions are stepped through, changed and deleted.
enum class Mode { New, Append, Modi };

enum class HeaderField { Title, Subject, TimeLimit, Total, Author, FileName };

// Texts that would split a stored line at its field separator.
using paper::holdsSeparator;

class PaperSession
{
public:
    // randomBelow1000 gives the number that starts each stored header, 0 to 999.
    PaperSession(QString programFolder, std::function<int()> randomBelow1000);

    Cpapr paperHeader;
    Mode paperMode = Mode::New;
    vbFile &paperLines() { return *m_lines; }
    const vbFile &paperLines() const { return *m_lines; }
    const clsEncryptXOR &paperCipher() const { return m_cipher; }
    QString programFolder() const { return m_programFolder; }

    // Takes what a header box holds into paperHeader. False, with nothing changed, when
    // the text holds the field separator.
    bool setHeaderField(HeaderField field, const QString &boxText);

    // The paper file a file name box text stands for: a name ending in ".dat" as typed
    // (relative names inside the program folder), any other text in the program folder
    // with ".dat" added.
    QString fileNameFor(const QString &boxText) const;

    // Reads the paper at path and takes its header. On failure nothing changes.
    struct Opened {
        bool ok = false;
        QString reason;        // the system's reason when the file cannot be read, else the path
        bool hasQuestions = false;
    };
    Opened openPaper(const QString &path);

    // What leaving the header editor for the question editor gives.
    enum class Leave {
        Go,         // the header line is stored; show the question editor
        Incomplete, // a header value is missing or out of range
        Exists,     // a new paper's file exists already
        Ignored,    // editing asked for before a paper was opened
        Unwritable, // the paper file could not be written where it is named
    };
    Leave leaveToAdd();
    Leave leaveToEdit();

    // Whether the paper file named in the header can be written: its folder takes a new
    // file and an existing file is writable. Checked before any question is composed,
    // since the question editor offers no other place to save.
    bool canWrite() const;

    // The header line as it is stored into line 0, with a fresh random number.
    QString headerLine() const;

    // Writes the line table over the paper file through a temporary file and a rename,
    // so the paper on disk is either the old one or the new one, never a part.
    bool save(QString *error);

private:
    // Stores the header and takes mode, the one the question editor opens in, when nothing refuses.
    Leave leave(Mode mode);

    QString m_programFolder;
    std::function<int()> m_random;
    std::unique_ptr<vbFile> m_lines;
    clsEncryptXOR m_cipher;
};

} // namespace vellum
