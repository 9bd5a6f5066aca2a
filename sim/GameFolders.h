#pragma once
// The folders the plugin finds through the operating system: the game folder (where
// Data\SKSE\Plugins\qxKit.ini is read) and the user's documents folder (where the log goes).
// Each process gets fresh ones under the temporary folder, removed when it ends.
#include <string>
#include <string_view>

namespace sim {

class GameFolders {
 public:
  // Creates the two folders (once per process) and points the plugin's OS calls at them.
  static void CreateSandbox();
  // Uses existing folders instead of a sandbox (before the game starts: no sandbox is made then).
  static void Use(const std::string& gameFolder, const std::string& documentsFolder);
  // Makes the documents folder impossible to resolve, as a broken user profile would.
  static void MakeDocumentsUnavailable();

  [[nodiscard]] static const std::string& GameFolder();
  [[nodiscard]] static const std::string& DocumentsFolder();
  [[nodiscard]] static bool DocumentsAvailable();

  // <game>/Data/SKSE/Plugins/<name>
  [[nodiscard]] static std::string PluginFile(std::string_view name);
  static void WriteSettings(std::string_view text);
  // <documents>/My Games/Skyrim/SKSE/QXKit.log<suffix>
  [[nodiscard]] static std::string LogPath(std::string_view suffix = {});
  // The log as written (empty when it does not exist).
  [[nodiscard]] static std::string ReadLog(std::string_view suffix = {});

  // Platform part: a fresh folder under the temporary folder; telling the plugin's OS
  // stand-ins about the folders.
  [[nodiscard]] static std::string MakeTemporaryFolder();
  static void Publish();
  // A fresh folder on a network share, named as shares are ("\\host\share\..."), removed
  // when the process ends; empty where no share can be made. Under Wine the share's files
  // lie in the prefix (dosdevices\unc\<host>\<share>); on Linux a leading "//" is "/" to
  // the system, while the plugin reads the path as a share's.
  [[nodiscard]] static std::string MakeShareFolder();
};

// Path joining with the platform's separator.
[[nodiscard]] std::string JoinPath(std::string_view folder, std::string_view relative);
[[nodiscard]] bool WriteFile(const std::string& path, std::string_view bytes);
[[nodiscard]] std::string ReadFile(const std::string& path);

}  // namespace sim
