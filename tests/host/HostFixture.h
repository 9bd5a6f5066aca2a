#pragma once
// Host tests boot the plugin in the simulated game, once per process (ctest runs each test
// case on its own), and look at it only from outside: its log, the game code it patched,
// and what it asked of the script extender.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <string>
#include <vector>

#include "sim/Game.h"
#include "sim/GameFolders.h"
#include "sim/GameRegion.h"
#include "sim/ScriptExtender.h"

namespace qxtest {

// The log's lines. Checks on the way that every line ends as the platform's text mode
// writes it: CR LF on Windows, LF on Linux.
inline std::vector<std::string> SplitLogLines(const std::string& text) {
#ifdef _WIN32
  const std::string end = "\r\n";
#else
  const std::string end = "\n";
#endif
  std::vector<std::string> lines;
  std::size_t from = 0;
  while (from < text.size()) {
    std::size_t at = text.find(end, from);
    EXPECT_NE(at, std::string::npos) << "unterminated last line: " << text.substr(from);
    if (at == std::string::npos) {
      lines.push_back(text.substr(from));
      break;
    }
    lines.push_back(text.substr(from, at - from));
    from = at + end.size();
  }
  return lines;
}

inline std::vector<std::string> LogLines() { return SplitLogLines(sim::GameFolders::ReadLog()); }

inline bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
  for (const std::string& l : lines) {
    if (l == line) return true;
  }
  return false;
}

inline std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines,
                                                  const std::string& prefix) {
  std::vector<std::string> found;
  for (const std::string& l : lines) {
    if (l.rfind(prefix, 0) == 0) found.push_back(l);
  }
  return found;
}

inline sim::BootResult BootWithSettings(const std::string& ini) {
  sim::BootOptions options;
  options.settings = ini;
  return sim::Game::Boot(options);
}

}  // namespace qxtest
