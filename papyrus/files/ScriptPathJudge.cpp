#include "papyrus/files/ScriptPathJudge.h"

#include <emmintrin.h>

#include <array>
#include <cstring>
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

template <typename Unit>
Text<Unit> WithoutTrailingBlanks(Text<Unit> name) noexcept {
  while (!name.empty() && name.back() == Unit(' ')) name.remove_suffix(1);
  return name;
}

// Windows opens a device for these names whatever extension follows (and with blanks before
// it): "nul.txt" and "COM1 .log" are devices in every folder.
template <typename Unit>
bool IsDeviceName(Text<Unit> name) noexcept {
  // Every device name starts with one of these letters (or a blank): most names are done here,
  // by one bit of a mask of the characters' low six bits.
  constexpr std::uint64_t kFirsts = (1ull << ('c' & 0x3F)) | (1ull << ('p' & 0x3F)) | (1ull << ('a' & 0x3F)) |
                                    (1ull << ('n' & 0x3F)) | (1ull << ('l' & 0x3F)) | (1ull << (' ' & 0x3F));
  std::uint32_t first = Folded(Code(name.empty() ? Unit(0) : name.front()));
  if (((kFirsts >> (first & 0x3F)) & 1) == 0) return false;
  std::size_t dot = name.find(Unit('.'));
  Text<Unit> base = WithoutTrailingBlanks(dot == Text<Unit>::npos ? name : name.substr(0, dot));
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

// What a character of a script's text is to the resolver: most are part of a name.
enum class CharacterKind : std::uint8_t { kName, kSeparator, kColon, kForbidden };

// Controls, < > " | ? * and the colon, and both separators; everything from 0x80 on is a name's.
constexpr auto kKinds = [] {
  std::array<CharacterKind, 0x80> kinds{};
  for (std::size_t c = 0; c < 0x20; ++c) kinds[c] = CharacterKind::kForbidden;
  for (char c : {'<', '>', '"', '|', '?', '*'}) kinds[static_cast<std::size_t>(c)] = CharacterKind::kForbidden;
  kinds['\\'] = kinds['/'] = CharacterKind::kSeparator;
  kinds[':'] = CharacterKind::kColon;
  return kinds;
}();

template <typename Unit>
constexpr CharacterKind KindOf(Unit c) noexcept {
  std::uint32_t code = Code(c);
  return code < kKinds.size() ? kKinds[code] : CharacterKind::kName;
}

template <typename Unit>
__m128i EqualTo(__m128i block, char c) noexcept {
  if constexpr (sizeof(Unit) == 1) {
    return _mm_cmpeq_epi8(block, _mm_set1_epi8(c));
  } else {
    return _mm_cmpeq_epi16(block, _mm_set1_epi16(c));
  }
}

// Where the next character that is not a name's may stand, among 16 bytes of text: a bit per
// byte. Every control, < > " | ? * : and both separators set their bits; so may a wide
// character from 0x8000 on (a signed compare), which the caller then takes as a name's.
template <typename Unit>
unsigned MaybeSpecialBits(__m128i block) noexcept {
  __m128i special;
  if constexpr (sizeof(Unit) == 1) {
    special = _mm_cmpeq_epi8(_mm_min_epu8(block, _mm_set1_epi8(0x1F)), block);  // below 0x20
  } else {
    special = _mm_cmplt_epi16(block, _mm_set1_epi16(0x20));
  }
  special = _mm_or_si128(special, _mm_or_si128(EqualTo<Unit>(block, '"'), EqualTo<Unit>(block, '*')));
  special = _mm_or_si128(special, _mm_or_si128(EqualTo<Unit>(block, '/'), EqualTo<Unit>(block, ':')));
  special = _mm_or_si128(special, _mm_or_si128(EqualTo<Unit>(block, '<'), EqualTo<Unit>(block, '>')));
  special = _mm_or_si128(special, _mm_or_si128(EqualTo<Unit>(block, '?'), EqualTo<Unit>(block, '\\')));
  special = _mm_or_si128(special, EqualTo<Unit>(block, '|'));
  return static_cast<unsigned>(_mm_movemask_epi8(special));
}

// Copies the name characters from `in` to `out` up to the first other character or `end`:
// 16 bytes at a time while 16 remain (`out` has as much room as the text has left); the rest
// from a block that ends with the text (which starts at `begin`), or one by one when the text
// is shorter than a block or (after a wide character the blocks took for special) to go on.
template <typename Unit>
void CopyNameCharacters(const Unit* const begin, const Unit*& in, const Unit* const end, Unit*& out) noexcept {
  constexpr std::size_t kPerBlock = 16 / sizeof(Unit);
  while (static_cast<std::size_t>(end - in) >= kPerBlock) {
    __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), block);
    unsigned bits = MaybeSpecialBits<Unit>(block);
    if (bits != 0) {
      std::size_t at = static_cast<std::size_t>(__builtin_ctz(bits)) / sizeof(Unit);
      in += at;
      out += at;
      break;
    }
    in += kPerBlock;
    out += kPerBlock;
  }
  const std::size_t left = static_cast<std::size_t>(end - in);
  if (left > 0 && left < kPerBlock && static_cast<std::size_t>(end - begin) >= kPerBlock) {
    __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(end - kPerBlock));
    unsigned bits = MaybeSpecialBits<Unit>(block) >> ((kPerBlock - left) * sizeof(Unit));
    std::size_t names = bits == 0 ? left : static_cast<std::size_t>(__builtin_ctz(bits)) / sizeof(Unit);
    std::memcpy(out, in, names * sizeof(Unit));
    in += names;
    out += names;
  }
  while (in < end && KindOf(*in) == CharacterKind::kName) *out++ = *in++;
}

template <typename Unit>
bool IsDotsAndSpaces(const Unit* begin, const Unit* end) noexcept {
  for (; begin < end; ++begin) {
    if (*begin != Unit('.') && *begin != Unit(' ')) return false;
  }
  return true;
}

// Appends the names of a folder the system gave (the current folder), as it is: separators
// as "\", no name checked or trimmed; "." and ".." are still taken away.
template <typename Unit>
void AppendSystemNames(std::basic_string<Unit>& path, std::size_t rootLength, Text<Unit> names) {
  std::size_t at = 0;
  while (at < names.size()) {
    std::size_t end = at;
    while (end < names.size() && !IsSeparator(names[end])) ++end;
    Text<Unit> name = names.substr(at, end - at);
    at = end + 1;
    if (name.empty() || (name.size() == 1 && name[0] == Unit('.'))) continue;
    if (name.size() == 2 && name[0] == Unit('.') && name[1] == Unit('.')) {
      std::size_t cut = path.rfind(Unit('\\'));
      if (cut != std::basic_string<Unit>::npos && cut >= rootLength) path.resize(cut);
      continue;
    }
    path.push_back(Unit('\\'));
    path.append(name.data(), name.size());
  }
}

// The root as a full path writes it: separators as "\".
template <typename Unit>
void AppendRoot(std::basic_string<Unit>& path, Text<Unit> root) {
  for (Unit c : root) path.push_back(IsSeparator(c) ? Unit('\\') : c);
}

// Appends the names of a script's text to the full path `out` points into, in one pass: each
// character is checked as it is copied, and each name judged when it ends. As Windows does,
// "." and ".." are taken away (".." never climbs above `root`), repeated separators count as
// one, a name followed by another loses one trailing dot ("Data.\x" is "Data\x", "Data..\x"
// is "Data.\x", "Data \x" keeps its blank), and the path's end loses every trailing dot and
// blank unless the text ends with a separator. Returns the end of the path, or null with the
// refusal in `refusal`.
template <typename Unit>
Unit* AppendScriptNames(Unit* const root, Unit* out, const Unit* const begin, const Unit* const end,
                        PathRefusal& refusal) noexcept {
  const Unit* in = begin;
  for (;;) {
    *out = Unit('\\');
    Unit* const name = out + 1;
    out = name;
    CopyNameCharacters(begin, in, end, out);
    if (in < end && KindOf(*in) != CharacterKind::kSeparator) {
      refusal = KindOf(*in) == CharacterKind::kColon ? PathRefusal::kMisplacedColon : PathRefusal::kForbiddenCharacter;
      return nullptr;
    }
    const std::size_t length = static_cast<std::size_t>(out - name);
    if (length == 0 || (length == 1 && name[0] == Unit('.'))) {
      out = name - 1;
    } else if (length == 2 && name[0] == Unit('.') && name[1] == Unit('.')) {
      out = name - 1;
      while (out > root && *--out != Unit('\\')) {
      }
    } else {
      if ((out[-1] == Unit('.') || out[-1] == Unit(' ')) && IsDotsAndSpaces(name, out)) {
        refusal = PathRefusal::kDotsOnlyName;
        return nullptr;
      }
      if (out[-1] == Unit('.')) --out;  // one trailing dot
      if (IsDeviceName(Text<Unit>(name, static_cast<std::size_t>(out - name)))) {
        refusal = PathRefusal::kDeviceName;
        return nullptr;
      }
    }
    if (in == end) break;
    ++in;  // past the separator
  }
  if (!IsSeparator(end[-1])) {
    while (out > root && (out[-1] == Unit('.') || out[-1] == Unit(' '))) --out;
  }
  return out;
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

  // The root comes first; ".." climbs as far as the root, through the current folder's names too.
  fullPath.clear();
  std::size_t skipped = 0;  // of the text, before its first name
  std::size_t currentRoot = 0;
  if (IsDriveAbsolute(text)) {
    AppendRoot(fullPath, text.substr(0, 2));
    skipped = 3;
  } else if (RootOf(currentFolder, currentRoot)) {
    AppendRoot(fullPath, currentFolder.substr(0, currentRoot));
  } else {
    return PathRefusal::kNoCurrentFolder;
  }
  const std::size_t rootLength = fullPath.size();
  if (skipped == 0) {
    if (IsSeparator(text[0])) {
      skipped = 1;  // from the current folder's root
    } else {
      AppendSystemNames(fullPath, rootLength, currentFolder.substr(currentRoot));
    }
  }

  // Room for every name of the text, each after a separator; written in place, then cut.
  const std::size_t start = fullPath.size();
  fullPath.resize(start + text.size() - skipped + 2);
  Unit* const root = fullPath.data() + rootLength;
  PathRefusal refusal = PathRefusal::kNone;
  Unit* end = AppendScriptNames(root, fullPath.data() + start, text.data() + skipped, text.data() + text.size(), refusal);
  if (end == nullptr) return refusal;
  fullPath.resize(static_cast<std::size_t>(end - fullPath.data()));
  if (fullPath.size() == rootLength) fullPath.push_back(Unit('\\'));
  return PathRefusal::kNone;
}

// Whether the first `count` characters of `a` and `b` are the same, 16 bytes at a time (the
// last block overlapping the one before it); a text shorter than a block goes one by one.
template <typename Unit>
bool SameUnits(const Unit* a, const Unit* b, std::size_t count) noexcept {
  constexpr std::size_t kPerBlock = 16 / sizeof(Unit);
  if (count < kPerBlock) {
    for (std::size_t i = 0; i < count; ++i) {
      if (a[i] != b[i]) return false;
    }
    return true;
  }
  auto same = [&](std::size_t at) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + at));
    __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + at));
    return _mm_movemask_epi8(_mm_cmpeq_epi8(x, y)) == 0xFFFF;
  };
  for (std::size_t at = 0; at + kPerBlock < count; at += kPerBlock) {
    if (!same(at)) return false;
  }
  return same(count - kPerBlock);
}

template <typename Unit>
bool IsSamePath(Text<Unit> a, Text<Unit> b) noexcept {
  if (a.size() != b.size()) return false;
  if (SameUnits(a.data(), b.data(), a.size())) return true;  // as it was written
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && Folded(Code(a[i])) != Folded(Code(b[i]))) return false;
  }
  return true;
}

// Both paths hold each name once, between single separators: walking them side by side,
// the folder's last name must end where the path has a separator, and the path go on.
template <typename Unit>
bool IsBelowFolder(Text<Unit> fullPath, Text<Unit> folder) noexcept {
  if (!folder.empty() && folder.back() == Unit('\\')) folder.remove_suffix(1);  // a root: "C:\", "\"
  if (fullPath.size() <= folder.size() + 1 || fullPath[folder.size()] != Unit('\\')) return false;
  return IsSamePath(fullPath.substr(0, folder.size()), folder);
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
  template bool IsSamePath<Unit>(Text<Unit>, Text<Unit>) noexcept;                                           \
  template PathVerdict JudgeScriptPath<Unit>(Text<Unit>, Text<Unit>, std::span<const std::basic_string<Unit>>, \
                                             std::basic_string<Unit>&);
QX_JUDGE_FOR(char)
QX_JUDGE_FOR(wchar_t)
#undef QX_JUDGE_FOR

}  // namespace qx::io
