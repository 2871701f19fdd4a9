#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/temp_tree.h"

namespace {

const char kSyntax[] =
    "Syntax: \n"
    "\t Kestrim [Path] [Options]\n\n"
    "Options: \n"
    "\t /Silent        : Suppresses deletion status messages.\n"
    "\t /DelRoot       : Removes the root directory of the [Path].\n"
    "\t /NotRecursive  : Does not delete sub-directories or their files.\n"
    "\t /Y             : Suppresses prompting to confirm file deletion.\n";

struct Parsed {
  bool ok;
  std::string out;
  DeleteOptions options;
};

Parsed Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "kestrim");
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  Parsed parsed{};
  // Set every flag to the opposite of its default first: parsing must
  // write the defaults itself, even when it fails.
  parsed.options.DelRoot = true;
  parsed.options.Recursive = false;
  parsed.options.NoPrompt = true;
  parsed.options.Silent = true;
  parsed.out = CaptureStdout([&] {
    parsed.ok = ParseCommandLine(static_cast<int>(argv.size()), argv.data(),
                                 parsed.options);
  });
  return parsed;
}

TEST(ParseCommandLine, RefusesWithTheRightMessage) {
  const std::string long_path(520, 'a');
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {"no arguments", {}, kSyntax},
      {"help first", {"/?"}, kSyntax},
      {"help after path", {"d", "/?", "/Bad"}, kSyntax},
      {"bad switch before help",
       {"d", "/Bad", "/?"},
       "[/Bad] is not a valid parameter\n"},
      {"short form", {"d", "/S"}, "[/S] is not a valid parameter\n"},
      {"longer form", {"d", "/Yes"}, "[/Yes] is not a valid parameter\n"},
      {"no slash", {"d", "Silent"}, "[Silent] is not a valid parameter\n"},
      {"dash", {"d", "-Silent"}, "[-Silent] is not a valid parameter\n"},
      {"trailing colon",
       {"d", "/Silent:"},
       "[/Silent:] is not a valid parameter\n"},
      {"empty switch", {"d", ""}, "[] is not a valid parameter\n"},
      {"percent is not a format",
       {"d", "%s%n"},
       "[%s%n] is not a valid parameter\n"},
      {"switch checked before blank path",
       {"  ", "/X"},
       "[/X] is not a valid parameter\n"},
      {"empty path", {""}, "You must specify a directory name or path.\n"},
      {"blank path", {" \t "}, "You must specify a directory name or path.\n"},
      {"dot",
       {"."},
       "You cannot specify \".\" or \"..\" as the directory name or path.\n"},
      {"dot in blanks",
       {"  . "},
       "You cannot specify \".\" or \"..\" as the directory name or path.\n"},
      {"dot dot",
       {".."},
       "You cannot specify \".\" or \"..\" as the directory name or path.\n"},
      {"path too long",
       {long_path},
       "The directory name or path is longer than 519 characters.\n"},
  };
  for (const Case& c : cases) {
    Parsed parsed = Parse(c.args);
    EXPECT_FALSE(parsed.ok) << c.name;
    EXPECT_EQ(c.out, parsed.out) << c.name;
    EXPECT_FALSE(parsed.options.DelRoot) << c.name;
    EXPECT_TRUE(parsed.options.Recursive) << c.name;
    EXPECT_FALSE(parsed.options.NoPrompt) << c.name;
    EXPECT_FALSE(parsed.options.Silent) << c.name;
  }
}

TEST(ParseCommandLine, AcceptsPathAndSwitches) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    const char* path;
    bool del_root, recursive, no_prompt, silent;
  } cases[] = {
      {"defaults", {"dir"}, "dir", false, true, false, false},
      {"all switches",
       {"dir", "/Silent", "/DelRoot", "/NotRecursive", "/Y"},
       "dir",
       true,
       false,
       true,
       true},
      {"any case",
       {"dir", "/y", "/SILENT", "/delroot", "/notrecursive"},
       "dir",
       true,
       false,
       true,
       true},
      {"repeated", {"dir", "/Y", "/y"}, "dir", false, true, true, false},
      {"switch as path",
       {"/Silent", "/Y"},
       "/Silent",
       false,
       true,
       true,
       false},
      {"trimmed, inner blanks kept",
       {"\t my dir \r\n"},
       "my dir",
       false,
       true,
       false,
       false},
      {"dot slash passes", {"./"}, "./", false, true, false, false},
      {"dot dot slash passes", {"../"}, "../", false, true, false, false},
  };
  for (const Case& c : cases) {
    Parsed parsed = Parse(c.args);
    EXPECT_TRUE(parsed.ok) << c.name;
    EXPECT_EQ("", parsed.out) << c.name;
    EXPECT_STREQ(c.path, parsed.options.Path) << c.name;
    EXPECT_EQ(c.del_root, parsed.options.DelRoot) << c.name;
    EXPECT_EQ(c.recursive, parsed.options.Recursive) << c.name;
    EXPECT_EQ(c.no_prompt, parsed.options.NoPrompt) << c.name;
    EXPECT_EQ(c.silent, parsed.options.Silent) << c.name;
  }
}

TEST(ParseCommandLine, TakesAPathOfExactlyTheFieldsCapacity) {
  const std::string path(519, 'p');
  Parsed parsed = Parse({path});
  EXPECT_TRUE(parsed.ok);
  EXPECT_EQ(path, parsed.options.Path);
}

}  // namespace
