#include "papyrus/files/ScriptPathJudge.h"

#include <type_traits>

namespace qx::io {
namespace {

template <typename Unit>
using Text = std::basic_string_view<Unit>;

// The character's code, whatever the signedness of Unit.
template <typename Unit>
constexpr std::uint32_t Code(Unit c) noexcept {
  return static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<Unit>>(c));
}

template <typename Unit>
constexpr bool IsSeparator(Unit c) noexcept {
  return c == Unit('\\') || c == Unit('/');
}

template <typename Unit>
constexpr bool IsAsciiLetter(Unit c) noexcept {
  std::uint32_t code = Code(c) | 0x20u;
  return code >= 'a' && code <= 'z';
}

// Letter case as Windows' file names ignore it, for the letters every code page shares.
constexpr std::uint32_t Folded(std::uint32_t code) noexcept {
  return code >= 'A' && code <= 'Z' ? code + 0x20u : code;
}

template <typename Unit>
bool IsNamed(Text<Unit> name, std::string_view ascii) noexcept {
  if (name.size() != ascii.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (Folded(Code(name[i])) != Folded(static_cast<unsigned char>(ascii[i]))) return false;
  }
  return true;
}

// The prefixes that leave the file system: another machine's share, or (\\.\, \\?\, \??\) the
// system's device and object namespaces.
template <typename Unit>
PathRefusal RefusedPrefix(Text<Unit> text) noexcept {
  auto at = [&](std::size_t i) { return i < text.size() ? text[i] : Unit(0); };
  bool separatorAfter = text.size() == 3 || IsSeparator(at(3));
  if (IsSeparator(at(0)) && IsSeparator(at(1))) {
    bool namespaceMark = at(2) == Unit('.') || at(2) == Unit('?');
    return namespaceMark && separatorAfter ? PathRefusal::kDeviceNamespace : PathRefusal::kNetwork;
  }
  if (IsSeparator(at(0)) && at(1) == Unit('?') && at(2) == Unit('?') && separatorAfter) {
    return PathRefusal::kDeviceNamespace;
  }
  return PathRefusal::kNone;
}

// "C:\..." or "C:/...": the one place a colon may stand.
template <typename Unit>
bool IsDriveAbsolute(Text<Unit> text) noexcept {
  return text.size() >= 3 && IsAsciiLetter(text[0]) && text[1] == Unit(':') && IsSeparator(text[2]);
}

// The characters below 0x40 that need a closer look: controls, < > " ? * and the colon.
constexpr std::uint64_t kSpecialBelow40 = 0xFFFFFFFFull | (1ull << '<') | (1ull << '>') | (1ull << '"') |
                                          (1ull << '?') | (1ull << '*') | (1ull << ':');

// One pass over the text for the characters that may stand nowhere, and for a colon other
// than that of a leading drive.
template <typename Unit>
PathRefusal RefusedCharacter(Text<Unit> text) noexcept {
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t code = Code(text[i]);
    if (code >= 0x40u) {  // letters, and everything past ASCII: only "|" among them
      if (code == '|') return PathRefusal::kForbiddenCharacter;
      continue;
    }
    if (((kSpecialBelow40 >> code) & 1u) == 0) continue;
    if (code != ':') return PathRefusal::kForbiddenCharacter;
    if (!(i == 1 && IsDriveAbsolute(text))) return PathRefusal::kMisplacedColon;
  }
  return PathRefusal::kNone;
}

template <typename Unit>
Text<Unit> WithoutTrailing(Text<Unit> name, bool dots) noexcept {
  while (!name.empty() && (name.back() == Unit(' ') || (dots && name.back() == Unit('.')))) {
    name.remove_suffix(1);
  }
  return name;
}

// Windows opens a device for these names whatever extension follows (and with blanks before
// it): "nul.txt" and "COM1 .log" are devices in every folder.
template <typename Unit>
bool IsDeviceName(Text<Unit> name) noexcept {
  // Every device name starts with one of these letters: most names are done here.
  std::uint32_t first = Folded(Code(name.empty() ? Unit(0) : name.front()));
  if (first != 'c' && first != 'p' && first != 'a' && first != 'n' && first != 'l' && first != ' ') return false;
  std::size_t dot = name.find(Unit('.'));
  Text<Unit> base = WithoutTrailing(dot == Text<Unit>::npos ? name : name.substr(0, dot), false);
  while (!base.empty() && base.front() == Unit(' ')) base.remove_prefix(1);
  for (std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (IsNamed(base, device)) return true;
  }
  if (base.size() != 4 || !(IsNamed(base.substr(0, 3), "COM") || IsNamed(base.substr(0, 3), "LPT"))) {
    return false;
  }
  std::uint32_t digit = Code(base[3]);
  // Superscript one, two and three count as digits here too.
  return (digit >= '1' && digit <= '9') || digit == 0xB9u || digit == 0xB2u || digit == 0xB3u;
}

// How many characters of a full folder path make its root: "C:" of "C:\x", "\\host\share"
// of a share, nothing of "\x" (a folder without a drive); false when it is not a full path.
template <typename Unit>
bool RootOf(Text<Unit> folder, std::size_t& rootLength) noexcept {
  if (folder.size() >= 2 && IsAsciiLetter(folder[0]) && folder[1] == Unit(':') &&
      (folder.size() == 2 || IsSeparator(folder[2]))) {
    rootLength = 2;
    return true;
  }
  if (folder.size() >= 2 && IsSeparator(folder[0]) && IsSeparator(folder[1])) {
    std::size_t end = 2;
    for (int names = 0; names < 2; ++names) {  // host, share
      while (end < folder.size() && !IsSeparator(folder[end])) ++end;
      if (names == 0 && end < folder.size()) ++end;
    }
    rootLength = end;
    return true;
  }
  if (!folder.empty() && IsSeparator(folder[0])) {
    rootLength = 0;
    return true;
  }
  return false;
}

// Appends the names of `rest` to `path` (which holds its root's `rootLength` characters
// and names so far), taking "." and ".." away; ".." never climbs above the root. Names of
// a script's text are checked; a folder the system gave is taken as it is.
template <typename Unit>
PathRefusal AppendNames(std::basic_string<Unit>& path, std::size_t rootLength, Text<Unit> rest, bool checked) {
  const Unit* at = rest.data();
  const Unit* const end = at + rest.size();
  while (at < end) {
    const Unit* start = at;
    while (at < end && !IsSeparator(*at)) ++at;
    Text<Unit> name(start, static_cast<std::size_t>(at - start));
    ++at;  // past the separator
    if (name.empty() || (name.size() == 1 && name[0] == Unit('.'))) continue;
    if (name.size() == 2 && name[0] == Unit('.') && name[1] == Unit('.')) {
      std::size_t cut = path.rfind(Unit('\\'));
      if (cut != std::basic_string<Unit>::npos && cut >= rootLength) path.resize(cut);
      continue;
    }
    Text<Unit> kept = WithoutTrailing(name, true);
    if (checked && kept.empty()) return PathRefusal::kDotsOnlyName;
    if (checked && IsDeviceName(kept)) return PathRefusal::kDeviceName;
    if (kept.empty()) continue;
    path.push_back(Unit('\\'));
    path.append(kept.data(), kept.size());
  }
  return PathRefusal::kNone;
}

// The root as a full path writes it: separators as "\".
template <typename Unit>
void AppendRoot(std::basic_string<Unit>& path, Text<Unit> root) {
  for (Unit c : root) path.push_back(IsSeparator(c) ? Unit('\\') : c);
}

}  // namespace

const char* RefusalReason(PathRefusal refusal) noexcept {
  switch (refusal) {
    case PathRefusal::kNone: return "not refused";
    case PathRefusal::kEmpty: return "the path is empty";
    case PathRefusal::kNetwork: return "network paths are not allowed";
    case PathRefusal::kDeviceNamespace: return "device and namespace paths are not allowed";
    case PathRefusal::kMisplacedColon:
      return "a ':' may only follow the drive letter of a full path (no streams, no drive-relative paths)";
    case PathRefusal::kForbiddenCharacter: return "the path holds a control character or one of < > \" | ? *";
    case PathRefusal::kDeviceName: return "a name in the path is a device (CON, PRN, AUX, NUL, COM1-9, LPT1-9)";
    case PathRefusal::kDotsOnlyName: return "a name in the path is only dots and spaces";
    case PathRefusal::kNoCurrentFolder: return "the current folder is unknown";
  }
  return "refused";
}

template <typename Unit>
PathRefusal ResolveScriptPath(Text<Unit> text, Text<Unit> currentFolder, std::basic_string<Unit>& fullPath) {
  if (text.empty()) return PathRefusal::kEmpty;
  if (PathRefusal prefix = RefusedPrefix(text); prefix != PathRefusal::kNone) return prefix;
  if (PathRefusal character = RefusedCharacter(text); character != PathRefusal::kNone) return character;

  // The root comes first; ".." climbs as far as the root, through the current folder's names too.
  fullPath.clear();
  fullPath.reserve(currentFolder.size() + text.size() + 2);
  Text<Unit> rest = text;
  std::size_t currentRoot = 0;
  if (IsDriveAbsolute(text)) {
    AppendRoot(fullPath, text.substr(0, 2));
    rest.remove_prefix(3);
  } else if (RootOf(currentFolder, currentRoot)) {
    AppendRoot(fullPath, currentFolder.substr(0, currentRoot));
  } else {
    return PathRefusal::kNoCurrentFolder;
  }
  const std::size_t rootLength = fullPath.size();
  if (!IsDriveAbsolute(text)) {
    if (IsSeparator(text[0])) {
      rest.remove_prefix(1);  // from the current folder's root
    } else {
      (void)AppendNames(fullPath, rootLength, currentFolder.substr(currentRoot), /*checked=*/false);
    }
  }
  if (PathRefusal names = AppendNames(fullPath, rootLength, rest, /*checked=*/true); names != PathRefusal::kNone) {
    return names;
  }
  if (fullPath.size() == rootLength) fullPath.push_back(Unit('\\'));
  return PathRefusal::kNone;
}

// Both paths hold each name once, between single separators: walking them side by side,
// the folder's last name must end where the path has a separator, and the path go on.
template <typename Unit>
bool IsBelowFolder(Text<Unit> fullPath, Text<Unit> folder) noexcept {
  if (!folder.empty() && folder.back() == Unit('\\')) folder.remove_suffix(1);  // a root: "C:\", "\"
  if (fullPath.size() <= folder.size() + 1 || fullPath[folder.size()] != Unit('\\')) return false;
  if (fullPath.compare(0, folder.size(), folder) == 0) return true;  // as the folder was written
  for (std::size_t i = 0; i < folder.size(); ++i) {
    if (Folded(Code(fullPath[i])) != Folded(Code(folder[i]))) return false;
  }
  return true;
}

template <typename Unit>
PathVerdict JudgeScriptPath(Text<Unit> text, Text<Unit> currentFolder,
                            std::span<const std::basic_string<Unit>> allowedFolders,
                            std::basic_string<Unit>& fullPath) {
  PathVerdict verdict;
  verdict.refusal = ResolveScriptPath(text, currentFolder, fullPath);
  if (verdict.Refused()) return verdict;
  for (const std::basic_string<Unit>& folder : allowedFolders) {
    if (IsBelowFolder(Text<Unit>(fullPath), Text<Unit>(folder))) {
      verdict.inside = true;
      break;
    }
  }
  return verdict;
}

#define QX_JUDGE_FOR(Unit)                                                                                  \
  template PathRefusal ResolveScriptPath<Unit>(Text<Unit>, Text<Unit>, std::basic_string<Unit>&);          \
  template bool IsBelowFolder<Unit>(Text<Unit>, Text<Unit>) noexcept;                                        \
  template PathVerdict JudgeScriptPath<Unit>(Text<Unit>, Text<Unit>, std::span<const std::basic_string<Unit>>, \
                                             std::basic_string<Unit>&);
QX_JUDGE_FOR(char)
QX_JUDGE_FOR(wchar_t)
#undef QX_JUDGE_FOR

}  // namespace qx::io
