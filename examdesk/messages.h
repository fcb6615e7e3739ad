// What the test-taking program tells the candidate when a paper cannot be taken or a result cannot be handed over.
#pragma once

#include <QString>

namespace examdesk {

enum class Message {
    PaperUnreadable,   // %1 path, %2 reason
    PaperBadLine,      // %1 path, %2 line
    PaperEmpty,        // %1 path
    PaperTooLarge,     // %1 path
    UnknownKind,       // %1 path, %2 line, %3 kind code
    MarksOutOfRange,   // %1 path, %2 full marks
    ResultTooLong,     // %1 file holding the result
    HandOffFailed,     // %1 file holding the result
    HandOffNotSaved,   // %1 the enciphered result, %2 why it could not be saved
};

// The text in Chinese or English; arguments are filled in by the caller with QString::arg.
QString messageText(Message message, bool chinese);

} // namespace examdesk
