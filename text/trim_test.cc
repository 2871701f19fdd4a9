#include "text/trim.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(TrimWhiteSpace, TrimsBothEndsOfTheFiveCharacterSet) {
  struct Case {
    const char* name;
    std::string text;
    std::string trimmed;
  } cases[] = {
      {"nothing to trim", "abc", "abc"},
      {"blanks around", "  a b  ", "a b"},
      {"tabs and line ends", "\t\r\nx\n\r\t", "x"},
      {"only white space", " \t\r\n ", ""},
      {"empty", "", ""},
      {"one character", "x", "x"},
      {"inner white space kept", "a \t b", "a \t b"},
      {"vertical tab is not white space", "\vx\f", "\vx\f"},
      {"bytes above 127 are not white space", "\xa0x\xa0", "\xa0x\xa0"},
      {"dot in blanks", "  .  ", "."},
  };
  for (const Case& c : cases) {
    char buffer[64];
    std::strcpy(buffer, c.text.c_str());
    int length = TrimWhiteSpace(buffer);
    EXPECT_EQ(c.trimmed, buffer) << c.name;
    EXPECT_EQ(static_cast<int>(c.trimmed.size()), length) << c.name;
  }
}

TEST(TrimWhiteSpace, LeavesNonPositiveLengthsAlone) {
  char text[] = " a ";
  EXPECT_EQ(0, TrimWhiteSpace(text, 0));
  EXPECT_EQ(-1, TrimWhiteSpace(text, -1));
  EXPECT_STREQ(" a ", text);
}

TEST(TrimWhiteSpace, TrimsOnlyTheGivenLength) {
  // Characters past the length count as outside the text.
  char text[] = " ab  cd";
  EXPECT_EQ(2, TrimWhiteSpace(text, 4));
  EXPECT_STREQ("ab", text);
}

TEST(ReverseString, RefusesNullAndEmpty) {
  char empty[] = "";
  EXPECT_FALSE(ReverseString(nullptr, 3));
  EXPECT_FALSE(ReverseString(empty, 0));
  char text[] = "abcd";
  EXPECT_TRUE(ReverseString(text, 3));
  EXPECT_STREQ("cbad", text);
}

TEST(FindLastNonWhiteSpace, ScansBackFromPosition) {
  EXPECT_EQ(1, FindLastNonWhiteSpace("ab  ", 3));
  EXPECT_EQ(-1, FindLastNonWhiteSpace(" \t", 1));
  EXPECT_EQ(0, FindLastNonWhiteSpace("a", 1));  // steps over the terminator
}

}  // namespace
