#pragma once
// In the game's process, GetModuleFileNameA(NULL) names TESV.exe in the game folder and
// SHGetFolderPathA(CSIDL_PERSONAL) the player's documents. The simulated game answers the
// plugin DLL's imports of these two calls itself, so each test has folders of its own. It
// also stands between the DLL and the C runtime's thread start and file write, so that a
// test can make them fail (sim/Faults.h).
#include <windows.h>

#include <cstdint>
#include <string>

namespace sim {

struct OsStandIns {
  static inline std::string gameExecutable;
  static inline std::string documentsFolder;
  static inline bool documentsAvailable = true;
  static inline bool threadsRefused = false;
  static inline std::uint32_t fileSizeLimit = 0;  // 0: none

  // Points the DLL's import table entries of those calls at the stand-ins.
  static void HookImports(HMODULE plugin);
};

}  // namespace sim
