#include "app/confirm.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// What ReadAnswerLine and IsConfirmation make of `input`.
struct Outcome {
  bool delivered;
  std::string answer;
  bool confirms;
};

Outcome Answer(const std::string& input) {
  std::FILE* in = input.empty() ? std::fopen("/dev/null", "r")
                                : ::fmemopen(const_cast<char*>(input.data()),
                                             input.size(), "r");
  char answer[kAnswerSize];
  Outcome outcome{};
  outcome.delivered = ReadAnswerLine(in, answer, kAnswerSize - 1);
  if (outcome.delivered) {
    outcome.answer = answer;
    outcome.confirms = IsConfirmation(answer);
  }
  std::fclose(in);
  return outcome;
}

TEST(AskConfirmation, OnlyYAndYesConfirm) {
  struct Case {
    const char* name;
    std::string input;
    bool confirms;
  } cases[] = {
      {"y", "y\n", true},
      {"Y", "Y\n", true},
      {"yes", "yes\n", true},
      {"YES", "YES\n", true},
      {"Yes", "Yes\n", true},
      {"Y at end of input", "Y", true},
      {"only the first line counts", "y\nn\n", true},
      {"n", "n\n", false},
      {"No", "No\n", false},
      {"empty line", "\n", false},
      {"trailing blank", "Y \n", false},
      {"leading blank", " y\n", false},
      {"carriage return", "y\r\n", false},
      {"yes please", "yes please\n", false},
      {"NUL inside", std::string("y\0es\n", 5), false},
      {"end of input", "", false},
      {"254 characters", std::string(254, 'y') + "\n", false},
      {"255 characters", std::string(255, 'y') + "\n", false},
      {"long line then yes", std::string(300, 'n') + "\ny\n", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.confirms, Answer(c.input).confirms) << c.name;
  }
}

TEST(ReadAnswerLine, HoldsAtMost254Characters) {
  Outcome fits = Answer(std::string(254, 'a') + "\n");
  EXPECT_TRUE(fits.delivered);
  EXPECT_EQ(std::string(254, 'a'), fits.answer);
  Outcome fits_at_end = Answer(std::string(254, 'a'));
  EXPECT_TRUE(fits_at_end.delivered);
  EXPECT_FALSE(Answer(std::string(255, 'a') + "\n").delivered);
  EXPECT_FALSE(Answer(std::string(255, 'a')).delivered);
  EXPECT_FALSE(Answer(std::string(100000, 'a')).delivered);
}

}  // namespace
