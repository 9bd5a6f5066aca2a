// qxkit: command-line tools built on the plugin's own code.
//
//   qxkit check FILE
//       Reads FILE as qxKit.ini with the plugin's own reader and reports unknown keys,
//       values that do not read as meant, the effective settings, and what would be
//       installed. Exits 0 when nothing needs attention, 1 otherwise.
//
//   qxkit compile SOURCE.psc... --out FOLDER
//       Writes the compiled script (.pex) of each script source that declares only
//       global native functions, as the plugin's script classes do: those functions with
//       their { } comments as docstrings, and the four state functions every compiler adds.
//
//   qxkit boot --ini FILE [--dll QXKit.dll]
//       Boots the plugin in the simulated game with FILE as its qxKit.ini, sends the
//       data-loaded message, and prints the log it wrote and the game code it patched.
//
//   qxkit where [--map QXKit.map] [--dll QXKit.dll] [QXKit.dll+OFFSET|OFFSET|CRASHLOG|-]...
//       Names the function, the offset inside it and its source line for each QXKit.dll
//       offset given or found in a crash log (standard input when none is given), from the
//       symbol map beside the tool; warns when the map is not of the DLL named by --dll.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Modules.h"
#include "sim/CameraScene.h"
#include "sim/DataHandler.h"
#include "sim/Game.h"
#include "sim/GameFolders.h"
#include "sim/GameRegion.h"
#include "sim/PluginModule.h"
#include "tools/PapyrusScript.h"
#include "tools/SettingsCheck.h"
#include "tools/SiteTable.h"
#include "tools/SymbolMap.h"

namespace {

int Usage() {
  std::fputs(
      "usage: qxkit check FILE\n"
      "       qxkit compile SOURCE.psc... --out FOLDER\n"
      "       qxkit boot --ini FILE [--dll PATH]\n"
      "       qxkit where [--map QXKit.map] [--dll QXKit.dll] [ADDRESS|CRASHLOG|-]...\n"
      "  check    report what QXKit makes of FILE as qxKit.ini and what looks wrong in it\n"
      "  compile  write the compiled scripts of global-native script sources\n"
      "  boot     load QXKit in the simulated game with FILE as qxKit.ini and show what it\n"
      "           logs and which game code it patches\n"
      "  where    name the function at each QXKit.dll+OFFSET given or found in a crash log\n",
      stderr);
  return 2;
}

std::string PluginFileName(const sim::PluginEntryPoints& plugin) {
  char name[qx::platform::kMaxPath];
  if (!qx::platform::ModuleFileNameAt(reinterpret_cast<std::uintptr_t>(plugin.query), name)) return "";
  return name;
}

int Boot(const std::vector<std::string>& args) {
  std::string ini, dll;
  for (std::size_t i = 0; i + 1 < args.size(); i += 2) {
    if (args[i] == "--ini") ini = args[i + 1];
    else if (args[i] == "--dll") dll = args[i + 1];
    else return Usage();
  }
  if (ini.empty() || args.size() % 2 != 0) return Usage();
  if (!dll.empty()) sim::UsePluginAt(dll);

  sim::BootOptions options;
  options.settings = sim::ReadFile(ini);
  if (options.settings->empty() && !std::fopen(ini.c_str(), "rb")) {
    std::fprintf(stderr, "qxkit: cannot read %s\n", ini.c_str());
    return 1;
  }
  sim::BootResult result = sim::Game::Boot(options);
  if (result.loaded) {
    // A game whose data has loaded: its camera, player and (empty) data handler exist.
    static sim::CameraScene scene;
    (void)sim::GameDataHandler();
    sim::Game::SendDataLoaded();
  }

  std::printf("== QXKit.log ==\n%s", sim::GameFolders::ReadLog().c_str());
  std::printf("== install sites ==\n%s",
              qxtools::DescribeInstallSites(PluginFileName(sim::LoadPluginModule())).c_str());
  std::printf("== patched game code ==\n");
  std::vector<sim::PatchedSite> sites = sim::PatchedSites();
  if (sites.empty()) std::printf("(none)\n");
  for (const sim::PatchedSite& site : sites) {
    const char* kind = site.opcode == 0xE8 ? "call" : site.opcode == 0xE9 ? "jmp " : "??  ";
    std::printf("%08X  %02X %s -> %08X\n", static_cast<unsigned>(site.site), site.opcode, kind,
                static_cast<unsigned>(site.Target()));
  }
  return result.loaded ? 0 : 1;
}

int Compile(std::vector<std::string> args) {
  std::string out;
  for (std::size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == "--out") {
      out = args[i + 1];
      args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
      break;
    }
  }
  if (out.empty() || args.empty()) return Usage();
  for (const std::string& source : args) {
    std::string text = sim::ReadFile(source), error;
    auto script = qxtools::ParsePapyrusSource(text, error);
    if (!script) {
      std::fprintf(stderr, "qxkit: %s: %s\n", source.c_str(), error.c_str());
      return 1;
    }
    auto bytes = qxtools::WriteCompiledScript(*script, error);
    if (!bytes) {
      std::fprintf(stderr, "qxkit: %s: %s\n", source.c_str(), error.c_str());
      return 1;
    }
    std::string target = sim::JoinPath(out, "/" + script->name + ".pex");
    if (!sim::WriteFile(target, std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()))) {
      std::fprintf(stderr, "qxkit: cannot write %s\n", target.c_str());
      return 1;
    }
    std::printf("%s -> %s (%zu functions)\n", source.c_str(), target.c_str(), script->functions.size());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage();
  std::string command = args.front();
  args.erase(args.begin());
  if (command == "boot") return Boot(args);
  if (command == "compile") return Compile(args);
  if (command == "where") return qxtools::RunWhere(args);
  if (command == "check" && args.size() == 1) return qxtools::RunSettingsCheck(args[0]);
  return Usage();
}
