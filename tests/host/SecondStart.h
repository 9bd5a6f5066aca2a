#pragma once
// The game started again: this test program run once more, for one test, in the first start's
// game and documents folders, as the player's next start of the game finds them.
#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#include "sim/GameFolders.h"

namespace qxtest {

// The first start's two folders, for the second: "<game>|<documents>".
inline constexpr const char* kFirstStartsFolders = "QXTEST_FIRST_STARTS_FOLDERS";

[[nodiscard]] inline bool IsSecondStart() { return std::getenv(kFirstStartsFolders) != nullptr; }

// In the second start, before it boots: the first start's folders instead of new ones.
inline void UseTheFirstStartsFolders() {
  std::string both = std::getenv(kFirstStartsFolders);
  std::size_t cut = both.find('|');
  sim::GameFolders::Use(both.substr(0, cut), both.substr(cut + 1));
}

// Runs `test` ("Suite.Name") of this program in a new process that uses this process's
// folders, and waits for it: its exit status (0 when the test passed), -1 when it did not run.
[[nodiscard]] inline int RunSecondStart(const std::string& test) {
  const std::string folders = sim::GameFolders::GameFolder() + "|" + sim::GameFolders::DocumentsFolder();
  std::string filter = "--gtest_filter=" + test;
#ifdef _WIN32
  SetEnvironmentVariableA(kFirstStartsFolders, folders.c_str());
  char program[MAX_PATH];
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  std::string command(1, '"');
  command.append(program).append("\" ").append(filter);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  BOOL started = CreateProcessA(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
  SetEnvironmentVariableA(kFirstStartsFolders, nullptr);
  if (!started) return -1;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 1;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(status);
#else
  setenv(kFirstStartsFolders, folders.c_str(), 1);
  char program[] = "/proc/self/exe";
  char* arguments[] = {program, filter.data(), nullptr};
  pid_t child = 0;
  int spawned = posix_spawn(&child, program, nullptr, nullptr, arguments, environ);
  unsetenv(kFirstStartsFolders);
  int status = 0;
  if (spawned != 0 || waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

}  // namespace qxtest
