#pragma once
// Loads a ProjectIni from the given qxKit.ini text, as the plugin does at start-up, in a
// game folder of this test's own, and returns the log lines the reading produced.
#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/IDebugLog.h"
#include "settings/ProjectIni.h"

namespace qxtest {

struct LoadedSettings {
  bool read = false;
  std::vector<std::string> log;
  std::string gameFolder;  // removed again after the reading
};

// Files put beside qxKit.ini: name and content.
using PluginFiles = std::vector<std::pair<std::string, std::string>>;

inline std::filesystem::path FreshGameFolder() {
  static int counter = 0;
  auto folder = std::filesystem::temp_directory_path() /
                ("qxunit-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder / "Data/SKSE/Plugins");
  ::setenv("QXKIT_GAME_DIR", folder.c_str(), 1);
  return folder;
}

inline LoadedSettings LoadSettings(qx::ProjectIni& settings, const std::string* text,
                                   const PluginFiles& files = {}) {
  auto folder = FreshGameFolder();
  if (text != nullptr) std::ofstream(folder / "Data/SKSE/Plugins/qxKit.ini", std::ios::binary) << *text;
  for (const auto& [name, content] : files) {
    std::ofstream(folder / "Data/SKSE/Plugins" / name, std::ios::binary) << content;
  }
  IDebugLog::consoleLevel = IDebugLog::kLevel_Message;
  testing::internal::CaptureStdout();
  LoadedSettings result;
  result.gameFolder = folder.string();
  result.read = settings.Load();
  std::istringstream out(testing::internal::GetCapturedStdout());
  for (std::string line; std::getline(out, line);) result.log.push_back(line);
  std::filesystem::remove_all(folder);
  return result;
}

inline LoadedSettings LoadSettings(qx::ProjectIni& settings, const std::string& text,
                                   const PluginFiles& files = {}) {
  return LoadSettings(settings, &text, files);
}

}  // namespace qxtest
