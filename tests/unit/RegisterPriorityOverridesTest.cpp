#include <gtest/gtest.h>

#include "fixes/PriorityOverrides.h"
#include "papyrus/text/GameLoadedMods.h"
#include "settings/ProjectIni.h"
#include "sim/Forms.h"
#include "sim/Game.h"
#include "sim/Vm.h"
#include "skse/GameDataHandler.h"
#include "tests/unit/LogCapture.h"

namespace {

using qx::ProjectIni;
using Lines = std::vector<std::string>;

constexpr const char* kPrefix = "QX Magic Effect Artwork Overrides: ";

// Two files are loaded: Skyrim.esm at index 0 and Mine.esp at index 3.
qx::game::FormID FakeResolve(std::string_view text) {
  std::string name(text.substr(7));
  std::uint32_t local = std::stoul(std::string(text.substr(0, 6)), nullptr, 16);
  if (name == "Skyrim.esm") return local;
  if (name == "Mine.esp") return 0x03000000 | local;
  return 0;
}

TEST(RegisterPriorityOverrides, RegistersKeywordsAndLogsEverySkip) {
  sim::Game::Start();  // places the game's form lookup
  auto* keyword = sim::MakeKeyword(0x00000D4E);
  auto* derived = sim::MakeKeyword(0x03000801, "BGSLocationRefType");
  auto* effect = sim::MakeForm("EffectSetting", sizeof(qx::game::EffectSetting), 0x00000D50);
  for (auto* form : {static_cast<qx::game::TESForm*>(keyword), static_cast<qx::game::TESForm*>(derived), effect}) {
    sim::RegisterForm(form);
  }

  ProjectIni s;
  auto add = [&](const char* text, std::int32_t priority) {
    s.pendingOverrides.Add(text, priority);
  };
  add("000D4E_Skyrim.esm", 5);
  add("000D4E", 6);                  // too short to name a file
  add("000D4E_Other.esp", 7);        // file not loaded
  add("000D4E_Skyrim.esm ", 8);      // the blank is part of the name
  add("000D51_Skyrim.esm", 9);       // no such form
  add("000D50_Skyrim.esm", 10);      // not a keyword
  add("000801_Mine.esp", -1);
  add("000D4E_Skyrim.esm", 50);      // the last priority of a keyword stands

  Lines log = qxtest::CaptureLog([&] { qx::RegisterPriorityOverrides(s, &FakeResolve); });
  std::string p = kPrefix;
  EXPECT_EQ(log, (Lines{p + "registered mgef keyword '000D4E_Skyrim.esm' with priority 5",
                        p + "skipping unrecognized form ID '000D4E'",
                        p + "skipping unrecognized form ID '000D4E_Other.esp'",
                        p + "skipping unrecognized form ID '000D4E_Skyrim.esm '",
                        p + "skipping unresolvable form ID '000D51_Skyrim.esm'",
                        p + "form ID '000D50_Skyrim.esm' is not a keyword; skipping",
                        p + "registered mgef keyword '000801_Mine.esp' with priority -1",
                        p + "registered mgef keyword '000D4E_Skyrim.esm' with priority 50"}));
  ASSERT_EQ(s.KeywordPriorityTable.size(), 2u);
  ASSERT_NE(s.KeywordPriorityTable.find(keyword), nullptr);
  ASSERT_NE(s.KeywordPriorityTable.find(derived), nullptr);
  EXPECT_EQ(*s.KeywordPriorityTable.find(keyword), 50u);
  EXPECT_EQ(*s.KeywordPriorityTable.find(derived), 0xFFFFFFFFu);
  EXPECT_TRUE(s.pendingOverrides.empty());
}

// The data-loaded step reads the game's list once into a map; it answers every name as a
// walk of the list does: letter case ignored, the first of two equal names, positions past
// 255 reduced to a byte (so the 256th file reads as not loaded), names at each position.
TEST(LoadedModIndex, AnswersAsTheGamesListDoes) {
  sim::Game::Start();
  std::vector<std::string> names;
  for (int i = 0; i < 300; ++i) names.push_back("File" + std::to_string(i) + ".esp");
  names[7] = "file3.ESP";  // a second File3.esp, in other letter case
  // Names of every length modulo four, with the characters beside the letters and beyond ASCII.
  names[20] = "A@Z[`{.esm";
  names[21] = "\xC9t\xE9.esp";
  names[22] = "abcd";
  names[23] = "x";
  names[24] = "abcdefgh";
  sim::SetLoadedMods(names);
  qx::papyrus::LoadedModIndex index;
  std::vector<std::string> asked = names;
  asked.insert(asked.end(), {"FILE299.ESP", "file3.esp", "Missing.esp", "", "File3.esp ", "a@z[`{.ESM", "a`z[`{.esm", "A@Z{`{.esm",
                             "\xC9T\xE9.ESP", "\xE9t\xC9.esp", "ABCD", "abcde", "abc", "X", "y", "ABCDEFGH", "abcdefgi"});
  for (const std::string& name : asked) {
    EXPECT_EQ(index.IndexOf(name.c_str()), qx::game::ModIndexOfFile(name.c_str())) << name;
  }
  EXPECT_EQ(index.IndexOf(names[255].c_str()), qx::game::kModIndexNotLoaded);
  EXPECT_EQ(index.IndexOf("FILE256.esp"), 0u);
  for (std::uint32_t position : {0u, 7u, 255u}) {
    EXPECT_STREQ(index.NameAt(position), qx::game::FileNameOfModIndex(position));
  }
  EXPECT_STREQ(index.NameAt(300), "");
}

}  // namespace
