#include "plugin/ScriptWriteFolders.h"

#include <string>
#include <vector>

#include "common/IDebugLog.h"
#include "papyrus/files/ScriptFolders.h"
#include "platform/Modules.h"
#include "platform/Platform.h"
#include "settings/ProjectIni.h"
#include "skse/PluginPath.h"

namespace qx {

void AllowScriptWrites(const ProjectIni& settings) {
  std::string game = GameFolder();
  std::vector<std::string> folders{game};
  io::PlacesToProtect protect{game, {}, {settings.Path()}};
  std::string dll;
  if (platform::ModulePathAt(reinterpret_cast<std::uintptr_t>(&AllowScriptWrites), dll)) {
    protect.ownFiles.push_back(std::move(dll));
  }
  char documents[platform::kMaxPath];
  if (platform::GetShellFolderPath(platform::kFolderId_Documents, documents) >= 0) {
    folders.push_back(std::string(documents) + QX_GAME_DOCUMENTS_FOLDER);
    protect.documentsGameFolder = folders.back();
    for (const char* suffix : {"", "0", "1", "2", "3", "4"}) {
      protect.ownFiles.push_back(folders.back() + QX_LOG_FILE_IN_GAME_DOCUMENTS + suffix);
    }
  }
  io::ProtectFiles(protect);
  for (std::string& entry : io::SplitFolderList(settings.filesWritableFolders)) folders.push_back(std::move(entry));
  for (const io::UnusableFolder& folder : io::AllowWritingIn(folders, game)) {
    LogMessage("QX IO Util: scripts may not write in '%s': not a usable folder path (%s)", folder.text.c_str(),
               io::RefusalReason(folder.reason));
  }
}

}  // namespace qx
