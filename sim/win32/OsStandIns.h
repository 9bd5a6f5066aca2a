#pragma once
// In the game's process, GetModuleFileNameA(NULL) names TESV.exe in the game folder and
// SHGetFolderPathA(CSIDL_PERSONAL) the player's documents. The simulated game answers the
// plugin DLL's imports of these two calls itself, so each test has folders of its own.
#include <windows.h>

#include <string>

namespace sim {

struct OsStandIns {
  static inline std::string gameExecutable;
  static inline std::string documentsFolder;
  static inline bool documentsAvailable = true;

  // Points the DLL's import table entries of the two calls at the stand-ins.
  static void HookImports(HMODULE plugin);
};

}  // namespace sim
