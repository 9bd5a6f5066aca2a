// startup_bench [scale=1]: the plugin's start-up with every feature on (dumpskills off):
// SKSEPlugin_Query and SKSEPlugin_Load, the script classes' registration, then the
// data-loaded message, over scale x (10,000 books, 255 loaded plugin files, 1,000 priority
// override lines naming keywords in those files). The plugin loads once per process, so
// scripts/bench.py runs this once per scale (1, 4 and 16) and compares the counts.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "sim/Books.h"
#include "sim/CameraScene.h"
#include "sim/Forms.h"
#include "sim/Game.h"
#include "sim/GameFolders.h"
#include "sim/Magic.h"
#include "sim/Vm.h"
#include "skse/GameActorValues.h"
#include "tests/bench/BenchSupport.h"

namespace {

constexpr const char* kSettings =
    "[general]\nenableavpercentfix=1\nenablejumpbonusfix=1\nenablebashbugfix=1\n"
    "enablehealthgating=1\nenablemagiceffectartworkoverrides=1\nenableplayeraudiorepositioner=1\n"
    "[books]\nskillreadpollingtimemillis=3600000\ndisableskillgain=1\ndumpskills=0\nclearallreadskills=0\n"
    "[cameratweaks]\nreplacefurniturecamwith3p=1\nchangetweenmenuzoom=1\ntweenmenuzoom=10.0\n"
    "disabletweenmenupan=1\nenablehorsecamfix=1\nenable3pcellloadpositionfix=1\n"
    "enable3pkillcampositionfix=1\n"
    "[healthgating]\nisenabled=1\nformainplayeronly=0\nimmunitytimemillis=500\n"
    "cleanuppollingtimemillis=3600000\n"
    "[magiceffectartworkoverrides]\npriorityoverrides=art.txt\n"
    "[playeraudiorepositioner]\nisenabled=1\n";

std::string PluginName(std::size_t position) {
  char name[32];
  std::snprintf(name, sizeof name, "Plugin%04zu.esp", position);
  return name;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t scale = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1;
  if (scale == 0) scale = 1;
  const std::size_t books = 10'000 * scale, plugins = 255 * scale, lines = 1'000 * scale;

  sim::Game::Start();
  std::vector<std::string> names;
  for (std::size_t i = 0; i < plugins; ++i) names.push_back(PluginName(i));
  sim::SetLoadedMods(names);

  // Priority lines naming keywords spread over the whole load order.
  std::string file;
  for (std::size_t i = 0; i < lines; ++i) {
    std::size_t position = (i * 7919) % plugins;
    if ((position & 0xFF) == 0xFF) --position;  // mod index 255 means "not loaded"
    std::uint32_t local = static_cast<std::uint32_t>(0x000800 + i);
    auto formID = static_cast<qx::game::FormID>(((position & 0xFF) << 24) | local);
    sim::RegisterForm(reinterpret_cast<qx::game::TESForm*>(sim::NewEffectKeyword(formID)));
    char line[64];
    std::snprintf(line, sizeof line, "%zu %06X_%s\n", 1 + i % 100, static_cast<unsigned>(local),
                  names[position].c_str());
    file += line;
  }
  if (!sim::WriteFile(sim::GameFolders::PluginFile("art.txt"), file)) return 1;

  std::vector<qx::game::TESObjectBOOK*> bookArray;
  for (std::size_t i = 0; i < books; ++i) {
    sim::BookData data;
    data.formID = static_cast<qx::game::FormID>(0x00100000 + i);
    if (i % 4 == 3) {
      data.flags = qx::game::kBookFlag_TeachesSpell;
    } else if (i % 4 != 0) {
      data.flags = qx::game::kBookFlag_TeachesSkill | (i % 3 == 0 ? qx::game::kBookFlag_Read : 0);
      data.teaches = 6 + i % 18;  // the skills
    }
    data.name = "Book";
    bookArray.push_back(sim::MakeBook(data));
  }
  sim::SetDataHandlerBooks(bookArray);
  sim::CameraScene scene;

  sim::BootOptions options;
  options.settings = kSettings;
  bool loaded = false;
  char key[32];
  std::snprintf(key, sizeof key, "startup.x%zu", scale);
  qxbench::CountSegment(key, 1, [&] {
    loaded = sim::Game::Boot(options).loaded;
    sim::Game::SendDataLoaded();
  });
  if (!loaded) return 1;
  std::string log = sim::GameFolders::ReadLog();
  std::size_t registered = 0;
  for (std::size_t at = 0; (at = log.find("registered mgef keyword", at)) != std::string::npos; ++at) ++registered;
  if (registered != lines) {
    std::fprintf(stderr, "startup_bench: %zu of %zu priority lines registered\n", registered, lines);
    return 1;
  }
  return 0;
}
