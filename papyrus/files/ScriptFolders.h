#pragma once
// Where the file functions let scripts reach. Every mod's script can call them, so a path
// text is judged before the file system sees it: reading and testing reach any local file,
// while creating, emptying, appending to and deleting a file stay below the folders the
// player allows (the game's folder, the game's folder in the player's documents, and the
// folders of [files] writablefolders). Network, device and stream paths reach nothing.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// Judges a script's path for `use`. Admitted: true, and `path` now takes the system to the
// full path the judge resolved (the one it compared). Refused: one log line with the reason,
// false, and nothing else done. May throw std::bad_alloc.
[[nodiscard]] bool AdmitScriptPath(platform::FilePath& path, PathUse use);

}  // namespace qx::io
