// The judge of script paths on any text a script could pass, against one of four current
// folders (a drive, a folder without a drive, a share, none known). What must hold:
//   - a path the judge admits resolves, by the same rules computed another way here (a
//     stack of names rather than a path cut in place), to the judge's own full path;
//   - a path judged inside lies below an allowed folder, by a plain text comparison of
//     folded letters here, and every path below one is judged inside;
//   - an admitted path holds no network, namespace or stream mark, no forbidden character
//     and no device name;
//   - no protected file passes as a script's own: the protection the plugin finds for a
//     resolved path is the one found here by plain text (folded names, the last dot);
//   - both character widths give the same answer;
//   - the judge reads nothing past the text (the text sits at the very end of its block).
#include <cctype>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "papyrus/files/ProtectedFiles.h"
#include "papyrus/files/ScriptPathJudge.h"
#include "tests/fuzz/FuzzInput.h"

namespace {

using qx::io::PathRefusal;
using qx::io::PathVerdict;

struct CurrentFolder {
  const char* folder;
  const char* root;  // its root, as a full path begins
};
const CurrentFolder kCurrentFolders[] = {
    {"C:\\Games\\Skyrim", "C:"}, {"/tmp/game", ""}, {"\\\\nas\\games\\Skyrim", "\\\\nas\\games"}, {"", nullptr}};
const std::vector<std::string> kAllowed = {"C:\\Games\\Skyrim", "c:\\users\\p\\documents\\my games\\skyrim", "D:\\",
                                           "\\tmp\\game", "\\\\nas\\games\\Skyrim\\Data"};

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::string Folded(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  return folded;
}

std::vector<std::string> Names(std::string_view text) {
  std::vector<std::string> names(1);
  for (char c : text) {
    if (IsSeparator(c)) {
      names.emplace_back();
    } else {
      names.back().push_back(c);
    }
  }
  return names;
}

// The text resolved with a stack of names; the root is found as Windows finds it. A name
// followed by another loses one trailing dot; unless the text ends with a separator, the
// result's end loses its trailing dots and blanks.
std::string ResolvedAnotherWay(const std::string& text, const CurrentFolder& current) {
  std::string root;
  std::vector<std::string> stack;
  std::string_view rest = text;
  bool driveAbsolute = text.size() >= 3 && std::isalpha(static_cast<unsigned char>(text[0])) &&
                       (text[0] & 0x80) == 0 && text[1] == ':' && IsSeparator(text[2]);
  if (driveAbsolute) {
    root = text.substr(0, 2);
    rest.remove_prefix(3);
  } else {
    for (char c : std::string_view(current.root)) root.push_back(IsSeparator(c) ? '\\' : c);
    if (IsSeparator(text[0])) {
      rest.remove_prefix(1);
    } else {
      for (const std::string& name : Names(std::string_view(current.folder).substr(std::strlen(current.root)))) {
        if (!name.empty()) stack.push_back(name);
      }
    }
  }
  std::vector<std::string> names = Names(rest);
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::string name = names[i];
    if (name.empty() || name == ".") continue;
    if (name == "..") {
      if (!stack.empty()) stack.pop_back();
      continue;
    }
    if (i + 1 < names.size() && name.back() == '.') name.pop_back();
    stack.push_back(name);
  }
  std::string full = root;
  for (const std::string& name : stack) full += "\\" + name;
  if (!IsSeparator(text.back())) {
    while (full.size() > root.size() && (full.back() == '.' || full.back() == ' ')) full.pop_back();
  }
  return full.size() == root.size() ? full + "\\" : full;
}

bool BelowByText(const std::string& full, std::string folder) {
  if (folder.back() == '\\') folder.pop_back();
  std::string path = Folded(full), prefix = Folded(folder) + "\\";
  return path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0;
}

bool IsDevice(std::string name) {
  name = Folded(name.substr(0, name.find('.')));
  while (!name.empty() && name.back() == ' ') name.pop_back();
  while (!name.empty() && name.front() == ' ') name.erase(0, 1);
  for (const char* device : {"con", "prn", "aux", "nul", "conin$", "conout$"}) {
    if (name == device) return true;
  }
  const std::string digits = "123456789\xB9\xB2\xB3";
  return name.size() == 4 && (name.compare(0, 3, "com") == 0 || name.compare(0, 3, "lpt") == 0) &&
         digits.find(name[3]) != std::string::npos;
}

using qx::io::Protection;
const std::string kGame = "C:\\Games\\Skyrim", kDocs = "c:\\users\\p\\documents\\my games\\skyrim";
const std::vector<std::string> kOwnFiles = {kGame + "\\Data\\SKSE\\Plugins\\qxKit.ini", "D:\\QXKit.dll",
                                            kDocs + "\\SKSE\\QXKit.log", "\\tmp\\game\\QXKit.log0"};

qx::io::ProtectedPlaces<char> Places() {
  qx::io::ProtectedPlaces<char> places;
  places.files = kOwnFiles;
  places.filesDirectlyIn = {kGame + "\\Data\\SKSE", kGame + "\\Data\\SKSE\\Plugins"};
  places.settingsDirectlyIn = {kGame, kDocs};
  places.everythingBelow = {kDocs + "\\Saves"};
  return places;
}

// The same rules read off the folded text.
Protection ProtectionByText(const std::string& full) {
  std::string path = Folded(full);
  std::size_t cut = path.rfind('\\');
  std::string folder = path.substr(0, cut), name = path.substr(cut + 1);
  std::size_t dot = name.rfind('.');
  std::string extension = dot == std::string::npos || dot == 0 ? "" : name.substr(dot + 1);
  for (const std::string& file : kOwnFiles) {
    if (path == Folded(file)) return Protection::kPluginFile;
  }
  if (folder == Folded(kGame + "\\Data\\SKSE") || folder == Folded(kGame + "\\Data\\SKSE\\Plugins")) {
    return Protection::kPluginsFolder;
  }
  if (extension == "ess" || extension == "skse" || path.rfind(Folded(kDocs + "\\Saves\\"), 0) == 0) return Protection::kSave;
  if (extension == "ini") return folder == Folded(kGame) || folder == kDocs ? Protection::kGameSettings : Protection::kNone;
  for (const char* loaded : {"esm", "esp", "esl", "bsa", "pex", "exe", "dll", "asi", "com", "bat", "cmd", "ps1", "vbs", "vbe",
                             "js", "jse", "wsf", "wsh", "hta", "msi", "scr", "cpl", "lnk", "url", "reg", "sys", "pif"}) {
    if (extension == loaded) return Protection::kLoadedOrRun;
  }
  return Protection::kNone;
}

void CheckAdmitted(const std::string& text, const std::string& full) {
  if (text.empty() || (IsSeparator(text[0]) && text.size() > 1 && IsSeparator(text[1]))) QX_FUZZ_REQUIRE(false);
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    QX_FUZZ_REQUIRE(c >= 0x20 && std::strchr("<>\"|?*", c) == nullptr);
    QX_FUZZ_REQUIRE(c != ':' || (i == 1 && text.size() > 2 && IsSeparator(text[2])));
  }
  std::vector<std::string> names = Names(full);
  for (std::size_t i = 1; i < names.size(); ++i) QX_FUZZ_REQUIRE(!IsDevice(names[i]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qxfuzz::FuzzInput in(data, size);
  const CurrentFolder& current = kCurrentFolders[in.Byte() % std::size(kCurrentFolders)];
  std::string_view rest = in.Rest();
  // The text alone in a block of its own size: a read past its end is the sanitizer's.
  std::unique_ptr<char[]> block(new char[rest.size() + 1]);
  std::memcpy(block.get(), rest.data(), rest.size());
  std::string_view text(block.get(), rest.size());

  std::string full;
  PathVerdict verdict = qx::io::JudgeScriptPath<char>(text, current.folder, kAllowed, full);

  std::wstring wideText(text.begin(), text.end()), wideCurrent, wideFull;
  for (char c : std::string_view(current.folder)) wideCurrent.push_back(static_cast<unsigned char>(c));
  for (wchar_t& c : wideText) c = static_cast<unsigned char>(c);
  std::vector<std::wstring> wideAllowed;
  for (const std::string& folder : kAllowed) wideAllowed.emplace_back(folder.begin(), folder.end());
  PathVerdict wide = qx::io::JudgeScriptPath<wchar_t>(wideText, wideCurrent, wideAllowed, wideFull);
  QX_FUZZ_REQUIRE(wide.refusal == verdict.refusal && wide.inside == verdict.inside);

  if (verdict.Refused()) {
    QX_FUZZ_REQUIRE(!verdict.inside);
    return 0;
  }
  std::string narrowed;
  for (wchar_t c : wideFull) narrowed.push_back(static_cast<char>(c));
  QX_FUZZ_REQUIRE(narrowed == full);

  std::string textCopy(text);
  CheckAdmitted(textCopy, full);
  QX_FUZZ_REQUIRE(current.root != nullptr || (textCopy.size() >= 3 && textCopy[1] == ':'));
  QX_FUZZ_REQUIRE(ResolvedAnotherWay(textCopy, current) == full);
  bool below = false;
  for (const std::string& folder : kAllowed) below = below || BelowByText(full, folder);
  QX_FUZZ_REQUIRE(below == verdict.inside);
  static const qx::io::ProtectedPlaces<char> places = Places();
  QX_FUZZ_REQUIRE(qx::io::ProtectionOf<char>(full, places) == ProtectionByText(full));
  return 0;
}
