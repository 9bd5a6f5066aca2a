#include "plugin/ScriptWriteFolders.h"

#include <string>
#include <utility>
#include <vector>

#include "common/IDebugLog.h"
#include "papyrus/files/ScriptFolders.h"
#include "platform/Files.h"
#include "platform/Modules.h"
#include "platform/Platform.h"
#include "settings/ProjectIni.h"
#include "skse/PluginPath.h"

namespace qx {
namespace {

platform::NativePathString SystemFolderOf(const std::string& text) {
  return io::SystemFolder(platform::FilePath::FromScriptText(text).Native());
}

}  // namespace

void AllowScriptWrites(const ProjectIni& settings) {
  std::vector<platform::NativePathString> system;
  const std::string gameText = GameFolder();
  platform::NativePathString game = SystemFolderOf(gameText);
  if (game.empty()) {
    LogMessage("QX IO Util: the game's folder is unknown; scripts may not write in it, nor in folders named "
               "relative to it");
  }
  system.push_back(game);
  // The plugin's own files, its settings and log, and the game's and its plugins' files no
  // script may change, wherever it may write.
  io::PlacesToProtect protect{gameText, {}, {settings.Path()}};
  std::string dll;
  if (platform::ModulePathAt(reinterpret_cast<std::uintptr_t>(&AllowScriptWrites), dll)) {
    protect.ownFiles.push_back(std::move(dll));
  }
  char documents[platform::kMaxPath];
  if (platform::GetShellFolderPath(platform::kFolderId_Documents, documents) >= 0) {
    protect.documentsGameFolder = std::string(documents) + QX_GAME_DOCUMENTS_FOLDER;
    system.push_back(SystemFolderOf(protect.documentsGameFolder));
    for (const char* suffix : {"", "0", "1", "2", "3", "4"}) {
      protect.ownFiles.push_back(protect.documentsGameFolder + QX_LOG_FILE_IN_GAME_DOCUMENTS + suffix);
    }
  }
  io::ProtectFiles(protect);

  // Each entry with the folder it opens, and a warning where that is far more than a folder.
  std::vector<io::SettingFolder> entries =
      io::ResolveSettingFolders(io::SplitFolderList(settings.filesWritableFolders), game);
  for (const io::SettingFolder& entry : entries) {
    if (entry.refusal != io::PathRefusal::kNone) {
      LogMessage("QX IO Util: scripts may not write in '%s': not a usable folder path (%s)", entry.text.c_str(),
                 io::RefusalReason(entry.refusal));
      continue;
    }
    LogMessage("QX IO Util: writablefolders entry '%s' lets scripts write in '%s'", entry.text.c_str(),
               platform::ShownPath(entry.folder).c_str());
    if (std::string warning = io::ReachWarning(entry); !warning.empty()) {
      LogMessage("QX IO Util: warning: writablefolders entry '%s' %s", entry.text.c_str(), warning.c_str());
    }
  }
  io::AllowWritingIn(std::move(system), entries);
}

}  // namespace qx
