#include <gtest/gtest.h>

#include "fixes/PriorityOverrides.h"
#include "settings/ProjectIni.h"
#include "tests/unit/LogCapture.h"
#include "tests/unit/SettingsFile.h"

namespace {

using qx::ProjectIni;
using Lines = std::vector<std::string>;

constexpr const char* kPrefix = "QX Magic Effect Artwork Overrides: ";

// The pending entries' form texts and priorities.
Lines Texts(const ProjectIni& s) {
  Lines texts;
  for (std::size_t i = 0; i < s.pendingOverrides.size(); ++i) texts.emplace_back(s.pendingOverrides.FormText(i));
  return texts;
}
std::vector<std::int32_t> Priorities(const ProjectIni& s) {
  std::vector<std::int32_t> priorities;
  for (std::size_t i = 0; i < s.pendingOverrides.size(); ++i) priorities.push_back(s.pendingOverrides.Priority(i));
  return priorities;
}

Lines Parse(ProjectIni& s, const std::string& line, int number = 0) {
  return qxtest::CaptureLog([&] { qx::ParsePriorityOverrideLine(s, line, number); });
}

TEST(PriorityOverrideLine, AcceptedLinesKeepTheWholeFormText) {
  ProjectIni s;
  EXPECT_TRUE(Parse(s, "50 000D4E_Skyrim.esm").empty());
  EXPECT_TRUE(Parse(s, "12abc \t 000D4F_My Mod.esp").empty());  // digits then letters: 12
  EXPECT_TRUE(Parse(s, "-1\t000D50_Skyrim.esm  ").empty());     // trailing blanks stay
  EXPECT_TRUE(Parse(s, "+7 x").empty());
  EXPECT_TRUE(Parse(s, "\v\r-2147483648 y").empty());  // leading white space, the lowest priority
  EXPECT_EQ(Texts(s),
            (Lines{"000D4E_Skyrim.esm", "000D4F_My Mod.esp", "000D50_Skyrim.esm  ", "x", "y"}));
  EXPECT_EQ(Priorities(s), (std::vector<std::int32_t>{50, 12, -1, 7, -2147483647 - 1}));
}

TEST(PriorityOverrideLine, EachSkipHasItsLine) {
  ProjectIni s;
  EXPECT_EQ(Parse(s, "50", 3),
            Lines{std::string(kPrefix) + "could not parse priority on line 3:'50'; skipping"});
  EXPECT_EQ(Parse(s, "", 4),
            Lines{std::string(kPrefix) + "could not parse priority on line 4:''; skipping"});
  EXPECT_EQ(Parse(s, " 50 000D4E_Skyrim.esm", 5),
            Lines{std::string(kPrefix) +
                  "could not parse priority on line 5:' 50 000D4E_Skyrim.esm'; skipping"});
  EXPECT_EQ(Parse(s, "50   ", 6),
            Lines{std::string(kPrefix) + "no form ID given on line 6:'50   '; skipping"});
  EXPECT_EQ(Parse(s, "50\t \t", 7),
            Lines{std::string(kPrefix) + "no form ID given on line 7:'50\t \t'; skipping"});
  EXPECT_EQ(Parse(s, "high 000D4E_Skyrim.esm", 8),
            Lines{std::string(kPrefix) +
                  "priority on line 8:'high 000D4E_Skyrim.esm' is not an integer; skipping"});
  EXPECT_EQ(Parse(s, "2147483648 x", 9).size(), 1u);
  EXPECT_EQ(Parse(s, "- 5 x", 9).size(), 1u);
  EXPECT_EQ(Parse(s, "4294967296 000D4E_Skyrim.esm", 9),
            Lines{std::string(kPrefix) +
                  "priority on line 9:'4294967296 000D4E_Skyrim.esm' is not an integer; skipping"});
  EXPECT_TRUE(s.pendingOverrides.empty());
}

TEST(PriorityOverrideLine, SignedRangeLimits) {
  ProjectIni s;
  EXPECT_TRUE(Parse(s, "2147483647 a").empty());
  EXPECT_TRUE(Parse(s, "-2147483648 b").empty());
  EXPECT_TRUE(Parse(s, "-000000000002147483647 c").empty());
  for (const char* beyond : {"2147483648 d", "-2147483649 e", "21474836470 f", "99999999999999999999999 g"}) {
    EXPECT_EQ(Parse(s, beyond).size(), 1u) << beyond;
  }
  EXPECT_EQ(Priorities(s),
            (std::vector<std::int32_t>{2147483647, -2147483647 - 1, -2147483647}));
}

// The settings key hands the file over while the settings are read: lines numbered from 0,
// a last line without a line feed still read, no "set to" line for the key.
TEST(PriorityOverridesFile, ReadThroughTheSettingsKey) {
  ProjectIni s(&qx::ReadPriorityOverridesFile);
  auto loaded = qxtest::LoadSettings(
      s, "[magiceffectartworkoverrides]\ndisableall=0\npriorityoverrides=art.txt\n",
      {{"art.txt", "oops\n10 000D4E_Skyrim.esm\n\n20\t000D4F_Skyrim.esm"}});
  ASSERT_TRUE(loaded.read);
  std::string path = loaded.gameFolder + "\\Data\\SKSE\\Plugins\\art.txt";
  EXPECT_EQ(loaded.log,
            (Lines{"QX INI: meaoDisableAll set to 0",
                   "QX INI: using magic art priority overrides file '" + path + "'",
                   std::string(kPrefix) + "could not parse priority on line 0:'oops'; skipping",
                   std::string(kPrefix) + "could not parse priority on line 2:''; skipping",
                   "QX Health Gating: cannot enable (AV percentage fix is not enabled)"}));
  EXPECT_EQ(Texts(s), (Lines{"000D4E_Skyrim.esm", "000D4F_Skyrim.esm"}));
  EXPECT_EQ(Priorities(s), (std::vector<std::int32_t>{10, 20}));
}

TEST(PriorityOverridesFile, MissingFileGivesOnlyThePathLine) {
  ProjectIni s(&qx::ReadPriorityOverridesFile);
  auto loaded = qxtest::LoadSettings(s, "[magiceffectartworkoverrides]\npriorityoverrides=none.txt\n");
  ASSERT_EQ(loaded.log.size(), 2u);
  EXPECT_EQ(loaded.log[0].rfind("QX INI: using magic art priority overrides file '", 0), 0u);
  EXPECT_TRUE(s.pendingOverrides.empty());
}

}  // namespace
