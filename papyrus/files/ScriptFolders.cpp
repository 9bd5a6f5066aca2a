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

// The script's text for the log: a control character it holds could otherwise start a line
// of its own that looks like the plugin's.
std::string Shown(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c));
      shown += escaped;
    } else {
      shown.push_back(c);
    }
  }
  return shown;
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

bool AdmitScriptPath(platform::FilePath& path, PathUse use) {
  NativePathString full;
  Unit currentFolder[platform::kCurrentFolderRoom];
  PathVerdict verdict = JudgeScriptPath<Unit>(path.Native(), platform::ResolvingFolder(path.Native(), currentFolder),
                                              std::span<const NativePathString>(gWritableFolders), full);
  if (verdict.Refused()) {
    LogMessage("QX IO Util: refused path '%s': %s", Shown(path.Display()).c_str(), RefusalReason(verdict.refusal));
    return false;
  }
  if (use == PathUse::kWrite && !verdict.inside) {
    LogMessage("QX IO Util: refused to write '%s': outside the folders scripts may write in", Shown(path.Display()).c_str());
    return false;
  }
  path.UseFullPath(std::move(full));
  return true;
}

}  // namespace qx::io
