#pragma once
// Unit tests of plugin logic that calls the game: the simulated game's routines are placed
// at their addresses, and actors and magic are built with the game's layouts.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/IDebugLog.h"
#include "sim/Actors.h"
#include "sim/Game.h"
#include "sim/Magic.h"

namespace qxtest {

class GameTest : public testing::Test {
 protected:
  void SetUp() override {
    sim::Game::Start();
    sim::SetPlayerCharacter(nullptr);
  }
};

// Log lines written while `run` runs (the unit tests' log goes to standard output).
template <typename Run>
std::vector<std::string> LoggedLines(Run run) {
  IDebugLog::consoleLevel = IDebugLog::kLevel_Message;
  testing::internal::CaptureStdout();
  run();
  std::istringstream out(testing::internal::GetCapturedStdout());
  std::vector<std::string> lines;
  for (std::string line; std::getline(out, line);) lines.push_back(line);
  return lines;
}

}  // namespace qxtest
