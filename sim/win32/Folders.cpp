#include <windows.h>

#include <string>

#include "sim/GameFolders.h"
#include "sim/win32/OsStandIns.h"

namespace sim {

std::string GameFolders::MakeTemporaryFolder() {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  for (unsigned attempt = 0;; ++attempt) {
    std::string folder = std::string(temp) + "qxsim-" + std::to_string(GetCurrentProcessId()) +
                         "-" + std::to_string(GetTickCount()) + "-" + std::to_string(attempt);
    if (CreateDirectoryA(folder.c_str(), nullptr)) return folder;
  }
}

// The plugin's calls of GetModuleFileNameA and SHGetFolderPathA are answered by the
// simulated game's stand-ins (see OsStandIns), which read these.
void GameFolders::Publish() {
  OsStandIns::gameExecutable = JoinPath(GameFolder(), "/TESV.exe");
  OsStandIns::documentsFolder = DocumentsFolder();
  OsStandIns::documentsAvailable = DocumentsAvailable();
}

}  // namespace sim
