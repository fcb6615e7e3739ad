// The numbers of the authoring program's string-table entries that its windows and rules use.
#pragma once

namespace vellum::entry {

inline constexpr int windowTitle = 1;
inline constexpr int addQuestion = 2;
inline constexpr int editQuestion = 3;
inline constexpr int openTests = 4;
inline constexpr int close = 6;
inline constexpr int testsTitle = 7;
inline constexpr int subject = 8;
inline constexpr int timeLimited = 9;
inline constexpr int total = 10;
inline constexpr int author = 11;
inline constexpr int fileName = 12;
inline constexpr int openDialogTitle = 13;
inline constexpr int fileExists = 14;
inline constexpr int warning = 15;
inline constexpr int incomplete = 16;
inline constexpr int testsFile = 17;
inline constexpr int minutes = 18;
inline constexpr int question = 19;
inline constexpr int imageId = 20;
inline constexpr int type = 21;
inline constexpr int answer = 22;
inline constexpr int marks = 23;
inline constexpr int optionA = 24; // to 29 for option F
inline constexpr int kindSingle = 30;
inline constexpr int kindMultiple = 31;
inline constexpr int kindBlank = 32;
inline constexpr int add = 33;
inline constexpr int del = 34;
inline constexpr int blankRule = 35;
inline constexpr int position = 36;
inline constexpr int countBefore = 43;
inline constexpr int countAfter = 44;
inline constexpr int marksNotNumber = 45;
inline constexpr int kindTrueFalse = 46;
inline constexpr int caretRefused = 47;
inline constexpr int cannotOpen = 48;
inline constexpr int cannotSave = 49;
inline constexpr int badImageId = 50;
inline constexpr int questionSkipped = 51;
inline constexpr int closeWithoutSaving = 52;
inline constexpr int cannotWriteThere = 53;
inline constexpr int fullMarksTooHigh = 54;
inline constexpr int keptIn = 55;

} // namespace vellum::entry
