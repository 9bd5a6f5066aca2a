#pragma once
// The files no script may create, empty, append to or delete, wherever it may write: what
// the player, the game and other programs depend on. Decided from the full path the judge
// resolved (so every spelling of one is the same file), without a file system call; the one
// rule that reads the file, a zero byte in its first block, is the file functions' own.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qx::io {

enum class Protection : std::uint8_t {
  kNone,
  kPluginFile,     // the plugin's own: its DLL, its settings files, its log
  kPluginsFolder,  // directly in the script extender's folders of plugins and their settings
  kSave,           // below the player's Saves folder, or a save by its extension anywhere
  kGameSettings,   // an .ini directly in the game's folder or its folder in the documents
  kLoadedOrRun,    // the game's data or a program, by its extension, anywhere
  kBinary,         // holds a zero byte in its first block: no script wrote it
};

// Why a file is protected, as the log says it.
[[nodiscard]] const char* ProtectionReason(Protection protection) noexcept;

// How many bytes of a file the zero-byte rule reads.
inline constexpr std::size_t kFirstBlockSize = 4096;

// Full paths as the judge writes them ("\" separators, no trailing one).
template <typename Unit>
struct ProtectedPlaces {
  std::vector<std::basic_string<Unit>> files;                // each exactly
  std::vector<std::basic_string<Unit>> filesDirectlyIn;     // every file directly in each
  std::vector<std::basic_string<Unit>> settingsDirectlyIn;  // every .ini directly in each
  std::vector<std::basic_string<Unit>> everythingBelow;     // every file at any depth below each
};

// Which rule, if any, protects `fullPath` (a full path as the judge writes it); the first
// that applies in the order of the enumeration.
template <typename Unit>
[[nodiscard]] Protection ProtectionOf(std::basic_string_view<Unit> fullPath, const ProtectedPlaces<Unit>& places) noexcept;

}  // namespace qx::io
