#include "text/trim.h"

#include <cstring>

bool IsWhiteSpace(char c) {
  return c == '\0' || c == '\t' || c == '\n' || c == '\r' || c == ' ';
}

int FindLastNonWhiteSpace(const char* text, int position) {
  for (int i = position; i >= 0; --i) {
    if (!IsWhiteSpace(text[i])) return i;
  }
  return -1;
}

bool ReverseString(char* text, int length) {
  if (text == nullptr || text[0] == '\0') return false;
  for (int front = 0, back = length - 1; front < back; ++front, --back) {
    char c = text[front];
    text[front] = text[back];
    text[back] = c;
  }
  return true;
}

int RightTrim(char* text, int length) {
  if (length < 1) return length;
  // The scan starts on the terminator, which counts as white space.
  int last = FindLastNonWhiteSpace(text, length);
  text[last + 1] = '\0';
  return last + 1;
}

int TrimWhiteSpace(char* text, int length) {
  if (length <= 0) return length;
  // Reversing turns leading white space into trailing white space, so one
  // right trim serves both ends.
  int n = RightTrim(text, length);
  ReverseString(text, n);
  n = RightTrim(text, n);
  ReverseString(text, n);
  return n;
}

int TrimWhiteSpace(char* text) {
  return TrimWhiteSpace(text, static_cast<int>(std::strlen(text)));
}
