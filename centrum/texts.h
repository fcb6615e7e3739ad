// Numbers of the server's string-table entries for allowing an ID again and for shuffled papers.
#pragma once

namespace centrum::textid {

// One run of numbers from the first: moving the run means changing AllowAgain alone (and the table).
enum : int {
    AllowAgain = 35,   // the button and its dialog's title
    AllowPrompt,       // what the dialog asks for
    AllowOk,
    AllowCancel,
    AllowConfirm,      // followed by the ID
    AllowedAgain,      // log line, followed by the ID
    NotLoggedIn,       // followed by the ID
    ShuffleRefused,    // log line, followed by the paper and why
    Shuffling,         // log line at start
    ConsoleHelp,       // centrumd's commands
    UnknownCommand,    // followed by the command
};

} // namespace centrum::textid
