// The priority overrides file and its registration. The input is a loaded-plugin list (a
// count byte, then that many zero-terminated file names) followed by the bytes of the
// file. The file is read as the settings reader has it read, then its entries are resolved
// against that list and the game's forms: a form ID whose low two bits are 0 names no form,
// 1 a form that is no keyword, 2 and 3 one of four keywords.
//
// Afterwards: every pending entry holds a form text that starts with neither a blank nor a
// tab; the pending lists are empty after registration; the table holds exactly the
// keywords that entries resolved to, each with the priority of its last entry.
#include <strings.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "common/IDebugLog.h"
#include "fixes/PriorityOverrides.h"
#include "papyrus/text/FormText.h"
#include "settings/ProjectIni.h"
#include "sim/Forms.h"
#include "sim/Game.h"
#include "sim/GameFolders.h"
#include "tests/fuzz/FuzzInput.h"
#include "tests/fuzz/InputMods.h"

namespace {

using qx::game::BGSKeyword;
using qx::game::FormID;
using qx::game::TESForm;
using qxfuzz::InputMods;

InputMods gMods;
BGSKeyword* gKeywords[4];
TESForm* gNotAKeyword;

FormID Resolve(std::string_view text) {
  return qx::papyrus::ResolveLoadIndependentFormText(text, false, gMods);
}

TESForm* Lookup(FormID formID) {
  switch (formID & 3) {
    case 0: return nullptr;
    case 1: return gNotAKeyword;
    default: return gKeywords[(formID >> 2) & 3];
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  sim::Game::Start();
  IDebugLog::consoleLevel = -1;
  IDebugLog::OpenFile("/dev/null");
  for (int i = 0; i < 4; ++i) gKeywords[i] = sim::MakeKeyword(0x100 + i);
  gNotAKeyword = sim::MakeForm("EffectSetting", sizeof(TESForm), 0x200);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = sim::GameFolders::PluginFile("overrides.txt");
  qxfuzz::FuzzInput input(data, size);
  gMods.names.clear();
  for (int n = input.Byte() % 8; n > 0; --n) gMods.names.push_back(input.Text(32));
  if (!sim::WriteFile(path, input.Rest())) std::abort();

  qx::ProjectIni settings;
  qx::ReadPriorityOverridesFile(settings, path);
  std::vector<std::string> texts;
  std::vector<std::int32_t> priorities;
  for (std::size_t i = 0; i < settings.pendingOverrides.size(); ++i) {
    texts.emplace_back(settings.pendingOverrides.FormText(i));
    priorities.push_back(settings.pendingOverrides.Priority(i));
  }
  for (const std::string& text : texts) {
    QX_FUZZ_REQUIRE(!text.empty() && text[0] != ' ' && text[0] != '\t');
    QX_FUZZ_REQUIRE(text.find('\n') == std::string::npos);
  }

  qx::RegisterPriorityOverrides(settings, &Resolve, &Lookup);
  QX_FUZZ_REQUIRE(settings.pendingOverrides.empty());
  std::map<BGSKeyword*, std::uint32_t> expected;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    FormID formID = texts[i].size() < qx::kMinimumFormTextLength ? 0 : Resolve(texts[i]);
    if (formID == 0 || (formID & 3) < 2) continue;
    expected[gKeywords[(formID >> 2) & 3]] = static_cast<std::uint32_t>(priorities[i]);
  }
  QX_FUZZ_REQUIRE(settings.KeywordPriorityTable.size() == expected.size());
  for (const auto& [keyword, priority] : expected) {
    const std::uint32_t* found = settings.KeywordPriorityTable.find(keyword);
    QX_FUZZ_REQUIRE(found != nullptr && *found == priority);
  }
  return 0;
}
