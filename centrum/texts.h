// The exam server's string table: its named entries and their texts in both languages.
#pragma once

#include "common/multilanguage.h"

#include <memory>
#include <span>

namespace centrum {

namespace text {

// Each entry's number in the table. "+ x" marks a text that the caller follows with x.
enum Id : int {
    WindowTitle = 1,
    AddTests = 2, // button
    ShowReport = 3,
    ShowLog = 4,
    StartService = 5,
    StopService = 6,
    Close = 7,
    ServiceStarted = 8, // log line
    ServiceStopped = 9, // log line
    NoTests = 10,
    Warning = 11,
    LogFileList = 12,
    ReportFileList = 13,
    TestsFile = 14,        // the file dialog's filter
    ConnectionRequest = 15, // log line + address
    SentTo = 16,           // log line + address
    SubmittedBy = 17,      // log line + address
    AddTestsTitle = 18,    // the file dialog's title
    IdColumn = 19,
    MarksColumn = 20,
    TimeColumn = 21,
    PaperColumn = 22,
    AddressColumn = 23,
    ReportsTitle = 24,
    LocalIp = 25, // + address
    ExportCsvButton = 26,
    ExportCsvTitle = 27,
    CsvFiles = 28,
    CsvNotWritten = 29, // + why
    Summary = 30,       // %1 candidates, %2 mean, %3 median, %4 lowest, %5 highest
    NotNumbers = 31,    // %1 count
    NoScores = 32,      // %1 candidates
    CandidatesAxis = 33,
    ScoreDistribution = 34,
    AllowAgain = 35, // the button and its dialog's title
    AllowPrompt = 36,
    AllowOk = 37,
    AllowCancel = 38,
    AllowConfirm = 39,   // + ID
    AllowedAgain = 40,   // log line + ID
    NotLoggedIn = 41,    // + ID
    ShuffleRefused = 42, // log line + paper and why
    Shuffling = 43,      // log line at start
    ConsoleHelp = 44,    // centrumd's commands
    UnknownCommand = 45, // + command
    KeptIn = 46,         // log line at start + the user's own folder
    // Why the service did not start or a connection ended, as logged.
    BadPort = 47,      // + key and value
    BadPaper = 48,     // + paper and why
    Stalled = 49,      // %1 seconds
    TooLong = 50, // %1 the limit in KiB
    CommaPath = 51,    // + path
    PeerGone = 52,
    PortBusy = 53,     // + key and value
    Unreadable = 54,   // + file
    Quiet = 55,        // %1 seconds
    // Why a paper cannot be served (after its name).
    PathHasComma = 56,
    NoFileName = 57,
    FileMissing = 58,
    NotReadableFile = 59,
    FileEmpty = 60,
    FileTooLarge = 61,
    SendUnreadable = 62, // %1 file
    LengthChanged = 63,  // %1 file, %2 bytes now, %3 bytes announced
    // Why a paper cannot be shuffled.
    AtLine = 64,         // %1 line, %2 fault
    NotHexadecimal = 65, // %1 character
    DigitCount = 66,     // %1 digits
    FieldCount = 67,     // %1 fields
    AnswerFieldExtra = 68, // %1 answer field
    AnswerAfterEmpty = 69,
    PaperFileEmpty = 70,
    // The report viewer's mark after a row whose result cannot be read.
    UnreadableRow = 71,
    // What keeps a question of a paper to be shuffled from being taken as its kind intends.
    QuestionTextEmpty = 72,
    QuestionMarksMissing = 73,
    QuestionMarksNotNumber = 74, // %1 marks
    QuestionOptionAEmpty = 75,
    QuestionOptionBEmpty = 76,
    QuestionKindMissing = 77,
    QuestionKindUnknown = 78,    // %1 kind code
    SingleAnswerForm = 79,       // %1 answer
    MultipleAnswerForm = 80,     // %1 answer
    TrueFalseAnswerForm = 81,    // %1 answer
    AnswerNamesEmptyOption = 82, // %1 option letter
    BadTransfers = 83,           // + key and value
    ResumedLogin = 84,           // + ID
    SecretDamaged = 85,          // + file
    SecretNotWritten = 86,       // + file and why
    // Secure mode: answers scored on the server, results that are not a genuine sheet refused.
    SecureMode = 90,             // log line at start
    SecureRefused = 91,          // + paper and why
    ResultRefused = 92,          // %1 refusals so far, %2 why, %3 address, %4 ID
    NotASheet = 93,
    SheetUnreadable = 94,
    TokenNotIssued = 95,
    PaperNotServed = 96,         // %1 paper
    AnswerCount = 97,            // %1 answers, %2 questions
    ResultTaken = 98,            // %1 paper
    SheetAgain = 99,             // + ID
    // The room at a glance: the table of candidates, its counters and the roster.
    RoomTab = 110,
    LogTab = 111,
    Counters = 112, // %1 expected, %2 logged in, %3 taking the test, %4 submitted, %5 absent
    NameColumn = 113,
    SeatColumn = 114,
    LoginTimeColumn = 115,
    StateColumn = 116,
    ResultTimeColumn = 117,
    StateAbsent = 118,
    StateWaiting = 119,
    StateReceiving = 120, // %1 percent
    StateTesting = 121,
    StateSubmitted = 122,
    StateTransferFailed = 123,
    StateAllowedAgain = 124,
    StateResumed = 125,
    StateRefused = 126,
    Unexpected = 127, // after a state
    RosterButton = 128,
    RosterTitle = 129,   // the file dialog's title
    RosterFiles = 130,   // the file dialog's filter
    RosterUnreadable = 131, // + file and why
    RosterLoaded = 132,     // log line: %1 candidates, %2 file
    NotOnRoster = 133,      // log line + ID and address
    NotSubmittedYet = 134,  // centrumd's status, before the list
    // Why a roster cannot be read.
    RosterNoIdColumn = 135,    // %1 line
    RosterUnclosedQuote = 136, // %1 line
    RosterEmpty = 137,
    RosterIdTooLong = 138,     // %1 line, %2 ID
    RosterNotUtf8 = 139,
    // The item analysis: how each question of a paper worked.
    ItemNumberColumn = 140,
    ItemKindColumn = 141,
    ItemMarksColumn = 142,
    ItemAnsweredColumn = 143,
    ItemBlankColumn = 144,
    ItemFacilityColumn = 145,
    ItemCorrelationColumn = 146,
    ItemUpperLowerColumn = 147,
    ItemChoicesColumn = 148,
    ItemFlagsColumn = 149,
    ItemKindUnknown = 150,
    ItemKindSingle = 151,
    ItemKindMultiple = 152,
    ItemKindBlank = 153,
    ItemKindTrueFalse = 154,
    ItemHard = 155,           // %1 the facility below which a question is hard
    ItemEasy = 156,           // %1 the facility above which a question is easy
    ItemNegative = 157,
    ItemPaperLine = 158,      // %1 paper, %2 candidates
    ItemScoresLine = 159,     // %1 mean, %2 median, %3 standard deviation
    ItemAlpha = 160,          // %1 reliability
    ItemKr20 = 161,           // %1 reliability
    ItemNoReliability = 162,
    ItemOtherPapers = 163,    // %1 entries
    ItemOtherShape = 164,     // %1 entries
    // The report viewer's tabs and its item analysis of the day's answer file.
    ResultsTab = 170,
    QuestionsTab = 171,
    PaperLabel = 172,
    PaperSheets = 173,         // %1 paper, %2 sheets
    PaperNotUsed = 174,        // %1 path, %2 why
    NotAPaper = 175,           // %1 line
    PaperShape = 176,          // %1 questions of the paper, %2 of the sheets
    AnswersUnreadable = 177,   // + why
    EntriesSkipped = 178,      // %1 entries
    NoSheets = 179,
    FacilityAxis = 180,
    DiscriminationAxis = 181,
    NothingToChart = 182,
    QuestionsChart = 183,
    QuestionsTable = 184,
    HardBound = 185,
    EasyBound = 186,
    FlaggedLegend = 187,
    ExportQuestionsTitle = 188,
};

} // namespace text

// Every entry of the table, in both languages.
std::span<const TextEntry> textEntries();

// The table in the language of the locale number lcid.
std::unique_ptr<CmultiLanguage> stringTable(int lcid);

} // namespace centrum
