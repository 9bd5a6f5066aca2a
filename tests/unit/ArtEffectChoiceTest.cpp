#include <gtest/gtest.h>

#include <vector>

#include "fixes/MagicEffectArtwork.h"
#include "settings/ProjectIni.h"
#include "sim/Forms.h"

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
  s.KeywordPriorityTable.clear();
  s.KeywordPriorityTable[k.a] = 10;
  s.KeywordPriorityTable[k.b] = 10;
  s.KeywordPriorityTable[k.c] = 20;
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
  s.KeywordPriorityTable.clear();
  s.KeywordPriorityTable[k.a] = 0;
  s.KeywordPriorityTable[k.b] = 1000;
  s.KeywordPriorityTable[k.c] = static_cast<std::uint32_t>(-1);
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
  s.KeywordPriorityTable.clear();
  s.KeywordPriorityTable[k.b] = 5;
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
  s.KeywordPriorityTable.clear();
  s.KeywordPriorityTable[k.a] = 5;
  TestItem two({{k.b}, {k.a}});
  EXPECT_EQ(qx::ChooseArtEffect(s, &two.item, two.mgefs[0]), nullptr);
}

}  // namespace
