#include <gtest/gtest.h>

#include "sim/Forms.h"
#include "sim/Rtti.h"
#include "skse/RttiClassCheck.h"

namespace {

using qx::game::IsKeyword;
using qx::game::IsObjectOfClass;

TEST(RttiClassCheck, KeywordsAndTheirDerivedClassesAreKeywords) {
  EXPECT_TRUE(IsKeyword(sim::MakeKeyword(0x00000D4E)));
  EXPECT_TRUE(IsKeyword(sim::MakeKeyword(0x00000D4F, "BGSLocationRefType")));
  EXPECT_FALSE(IsKeyword(sim::MakeForm("EffectSetting", sizeof(qx::game::EffectSetting), 0x10)));
  EXPECT_FALSE(IsKeyword(sim::MakeForm("TESForm", sizeof(qx::game::TESForm), 0x11)));
  // A base is not its derived class.
  EXPECT_FALSE(IsObjectOfClass(sim::MakeKeyword(0x12), ".?AVBGSLocationRefType@@"));
  EXPECT_TRUE(IsObjectOfClass(sim::MakeKeyword(0x13, "BGSLocationRefType"), ".?AVTESForm@@"));
}

TEST(RttiClassCheck, NamesMustMatchWhole) {
  auto* longer = sim::MakeForm("BGSKeywordX", sizeof(qx::game::TESForm), 0x14);
  auto* shorter = sim::MakeForm("BGSKeywor", sizeof(qx::game::TESForm), 0x15);
  EXPECT_FALSE(IsKeyword(longer));
  EXPECT_FALSE(IsKeyword(shorter));
}

TEST(RttiClassCheck, MissingPiecesGiveFalse) {
  EXPECT_FALSE(IsKeyword(nullptr));

  qx::game::TESForm noTable{};
  EXPECT_FALSE(IsKeyword(&noTable));

  // A table without a locator before it, a locator with the 64-bit signature, a locator
  // without type or hierarchy: none of them crashes the check.
  void* bare[2] = {nullptr, nullptr};
  qx::game::TESForm form{};
  form.vtable = &bare[1];
  EXPECT_FALSE(IsKeyword(&form));

  sim::RttiClass broken("BrokenKeyword", &sim::GameClass("BGSKeyword"));
  form.vtable = broken.VTable();
  EXPECT_TRUE(IsKeyword(&form));
  broken.MutableLocator().signature = 1;
  EXPECT_FALSE(IsKeyword(&form));
  broken.MutableLocator().signature = 0;
  broken.MutableLocator().classDescriptor = nullptr;
  EXPECT_FALSE(IsKeyword(&form));
  broken.MutableLocator().typeDescriptor = nullptr;
  EXPECT_FALSE(IsKeyword(&form));
}

TEST(RttiClassCheck, ACompleteClassNamedKeywordNeedsNoHierarchy) {
  sim::RttiClass keyword("BGSKeyword", &sim::GameClass("TESForm"));
  keyword.MutableLocator().classDescriptor = nullptr;
  qx::game::TESForm form{};
  form.vtable = keyword.VTable();
  EXPECT_TRUE(IsKeyword(&form));
}

}  // namespace
