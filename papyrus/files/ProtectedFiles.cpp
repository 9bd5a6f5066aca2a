#include "papyrus/files/ProtectedFiles.h"

#include <array>
#include <iterator>
#include <type_traits>

#include "papyrus/files/ScriptPathJudge.h"

namespace qx::io {
namespace {

template <typename Unit>
using Text = std::basic_string_view<Unit>;

// Up to four characters of an extension, letter case folded, packed first character lowest:
// a whole extension compares as one word.
constexpr std::uint32_t Packed(std::string_view extension) noexcept {
  std::uint32_t word = 0;
  for (std::size_t i = 0; i < extension.size(); ++i) word |= static_cast<std::uint32_t>(extension[i]) << (8 * i);
  return word;
}

struct ProtectedExtension {
  std::uint32_t word;
  Protection protection;  // kGameSettings only in the game's two folders
};

constexpr ProtectedExtension kExtensions[] = {
    // Saves.
    {Packed("ess"), Protection::kSave}, {Packed("skse"), Protection::kSave},
    // Settings.
    {Packed("ini"), Protection::kGameSettings},
    // The game's plugins, archives and compiled scripts; what Windows runs or opens as a program.
    {Packed("esm"), Protection::kLoadedOrRun}, {Packed("esp"), Protection::kLoadedOrRun},
    {Packed("esl"), Protection::kLoadedOrRun}, {Packed("bsa"), Protection::kLoadedOrRun},
    {Packed("pex"), Protection::kLoadedOrRun}, {Packed("exe"), Protection::kLoadedOrRun},
    {Packed("dll"), Protection::kLoadedOrRun}, {Packed("asi"), Protection::kLoadedOrRun},
    {Packed("com"), Protection::kLoadedOrRun}, {Packed("bat"), Protection::kLoadedOrRun},
    {Packed("cmd"), Protection::kLoadedOrRun}, {Packed("ps1"), Protection::kLoadedOrRun},
    {Packed("vbs"), Protection::kLoadedOrRun}, {Packed("vbe"), Protection::kLoadedOrRun},
    {Packed("js"), Protection::kLoadedOrRun},  {Packed("jse"), Protection::kLoadedOrRun},
    {Packed("wsf"), Protection::kLoadedOrRun}, {Packed("wsh"), Protection::kLoadedOrRun},
    {Packed("hta"), Protection::kLoadedOrRun}, {Packed("msi"), Protection::kLoadedOrRun},
    {Packed("scr"), Protection::kLoadedOrRun}, {Packed("cpl"), Protection::kLoadedOrRun},
    {Packed("lnk"), Protection::kLoadedOrRun}, {Packed("url"), Protection::kLoadedOrRun},
    {Packed("reg"), Protection::kLoadedOrRun}, {Packed("sys"), Protection::kLoadedOrRun},
    {Packed("pif"), Protection::kLoadedOrRun}};

// The extensions by a hash of their word, each in the first free slot from its own: a look-up
// is one multiplication and, for most extensions, one compare.
constexpr std::size_t kSlotBits = 6;
constexpr std::size_t SlotOf(std::uint32_t word) noexcept { return (word * 0x9E3779B1u) >> (32 - kSlotBits); }
constexpr auto kExtensionSlots = [] {
  std::array<ProtectedExtension, std::size_t{1} << kSlotBits> slots{};
  for (const ProtectedExtension& extension : kExtensions) {
    std::size_t slot = SlotOf(extension.word);
    while (slots[slot].word != 0) slot = (slot + 1) % slots.size();
    slots[slot] = extension;
  }
  return slots;
}();
static_assert(std::size(kExtensions) * 2 <= kExtensionSlots.size(), "half the slots stay free");

// What an extension (packed as above, 0 for none) protects by itself.
Protection ProtectionOfExtension(std::uint32_t word) noexcept {
  if (word == 0) return Protection::kNone;
  for (std::size_t slot = SlotOf(word);; slot = (slot + 1) % kExtensionSlots.size()) {
    if (kExtensionSlots[slot].word == word) return kExtensionSlots[slot].protection;
    if (kExtensionSlots[slot].word == 0) return Protection::kNone;
  }
}

// The last name's extension packed as above, read backwards in one pass; 0 when it has none,
// one longer than four or one with a character past ASCII, and for a name that starts with its
// only dot.
template <typename Unit>
std::uint32_t ExtensionOf(Text<Unit> path) noexcept {
  std::uint32_t word = 0;
  for (std::size_t at = path.size(), taken = 0; at > 0; --at, ++taken) {
    auto code = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<Unit>>(path[at - 1]));
    if (code == '.') return taken == 0 || at < 2 || path[at - 2] == Unit('\\') ? 0 : word;
    if (taken == 4 || code == '\\' || code >= 0x80) return 0;
    word = (word << 8) | (code - 'A' < 26u ? code + 0x20 : code);
  }
  return 0;
}

// Whether the path names a file directly in one of `folders`: a separator just past the
// folder's length, none after it, and the folder's names before it. Most folders are told
// apart by the first test alone.
template <typename Unit>
bool DirectlyInAny(Text<Unit> path, const std::vector<std::basic_string<Unit>>& folders) noexcept {
  for (const std::basic_string<Unit>& folder : folders) {
    const std::size_t length = folder.size();
    if (path.size() <= length + 1 || path[length] != Unit('\\')) continue;
    if (path.find(Unit('\\'), length + 1) != Text<Unit>::npos) continue;
    if (IsSamePath(path.substr(0, length), Text<Unit>(folder))) return true;
  }
  return false;
}

}  // namespace

const char* ProtectionReason(Protection protection) noexcept {
  switch (protection) {
    case Protection::kNone: return "not protected";
    case Protection::kPluginFile: return "a file of QXKit's own (its DLL, settings or log)";
    case Protection::kPluginsFolder:
      return "a file of the script extender's plugins or their settings (directly in Data\\SKSE or Data\\SKSE\\Plugins)";
    case Protection::kSave: return "the player's saves";
    case Protection::kGameSettings: return "the game's settings (an .ini file of the game's folders)";
    case Protection::kLoadedOrRun: return "a file the game or Windows loads or runs (by its extension)";
    case Protection::kBinary: return "a binary file (a zero byte in its first block): no script wrote it";
  }
  return "protected";
}

// Each rule's cheapest test comes first: the length of a file, the separator that ends a
// folder, the last few characters of an extension.
template <typename Unit>
Protection ProtectionOf(Text<Unit> fullPath, const ProtectedPlaces<Unit>& places) noexcept {
  for (const std::basic_string<Unit>& file : places.files) {
    if (file.size() == fullPath.size() && IsSamePath(fullPath, Text<Unit>(file))) return Protection::kPluginFile;
  }
  if (DirectlyInAny(fullPath, places.filesDirectlyIn)) return Protection::kPluginsFolder;
  const Protection byExtension = ProtectionOfExtension(ExtensionOf(fullPath));
  if (byExtension == Protection::kSave) return Protection::kSave;
  for (const std::basic_string<Unit>& saves : places.everythingBelow) {
    if (IsBelowFolder(fullPath, Text<Unit>(saves))) return Protection::kSave;
  }
  if (byExtension == Protection::kGameSettings) {
    return DirectlyInAny(fullPath, places.settingsDirectlyIn) ? Protection::kGameSettings : Protection::kNone;
  }
  return byExtension;
}

template Protection ProtectionOf<char>(Text<char>, const ProtectedPlaces<char>&) noexcept;
template Protection ProtectionOf<wchar_t>(Text<wchar_t>, const ProtectedPlaces<wchar_t>&) noexcept;

}  // namespace qx::io
