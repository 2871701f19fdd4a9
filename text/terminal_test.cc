#include "text/terminal.h"

#include <gtest/gtest.h>

namespace {

TEST(NextCharacter, TellsControlsFromWhatATerminalShows) {
  struct Case {
    const char* name;
    const char* text;
    int length;
    bool control;
  } cases[] = {
      {"letter", "a", 1, false},
      {"space", " x", 1, false},
      {"tilde", "~", 1, false},
      {"tab", "\t", 1, true},
      {"line feed", "\n", 1, true},
      {"carriage return", "\r", 1, true},
      {"escape", "\x1b[31m", 1, true},
      {"bell", "\x07", 1, true},
      {"delete", "\x7f", 1, true},
      {"e acute in UTF-8", "\xc3\xa9", 2, false},
      {"no-break space in UTF-8", "\xc2\xa0", 2, false},
      {"euro sign", "\xe2\x82\xac", 3, false},
      {"emoji", "\xf0\x9f\x98\x80", 4, false},
      {"C1 CSI in UTF-8", "\xc2\x9b", 2, true},
      {"C1 first in UTF-8", "\xc2\x80", 2, true},
      {"C1 NEL in UTF-8", "\xc2\x85", 2, true},
      {"lone CSI byte", "\x9b[31m", 1, true},
      {"lone byte 0x80", "\x80", 1, true},
      {"lone byte 0x9f", "\x9f", 1, true},
      {"lone Latin-1 e acute", "\xe9t\xe9", 1, false},
      {"lone byte 0xff", "\xff", 1, false},
      {"lead cut short by a control", "\xc3\x1b", 1, false},
      {"lead cut short at the end", "\xe2\x82", 1, false},
      {"overlong slash", "\xc0\xaf", 1, false},
      {"overlong C1", "\xe0\x82\x9b", 1, false},
      {"surrogate", "\xed\xa0\x80", 1, false},
      {"past U+10FFFF", "\xf4\x90\x80\x80", 1, false},
      {"continuation of a cut sequence", "\x9b\x9b", 1, true},
  };
  for (const Case& c : cases) {
    ShownCharacter shown = NextCharacter(c.text);
    EXPECT_EQ(c.length, shown.length) << c.name;
    EXPECT_EQ(c.control, shown.control) << c.name;
  }
}

}  // namespace
