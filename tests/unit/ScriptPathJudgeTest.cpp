// The judge of script paths over a table of forms, in both character widths: the ways
// around a folder confinement that others have shipped and then fixed, every form that must
// never reach the file system, and the everyday paths of mods that must keep working.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "papyrus/files/ProtectedFiles.h"
#include "papyrus/files/ScriptFolders.h"
#include "papyrus/files/ScriptPathJudge.h"
#include "platform/Files.h"

namespace {

using qx::io::PathRefusal;
using R = PathRefusal;

const char* const kGame = "C:\\Games\\Skyrim";
const std::vector<std::string> kAllowed = {kGame, "C:\\Users\\P\\Documents\\My Games\\Skyrim"};

struct Form {
  const char* text;
  PathRefusal refusal;
  bool inside;
  const char* fullPath;  // when not refused
};

const Form kForms[] = {
    // Everyday paths inside the game's folders.
    {"Data\\x.txt", R::kNone, true, "C:\\Games\\Skyrim\\Data\\x.txt"},
    {"Data/../Data/x.txt", R::kNone, true, "C:\\Games\\Skyrim\\Data\\x.txt"},
    {"c:/GAMES/skyrim/DATA/x.txt", R::kNone, true, "c:\\GAMES\\skyrim\\DATA\\x.txt"},
    {"Data\\\\.\\/x.txt", R::kNone, true, "C:\\Games\\Skyrim\\Data\\x.txt"},
    {"Data.\\x.txt. . ", R::kNone, true, "C:\\Games\\Skyrim\\Data\\x.txt"},
    // As Windows resolves: a name before another loses one trailing dot and keeps its blanks;
    // the path's end loses every trailing dot and blank unless the text ends with a separator.
    {"Data \\x.txt", R::kNone, true, "C:\\Games\\Skyrim\\Data \\x.txt"},
    {"Data..\\x.txt", R::kNone, true, "C:\\Games\\Skyrim\\Data.\\x.txt"},
    {"Data\\x. .\\y", R::kNone, true, "C:\\Games\\Skyrim\\Data\\x. \\y"},
    {"Data\\x \\.", R::kNone, true, "C:\\Games\\Skyrim\\Data\\x"},
    {"Data\\x \\", R::kNone, true, "C:\\Games\\Skyrim\\Data\\x "},
    {"Data\\x.\\", R::kNone, true, "C:\\Games\\Skyrim\\Data\\x"},
    {"Data\\0123456789abcdef0123456789abcdef\\y", R::kNone, true,
     "C:\\Games\\Skyrim\\Data\\0123456789abcdef0123456789abcdef\\y"},
    {"\\Games\\Skyrim\\Data\\x", R::kNone, true, "C:\\Games\\Skyrim\\Data\\x"},
    {"C:\\Users\\P\\Documents\\My Games\\Skyrim\\SKSE\\x.log", R::kNone, true,
     "C:\\Users\\P\\Documents\\My Games\\Skyrim\\SKSE\\x.log"},
    {"Data\\COM10.txt", R::kNone, true, "C:\\Games\\Skyrim\\Data\\COM10.txt"},
    {"Data\\console nul.txt", R::kNone, true, "C:\\Games\\Skyrim\\Data\\console nul.txt"},
    // The seven ways around: an absolute path outside; ".." beyond a leading one; a sibling
    // whose name begins with the game folder's; no normalisation; ".." inside the path;
    // network and device paths; a prefix compared as text.
    {"C:\\Windows\\x.txt", R::kNone, false, "C:\\Windows\\x.txt"},
    {"Data\\..\\..\\x", R::kNone, false, "C:\\Games\\x"},
    {"C:\\Games\\SkyrimBackup\\x.txt", R::kNone, false, "C:\\Games\\SkyrimBackup\\x.txt"},
    {"C:/Games//Skyrim/./../x", R::kNone, false, "C:\\Games\\x"},
    {"C:\\Games\\Skyrim\\Data\\..\\..\\x", R::kNone, false, "C:\\Games\\x"},
    {"\\\\localhost\\c$\\x", R::kNetwork, false, ""},
    {"C:\\Games\\Skyrim Special\\x", R::kNone, false, "C:\\Games\\Skyrim Special\\x"},
    // Climbing stops at the root; the folder itself is not a file below it.
    {"..\\..\\..\\..\\Windows\\x", R::kNone, false, "C:\\Windows\\x"},
    {"\\Windows\\x", R::kNone, false, "C:\\Windows\\x"},
    {"C:\\Games\\Skyrim\\", R::kNone, false, "C:\\Games\\Skyrim"},
    {"..\\..", R::kNone, false, "C:\\"},
    {".", R::kNone, false, "C:\\Games\\Skyrim"},
    // Never to the file system.
    {"", R::kEmpty, false, ""},
    {"\\\\127.0.0.1\\share\\x", R::kNetwork, false, ""},
    {"//localhost/share/x", R::kNetwork, false, ""},
    {"\\/localhost\\x", R::kNetwork, false, ""},
    {"/\\localhost", R::kNetwork, false, ""},
    {"\\\\.\\COM1", R::kDeviceNamespace, false, ""},
    {"//./PhysicalDrive0", R::kDeviceNamespace, false, ""},
    {"\\\\?\\C:\\Games\\Skyrim\\Data\\x", R::kDeviceNamespace, false, ""},
    {"\\??\\C:\\x", R::kDeviceNamespace, false, ""},
    {"x.txt:s", R::kMisplacedColon, false, ""},
    {"Data\\x.txt::$DATA", R::kMisplacedColon, false, ""},
    {"C:x.txt", R::kMisplacedColon, false, ""},
    {"C:", R::kMisplacedColon, false, ""},
    {"1:\\x", R::kMisplacedColon, false, ""},
    {"nul", R::kDeviceName, false, ""},
    {"Data\\NUL.txt", R::kDeviceName, false, ""},
    {"con\\x.txt", R::kDeviceName, false, ""},
    {"Data\\aux .log", R::kDeviceName, false, ""},
    {"Data\\prn. . ", R::kDeviceName, false, ""},
    {"Data\\Com9.x.y", R::kDeviceName, false, ""},
    {"Data\\lpt1", R::kDeviceName, false, ""},
    {"Data\\COM\xB9", R::kDeviceName, false, ""},
    {"CONOUT$", R::kDeviceName, false, ""},
    {"Data\\a\tb", R::kForbiddenCharacter, false, ""},
    {"Data\\a\x1F", R::kForbiddenCharacter, false, ""},
    {"Data\\a<b", R::kForbiddenCharacter, false, ""},
    {"Data\\a>b", R::kForbiddenCharacter, false, ""},
    {"Data\\\"a\"", R::kForbiddenCharacter, false, ""},
    {"Data\\a|b", R::kForbiddenCharacter, false, ""},
    {"Data\\a?", R::kForbiddenCharacter, false, ""},
    {"Data\\*.txt", R::kForbiddenCharacter, false, ""},
    {"Data\\0123456789abcdef0123456789abcde|", R::kForbiddenCharacter, false, ""},
    {"Data\\0123456789abcdef\x01", R::kForbiddenCharacter, false, ""},
    {"Data\\...\\x", R::kDotsOnlyName, false, ""},
    {"Data\\.. ", R::kDotsOnlyName, false, ""},
    {"Data\\ \\x", R::kDotsOnlyName, false, ""},
};

template <typename Unit>
std::basic_string<Unit> Widened(std::string_view text) {
  std::basic_string<Unit> wide;
  for (char c : text) wide.push_back(static_cast<Unit>(static_cast<unsigned char>(c)));
  return wide;
}

template <typename Unit>
void JudgeEveryForm() {
  std::vector<std::basic_string<Unit>> allowed;
  for (const std::string& folder : kAllowed) allowed.push_back(Widened<Unit>(folder));
  std::basic_string<Unit> game = Widened<Unit>(kGame);
  for (const Form& form : kForms) {
    SCOPED_TRACE(form.text);
    std::basic_string<Unit> text = Widened<Unit>(form.text), full;
    qx::io::PathVerdict verdict = qx::io::JudgeScriptPath<Unit>(text, game, allowed, full);
    EXPECT_EQ(verdict.refusal, form.refusal) << qx::io::RefusalReason(verdict.refusal);
    EXPECT_EQ(verdict.inside, form.inside);
    if (form.refusal == R::kNone) {
      EXPECT_TRUE(full == Widened<Unit>(form.fullPath));
    }
  }
}

TEST(ScriptPathJudge, EveryFormInBothWidths) {
  JudgeEveryForm<char>();
  JudgeEveryForm<wchar_t>();
}

TEST(ScriptPathJudge, CurrentFoldersWithoutADriveOrOnAShare) {
  struct Case {
    const char* current;
    const char* text;
    PathRefusal refusal;
    const char* fullPath;
  };
  const Case cases[] = {
      {"/tmp/game", "Data/x", R::kNone, "\\tmp\\game\\Data\\x"},
      {"/tmp/game", "/etc/x", R::kNone, "\\etc\\x"},
      {"/tmp/game", "../../../x", R::kNone, "\\x"},
      {"\\\\nas\\games\\Skyrim", "..\\..\\..\\x", R::kNone, "\\\\nas\\games\\x"},
      {"\\\\nas\\games\\Skyrim", "\\x", R::kNone, "\\\\nas\\games\\x"},
      {"\\\\nas\\games\\Skyrim", "D:\\x", R::kNone, "D:\\x"},
      {"", "Data\\x", R::kNoCurrentFolder, ""},
      {"", "\\x", R::kNoCurrentFolder, ""},
      {"Games", "D:\\x", R::kNone, "D:\\x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.current) + " + " + c.text);
    std::string full;
    EXPECT_EQ(qx::io::ResolveScriptPath<char>(c.text, c.current, full), c.refusal);
    if (c.refusal == R::kNone) {
      EXPECT_EQ(full, c.fullPath);
    }
  }
  // A drive is allowed whole; a folder without a drive holds everything below its root.
  EXPECT_TRUE(qx::io::IsBelowFolder<char>("D:\\x", "D:\\"));
  EXPECT_TRUE(qx::io::IsBelowFolder<char>("\\tmp\\x", "\\"));
  EXPECT_FALSE(qx::io::IsBelowFolder<char>("D:\\", "D:\\"));
  EXPECT_FALSE(qx::io::IsBelowFolder<char>("E:\\x", "D:\\"));
  EXPECT_TRUE(qx::io::IsBelowFolder<char>("\\\\nas\\games\\x", "\\\\NAS\\Games"));
  EXPECT_FALSE(qx::io::IsBelowFolder<char>("\\\\nas\\gamesold\\x", "\\\\nas\\games"));
}

// What no script may change, in every spelling that resolves to it, and what stays a mod's own.
TEST(ScriptPathJudge, ProtectedFilesWhateverTheSpelling) {
  using P = qx::io::Protection;
  const std::string docs = "C:\\Users\\P\\Documents\\My Games\\Skyrim";
  const std::vector<std::string> own = {std::string(kGame) + "\\Data\\SKSE\\Plugins\\qxKit.ini",
                                        "D:\\Tools\\QXKit.dll", docs + "\\SKSE\\QXKit.log", docs + "\\SKSE\\QXKit.log3"};
  const std::pair<std::string, P> forms[] = {
      {"Data\\SKSE\\Plugins\\qxKit.ini", P::kPluginFile},
      {"DATA/skse/PLUGINS/QXKIT.INI. ", P::kPluginFile},
      {"Data\\SKSE.\\.\\Plugins\\..\\Plugins\\qxKit.ini", P::kPluginFile},
      {"d:/tools/qxkit.dll", P::kPluginFile},
      {docs + "\\SKSE\\QXKit.log3", P::kPluginFile},
      {"Data\\SKSE\\Plugins\\Other.json", P::kPluginsFolder},
      {"Data\\SKSE\\skse.ini", P::kPluginsFolder},
      {docs + "\\Saves\\Save 1.ess", P::kSave},
      {docs + "\\SAVES\\sub\\notes.txt", P::kSave},
      {"Data\\Backup\\old.ESS", P::kSave},
      {"x.skse", P::kSave},
      {"Skyrim.ini", P::kGameSettings},
      {docs + "\\SkyrimPrefs.INI ", P::kGameSettings},
      {"Data\\Skyrim.esm", P::kLoadedOrRun},
      {"Data\\Scripts\\x.pex.", P::kLoadedOrRun},
      {"Data\\a.b.bat . ", P::kLoadedOrRun},
      {"Data\\x.js", P::kLoadedOrRun},
      {"Data\\x.Ps1", P::kLoadedOrRun},
      {"run.lnk", P::kLoadedOrRun},
      // A mod's own files stay writable.
      {"Data\\SKSE\\Plugins\\MyMod\\settings.ini", P::kNone},
      {"Data\\SKSE\\MyMod\\notes.txt", P::kNone},
      {"Data\\MyMod\\settings.ini", P::kNone},
      {docs + "\\MyMod\\notes.txt", P::kNone},
      {docs + "\\SKSE\\Other.log", P::kNone},
      {"Data\\x.espx", P::kNone},
      {"Data\\esp", P::kNone},
      {"Data\\.esp\\x.txt", P::kNone},
      {"Data\\x.txt", P::kNone},
  };
  auto check = [&]<typename Unit>(Unit) {
    qx::io::ProtectedPlaces<Unit> places;
    for (const std::string& file : own) places.files.push_back(Widened<Unit>(file));
    places.filesDirectlyIn = {Widened<Unit>(std::string(kGame) + "\\Data\\SKSE"),
                              Widened<Unit>(std::string(kGame) + "\\Data\\SKSE\\Plugins")};
    places.settingsDirectlyIn = {Widened<Unit>(kGame), Widened<Unit>(docs)};
    places.everythingBelow = {Widened<Unit>(docs + "\\Saves")};
    for (const auto& [text, protection] : forms) {
      SCOPED_TRACE(text);
      std::basic_string<Unit> full;
      ASSERT_EQ(qx::io::ResolveScriptPath<Unit>(Widened<Unit>(text), Widened<Unit>(kGame), full), R::kNone);
      EXPECT_EQ(qx::io::ProtectionOf<Unit>(full, places), protection) << qx::io::ProtectionReason(protection);
    }
  };
  check(char());
  check(wchar_t());
}

// The setting's entries as the plugin and `qxkit check` read them, against the game's folder
// as the system gives it (on a share, in the system's own namespace): each entry's folder,
// and whether it opens a whole root or every folder above and beside the game's.
TEST(ScriptPathJudge, WritableFolderEntriesAndHowFarTheyReach) {
  using Reach = qx::io::FolderReach;
  const char* const share = "\\\\nas\\games\\Skyrim";
  struct Case {
    const char* game;
    const char* entry;
    PathRefusal refusal;
    const char* folder;
    Reach reach;
  };
  const Case cases[] = {
      {kGame, "D:\\ModData", R::kNone, "D:\\ModData", Reach::kOwn},
      {kGame, "..\\Shared", R::kNone, "C:\\Games\\Shared", Reach::kOwn},
      {"\\\\?\\C:\\Games\\Skyrim\\", "Data/MyMod/", R::kNone, "C:\\Games\\Skyrim\\Data\\MyMod", Reach::kOwn},
      {kGame, "\\", R::kNone, "C:\\", Reach::kWholeRoot},
      {kGame, "D:\\", R::kNone, "D:\\", Reach::kWholeRoot},
      {kGame, "Data\\..\\..\\..\\..", R::kNone, "C:\\", Reach::kWholeRoot},
      {kGame, "..", R::kNone, "C:\\Games", Reach::kAboveGameFolder},
      {kGame, "c:/GAMES/", R::kNone, "c:\\GAMES", Reach::kAboveGameFolder},
      {kGame, "\\\\localhost\\share", R::kNetwork, "", Reach::kOwn},
      {share, "..\\Mods", R::kNone, "\\\\nas\\games\\Mods", Reach::kOwn},
      {"\\\\?\\UNC\\nas\\games\\Skyrim", "..\\..", R::kNone, "\\\\nas\\games\\", Reach::kWholeRoot},
      {"/tmp/game", "/", R::kNone, "\\", Reach::kWholeRoot},
      {"Games", "Data", R::kNoCurrentFolder, "", Reach::kOwn},  // no full path: the game's folder is unknown
  };
  auto resolve = [](const char* game, const char* entry) {
    std::string folder = qx::io::SystemFolder(qx::platform::FilePath::FromScriptText(game).Native());
    return qx::io::ResolveSettingFolders({entry}, folder).at(0);
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.game) + " + " + c.entry);
    qx::io::SettingFolder resolved = resolve(c.game, c.entry);
    EXPECT_EQ(resolved.refusal, c.refusal) << qx::io::RefusalReason(resolved.refusal);
    EXPECT_EQ(resolved.folder, c.folder);
    EXPECT_EQ(resolved.reach, c.reach);
    EXPECT_EQ(qx::io::ReachWarning(resolved).empty(), c.reach == Reach::kOwn);
  }
  // The log's and the check's words for a share's root (the others: their own tests).
  EXPECT_EQ(qx::io::ReachWarning(resolve(share, "\\")),
            "is a share's root: it lets every script write anywhere on the share //nas/games");
}

}  // namespace
