// The plugin's start-up as the script extender drives it: Query, Load, the listener.
#include <filesystem>

#include "tests/host/HostFixture.h"

namespace {

using namespace qxtest;
using Lines = std::vector<std::string>;

TEST(Startup, QueryIdentifiesThePluginAndLoadRegistersTheListener) {
  sim::BootResult boot = BootWithSettings("[general]\n");
  ASSERT_TRUE(boot.queried);
  EXPECT_TRUE(boot.loaded);
  EXPECT_EQ(boot.info.infoVersion, 1u);
  EXPECT_STREQ(boot.info.name, "QXKit");
  EXPECT_EQ(boot.info.version, 1u);

  sim::ScriptExtender& skse = sim::ScriptExtender::Instance();
  EXPECT_EQ(skse.pluginHandleRequests, 1u);
  EXPECT_EQ(skse.interfaceQueries, (std::vector<std::uint32_t>{2, 5}));
  ASSERT_EQ(skse.listeners.size(), 1u);
  EXPECT_EQ(skse.listeners[0].pluginHandle, skse.Options().pluginHandle);
  EXPECT_EQ(skse.listeners[0].sender, "SKSE");
  EXPECT_EQ(LogLines().front(), "QXKit");
}

TEST(Startup, QueryRefusesTheEditorButKeepsTheHandle) {
  sim::BootOptions options;
  options.scriptExtender.isEditor = 1;
  sim::BootResult boot = sim::Game::Boot(options);
  EXPECT_FALSE(boot.queried);
  EXPECT_FALSE(boot.loaded);
  EXPECT_EQ(sim::ScriptExtender::Instance().pluginHandleRequests, 1u);
  EXPECT_EQ(LogLines(), (Lines{"QXKit", "loaded in editor, marking as incompatible"}));
}

TEST(Startup, QueryRefusesOtherRuntimes) {
  sim::BootOptions options;
  options.scriptExtender.runtimeVersion = 0x09200001;
  sim::BootResult boot = sim::Game::Boot(options);
  EXPECT_FALSE(boot.queried);
  EXPECT_EQ(sim::ScriptExtender::Instance().pluginHandleRequests, 1u);
  EXPECT_EQ(LogLines(), (Lines{"QXKit", "unsupported runtime version 09200001"}));
}

TEST(Startup, MissingSettingsFileInstallsNothingButStillRegisters) {
  sim::BootResult boot = sim::Game::Boot({});
  EXPECT_TRUE(boot.queried);
  EXPECT_TRUE(boot.loaded);
  Lines lines = LogLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "QXKit");
  EXPECT_EQ(lines[1], "QX INI: could not load settings file; most fixes will be disabled");
  EXPECT_TRUE(LinesStartingWith(lines, "QX Inject:").empty());
  EXPECT_FALSE(HasLine(lines, "QX Health Gating: cannot enable (AV percentage fix is not enabled)"));
  EXPECT_FALSE(HasLine(lines, "QX Papyrus: registered actor value percentage fix functions"));
  EXPECT_TRUE(sim::PatchedSites().empty());
  sim::ScriptExtender& skse = sim::ScriptExtender::Instance();
  EXPECT_EQ(skse.interfaceQueries, (std::vector<std::uint32_t>{2, 5}));
  EXPECT_EQ(skse.listeners.size(), 1u);
}

// The settings file there but not readable, a folder of that name or a file another
// process holds (on Linux, a link to itself): as without the file, nothing is patched and
// the plugin loads and registers its script classes.
void ExpectLoadedWithoutSettings() {
  Lines lines = LogLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[1], "QX INI: could not load settings file; most fixes will be disabled");
  EXPECT_TRUE(LinesStartingWith(lines, "QX Inject:").empty());
  EXPECT_TRUE(sim::PatchedSites().empty());
  EXPECT_TRUE(HasLine(lines, "QX Papyrus: registered string utils functions"));
  EXPECT_EQ(sim::ScriptExtender::Instance().listeners.size(), 1u);
}

TEST(Startup, ASettingsFileThatIsAFolderLoadsNothing) {
  sim::Game::Start();
  std::filesystem::create_directories(sim::GameFolders::PluginFile("qxKit.ini"));
  EXPECT_TRUE(sim::Game::Boot({}).loaded);
  ExpectLoadedWithoutSettings();
}

TEST(Startup, AnUnreadableSettingsFileLoadsNothing) {
  sim::Game::Start();
  std::string path = sim::GameFolders::PluginFile("qxKit.ini");
  ASSERT_TRUE(sim::WriteFile(path, "[general]\nenableavpercentfix=1\n"));
#ifdef _WIN32
  HANDLE held = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(sim::Game::Boot({}).loaded);
  CloseHandle(held);
#else
  // Permissions do not stop root; a link to itself cannot be opened by anyone.
  std::filesystem::remove(path);
  std::filesystem::create_symlink("qxKit.ini", path);
  EXPECT_TRUE(sim::Game::Boot({}).loaded);
#endif
  ExpectLoadedWithoutSettings();
}

TEST(Startup, EverySettingIsLoggedInFileOrderWithItsFormat) {
  BootWithSettings(
      "[General]\n"
      "EnableAVPercentFix=1\nenablejumpbonusfix=0\nenablebashbugfix=0\nenablehealthgating=0\n"
      "enablemagiceffectartworkoverrides=0\nenableplayeraudiorepositioner=0\n"
      "[books]\nskillreadpollingtimemillis=-250\ndisableskillgain=0\ndumpskills=0\n"
      "clearallreadskills=0\n"
      "[cameratweaks]\nreplacefurniturecamwith3p=0\nchangetweenmenuzoom=0\ntweenmenuzoom=12.5\n"
      "disabletweenmenupan=0\nenablehorsecamfix=0\nenable3pcellloadpositionfix=0\n"
      "enable3pkillcampositionfix=0\n"
      "[healthgating]\nisenabled=1\nenablephysical=1\nenablemagic=0\nformainplayeronly=0\n"
      "requirebelowattackerhealth=1\nrequirebelowattackerstamina=0\nswapattackerstaminamagicka=1\n"
      "minhealthpercent=0.75\nresulthealthpercent=0.25\nattackerhealthpercent=0.5\n"
      "attackerstaminapercent=abc\nimmunitytimemillis=-1\ngatingwindowmillis=20\n"
      "cleanuppollingtimemillis=60000\n"
      "[magiceffectartworkoverrides]\ndisableall=yes\n"
      "[playeraudiorepositioner]\nisenabled=true\nusethreshold=2\nenablethresholdlogging=-1\n"
      "thresholdx=100\nthresholdy=-1\nthresholdz=1e39\naddx=1.5\naddy=-2\naddz=0\n");
  Lines expected = {
      "QXKit",
      "QX INI: gEnableAVPercentFix set to 1",
      "QX INI: gEnableJumpBonusFix set to 0",
      "QX INI: gEnableBashBugFix set to 0",
      "QX INI: gEnableHealthGateFix set to 0",
      "QX INI: gEnableMagicEffectArtworkOverrides set to 0",
      "QX INI: gEnablePlayerAudioRepositioner set to 0",
      "QX INI: bookSkillReadPollingTimeMillis set to -250",
      "QX INI: bookDisableSkillGain set to 0",
      "QX INI: bookDumpSkills set to 0",
      "QX INI: bookClearAllReadSkills set to 0",
      "QX INI: camReplaceFurnitureCamWith3P set to 0",
      "QX INI: camChangeTweenMenuZoom set to 0",
      "QX INI: camTweenMenuZoom set to 12.500000",
      "QX INI: camDisableTweenMenuPan set to 0",
      "QX INI: camEnableHorseCamFix set to 0",
      "QX INI: camEnable3PCellLoadPositionFix set to 0",
      "QX INI: camEnable3PKillCamPositionFix set to 0",
      "QX INI: hgIsEnabled set to 1",
      "QX INI: hgEnablePhysical set to 1",
      "QX INI: hgEnableMagic set to 0",
      "QX INI: hgForMainPlayerOnly set to 0",
      "QX INI: hgRequireBelowAttackerHealth set to 1",
      "QX INI: hgRequireBelowAttackerStamina set to 0",
      "QX INI: hgSwapAttackerStaminaMagicka set to 1",
      "QX INI: hgMinHealthPercent set to 0.750000",
      "QX INI: hgResultHealthPercent set to 0.250000",
      "QX INI: hgAttackerHealthPercent set to 0.500000",
      "QX INI: hgAttackerStaminaPercent set to 0.000000",
      "QX INI: hgImmunityTimeMillis set to 4294967295",
      "QX INI: hgGatingWindowMillis set to 20",
      "QX INI: hgCleanupPollingTimeMillis set to 60000",
      "QX INI: meaoDisableAll set to 0",
      "QX INI: parIsEnabled set to 1",
      "QX INI: parUseThreshold set to 1",
      "QX INI: parEnableThresholdLogging set to 1",
      "QX INI: parThresX set to 100.000000",
      "QX INI: parThresY set to -1.000000",
      "QX INI: parThresZ set to 0.000000",
      "QX INI: parAddX set to 1.500000",
      "QX INI: parAddY set to -2.000000",
      "QX INI: parAddZ set to 0.000000",
  };
  Lines lines = LogLines();
  ASSERT_GE(lines.size(), expected.size());
  EXPECT_EQ(Lines(lines.begin(), lines.begin() + expected.size()), expected);
  // With the actor value fix on, validation has nothing to say; Load goes on to inject.
  ASSERT_GE(lines.size(), expected.size() + 2);
  EXPECT_EQ(lines[expected.size()], "QX Inject: actor value percentage fix loaded");
  EXPECT_EQ(lines[expected.size() + 1], "QX Inject: papyrus functions loaded");
}

TEST(Startup, ReadSettingsWithoutTheActorValueFixNoteHealthGatingOnEveryStart) {
  BootWithSettings("[general]\n");
  Lines lines = LogLines();
  EXPECT_EQ(lines, (Lines{"QXKit", "QX Health Gating: cannot enable (AV percentage fix is not enabled)",
                          "QX Inject: papyrus functions loaded",
                          "QX Papyrus: registered IO utils functions",
                          "QX Papyrus: registered string utils functions",
                          "QX Papyrus: registered actor effects functions",
                          "QX Papyrus: registered general functions",
                          "QX Papyrus: all registrations succeeded without errors"}));
}

TEST(Startup, WithoutAPapyrusInterfaceNothingIsRegistered) {
  sim::BootOptions options;
  options.settings = "[general]\n";
  options.scriptExtender.offersPapyrus = false;
  EXPECT_TRUE(sim::Game::Boot(options).loaded);
  sim::ScriptExtender& skse = sim::ScriptExtender::Instance();
  EXPECT_TRUE(skse.papyrusRegistrations.empty());
  EXPECT_EQ(skse.listeners.size(), 1u);
  Lines lines = LogLines();
  EXPECT_FALSE(HasLine(lines, "QX Papyrus: all registrations succeeded without errors"));
  EXPECT_TRUE(HasLine(lines,
                      "QX Papyrus: the script extender offers no papyrus interface; no functions registered"));
  // The plugin runs on: the listener still finishes the set-up.
  sim::Game::SendDataLoaded();
  EXPECT_TRUE(HasLine(LogLines(), "QX INI: post data load processing complete"));
}

// A Register call the script extender refuses costs only the all-succeeded line: every
// class is still offered and logged, later ones register, and the listener is registered.
TEST(Startup, ARefusedRegistrationOnlyOmitsTheAllSucceededLine) {
  sim::BootOptions options;
  options.settings = "[general]\n";
  options.scriptExtender.refusedRegistration = 1;  // the string utils
  EXPECT_TRUE(sim::Game::Boot(options).loaded);
  sim::ScriptExtender& skse = sim::ScriptExtender::Instance();
  EXPECT_EQ(skse.papyrusRegisterCalls, 4u);
  EXPECT_EQ(skse.papyrusRegistrations.size(), 3u);
  EXPECT_EQ(skse.listeners.size(), 1u);
  EXPECT_EQ(LogLines(), (Lines{"QXKit", "QX Health Gating: cannot enable (AV percentage fix is not enabled)",
                               "QX Inject: papyrus functions loaded",
                               "QX Papyrus: registered IO utils functions",
                               "QX Papyrus: registered string utils functions",
                               "QX Papyrus: registered actor effects functions",
                               "QX Papyrus: registered general functions"}));
}

TEST(Startup, WithoutAMessagingInterfaceLoadStillSucceeds) {
  sim::BootOptions options;
  options.settings = "[general]\n";
  options.scriptExtender.offersMessaging = false;
  EXPECT_TRUE(sim::Game::Boot(options).loaded);
  EXPECT_TRUE(sim::ScriptExtender::Instance().listeners.empty());
  EXPECT_EQ(sim::ScriptExtender::Instance().papyrusRegistrations.size(), 4u) << "the script classes still register";
  EXPECT_TRUE(HasLine(LogLines(),
                      "QX INI: the script extender offers no messaging interface; post data load "
                      "processing will not run"));
}

TEST(Startup, PluginLinesStayOffTheConsole) {
  testing::internal::CaptureStdout();
  BootWithSettings("[general]\nenableavpercentfix=1\n");
  std::string console = testing::internal::GetCapturedStdout();
  EXPECT_EQ(console.find("QX"), std::string::npos) << console;
  EXPECT_TRUE(HasLine(LogLines(), "QX INI: gEnableAVPercentFix set to 1"));
}

// Without a documents folder there is no log file: the failure goes to the console, and
// the plugin loads, patches and registers as it would with its log.
TEST(Startup, UnresolvableDocumentsFolderLeavesTheLogOnTheConsoleAndLoadGoesOn) {
  sim::BootOptions options;
  options.documentsUnavailable = true;
  options.settings = "[general]\nenableavpercentfix=1\n";
  testing::internal::CaptureStdout();
  sim::BootResult boot = sim::Game::Boot(options);
  std::string console = testing::internal::GetCapturedStdout();
  ASSERT_TRUE(boot.queried);
  EXPECT_TRUE(boot.loaded);
  EXPECT_NE(console.find("SHGetFolderPath 00000005 failed (result = 80004005 lasterr = "), std::string::npos)
      << console;
  EXPECT_NE(console.find("QX: no documents folder; the log goes to the console only"), std::string::npos)
      << console;
  EXPECT_EQ(console.find("Assertion failed"), std::string::npos) << console;
  EXPECT_FALSE(sim::PatchedSites().empty());
  EXPECT_FALSE(sim::ScriptExtender::Instance().papyrusRegistrations.empty());
  EXPECT_EQ(sim::ScriptExtender::Instance().listeners.size(), 1u);
  sim::Game::SendDataLoaded();
}

// A documents folder of `length` characters beside the sandbox's own; returns the sandbox.
std::string UseDocumentsOfLength(std::size_t length, std::string& documents) {
  sim::Game::Start();
  const std::string sandbox = std::filesystem::path(sim::GameFolders::GameFolder()).parent_path().string();
  documents = sim::JoinPath(sandbox, "/Documents");
  documents.append(length - documents.size(), 'e');
  sim::GameFolders::Use(sim::GameFolders::GameFolder(), documents);
  return sandbox;
}

// The log's path below the documents folder is used whole: cut to a path's old length it
// named another file (a file "My Game" in the documents folder, here).
TEST(Startup, TheLogsPathIsUsedWhole) {
  std::string documents;
  UseDocumentsOfLength(251, documents);
  EXPECT_TRUE(BootWithSettings("[general]\n").loaded);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(documents)) {
    names.push_back(entry.path().filename().string() + (entry.is_directory() ? "\\" : ""));
  }
  EXPECT_EQ(names, std::vector<std::string>{"My Games\\"});
#ifndef _WIN32  // Windows' calls for narrow paths stop at MAX_PATH: there the log has no file
  EXPECT_EQ(LogLines().at(0), "QXKit");
#endif
}

// A documents folder too long for the system's answer is none: cut, it named a folder
// beside it, where the log went and scripts could write.
TEST(Startup, ADocumentsFolderTooLongForTheSystemsAnswerIsNone) {
  std::string documents;
  const std::string sandbox = UseDocumentsOfLength(271, documents);
  testing::internal::CaptureStdout();
  EXPECT_TRUE(BootWithSettings("[general]\n").loaded);
  std::string console = testing::internal::GetCapturedStdout();
  EXPECT_NE(console.find("QX: no documents folder; the log goes to the console only"), std::string::npos) << console;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(sandbox), {}), 3) << "Skyrim, Documents, Documentse...";
}

TEST(Startup, HeldLogFileMakesThePluginUseTheNextName) {
#ifdef _WIN32
  sim::Game::Start();
  std::string path = sim::GameFolders::LogPath();
  ASSERT_TRUE(sim::WriteFile(path, "another process's log\n"));
  // Another process holds QXKit.log open for writing and lets others only read it.
  HANDLE held = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  BootWithSettings("[general]\n");
  CloseHandle(held);
  EXPECT_EQ(sim::GameFolders::ReadLog(), "another process's log\n");
  Lines fallback = SplitLogLines(sim::GameFolders::ReadLog("0"));
  ASSERT_FALSE(fallback.empty());
  EXPECT_EQ(fallback.front(), "QXKit");
#else
  GTEST_SKIP() << "share modes exist only in the Windows build";
#endif
}

}  // namespace
