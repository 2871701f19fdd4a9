#ifndef KESTRIM_TEXT_TERMINAL_H_
#define KESTRIM_TEXT_TERMINAL_H_

// One character of a text that may be shown on a terminal.
struct ShownCharacter {
  int length;    // bytes it takes: a UTF-8 sequence, or 1 for a stray byte
  bool control;  // a terminal would act on it instead of showing it
};

// The character that starts the non-empty `text`. Controls are C0 (tab, line
// feed, carriage return and ESC among them), DEL, and C1, whether encoded as
// UTF-8 or as a lone byte 0x80 to 0x9F outside any valid UTF-8 sequence.
ShownCharacter NextCharacter(const char* text);

#endif  // KESTRIM_TEXT_TERMINAL_H_
