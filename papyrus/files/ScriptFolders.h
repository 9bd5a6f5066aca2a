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

struct UnusableFolder {
  std::string text;
  PathRefusal reason;
};

// Replaces the folders scripts may write in with `folders`, each a full folder path or one
// relative to `baseFolder` (the game's folder), in the ANSI code page. A text that names no
// usable folder (a network or device path, say) is left out and returned with its reason.
// Not for use while scripts run: the plugin sets it while it loads, before it registers the
// script functions.
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
