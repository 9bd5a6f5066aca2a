#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/Platform.h"
#include "tests/unit/FileTestSupport.h"
#include "tools/SettingsCheck.h"

namespace {

using qxtools::CheckSettings;

bool Has(const std::string& report, const std::string& text) {
  return report.find(text) != std::string::npos;
}

TEST(SettingsCheck, ShippedSettingsNeedNoAttention) {
  std::string bytes;
  ASSERT_TRUE(qx::platform::ReadWholeFile(QX_SOURCE_DIR "/dist/qxKit.ini", bytes));
  auto check = CheckSettings("qxKit.ini", bytes);
  EXPECT_EQ(check.problems, 0) << check.report;
  // With the defaults only the cleanup interval is changed, and that is no problem.
  EXPECT_TRUE(Has(check.report, "[healthgating] cleanuppollingtimemillis: 180000 -> 4294967295 "
                                "(with formainplayeronly the cleanup thread never runs)"))
      << check.report;
}

TEST(SettingsCheck, MisspeltKeysAndSectionsGetTheClosestKnownName) {
  auto check = CheckSettings("qxKit.ini",
                             "[general]\nenablejumbonusfix=1\n[camertweaks]\nenablehorsecamfix=1\n"
                             "[healthgating]\nenablehorsecamfix=1\n");
  EXPECT_EQ(check.problems, 3) << check.report;
  EXPECT_TRUE(Has(check.report, "[general] enablejumbonusfix is not a key of QXKit and is silently "
                                "ignored; did you mean [general] enablejumpbonusfix?"));
  EXPECT_TRUE(Has(check.report, "[camertweaks] is not a section of QXKit"));
  EXPECT_TRUE(Has(check.report, "did you mean [cameratweaks]?"));
  EXPECT_TRUE(Has(check.report, "[healthgating] enablehorsecamfix is not a key of QXKit and is "
                                "silently ignored; did you mean [cameratweaks] enablehorsecamfix?"));
}

TEST(SettingsCheck, ValuesThatDoNotReadAsMeant) {
  auto check = CheckSettings("qxKit.ini",
                             "[general]\nenablejumpbonusfix=yes\nenablebashbugfix=true ; note\n"
                             "enableavpercentfix=TRUE\nenablehealthgating=2\n"
                             "[cameratweaks]\ntweenmenuzoom=abc\n"
                             "[books]\nskillreadpollingtimemillis=99999999999\n"
                             "[healthgating]\nimmunitytimemillis=-1\ngatingwindowmillis=20ms\n");
  EXPECT_EQ(check.problems, 6) << check.report;
  EXPECT_TRUE(Has(check.report, "enablejumpbonusfix = yes: is read as 0 (off); write 1 or 0"));
  EXPECT_TRUE(Has(check.report, "enablebashbugfix = true ; note: is read as 0 (off)"));
  EXPECT_TRUE(Has(check.report, "tweenmenuzoom = abc: is not a number; it is read as 0.0"));
  EXPECT_TRUE(Has(check.report, "skillreadpollingtimemillis = 99999999999: is out of range"));
  EXPECT_TRUE(Has(check.report, "immunitytimemillis = -1: is negative; it is read as 4294967295"));
  EXPECT_TRUE(Has(check.report, "gatingwindowmillis = 20ms: has text after the number; it is read as 20"));
  EXPECT_TRUE(Has(check.report, "[general] enablejumpbonusfix = 0"));
  EXPECT_TRUE(Has(check.report, "[general] enablehealthgating = 1"));
}

TEST(SettingsCheck, FeaturesSwitchedOffByValidationNeedAttention) {
  auto check = CheckSettings("qxKit.ini",
                             "[general]\nenablehealthgating=1\n"
                             "[healthgating]\nisenabled=1\nminhealthpercent=0.5\nresulthealthpercent=0.5\n");
  EXPECT_EQ(check.problems, 2) << check.report;
  EXPECT_TRUE(Has(check.report, "! [general] enablehealthgating: 1 -> 0 (health gating needs "
                                "enableavpercentfix)"));
  EXPECT_TRUE(Has(check.report, "! [healthgating] isenabled: 1 -> 0 (health gating needs 0 < "
                                "resulthealthpercent < minhealthpercent <= 1)"));
}

TEST(SettingsCheck, NotANumberSwitchesOffLikeAnyValueOutOfRange) {
  auto check = CheckSettings("qxKit.ini",
                             "[general]\nenableavpercentfix=1\nenablehealthgating=1\n"
                             "[healthgating]\nisenabled=1\nresulthealthpercent=nan\n"
                             "requirebelowattackerstamina=1\nattackerstaminapercent=nan\n"
                             "[playeraudiorepositioner]\nusethreshold=1\nthresholdz=nan\n");
  EXPECT_TRUE(Has(check.report, "! [healthgating] isenabled: 1 -> 0 (health gating needs 0 < "
                                "resulthealthpercent < minhealthpercent <= 1)"))
      << check.report;
  EXPECT_TRUE(Has(check.report, "! [healthgating] requirebelowattackerstamina: 1 -> 0"));
  EXPECT_TRUE(Has(check.report, "! [playeraudiorepositioner] usethreshold: 1 -> 0"));
  EXPECT_TRUE(Has(check.report, "resulthealthpercent = nan: is not a finite number"));
  EXPECT_EQ(check.problems, 6) << check.report;
}

TEST(SettingsCheck, DerivedSwitchesAreShown) {
  auto check = CheckSettings("qxKit.ini", "[cameratweaks]\ndisabletweenmenupan=1\n");
  EXPECT_TRUE(Has(check.report, "tween menu changes switch = 1"));
  EXPECT_TRUE(Has(check.report, "camera interceptor switch = 0"));
}

TEST(SettingsCheck, MissingOverridesFileNeedsAttention) {
  auto check = CheckSettings("/nonexistent/qxKit.ini",
                             "[magiceffectartworkoverrides]\npriorityoverrides=prio.txt\n");
  EXPECT_EQ(check.problems, 1) << check.report;
  EXPECT_TRUE(Has(check.report, "/nonexistent/prio.txt cannot be read"));
}

// Each line of the overrides file with the plugin's own reading: entries, the plugin's skip
// messages, and entries no loaded file can match.
TEST(SettingsCheck, OverridesFileLineByLine) {
  std::string folder = qxtest::MakeTemporaryFolder();
  ASSERT_FALSE(folder.empty());
  qxtest::WriteBytes(folder + "/prio.txt",
                     "50 000D4E_Skyrim.esm\n"
                     "50\n"
                     "ten 000D4E_Skyrim.esm\n"
                     "20 \t\n"
                     "-1\t000801_Mine.esp\n"
                     "5 0D4E\n"
                     "7 000D4E_Skyrim.esm \n"
                     "12abc 000D4F_Skyrim.esm");
  auto check = CheckSettings(folder + "/qxKit.ini",
                             "[magiceffectartworkoverrides]\npriorityoverrides=prio.txt\n");
  std::filesystem::remove_all(folder);
  const std::string p = "  ! QX Magic Effect Artwork Overrides: ";
  EXPECT_TRUE(Has(check.report, "Priority overrides file:\n  " + folder + "/prio.txt\n"
                                "    line 0: priority 50 for '000D4E_Skyrim.esm'\n" +
                                p + "could not parse priority on line 1:'50'; skipping\n" +
                                p + "priority on line 2:'ten 000D4E_Skyrim.esm' is not an integer; skipping\n" +
                                p + "no form ID given on line 3:'20 \t'; skipping\n"
                                "    line 4: priority -1 for '000801_Mine.esp'\n"
                                "  ! line 5: priority 5 for '0D4E' is too short to name a plugin file"))
      << check.report;
  EXPECT_TRUE(Has(check.report, "  ! line 6: priority 7 for '000D4E_Skyrim.esm ' ends in blanks"));
  EXPECT_TRUE(Has(check.report, "    line 7: priority 12 for '000D4F_Skyrim.esm'\n"
                                "    3 entries to resolve once the game's data is loaded\n"))
      << check.report;
  EXPECT_EQ(check.problems, 5) << check.report;
}

// Each entry with its folder, relative ones against the game's folder when the file lies in
// its plugins folder (names in any letter case), else against a stand-in; among the findings
// the entries that name no usable folder and those that open a whole root or every folder
// above the game's.
TEST(SettingsCheck, WritableFoldersThatNameNoUsableFolderOrOpenTooMuchNeedAttention) {
  const std::string list = "[files]\nwritablefolders=D:\\ModData; ..\\Shared ;\\\\localhost\\share;D:;nul;\\;..\n";
  auto check = CheckSettings("qxKit.ini", list);
  EXPECT_EQ(check.problems, 5) << check.report;
  EXPECT_TRUE(Has(check.report, "against a stand-in for the game's folder, C:\\Games\\Skyrim)\n")) << check.report;
  EXPECT_TRUE(Has(check.report, "  D:\\ModData -> D:\\ModData\n  ..\\Shared -> C:\\Games\\Shared\n")) << check.report;
  EXPECT_TRUE(Has(check.report, "'\\\\localhost\\share' is not a usable folder path (network paths"));
  EXPECT_TRUE(Has(check.report, "'D:' is not a usable folder path"));
  EXPECT_TRUE(Has(check.report, "'nul' is not a usable folder path"));
  EXPECT_TRUE(Has(check.report, "  ! [files] writablefolders: '\\' (C:\\) is a drive's root: it lets every script "
                                "write anywhere on drive C:\n"));
  EXPECT_TRUE(Has(check.report, "  ! [files] writablefolders: '..' (C:\\Games) lies above the game's folder"));

  const std::string folder = qxtest::MakeTemporaryFolder(), game = folder + "/Skyrim";
  std::filesystem::create_directories(game + "/data/skse/PLUGINS");
  auto inGame = CheckSettings(game + "/data/skse/PLUGINS/qxKit.ini", list);
  std::filesystem::remove_all(folder);
  EXPECT_EQ(inGame.problems, 5) << inGame.report;
  EXPECT_TRUE(Has(inGame.report, "  the game's folder (Data included): " + game + "\n")) << inGame.report;
  EXPECT_TRUE(Has(inGame.report, "  ..\\Shared -> " + folder + "/Shared\n"));
  EXPECT_TRUE(Has(inGame.report, "'\\' (/) is the file system's root"));
  EXPECT_TRUE(Has(inGame.report, "'..' (" + folder + ") lies above the game's folder"));
  EXPECT_TRUE(Has(CheckSettings(game + "/Data/SKSE/qxKit.ini", list).report, "stand-in"));

  EXPECT_EQ(CheckSettings("qxKit.ini", "[files]\nwritablefolder=D:\\x\n").problems, 1);  // and its closest key
  EXPECT_TRUE(Has(CheckSettings("qxKit.ini", "[files]\nwritablefolder=D:\\x\n").report,
                  "did you mean [files] writablefolders?"));
}

TEST(SettingsCheck, EditDistance) {
  EXPECT_EQ(qxtools::EditDistance("", ""), 0u);
  EXPECT_EQ(qxtools::EditDistance("kitten", "sitting"), 3u);
  EXPECT_EQ(qxtools::EditDistance("abc", ""), 3u);
}

}  // namespace
