#pragma once
// Judging a path text a script hands the file functions, before the file system sees it. Any
// installed mod's script can call them, so the text is untrusted: it must not reach another
// machine, a device or a stream, and writing is kept inside the folders the player allows.
//
// Pure: the text is resolved as Windows resolves a path ("/" read as "\", a relative path
// against the current folder, "\x" against the current folder's drive, "." and ".." taken
// away, repeated separators as one, one trailing dot of a name before another dropped, every
// trailing dot and blank of the path's end dropped), and the full path is compared with each
// allowed folder name by name, letter case ignored. No file system call: links are not
// followed (a mod manager shows mod files inside Data through one, and a link the player
// made inside the game's folder is the player's choice).
//
// `Unit` is the path's character: wchar_t in the Windows build (the text after conversion
// from the ANSI code page, so no byte of a double-byte character is taken for a "\"), char
// in the Linux build and the fuzzer. Full paths are written with "\"; a folder without a
// drive (the Linux build's) has the empty root, so "/tmp/x" is "\tmp\x".
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qx::io {

enum class PathRefusal : std::uint8_t {
  kNone,
  kEmpty,
  kNetwork,             // two leading separators: a share on another machine
  kDeviceNamespace,     // \\.\, \\?\ or \??\: devices and the system's own namespaces
  kMisplacedColon,      // a stream ("x.txt:s") or a drive-relative path ("C:x")
  kForbiddenCharacter,  // a control character or one of < > " | ? *
  kDeviceName,          // CON, PRN, AUX, NUL, COM1-9, LPT1-9, whatever follows the name
  kDotsOnlyName,        // a name of dots and spaces only, other than "." and ".."
  kNoCurrentFolder,     // a path relative to a current folder that is not a full path
};

// Why a path was refused, as the log says it.
[[nodiscard]] const char* RefusalReason(PathRefusal refusal) noexcept;

struct PathVerdict {
  PathRefusal refusal = PathRefusal::kNone;
  bool inside = false;  // below one of the allowed folders (never when refused)
  [[nodiscard]] bool Refused() const noexcept { return refusal != PathRefusal::kNone; }
};

// Resolves a script's path text against `currentFolder` (a full path as the system gives
// it) into `fullPath`, or says why the text is refused (`fullPath` is then unspecified).
template <typename Unit>
[[nodiscard]] PathRefusal ResolveScriptPath(std::basic_string_view<Unit> text,
                                            std::basic_string_view<Unit> currentFolder,
                                            std::basic_string<Unit>& fullPath);

// Whether `fullPath` lies below `folder`, both full paths as ResolveScriptPath writes them:
// every name of the folder equals the path's name at the same place, and the path goes on.
template <typename Unit>
[[nodiscard]] bool IsBelowFolder(std::basic_string_view<Unit> fullPath,
                                 std::basic_string_view<Unit> folder) noexcept;

// Whether two full paths as ResolveScriptPath writes them name the same file, letter case ignored.
template <typename Unit>
[[nodiscard]] bool IsSamePath(std::basic_string_view<Unit> a, std::basic_string_view<Unit> b) noexcept;

// The judge: resolves `text`, then tells whether the full path lies below one of
// `allowedFolders` (full paths as ResolveScriptPath writes them).
template <typename Unit>
[[nodiscard]] PathVerdict JudgeScriptPath(std::basic_string_view<Unit> text,
                                          std::basic_string_view<Unit> currentFolder,
                                          std::span<const std::basic_string<Unit>> allowedFolders,
                                          std::basic_string<Unit>& fullPath);

}  // namespace qx::io
