#pragma once
// The log lines that a piece of plugin code writes, caught on their way to the console.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/IDebugLog.h"

namespace qxtest {

template <typename Fn>
std::vector<std::string> CaptureLog(Fn&& fn) {
  IDebugLog::consoleLevel = IDebugLog::kLevel_Message;
  testing::internal::CaptureStdout();
  fn();
  std::istringstream out(testing::internal::GetCapturedStdout());
  std::vector<std::string> lines;
  for (std::string line; std::getline(out, line);) lines.push_back(line);
  return lines;
}

}  // namespace qxtest
