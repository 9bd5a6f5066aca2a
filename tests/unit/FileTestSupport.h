#pragma once
// Real files for the file-function tests: a fresh folder per test, removed afterwards, and
// the plugin's log written to a file of its own so tests can read the lines they caused.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "common/IDebugLog.h"
#include "papyrus/files/ScriptFolders.h"

namespace qxtest {

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline std::string MakeTemporaryFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr ? tmp : "/tmp") + "/qxio-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

// The log opens once per process, in a folder of its own removed when the process ends.
inline const std::string& LogPath() {
  static const std::string path = [] {
    static std::string folder = MakeTemporaryFolder();
    std::atexit([] { std::filesystem::remove_all(folder); });
    IDebugLog::consoleLevel = 1;
    IDebugLog::OpenFile((folder + "/QXKit.log").c_str());
    return folder + "/QXKit.log";
  }();
  return path;
}

class FileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = MakeTemporaryFolder();
    ASSERT_FALSE(folder_.empty());
    qx::io::AllowWritingIn({folder_}, folder_);  // scripts write in the test's folder only
    logRead_ = ReadBytes(LogPath()).size();
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  // A path inside the test's folder.
  [[nodiscard]] std::string In(const std::string& name) const { return folder_ + "/" + name; }

  // Log lines written since the previous call.
  std::vector<std::string> NewLogLines() {
    std::string all = ReadBytes(LogPath());
    std::string fresh = all.substr(logRead_);
    logRead_ = all.size();
    std::vector<std::string> lines;
    std::istringstream in(fresh);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  std::string folder_;
  std::size_t logRead_ = 0;
};

}  // namespace qxtest
