#include <gtest/gtest.h>

#include <vector>

#include "fixes/MagicEffectArtwork.h"
#include "plugin/ProjectIni.h"
#include "sim/Forms.h"
#include "sim/Game.h"
#include "sim/GameRegion.h"

namespace {

using qx::ProjectIni;
using qx::game::BGSKeyword;
using qx::game::EffectItem;
using qx::game::EffectSetting;
using qx::game::MagicItem;

// A magic item whose effects carry magic effects with the given keywords.
struct TestItem {
  std::vector<EffectSetting*> mgefs;
  std::vector<EffectItem> effects;
  std::vector<EffectItem*> effectPointers;
  std::vector<std::vector<BGSKeyword*>> keywords;
  MagicItem item{};

  explicit TestItem(std::vector<std::vector<BGSKeyword*>> keywordsPerEffect)
      : keywords(std::move(keywordsPerEffect)) {
    effects.resize(keywords.size());
    for (std::size_t i = 0; i < keywords.size(); ++i) {
      auto* mgef = sim::MakeFormOf<EffectSetting>("EffectSetting", 0x100 + i);
      mgef->keywordForm.keywords = keywords[i].empty() ? nullptr : keywords[i].data();
      mgef->keywordForm.numKeywords = static_cast<std::uint32_t>(keywords[i].size());
      mgefs.push_back(mgef);
      effects[i].mgef = mgef;
      effectPointers.push_back(&effects[i]);
    }
    item.effects = effectPointers.data();
    item.numEffects = static_cast<std::uint32_t>(effectPointers.size());
  }
};

struct Keywords {
  BGSKeyword* a = sim::MakeKeyword(0xA);
  BGSKeyword* b = sim::MakeKeyword(0xB);
  BGSKeyword* c = sim::MakeKeyword(0xC);
  BGSKeyword* unlisted = sim::MakeKeyword(0xD);
};

TEST(ChooseArtEffect, HighestPriorityWinsAndTheFirstOfEqualOnes) {
  Keywords k;
  ProjectIni s;
  s.KeywordPriorityTable = {{k.a, 10}, {k.b, 10}, {k.c, 20}};
  TestItem tie({{k.unlisted}, {k.b}, {k.a}});
  EXPECT_EQ(qx::ChooseArtEffect(s, &tie.item, tie.mgefs[0]), tie.mgefs[1]);
  TestItem higher({{k.a}, {k.unlisted, k.c}});
  EXPECT_EQ(qx::ChooseArtEffect(s, &higher.item, higher.mgefs[0]), higher.mgefs[1]);
  TestItem noneListed({{k.unlisted}, {}});
  EXPECT_EQ(qx::ChooseArtEffect(s, &noneListed.item, noneListed.mgefs[1]), noneListed.mgefs[1]);
}

TEST(ChooseArtEffect, ZeroNeverWinsAndMinusOneBeatsEverything) {
  Keywords k;
  ProjectIni s;
  s.KeywordPriorityTable = {{k.a, 0}, {k.b, 1000}, {k.c, static_cast<std::uint32_t>(-1)}};
  TestItem zero({{k.unlisted}, {k.a}});
  EXPECT_EQ(qx::ChooseArtEffect(s, &zero.item, zero.mgefs[0]), zero.mgefs[0]);
  TestItem negative({{k.b}, {k.c}});
  EXPECT_EQ(qx::ChooseArtEffect(s, &negative.item, negative.mgefs[0]), negative.mgefs[1]);
}

TEST(ChooseArtEffect, TheGamesPickStandsWhenThereIsNothingToChooseFrom) {
  Keywords k;
  ProjectIni s;
  TestItem two({{k.a}, {k.b}});
  EXPECT_EQ(qx::ChooseArtEffect(s, &two.item, two.mgefs[0]), two.mgefs[0]);  // empty table
  s.KeywordPriorityTable = {{k.b, 5}};
  TestItem single({{k.b}});
  EXPECT_EQ(qx::ChooseArtEffect(s, &single.item, single.mgefs[0]), single.mgefs[0]);
  EXPECT_EQ(qx::ChooseArtEffect(s, nullptr, two.mgefs[0]), two.mgefs[0]);
  EXPECT_EQ(qx::ChooseArtEffect(s, &two.item, nullptr), nullptr);
  // Null effects and magic effects are passed over.
  two.effectPointers[0] = nullptr;
  two.effects[1].mgef = nullptr;
  EXPECT_EQ(qx::ChooseArtEffect(s, &two.item, two.mgefs[1]), two.mgefs[1]);
}

TEST(ChooseArtEffect, DisableAllRemovesEveryArtwork) {
  Keywords k;
  ProjectIni s;
  s.meaoDisableAll = true;
  TestItem single({{k.a}});
  EXPECT_EQ(qx::ChooseArtEffect(s, &single.item, single.mgefs[0]), nullptr);
  s.KeywordPriorityTable = {{k.a, 5}};
  TestItem two({{k.b}, {k.a}});
  EXPECT_EQ(qx::ChooseArtEffect(s, &two.item, two.mgefs[0]), nullptr);
}

}  // namespace

// ---- the patched pick, run through its trampoline ------------------------------------------

extern "C" {
const std::uintptr_t gArtSite asm("art_test_site") = qx::kArtPickSite;
const MagicItem* gArtItem asm("art_test_item") = nullptr;
EffectSetting* gArtChosen asm("art_test_chosen") = nullptr;
std::uint32_t gArtEspBefore asm("art_test_esp_before") = 0;
std::uint32_t gArtEspAfter asm("art_test_esp_after") = 0;
std::uint32_t gArtCalleeEsp asm("art_test_callee_esp") = 0;
std::uint32_t gArtCalleeEcx asm("art_test_callee_ecx") = 0;
std::uint32_t gArtOut[7] asm("art_test_out") = {};  // eax ebx ecx edx esi edi ebp
}

namespace {

// The game's pick: sees the item in ecx, answers in eax and leaves the item in ecx.
extern "C" __attribute__((naked)) void ArtPickStandIn() asm("art_test_pick");
extern "C" __attribute__((naked)) void ArtPickStandIn() {
  asm(".intel_syntax noprefix\n"
      "  mov dword ptr [art_test_callee_esp], esp\n"
      "  mov dword ptr [art_test_callee_ecx], ecx\n"
      "  mov eax, dword ptr [art_test_chosen]\n"
      "  mov ecx, dword ptr [art_test_item]\n"
      "  ret\n"
      ".att_syntax prefix\n");
}

// Enters the site with the item in ecx and known values in the other registers, and keeps
// every register as the game finds them after its call.
extern "C" __attribute__((naked)) void RunArtSite() asm("art_test_run");
extern "C" __attribute__((naked)) void RunArtSite() {
  asm(".intel_syntax noprefix\n"
      "  push ebx\n  push esi\n  push edi\n  push ebp\n"
      "  mov ecx, dword ptr [art_test_item]\n"
      "  mov ebx, 0x11111111\n  mov edx, 0x22222222\n"
      "  mov esi, 0x33333333\n  mov edi, 0x44444444\n  mov ebp, 0x55555555\n"
      "  mov dword ptr [art_test_esp_before], esp\n"
      "  call dword ptr [art_test_site]\n"
      "  mov dword ptr [art_test_esp_after], esp\n"
      "  mov dword ptr [art_test_out], eax\n"
      "  mov dword ptr [art_test_out+4], ebx\n"
      "  mov dword ptr [art_test_out+8], ecx\n"
      "  mov dword ptr [art_test_out+12], edx\n"
      "  mov dword ptr [art_test_out+16], esi\n"
      "  mov dword ptr [art_test_out+20], edi\n"
      "  mov dword ptr [art_test_out+24], ebp\n"
      "  pop ebp\n  pop edi\n  pop esi\n  pop ebx\n"
      "  ret\n"
      ".att_syntax prefix\n");
}

void ExpectGameRegistersKept(const MagicItem* item) {
  EXPECT_EQ(gArtOut[1], 0x11111111u);
  EXPECT_EQ(gArtOut[2], reinterpret_cast<std::uintptr_t>(item));
  EXPECT_EQ(gArtOut[3], 0x22222222u);
  EXPECT_EQ(gArtOut[4], 0x33333333u);
  EXPECT_EQ(gArtOut[5], 0x44444444u);
  EXPECT_EQ(gArtOut[6], 0x55555555u);
  EXPECT_EQ(gArtEspAfter, gArtEspBefore);
  // The pick saw the stack and ecx as at the game's own call.
  EXPECT_EQ(gArtCalleeEsp, gArtEspBefore - 8);
  EXPECT_EQ(gArtCalleeEcx, reinterpret_cast<std::uintptr_t>(item));
}

TEST(ArtPickSite, RunsTheGamesPickThenTheChoice) {
  sim::Game::Start();
  // The game's code at the site: call the pick, then (for this test) return.
  std::uint8_t call[6] = {0xE8, 0, 0, 0, 0, 0xC3};
  auto displacement = static_cast<std::uint32_t>(qx::kArtPickCallee - (qx::kArtPickSite + 5));
  std::memcpy(call + 1, &displacement, 4);
  sim::WriteGameBytes(qx::kArtPickSite, call, sizeof(call));
  sim::PlaceRoutine(qx::kArtPickCallee, reinterpret_cast<const void*>(&ArtPickStandIn));

  Keywords k;
  TestItem item({{k.a}, {k.b}});
  gArtItem = &item.item;
  gArtChosen = item.mgefs[0];
  RunArtSite();
  EXPECT_EQ(gArtOut[0], reinterpret_cast<std::uintptr_t>(item.mgefs[0])) << "unpatched";
  ExpectGameRegistersKept(&item.item);

  auto* settings = new ProjectIni();
  settings->KeywordPriorityTable = {{k.b, 3}};
  qx::InstallMagicEffectArtworkOverrides(*settings);
  auto sites = sim::PatchedSites();
  ASSERT_EQ(sites.size(), 1u);
  EXPECT_EQ(sites[0].site, qx::kArtPickSite);
  EXPECT_EQ(sites[0].opcode, 0xE9);

  RunArtSite();
  EXPECT_EQ(gArtOut[0], reinterpret_cast<std::uintptr_t>(item.mgefs[1]));
  ExpectGameRegistersKept(&item.item);

  gArtChosen = nullptr;  // the game found nothing: nothing to overrule
  RunArtSite();
  EXPECT_EQ(gArtOut[0], 0u);

  settings->meaoDisableAll = true;
  gArtChosen = item.mgefs[0];
  RunArtSite();
  EXPECT_EQ(gArtOut[0], 0u);
  ExpectGameRegistersKept(&item.item);
}

}  // namespace
