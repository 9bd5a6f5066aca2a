#include "sim/GameFolders.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace sim {
namespace {

std::string gGameFolder;
std::string gDocumentsFolder;
std::string gSandbox;
bool gDocumentsAvailable = true;

void RemoveSandbox() {
  if (!gSandbox.empty() && std::getenv("QXSIM_KEEP") == nullptr) {
    std::error_code ignored;
    std::filesystem::remove_all(gSandbox, ignored);
  }
}

}  // namespace

std::string JoinPath(std::string_view folder, std::string_view relative) {
#ifdef _WIN32
  constexpr char kSeparator = '\\';
#else
  constexpr char kSeparator = '/';
#endif
  std::string path(folder);
  for (char c : relative) path.push_back(c == '/' || c == '\\' ? kSeparator : c);
  return path;
}

bool WriteFile(const std::string& path, std::string_view bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void GameFolders::CreateSandbox() {
  if (!gSandbox.empty() || !gGameFolder.empty()) return;  // made, or folders of another start in use
  gSandbox = MakeTemporaryFolder();
  std::atexit(&RemoveSandbox);
  Use(JoinPath(gSandbox, "/Skyrim"), JoinPath(gSandbox, "/Documents"));
}

void GameFolders::Use(const std::string& gameFolder, const std::string& documentsFolder) {
  gGameFolder = gameFolder;
  gDocumentsFolder = documentsFolder;
  std::filesystem::create_directories(gGameFolder);
  std::filesystem::create_directories(gDocumentsFolder);
  Publish();
}

void GameFolders::MakeDocumentsUnavailable() {
  gDocumentsAvailable = false;
  Publish();
}

const std::string& GameFolders::GameFolder() { return gGameFolder; }
const std::string& GameFolders::DocumentsFolder() { return gDocumentsFolder; }
bool GameFolders::DocumentsAvailable() { return gDocumentsAvailable; }

std::string GameFolders::PluginFile(std::string_view name) {
  return JoinPath(gGameFolder, "/Data/SKSE/Plugins/") + std::string(name);
}

void GameFolders::WriteSettings(std::string_view text) {
  (void)WriteFile(PluginFile("qxKit.ini"), text);
}

std::string GameFolders::LogPath(std::string_view suffix) {
  return JoinPath(gDocumentsFolder, "/My Games/Skyrim/SKSE/QXKit.log") + std::string(suffix);
}

std::string GameFolders::ReadLog(std::string_view suffix) { return ReadFile(LogPath(suffix)); }

}  // namespace sim
