// The login client's string table: its named entries and their texts in both languages.
#pragma once

#include "common/multilanguage.h"

#include <memory>
#include <span>

namespace entrant {

namespace text {

// Each entry's number in the table.
enum Id : int {
    LoginButton = 1,
    SettingButton = 2,
    IdCaption = 3,
    IdLimit = 4,
    BlankId = 5,
    Communicating = 6,
    Over = 7,
    ServerNotFound = 8,
    Transferring = 9,
    TransferDone = 10,
    AddressPrompt = 11,
    Title = 12, // also what examdesk looks for to hand over the result (its entry 5)
    AlreadyLoggedIn = 13,
    BadPort = 14,
    BadAnnouncement = 15,
    StaleNotDeleted = 16,
    PaperNotWritten = 17,
    PaperTooLong = 18,
    PaperIncomplete = 19,
    ExamdeskNotStarted = 20,
    ChannelNotOpened = 21,
    AddressNotSaved = 22,
    FilePortBusy = 23,
    CloseUndelivered = 24,
    AlreadyRunning = 25,
    OkButton = 26,
    CancelButton = 27,
    CloseButton = 28,
    ExamdeskEnded = 29,
    RestartButton = 30,
    KeptIn = 31,
    SubmitButton = 32, // the same in both languages
    SheetUndelivered = 33, // the close question while a secure copy's answers have not gone in
    TooLargeForServer = 34, // %1 the report's bytes, %2 the most the server takes
    NotOnList = 37,    // the server admits only the IDs of its roster
};

} // namespace text

// Every entry of the table, in both languages.
std::span<const TextEntry> textEntries();

// The table in the language of the locale number lcid.
std::unique_ptr<CmultiLanguage> stringTable(int lcid);

} // namespace entrant
