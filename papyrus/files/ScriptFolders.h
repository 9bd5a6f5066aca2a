#pragma once
// Where the file functions let scripts reach. Every mod's script can call them, so a path
// text is judged before the file system sees it: reading and testing reach any local file,
// while creating, emptying, appending to and deleting a file stay below the folders the
// player allows (the game's folder, the game's folder in the player's documents, and the
// folders of [files] writablefolders), and never reach the files the player, the game and
// other programs depend on (ProtectedFiles.h). Network, device and stream paths reach nothing.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "papyrus/files/ProtectedFiles.h"
#include "papyrus/files/ScriptPathJudge.h"
#include "platform/Files.h"

namespace qx::io {

enum class PathUse : std::uint8_t {
  kRead,   // reading a file or testing that it exists
  kWrite,  // creating, emptying, appending to or deleting it
};

// The entries of a folder list as the setting holds them: separated by ";", blanks around
// an entry dropped, empty entries left out.
[[nodiscard]] std::vector<std::string> SplitFolderList(std::string_view list);

using NativeFolder = std::basic_string_view<platform::NativeUnit>;

// A full folder the system gave (the game's, the documents'), as the judge compares it: in
// its long names (platform::LongPathName), its names taken as they are, on a share as
// anywhere else; only a script's text and the setting's entries may not name a share. Empty
// when `folder` is not a full path. May throw std::bad_alloc.
[[nodiscard]] platform::NativePathString SystemFolder(NativeFolder folder);

// How far an entry of [files] writablefolders lets every script write.
enum class FolderReach : std::uint8_t {
  kOwn,              // the folder and what lies below it
  kWholeRoot,        // a drive's root, a share's root or the file system's: all of it
  kAboveGameFolder,  // a folder that holds the game's: every folder above and beside it
};

// One entry of the setting and where it leads.
struct SettingFolder {
  std::string text;                           // as the setting writes it
  PathRefusal refusal = PathRefusal::kNone;   // why it names no usable folder
  platform::NativePathString folder;          // the full folder, when usable
  FolderReach reach = FolderReach::kOwn;
};

// The setting's entries, each a full folder path or one relative to `gameFolder` (as
// SystemFolder gives it; empty when unknown), in the ANSI code page, resolved by the rules
// for a script's text and told how far each reaches. The plugin and `qxkit check` both
// read the setting through this. May throw std::bad_alloc.
[[nodiscard]] std::vector<SettingFolder> ResolveSettingFolders(const std::vector<std::string>& entries,
                                                               NativeFolder gameFolder);

// What a usable entry that reaches beyond its own folder opens to every script, from the
// verb on ("lets every script write anywhere on drive C:"), for the log and the check;
// empty for an entry that reaches only its own folder.
[[nodiscard]] std::string ReachWarning(const SettingFolder& folder);

// Replaces the folders scripts may write in with `systemFolders` (as SystemFolder gives
// them; empty ones left out) and the usable entries of `settingFolders`. Not for use while
// scripts run: the plugin sets them while it loads, before it registers the script functions.
void AllowWritingIn(std::vector<platform::NativePathString> systemFolders,
                    const std::vector<SettingFolder>& settingFolders);

struct UnusableFolder {
  std::string text;
  PathRefusal reason;
};

// The same for a list of folder texts read as the setting's entries: `folders` relative to
// `baseFolder` (the game's folder, as the system gives it), in the ANSI code page. A text
// that names no usable folder (a network or device path, say) is left out and returned with
// its reason.
std::vector<UnusableFolder> AllowWritingIn(const std::vector<std::string>& folders, std::string_view baseFolder);

// The places whose files no script may change, as the system names them (ANSI code page).
struct PlacesToProtect {
  std::string gameFolder;
  std::string documentsGameFolder;    // the game's folder in the player's documents; empty when unknown
  std::vector<std::string> ownFiles;  // the plugin's DLL, settings files and logs
};
// Protects the plugin's own files; every file directly in <game>\Data\SKSE and
// <game>\Data\SKSE\Plugins; the .ini files directly in the game's folder and in its folder
// in the documents; everything below that folder's Saves; and, anywhere, the extensions of
// ProtectedFiles.cpp. Set while the plugin loads, before it registers the script functions.
void ProtectFiles(const PlacesToProtect& places);

// The one line for a write or delete refused because of what the file is.
void LogProtectedFileRefused(std::string_view shownPath, Protection protection) noexcept;

// Judges a script's path (made by FilePath::ForJudging) for `use`. Admitted: true, and `path`
// now takes the system to the full path the judge resolved (the one it compared). Refused
// (for writing, a protected file too): one log line with the reason, false, and nothing else
// done. May throw std::bad_alloc.
[[nodiscard]] bool AdmitScriptPath(platform::FilePath& path, PathUse use);

}  // namespace qx::io
