#ifndef KESTRIM_TEXT_TRIM_H_
#define KESTRIM_TEXT_TRIM_H_

// True for the characters that trimming removes: NUL, tab, line feed,
// carriage return and space.
bool IsWhiteSpace(char c);

// Index of the last character at or before `position` that is not white
// space, or -1 when there is none.
int FindLastNonWhiteSpace(const char* text, int position);

// Reverses the first `length` characters in place; false, changing nothing,
// when `text` is null or empty.
bool ReverseString(char* text, int length);

// Cuts trailing white space in place and returns the new length; a length
// below 1 is returned unchanged.
int RightTrim(char* text, int length);

// Trims both ends of a text of known length in place and returns the new
// length; a length of 0 or less is returned unchanged.
int TrimWhiteSpace(char* text, int length);

// Trims both ends of a NUL-terminated text in place and returns its length.
int TrimWhiteSpace(char* text);

#endif  // KESTRIM_TEXT_TRIM_H_
