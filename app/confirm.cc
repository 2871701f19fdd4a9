#include "app/confirm.h"

#include <strings.h>

#include "app/output.h"

bool ReadAnswerLine(std::FILE* in, char* answer, int size) {
  int length = 0;
  for (;;) {
    int c = std::getc(in);
    if (c == EOF) {
      if (std::ferror(in) != 0 || length == 0) return false;
      break;
    }
    if (c == '\n') break;
    // A NUL would hide the rest of the line from the comparison.
    if (c == '\0' || length == size - 1) return false;
    answer[length++] = static_cast<char>(c);
  }
  answer[length] = '\0';
  return true;
}

bool IsConfirmation(const char* answer) {
  return ::strcasecmp(answer, "Y") == 0 || ::strcasecmp(answer, "Yes") == 0;
}

bool AskConfirmation(const char* question) {
  PrintName(question);
  PrintText("\n[Y/N]? :");
  // A pipe or file gets block-buffered output; the question must be out
  // before the program waits for the answer.
  FlushOutput();
  char answer[kAnswerSize];
  if (!ReadAnswerLine(stdin, answer, kAnswerSize - 1)) return false;
  return IsConfirmation(answer);
}
