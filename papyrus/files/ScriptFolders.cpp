#include "papyrus/files/ScriptFolders.h"

#include <cstdio>
#include <span>

#include "common/IDebugLog.h"

namespace qx::io {
namespace {

using platform::NativePathString;
using Unit = NativePathString::value_type;

// Full paths, as the judge writes them. Written while the plugin loads, before any script
// can call a file function; read by script threads afterwards.
std::vector<NativePathString> gWritableFolders;
ProtectedPlaces<Unit> gProtected;

bool IsControl(char c) noexcept { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

// Logs `format` with the script's text for its one "%.*s": a control character the text
// holds could otherwise start a line of its own that looks like the plugin's, so such a text
// is shown with those characters escaped ("\x0A").
void LogWithPath(const char* format, std::string_view text, const char* reason) noexcept {
  std::size_t control = 0;
  while (control < text.size() && !IsControl(text[control])) ++control;
  if (control == text.size()) {
    LogMessage(format, static_cast<int>(text.size()), text.data(), reason);
    return;
  }
  char shown[1024];
  std::size_t length = 0;
  for (char c : text) {
    if (length + 4 >= sizeof shown) break;
    if (IsControl(c)) {
      length += static_cast<std::size_t>(
          std::snprintf(shown + length, sizeof shown - length, "\\x%02X", static_cast<unsigned char>(c)));
    } else {
      shown[length++] = c;
    }
  }
  LogMessage(format, static_cast<int>(length), shown, reason);
}

// A system path in the judge's form; empty when it is no full path.
NativePathString SystemPath(std::string_view path) {
  NativePathString full;
  if (!ResolveSystemPath<Unit>(platform::FilePath::FromScriptText(path).Native(), full)) full.clear();
  return full;
}

}  // namespace

std::vector<std::string> SplitFolderList(std::string_view list) {
  std::vector<std::string> entries;
  while (!list.empty()) {
    std::size_t end = list.find(';');
    std::string_view entry = list.substr(0, end);
    list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
    std::size_t first = entry.find_first_not_of(" \t");
    if (first == std::string_view::npos) continue;
    entry = entry.substr(first, entry.find_last_not_of(" \t") - first + 1);
    entries.emplace_back(entry);
  }
  return entries;
}

std::vector<UnusableFolder> AllowWritingIn(const std::vector<std::string>& folders, std::string_view baseFolder) {
  std::vector<UnusableFolder> unusable;
  std::vector<NativePathString> allowed;
  NativePathString base = platform::FilePath::FromScriptText(baseFolder).Native();
  for (const std::string& folder : folders) {
    NativePathString full;
    PathRefusal refusal =
        ResolveScriptPath<Unit>(platform::FilePath::FromScriptText(folder).Native(), base, full);
    if (refusal == PathRefusal::kNone) {
      allowed.push_back(std::move(full));
    } else {
      unusable.push_back({folder, refusal});
    }
  }
  gWritableFolders = std::move(allowed);
  return unusable;
}

void ProtectFiles(const PlacesToProtect& places) {
  ProtectedPlaces<Unit> is;
  auto add = [](std::vector<NativePathString>& to, std::string_view path) {
    if (NativePathString full = SystemPath(path); !full.empty()) to.push_back(std::move(full));
  };
  for (const std::string& file : places.ownFiles) add(is.files, file);
  const std::string game = places.gameFolder;
  add(is.filesDirectlyIn, game + "\\Data\\SKSE");
  add(is.filesDirectlyIn, game + "\\Data\\SKSE\\Plugins");
  add(is.settingsDirectlyIn, game);
  if (!places.documentsGameFolder.empty()) {
    add(is.settingsDirectlyIn, places.documentsGameFolder);
    add(is.everythingBelow, places.documentsGameFolder + "\\Saves");
  }
  gProtected = std::move(is);
}

void LogProtectedFileRefused(std::string_view shownPath, Protection protection) noexcept {
  LogWithPath("QX IO Util: refused to write '%.*s': %s", shownPath, ProtectionReason(protection));
}

bool AdmitScriptPath(platform::FilePath& path, PathUse use) {
  // The judge's full path, in storage each thread keeps: no allocation per call.
  thread_local NativePathString full;
  Unit currentFolder[platform::kCurrentFolderRoom];
  PathVerdict verdict = JudgeScriptPath<Unit>(path.JudgedText(), platform::ResolvingFolder(path.JudgedText(), currentFolder),
                                              std::span<const NativePathString>(gWritableFolders), full);
  if (verdict.Refused()) {
    LogWithPath("QX IO Util: refused path '%.*s': %s", path.Display(), RefusalReason(verdict.refusal));
    return false;
  }
  if (use == PathUse::kWrite) {
    if (!verdict.inside) {
      LogWithPath("QX IO Util: refused to write '%.*s': %s", path.Display(), "outside the folders scripts may write in");
      return false;
    }
    if (Protection protection = ProtectionOf<Unit>(full, gProtected); protection != Protection::kNone) {
      LogProtectedFileRefused(path.Display(), protection);
      return false;
    }
  }
  path.UseFullPath(full);
  return true;
}

}  // namespace qx::io
