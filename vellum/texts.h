// The authoring program's string table: its named entries and their texts in both languages.
#pragma once

#include "common/multilanguage.h"

#include <memory>
#include <span>

namespace vellum {

namespace text {

// Each entry's number in the table; 5 and 37 to 42 are empty and keep the later numbers in place.
enum Id : int {
    WindowTitle = 1,
    AddQuestion = 2,
    EditQuestion = 3,
    OpenTests = 4,
    Close = 6,
    TestsTitle = 7,
    Subject = 8,
    TimeLimited = 9,
    Total = 10,
    Author = 11,
    FileName = 12,
    OpenDialogTitle = 13,
    FileExists = 14,
    Warning = 15,
    Incomplete = 16,
    TestsFile = 17,
    Minutes = 18,
    Question = 19,
    ImageId = 20,
    Type = 21,
    Answer = 22,
    Marks = 23,
    OptionA = 24, // to OptionF, in order
    OptionB = 25,
    OptionC = 26,
    OptionD = 27,
    OptionE = 28,
    OptionF = 29,
    KindSingle = 30,
    KindMultiple = 31,
    KindBlank = 32,
    Add = 33,
    Delete = 34,
    BlankRule = 35,
    Position = 36,
    CountBefore = 43,
    CountAfter = 44,
    MarksNotNumber = 45,
    KindTrueFalse = 46,
    CaretRefused = 47,
    CannotOpen = 48,
    CannotSave = 49,
    BadImageId = 50,
    QuestionSkipped = 51,
    CloseWithoutSaving = 52,
    CannotWriteThere = 53,
    FullMarksTooHigh = 54,
    KeptIn = 55,
    NotStored = 56,
    QuestionEmpty = 57,
    MarksMissing = 58,
    OptionAEmpty = 59,
    NoKind = 60,
    UnknownKind = 61, // %1: the kind code
    NoAnswer = 62,
    AnswerOptionEmpty = 63, // %1: the option's letter
    AnswerDoesNotFit = 64,  // %1: the answer
    OptionBEmpty = 65,
    PaperFull = 66,
};

} // namespace text

// Every entry of the table, in both languages.
std::span<const TextEntry> textEntries();

// The table in the language of the locale number lcid.
std::unique_ptr<CmultiLanguage> stringTable(int lcid);

} // namespace vellum
