#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

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

namespace {

std::vector<std::string> gShares;  // their files, in the Wine prefix

void RemoveShares() {
  if (std::getenv("QXSIM_KEEP") != nullptr) return;
  for (const std::string& files : gShares) {
    std::error_code ignored;
    std::filesystem::remove_all(files, ignored);
  }
}

}  // namespace

// Wine answers \\<host>\<share>\... from the prefix's dosdevices\unc\<host>\<share>
// folder, reached here through drive Z:, which holds the whole Linux file system.
std::string GameFolders::MakeShareFolder() {
  const char* prefix = std::getenv("WINEPREFIX");
  if (prefix == nullptr || *prefix != '/') return {};
  std::string name = "qxsim-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
  std::string files = "Z:" + JoinPath(prefix, "/dosdevices/unc/localhost/" + name);
  std::error_code error;
  std::filesystem::create_directories(files, error);
  if (error) return {};
  if (gShares.empty()) std::atexit(&RemoveShares);
  gShares.push_back(files);
  return "\\\\localhost\\" + name;
}

// The plugin's calls of GetModuleFileNameA and SHGetFolderPathA are answered by the
// simulated game's stand-ins (see OsStandIns), which read these.
void GameFolders::Publish() {
  OsStandIns::gameExecutable = JoinPath(GameFolder(), "/TESV.exe");
  OsStandIns::documentsFolder = DocumentsFolder();
  OsStandIns::documentsAvailable = DocumentsAvailable();
}

}  // namespace sim
