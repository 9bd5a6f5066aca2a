#include "papyrus/files/ScriptFolders.h"

#include <algorithm>
#include <cstdio>
#include <span>
#include <type_traits>
#include <utility>

#include "common/IDebugLog.h"

namespace qx::io {
namespace {

using platform::NativePathString;
using Unit = NativePathString::value_type;

// Full paths, as the judge writes them. Written while the plugin loads, before any script
// can call a file function; read by script threads afterwards. Never destroyed: as the
// process ends, a script thread may still be judging a path while the DLL's statics go (under
// Wine the other threads are stopped only some time after the end begins).
std::vector<NativePathString>& gWritableFolders = *new std::vector<NativePathString>;
ProtectedPlaces<Unit>& gProtected = *new ProtectedPlaces<Unit>;

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

NativePathString SystemFolder(NativeFolder folder) {
  // "\\?\C:\..." and "\\?\UNC\host\share\..." spell the same folders without the
  // system's parsing of the names; the folder is the same.
  auto startsWith = [&](std::string_view prefix) {  // `prefix` in lower case, with "\"
    if (folder.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
      std::uint32_t c = static_cast<std::make_unsigned_t<Unit>>(folder[i]);
      if (c == '/') c = '\\';
      if (c >= 'A' && c <= 'Z') c += 0x20;
      if (c != static_cast<unsigned char>(prefix[i])) return false;
    }
    return true;
  };
  NativePathString given;
  if (startsWith("\\\\?\\unc\\")) {
    given.assign(2, Unit('\\'));
    given.append(folder.substr(8));
  } else if (startsWith("\\\\?\\")) {
    given.assign(folder.substr(4));
  } else {
    given.assign(folder);
  }
  // "." against the folder as the current folder: its root as RootOf reads it, its names as
  // the system gave them (never checked as a script's), "." and ".." taken away.
  static constexpr Unit kHere[] = {Unit('.'), Unit(0)};
  NativePathString full;
  if (ResolveScriptPath<Unit>(kHere, platform::LongPathName(std::move(given)), full) != PathRefusal::kNone) return {};
  return full;
}

std::vector<SettingFolder> ResolveSettingFolders(const std::vector<std::string>& entries, NativeFolder gameFolder) {
  std::vector<SettingFolder> resolved;
  resolved.reserve(entries.size());
  for (const std::string& entry : entries) {
    SettingFolder folder;
    folder.text = entry;
    NativePathString text = platform::FilePath::FromScriptText(entry).Native();
    folder.refusal = ResolveScriptPath<Unit>(text, gameFolder, folder.folder);
    if (folder.refusal != PathRefusal::kNone) {
      folder.folder.clear();
    } else if (folder.folder.back() == Unit('\\')) {  // the judge ends a root, and only a root, with "\"
      folder.reach = FolderReach::kWholeRoot;
    } else if (!gameFolder.empty() && IsBelowFolder<Unit>(gameFolder, folder.folder)) {
      folder.reach = FolderReach::kAboveGameFolder;
    }
    resolved.push_back(std::move(folder));
  }
  return resolved;
}

std::string ReachWarning(const SettingFolder& folder) {
  switch (folder.reach) {
    case FolderReach::kOwn:
      return {};
    case FolderReach::kWholeRoot: {
      NativeFolder root(folder.folder);
      root.remove_suffix(1);
      if (root.empty()) return "is the file system's root: it lets every script write anywhere on it";
      if (root.size() == 2 && root[1] == Unit(':')) {
        return "is a drive's root: it lets every script write anywhere on drive " + platform::ShownPath(root);
      }
      return "is a share's root: it lets every script write anywhere on the share " + platform::ShownPath(root);
    }
    case FolderReach::kAboveGameFolder:
      return "lies above the game's folder: it lets every script write in every folder above and beside the "
             "game's folder";
  }
  return {};
}

void AllowWritingIn(std::vector<NativePathString> systemFolders, const std::vector<SettingFolder>& settingFolders) {
  std::erase_if(systemFolders, [](const NativePathString& folder) { return folder.empty(); });
  for (const SettingFolder& folder : settingFolders) {
    if (folder.refusal == PathRefusal::kNone) systemFolders.push_back(folder.folder);
  }
  gWritableFolders = std::move(systemFolders);
}

std::vector<UnusableFolder> AllowWritingIn(const std::vector<std::string>& folders, std::string_view baseFolder) {
  std::vector<SettingFolder> resolved =
      ResolveSettingFolders(folders, SystemFolder(platform::FilePath::FromScriptText(baseFolder).Native()));
  std::vector<UnusableFolder> unusable;
  for (const SettingFolder& folder : resolved) {
    if (folder.refusal != PathRefusal::kNone) unusable.push_back({folder.text, folder.refusal});
  }
  AllowWritingIn({}, resolved);
  return unusable;
}

void ProtectFiles(const PlacesToProtect& places) {
  ProtectedPlaces<Unit> is;
  auto add = [](std::vector<NativePathString>& to, std::string_view path) {
    // A file or folder the system named, in the judge's form and its long names.
    NativePathString full = SystemFolder(platform::FilePath::FromScriptText(path).Native());
    if (!full.empty()) to.push_back(std::move(full));
  };
  for (const std::string& file : places.ownFiles) add(is.files, file);
  const std::string& game = places.gameFolder;
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
  NativePathString full;
  Unit currentFolder[platform::kCurrentFolderRoom];
  PathVerdict verdict = JudgeScriptPath<Unit>(path.JudgedText(), platform::ResolvingFolder(path.JudgedText(), currentFolder),
                                              std::span<const NativePathString>(gWritableFolders), full);
  if (verdict.Refused()) {
    LogWithPath("QX IO Util: refused path '%.*s': %s", path.Display(), RefusalReason(verdict.refusal));
    return false;
  }
  if (use == PathUse::kWrite) {
    // A short 8.3 name (BACKUP~1.SKS, MYGAME~1) reaches the file its long name does: a path
    // that may hold one is judged in its long form, as far as it exists.
    if (full.find(Unit('~')) != NativePathString::npos) {
      full = platform::LongPathName(std::move(full));
      verdict.inside = std::any_of(gWritableFolders.begin(), gWritableFolders.end(),
                                   [&](const NativePathString& folder) { return IsBelowFolder<Unit>(full, folder); });
    }
    if (!verdict.inside) {
      LogWithPath("QX IO Util: refused to write '%.*s': %s", path.Display(), "outside the folders scripts may write in");
      return false;
    }
    if (Protection protection = ProtectionOf<Unit>(full, gProtected); protection != Protection::kNone) {
      LogProtectedFileRefused(path.Display(), protection);
      return false;
    }
  }
  path.UseFullPath(std::move(full));
  return true;
}

}  // namespace qx::io
