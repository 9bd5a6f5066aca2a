#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "sim/GameFolders.h"

namespace sim {

std::string GameFolders::MakeTemporaryFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr ? tmp : "/tmp") + "/qxsim-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  return pattern;
}

std::string GameFolders::MakeShareFolder() {
  CreateSandbox();  // removed at exit, and the share with it
  // (Appended, not "/" + text: GCC 12 warns at -O3 of an overlap that cannot happen.)
  std::string share(1, '/');
  share += JoinPath(std::filesystem::path(GameFolder()).parent_path().string(), "/Share");
  std::filesystem::create_directories(share);
  return share;
}

// The plugin's POSIX seam reads the two folders from the environment.
void GameFolders::Publish() {
  setenv("QXKIT_GAME_DIR", GameFolder().c_str(), 1);
  setenv("QXKIT_DOCUMENTS_DIR", DocumentsAvailable() ? DocumentsFolder().c_str() : "", 1);
}

}  // namespace sim
