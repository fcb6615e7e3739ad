// One test from Start to the hand-off of the result: the logic behind the test window.
#pragma once

#include "common/channel.h"
#include "common/multilanguage.h"
#include "examdesk/console.h"
#include "paper/onechoices.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

namespace examdesk {

// Where the picture with number img is: N.png, N.jpg or N.bmp in the paper's folder, then
// in the program's folder. Empty for picture 0 or when none exists.
QString findPicture(qint16 img, const QString &paperPath, const QString &programFolder);

// The program's own title: the test window's caption before a paper is loaded.
QString startCaption(const CmultiLanguage &table);

class TestSession
{
public:
    using Clock = std::function<QDateTime()>;
    using Sender = std::function<CsendMessage::Outcome(const QString &text, const QString &title)>;

    // table is the program's string table in the chosen language.
    TestSession(const CmultiLanguage &table, QString paperPath, Clock clock);
    // An answer given in the last moments and not yet in the journal is written now.
    ~TestSession();

    // Loads the paper and starts the countdown. A paper that cannot be taken gives the
    // message to show, naming the file and, where there is one, the line; nothing starts.
    // A journal of this paper's test, not yet handed over, resumes it: the answers, the
    // question on show and the countdown from the wall-clock Start.
    std::optional<QString> startTest();
    bool resumed() const { return m_resumed; }
    // For the candidate when a journal could not be read and was set aside; else empty.
    QString journalNotice() const { return m_journalNotice; }
    // Where the journal was last written; empty when it could not be written.
    QString journalPath() const { return m_journalPath; }

    QString caption() const { return m_caption; }
    QString paperPath() const { return m_paperPath; }
    qint16 questionCount() const { return m_questionCount; }
    const oneChoice *currentQuestion() const;
    console &testConsole() { return m_console; }
    const oneChoices &paper() const { return m_paper; }

    // Moves to the next or previous question; false on the last or first one.
    bool next();
    bool previous();

    // "Count 3/ 20", "Total 100", and the time label before the first tick: the countdown's,
    // or once a paper without a time limit has started, the time used's.
    QString countText() const;
    QString fullMarksText() const;
    QString initialTimeText() const;

    struct Tick {
        QString timeText; // the time left, or the time used when the paper has no time limit
        bool turnRed = false; // the first tick with at most three minutes left
        bool timeUp = false;  // the first tick with no time left: submit now
    };
    Tick tick();

    qint32 timeLimitSeconds() const { return m_timeLimitSeconds; }
    qint32 elapsedSeconds() const { return m_elapsedSeconds; }
    bool submitted() const { return m_submitted; }

    // A secure copy carries no answers: its header's first field is the token the exam server
    // issued it under, and every question's answer field is empty. The server scores it.
    bool secureCopy() const { return !m_sheetToken.isEmpty(); }

    // score:paper file name:seconds used, before enciphering.
    QString resultText() const;
    // What a secure copy hands in instead: the token, the paper's file name, the seconds used
    // and each answer as scoring takes it, before enciphering.
    QString answerSheetText() const;

    struct HandOff {
        CsendMessage::Outcome outcome = CsendMessage::Outcome::NoReceiver;
        QString resultHex;     // what was handed over: the result, or a secure copy's answer sheet
        QString savedPath;     // the copy of it; empty when it could not be written
        QString saveError;
        QString message;       // for the candidate when the hand-off did not succeed; else empty
        QString notice;        // for the candidate when a secure copy's answers were handed in
    };
    // Scores the test (a secure copy's answers go unscored, as a sheet), marks it submitted,
    // keeps a copy of what it hands over, enciphered, beside the paper (or in the spare folder
    // when the paper's folder does not take it), then hands it over. Once it was handed over the
    // journal says so and the test no longer resumes.
    HandOff submit(const Sender &send);
    // Where the result copy and the journal go when they cannot be written beside the paper;
    // empty for nowhere.
    void setSpareFolder(const QString &folder) { m_spareFolder = folder; }

private:
    void applyPaperHeader(const QString &headerLine);
    void recogniseSecureCopy(const QString &firstHeaderField);
    std::optional<QString> paperProblem(oneChoices::LoadStatus status) const;
    QString message(int entry) const { return m_table.getRes(entry); }
    void resumeFromJournal(const QByteArray &hash);
    void writeJournal();
    void answerChanged();

    const CmultiLanguage &m_table;
    QString m_paperPath;
    QString m_spareFolder;
    Clock m_clock;
    console m_console;
    oneChoices m_paper;
    QString m_caption;
    QString m_sheetToken; // a secure copy's token; empty for a paper with its answers
    qint16 m_questionCount = 0;
    qint64 m_fullMarks = 0;
    qint32 m_timeLimitSeconds = 0;
    QDateTime m_startTime;
    qint32 m_elapsedSeconds = 0;
    bool m_red = false;
    bool m_timeUp = false;
    bool m_submitted = false;
    bool m_handedOver = false;
    bool m_journaling = false; // from Start on, every answer and every few seconds go to the journal
    bool m_resumed = false;
    QByteArray m_paperHash;
    QString m_journalPath;
    QString m_journalNotice;
    qint32 m_journalSeconds = 0; // the seconds used at the last write
    QElapsedTimer m_sinceJournal;  // since the last write
    QTimer m_journalLater;         // the write of answers given soon after the last one
};

} // namespace examdesk
