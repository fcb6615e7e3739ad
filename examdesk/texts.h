// The test-taking program's string table: its named entries and their texts in both languages.
#pragma once

#include "common/multilanguage.h"

#include <memory>
#include <span>

namespace examdesk {

namespace text {

// Each entry's number in the table.
enum Id : int {
    TimeLabel = 1,
    CountLabel = 2,
    StartButton = 3,
    SubmitButton = 4,
    CaptionStem = 5, // the test window's caption, and the login client's window title (its entry 12)
    TotalLabel = 6,
    SubjectPart = 7,
    TitlePart = 8,
    AuthorPart = 9,
    ViewCaption = 10, // the single-choice view's caption
    SingleKind = 11,
    MarksUnit = 12,
    BlankKind = 13,
    PerBlank = 14,
    MultipleKind = 15,
    AlreadyRunning = 16,
    MissingQuestion = 17,
    Fault = 18,
    TrueFalseKind = 19,
    // Why a paper cannot be taken, or a result not handed over; filled in with QString::arg.
    PaperUnreadable = 20, // %1 path, %2 reason
    PaperBadLine = 21,    // %1 path, %2 line
    PaperEmpty = 22,      // %1 path
    PaperTooLarge = 23,   // %1 path
    UnknownKind = 24,     // %1 path, %2 line, %3 kind code
    MarksOutOfRange = 25, // %1 path, %2 full marks
    ResultTooLong = 26,   // %1 file holding the result
    HandOffFailed = 27,   // %1 file holding the result
    HandOffNotSaved = 28, // %1 the enciphered result, %2 why it could not be saved
    FixedViewCaption = 29, // the multiple-select and fill-in views' caption, Chinese in both languages
    TimeUsedLabel = 30,    // the time label of a paper without a time limit
    Resumed = 31,          // shown on the bar for a while after a test resumed from its journal
    JournalDamaged = 32,   // %1 the journal that cannot be read, %2 where it is kept instead
    // A secure copy: the answers are handed in for the exam server to score, and no score is shown.
    SheetHandedInTitle = 33,
    SheetHandedIn = 34,
    SheetTooLong = 35,      // %1 file holding the answers
    SheetHandOffFailed = 36, // %1 file holding the answers
    SheetNotSaved = 37,     // %1 why they could not be saved
};

} // namespace text

// Every entry of the table, in both languages.
std::span<const TextEntry> textEntries();

// The table in the language of the locale number lcid.
std::unique_ptr<CmultiLanguage> stringTable(int lcid);

} // namespace examdesk
