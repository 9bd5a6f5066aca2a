// Fractions against the effective maximum, the script's modifier read, and the jump bonus.
#include <cmath>
#include <limits>

#include "fixes/AVPercentFix.h"
#include "fixes/JumpBonusFix.h"
#include "fixes/QXAVPF.h"
#include "sim/ActorValueNames.h"
#include "sim/GameRegion.h"
#include "tests/unit/GameFixture.h"

namespace {

using qx::ComputeAVPercent;
using qx::game::kActorValue_Health;
using qx::game::kActorValue_Stamina;

class AVPercent : public qxtest::GameTest {};

TEST_F(AVPercent, MeasuresAgainstMaximumPlusTemporaryModifier) {
  sim::SimActor* actor = sim::NewActor(0x7);
  actor->SetActorValue(kActorValue_Health, 100.0f, 150.0f, 50.0f);
  EXPECT_FLOAT_EQ(ComputeAVPercent(actor, kActorValue_Health), 1.0f);
  actor->currentValue[kActorValue_Health] = 75.0f;
  EXPECT_FLOAT_EQ(ComputeAVPercent(actor, kActorValue_Health), 0.5f);
  // Only the temporary modifier counts.
  actor->SetModifier(2, kActorValue_Health, 1000.0f);
  EXPECT_FLOAT_EQ(ComputeAVPercent(actor, kActorValue_Health), 0.5f);
  // Other actor values are read at their own index.
  actor->SetActorValue(kActorValue_Stamina, 40.0f, 10.0f);
  EXPECT_FLOAT_EQ(ComputeAVPercent(actor, kActorValue_Stamina), 0.25f);
}

TEST_F(AVPercent, IsNotClamped) {
  sim::SimActor* actor = sim::NewActor(0x7);
  actor->SetActorValue(kActorValue_Health, 100.0f, 150.0f);
  EXPECT_FLOAT_EQ(ComputeAVPercent(actor, kActorValue_Health), 1.5f);
  actor->currentValue[kActorValue_Health] = -20.0f;
  EXPECT_FLOAT_EQ(ComputeAVPercent(actor, kActorValue_Health), -0.2f);
}

TEST_F(AVPercent, NoActorOrNoPositiveMaximumGivesOneWithoutReadingTheCurrentValue) {
  EXPECT_EQ(ComputeAVPercent(nullptr, kActorValue_Health), 1.0f);
  sim::SimActor* actor = sim::NewActor(0x7);
  for (float modifier : {-100.0f, -150.0f, std::numeric_limits<float>::quiet_NaN()}) {
    actor->SetActorValue(kActorValue_Health, 100.0f, 37.0f, modifier);
    actor->currentReads = 0;
    EXPECT_EQ(ComputeAVPercent(actor, kActorValue_Health), 1.0f) << modifier;
    EXPECT_EQ(actor->currentReads, 0);
  }
  EXPECT_EQ(actor->maximumReads, 3);
  EXPECT_EQ(actor->modifierReads, 3);
}

TEST_F(AVPercent, GetAVModifierReadsAnyKindByName) {
  sim::SimActor* actor = sim::NewActor(0x7);
  actor->SetModifier(2, sim::LookupActorValue("CarryWeight"), 12.5f);
  auto* extended = static_cast<qxnsSKSE::ActorExtended*>(static_cast<qx::game::Actor*>(actor));
  EXPECT_FLOAT_EQ(qx::papyrus::GetAVModifier(extended, 2, "carryweight"), 12.5f);
  EXPECT_FLOAT_EQ(qx::papyrus::GetAVModifier(extended, 1, "CarryWeight"), 0.0f);
  EXPECT_EQ(qx::papyrus::GetAVModifier(extended, 2, "NoSuchValue"), 0.0f);
  EXPECT_EQ(qx::papyrus::GetAVModifier(extended, 2, nullptr), 0.0f);
  EXPECT_EQ(qx::papyrus::GetAVModifier(nullptr, 2, "CarryWeight"), 0.0f);
  EXPECT_EQ(actor->modifierReads, 2);
}

TEST_F(AVPercent, TheGameKnowsItsActorValuesByName) {
  EXPECT_EQ(sim::LookupActorValue("Health"), 24u);
  EXPECT_EQ(sim::LookupActorValue("Magicka"), 25u);
  EXPECT_EQ(sim::LookupActorValue("Stamina"), 26u);
  EXPECT_EQ(sim::LookupActorValue("JumpingBonus"), 62u);
  EXPECT_EQ(sim::LookupActorValue("ReflectDamage"), 163u);
  EXPECT_EQ(sim::LookupActorValue("Nothing"), 164u);
}

class JumpBonus : public qxtest::GameTest {
 protected:
  void SetUp() override {
    qxtest::GameTest::SetUp();
    qx::ForgetJumpingBonusIndex();  // another test's game may have had it elsewhere
  }
};

TEST_F(JumpBonus, ScalesByOnePlusBonusOverHundred) {
  sim::SimActor* actor = sim::NewActor(0x7);
  std::uint32_t bonus = sim::LookupActorValue("JumpingBonus");
  EXPECT_EQ(qx::ScaleJumpValue(2.0, actor), 2.0);
  actor->currentValue[bonus] = 25.0f;
  EXPECT_EQ(qx::ScaleJumpValue(2.0, actor), 2.5);
  actor->currentValue[bonus] = -100.0f;
  EXPECT_EQ(qx::ScaleJumpValue(2.0, actor), 0.0);
  actor->currentValue[bonus] = -150.0f;  // not clamped
  EXPECT_EQ(qx::ScaleJumpValue(2.0, actor), -1.0);
}

TEST_F(JumpBonus, NullActorPassesThroughUnread) {
  EXPECT_EQ(qx::ScaleJumpValue(3.25, nullptr), 3.25);
}

std::uint32_t QX_CDECL KnowsNoName(const char*) { return 200; }
std::uint32_t QX_CDECL GameLookup(const char* name) { return sim::LookupActorValue(name); }

TEST_F(JumpBonus, AnUnknownIndexLeavesTheValueAlone) {
  sim::SimActor* actor = sim::NewActor(0x7);
  sim::PlaceRoutine(qx::game::kLookupActorValueByName, reinterpret_cast<const void*>(&KnowsNoName));
  double scaled = qx::ScaleJumpValue(2.0, actor);
  sim::PlaceRoutine(qx::game::kLookupActorValueByName, reinterpret_cast<const void*>(&GameLookup));
  EXPECT_EQ(scaled, 2.0);
  EXPECT_EQ(actor->currentReads, 0);
}

// The name is looked up on the first jump and the index kept; an answer that names no actor
// value is not kept.
TEST_F(JumpBonus, LooksTheIndexUpOnceAndKeepsIt) {
  sim::SimActor* actor = sim::NewActor(0x7);
  actor->currentValue[sim::LookupActorValue("JumpingBonus")] = 50.0f;
  sim::PlaceRoutine(qx::game::kLookupActorValueByName, reinterpret_cast<const void*>(&KnowsNoName));
  EXPECT_EQ(qx::ScaleJumpValue(2.0, actor), 2.0);
  sim::PlaceActorValueNames();  // the game's own lookup again, which counts its calls
  unsigned lookups = sim::ActorValueLookupCalls();
  EXPECT_EQ(qx::ScaleJumpValue(2.0, actor), 3.0);
  EXPECT_EQ(sim::ActorValueLookupCalls(), lookups + 1);
  for (int jump = 0; jump < 3; ++jump) EXPECT_EQ(qx::ScaleJumpValue(2.0, actor), 3.0);
  EXPECT_EQ(sim::ActorValueLookupCalls(), lookups + 1);
}

}  // namespace
