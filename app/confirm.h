#ifndef KESTRIM_APP_CONFIRM_H_
#define KESTRIM_APP_CONFIRM_H_

#include <cstdio>

// Capacity of the answer buffer, terminator included.
constexpr int kAnswerSize = 256;
// Capacity of the question buffer, terminator included.
constexpr int kQuestionSize = 5120;

// Reads one line from `in` into `answer` (room for `size` - 1 characters and
// the terminator), dropping its line end; false when no line came (end of
// input before any character, a read error), when the line does not fit, or
// when it holds a NUL byte.
bool ReadAnswerLine(std::FILE* in, char* answer, int size);

// True when `answer` is "Y" or "Yes", ignoring the case of ASCII letters.
bool IsConfirmation(const char* answer);

// Prints `question` and "[Y/N]? :", reads one answer from standard input and
// returns true when it confirms.
bool AskConfirmation(const char* question);

#endif  // KESTRIM_APP_CONFIRM_H_
