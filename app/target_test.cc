#include "app/target.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/temp_tree.h"

namespace {

TEST(OpenTarget, RefusesTheRootHoweverItIsNamed) {
  TempDir dir;
  MakeTree(dir.path(), {"T/", "f", "up->/", "to-T->T"});
  const std::string refusal =
      "You cannot specify the root directory as the directory name or path.\n";
  struct Case {
    std::string path;
    bool refused;
    bool opened;
  } cases[] = {
      {"/", true, false},           {"//", true, false},
      {"/.", true, false},          {"/tmp/..", true, false},
      {dir / "up", true, false},    {dir / "up/", true, false},
      {dir / "T", false, true},     {dir / "to-T", false, true},
      {dir / "none", false, false}, {dir / "f", false, false},
  };
  for (const Case& c : cases) {
    HANDLE target = INVALID_HANDLE_VALUE;
    bool ok = true;
    std::string out =
        CaptureStdout([&] { ok = OpenTarget(c.path.c_str(), target); });
    EXPECT_EQ(!c.refused, ok) << c.path;
    EXPECT_EQ(c.refused ? refusal : "", out) << c.path;
    EXPECT_EQ(c.opened, target != INVALID_HANDLE_VALUE) << c.path;
    if (target != INVALID_HANDLE_VALUE) CloseHandle(target);
  }
}

}  // namespace
