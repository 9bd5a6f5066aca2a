// The scaling table, and abilities re-applied, stacked and emptied on an actor.
#include <cmath>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <limits>

#include "papyrus/QXAEUtil.h"
#include "papyrus/effects/ScaleAbilityEffects.h"
#include "tests/unit/GameFixture.h"

namespace {

using qx::papyrus::ScaleByType;
using qx::papyrus::ScalingRules;
using qx::papyrus::ScriptNumber;
using qx::papyrus::ScriptNumbers;
using std::nullopt;

constexpr bool kUp = true, kDown = false, kFirst = true, kLater = false;

TEST(ScalingTable, EveryTypeUpAndDown) {
  struct Row {
    std::uint32_t type;
    bool first;
    float up, down;
  };
  // current 12, E 2, V 3
  const Row rows[] = {
      {0, kLater, 2, 2},    {1, kLater, 17, 7},   {2, kLater, 72, 2},   {3, kFirst, 2, 2},
      {3, kLater, 17, 7},   {4, kFirst, 2, 2},    {4, kLater, 72, 2},   {5, kLater, 14, 10},
      {6, kLater, 24, 6},   {7, kFirst, 2, 2},    {7, kLater, 14, 10},  {8, kFirst, 2, 2},
      {8, kLater, 24, 6},   {9, kLater, 3, 3},    {10, kLater, 15, 9},  {11, kLater, 36, 4},
      {12, kFirst, 3, 3},   {12, kLater, 15, 9},  {13, kFirst, 3, 3},   {13, kLater, 36, 4},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(ScaleByType(r.type, 12.0f, 2.0f, 3.0f, kUp, r.first), r.up) << r.type << " first " << r.first;
    EXPECT_EQ(ScaleByType(r.type, 12.0f, 2.0f, 3.0f, kDown, r.first), r.down) << r.type << " first " << r.first;
  }
}

TEST(ScalingTable, MissingOperandsAddNothingMultiplyByOneAndFallBack) {
  EXPECT_EQ(ScaleByType(0, 12.0f, nullopt, 3.0f, kUp, kLater), 3.0f);
  EXPECT_EQ(ScaleByType(0, 12.0f, nullopt, nullopt, kUp, kLater), 12.0f);
  EXPECT_EQ(ScaleByType(1, 12.0f, nullopt, nullopt, kDown, kLater), 12.0f);
  EXPECT_EQ(ScaleByType(2, 12.0f, nullopt, 3.0f, kUp, kLater), 36.0f);
  EXPECT_EQ(ScaleByType(7, 12.0f, nullopt, 3.0f, kUp, kFirst), 12.0f);
  EXPECT_EQ(ScaleByType(9, 12.0f, 2.0f, nullopt, kUp, kLater), 12.0f);
  EXPECT_EQ(ScaleByType(13, 12.0f, nullopt, nullopt, kUp, kFirst), 12.0f);
}

// Sums run left to right in single precision: (cur + E) + V, not cur + (E + V).
TEST(ScalingTable, SumsRoundAfterEachTerm) {
  EXPECT_EQ(ScaleByType(1, 100.0f, 0.3f, 0.3f, kUp, kLater), 100.600006f);
  EXPECT_EQ(ScaleByType(1, 100.0f, 0.3f, 0.3f, kDown, kLater), 99.3999939f);
  EXPECT_EQ(ScaleByType(3, 100.0f, 0.3f, 0.3f, kUp, kLater), 100.600006f);
}

TEST(ScalingTable, ZeroDividesByOneButMultipliesToZero) {
  EXPECT_EQ(ScaleByType(2, 12.0f, nullopt, 0.0f, kDown, kLater), 12.0f);
  EXPECT_EQ(ScaleByType(2, 12.0f, 0.0f, 0.0f, kDown, kLater), 12.0f);
  EXPECT_EQ(ScaleByType(6, 12.0f, 0.0f, nullopt, kDown, kLater), 12.0f);
  EXPECT_EQ(ScaleByType(11, 12.0f, nullopt, 0.0f, kDown, kLater), 12.0f);
  EXPECT_EQ(ScaleByType(2, 12.0f, 0.0f, 3.0f, kUp, kLater), 0.0f);
  EXPECT_EQ(ScaleByType(11, 12.0f, nullopt, 0.0f, kUp, kLater), 0.0f);
}

TEST(ScalingTable, TypesAboveThirteenAreIllegal) {
  EXPECT_EQ(ScaleByType(14, 12.0f, 2.0f, 3.0f, kUp, kLater), nullopt);
  EXPECT_EQ(ScaleByType(0xFFFFFFFE, 12.0f, 2.0f, 3.0f, kUp, kLater), nullopt);
}

TEST(ScalingTable, StoredIntegersRoundAreasAndTruncateDurations) {
  using qx::papyrus::RoundToInt32;
  using qx::papyrus::TruncateToUnsigned;
  EXPECT_EQ(RoundToInt32(2.5f), 3u);
  EXPECT_EQ(RoundToInt32(2.4f), 2u);
  EXPECT_EQ(RoundToInt32(-2.5f), static_cast<std::uint32_t>(-3));
  EXPECT_EQ(RoundToInt32(3e9f), 0u);
  EXPECT_EQ(RoundToInt32(std::numeric_limits<float>::quiet_NaN()), 0u);
  EXPECT_EQ(TruncateToUnsigned(2.9f), 2u);
  EXPECT_EQ(TruncateToUnsigned(3e9f), 3000000000u);
  EXPECT_EQ(TruncateToUnsigned(-1.0f), 0xFFFFFFFFu);
  EXPECT_EQ(TruncateToUnsigned(std::numeric_limits<float>::infinity()), 0u);
  EXPECT_EQ(TruncateToUnsigned(5e9f), 0u);  // beyond 32 bits: 0, as for int arguments
  EXPECT_EQ(TruncateToUnsigned(-3e9f), 0u);
  // Script values as numbers.
  EXPECT_EQ(ScriptNumber::Float(-1.7f).AsUnsigned(), 0xFFFFFFFFu);
  EXPECT_EQ(ScriptNumber::Int(-1).AsUnsigned(), 0xFFFFFFFFu);
  EXPECT_EQ(ScriptNumber::Bool(true).AsFloat(), 1.0f);
  EXPECT_EQ(ScriptNumber::Other().AsFloat(), 0.0f);
  EXPECT_EQ(ScriptNumber::Int(4).AsFloat(), 4.0f);
}

// An actor with an ability of a stack counter and two scalable effects.
class ScaleAbility : public qxtest::GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    actor = sim::NewActor(0x100);
    counter = sim::NewMagicEffect(0x801);
    strength = sim::NewMagicEffect(0x802);
    speed = sim::NewMagicEffect(0x803);
    spell = sim::NewSpell(0x900, qx::game::kSpellType_Ability,
                          {sim::EffectItemValues{0.0f, 0, 0, counter, 1},
                           sim::EffectItemValues{10.0f, 4, 30, strength, 2},
                           sim::EffectItemValues{5.0f, 0, 60, speed, 3}});
  }
  qxnsSKSE::ActorExtended* Extended() {
    return static_cast<qxnsSKSE::ActorExtended*>(static_cast<qx::game::Actor*>(actor));
  }
  bool Scale(const ScriptNumbers& options, ScalingRules magnitude, ScalingRules area = {},
             ScalingRules duration = {}) {
    return qx::papyrus::ScaleAbilityEffects(Extended(), spell, &options, magnitude, area, duration);
  }
  // Magnitudes of the actor's active effects of the spell, in list order.
  std::vector<float> Magnitudes() {
    std::vector<float> m;
    for (auto* e : actor->ActiveEffects()) m.push_back(e->magnitude);
    return m;
  }
  void ExpectSpellRestored() {
    EXPECT_EQ(spell->effects[0]->magnitude, 0.0f);
    EXPECT_EQ(spell->effects[1]->magnitude, 10.0f);
    EXPECT_EQ(spell->effects[1]->area, 4u);
    EXPECT_EQ(spell->effects[1]->duration, 30u);
    EXPECT_EQ(spell->effects[2]->magnitude, 5.0f);
    EXPECT_EQ(spell->effects[2]->duration, 60u);
  }

  sim::SimActor* actor = nullptr;
  sim::SimMagicEffect* counter = nullptr;
  sim::SimMagicEffect* strength = nullptr;
  sim::SimMagicEffect* speed = nullptr;
  sim::SimSpell* spell = nullptr;
};

ScriptNumbers Floats(std::initializer_list<float> values) {
  ScriptNumbers n;
  for (float v : values) n.push_back(ScriptNumber::Float(v));
  return n;
}
ScriptNumbers Ints(std::initializer_list<std::int32_t> values) {
  ScriptNumbers n;
  for (auto v : values) n.push_back(ScriptNumber::Int(v));
  return n;
}

TEST_F(ScaleAbility, AddingStackingAndEmptyingAStack) {
  ScriptNumbers types = Ints({6, 11});  // strength × E on the way up, speed × V
  ScriptNumbers operands = Floats({0.0f, 2.0f});
  ScriptNumbers add = Floats({1.0f, 1.0f, 0.0f, 3.0f, 0.0f, 0.0f});

  EXPECT_FALSE(Scale(add, {&types, &operands}));
  EXPECT_EQ(Magnitudes(), (std::vector<float>{1.0f, 30.0f, 10.0f}));  // from the saved values
  ExpectSpellRestored();

  EXPECT_FALSE(Scale(add, {&types, &operands}));  // from the current values
  EXPECT_EQ(Magnitudes(), (std::vector<float>{2.0f, 90.0f, 20.0f}));
  ExpectSpellRestored();

  ScriptNumbers remove = Floats({-1.0f, 0.0f, 1.0f, 3.0f, 0.0f, 0.0f});
  EXPECT_FALSE(Scale(remove, {&types, &operands}));
  EXPECT_EQ(Magnitudes(), (std::vector<float>{1.0f, 30.0f, 10.0f}));
  EXPECT_TRUE(Scale(remove, {&types, &operands}));
  EXPECT_TRUE(actor->ActiveEffects().empty());
  EXPECT_TRUE(actor->spells.empty()) << "left removed when asked";
  ExpectSpellRestored();
}

TEST_F(ScaleAbility, AnEmptiedStackComesBackUnlessAskedToStayRemoved) {
  ScriptNumbers add = Floats({1.0f, 1.0f, 0.0f});
  Scale(add, {});
  EXPECT_TRUE(Scale(Floats({-1.0f, 0.0f, 0.0f}), {}));
  EXPECT_EQ(Magnitudes(), (std::vector<float>{0.0f, 10.0f, 5.0f}));
}

TEST_F(ScaleAbility, AreasRoundAndDurationsTruncate) {
  ScriptNumbers keepThenScale = Ints({-1, 11});
  ScriptNumbers factors = Floats({0.0f, 0.999f});
  ScriptNumbers areaTypes = Ints({9});
  ScriptNumbers areaValues = Floats({2.5f});
  EXPECT_FALSE(Scale(Floats({1.0f, 1.0f, 0.0f}), {&keepThenScale, &factors}, {&areaTypes, &areaValues},
                     {&keepThenScale, &factors}));
  // What the game saw when the spell was added back.
  ASSERT_EQ(actor->itemsAtAdd.size(), 1u);
  const auto& added = actor->itemsAtAdd[0];
  EXPECT_EQ(added[1].magnitude, 10.0f);
  EXPECT_EQ(added[1].area, 3u);
  EXPECT_EQ(added[1].duration, 30u);
  EXPECT_FLOAT_EQ(added[2].magnitude, 5.0f * 0.999f);
  EXPECT_EQ(added[2].area, 0u);
  EXPECT_EQ(added[2].duration, 59u);  // 59.94 truncated
  ExpectSpellRestored();
}

TEST_F(ScaleAbility, NotStackableScalesFromTheFirstEffect) {
  spell = sim::NewSpell(0x901, qx::game::kSpellType_Ability,
                        {sim::EffectItemValues{10.0f, 0, 0, strength, 2}, sim::EffectItemValues{5.0f, 0, 0, speed, 3}});
  ScriptNumbers types = Ints({10, 0});
  ScriptNumbers operands = Floats({4.0f, 7.0f});
  EXPECT_FALSE(Scale(Floats({0.0f, 1.0f, 0.0f}), {&types, &operands}));
  EXPECT_EQ(Magnitudes(), (std::vector<float>{14.0f, 7.0f}));
}

TEST_F(ScaleAbility, AnEffectWithoutActiveEffectScalesFromItsSavedValues) {
  ScriptNumbers types = Ints({10, 10});
  ScriptNumbers operands = Floats({1.0f, 1.0f});
  ScriptNumbers add = Floats({1.0f, 1.0f, 0.0f});
  Scale(add, {&types, &operands});
  actor->ActiveEffects()[2]->flags |= qx::game::kActiveEffectFlag_Ignored;
  Scale(add, {&types, &operands});
  EXPECT_EQ(Magnitudes(), (std::vector<float>{2.0f, 12.0f, 6.0f}));
}

TEST_F(ScaleAbility, RejectedCallsLogAndLeaveTheActorAlone) {
  auto lines = qxtest::LoggedLines([&] {
    EXPECT_TRUE(Scale(Floats({1.0f, 0.0f, 0.0f, 0.0f}), {}));
    EXPECT_TRUE(Scale(Floats({1.0f, 0.0f, 0.0f}), {}));  // actor lacks the spell
    EXPECT_TRUE(qx::papyrus::ScaleAbilityEffects(Extended(), spell, nullptr, {}, {}, {}));
  });
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "QX Scale Ability Effects: parameters array must contain exactly 3 or 6 elements; received 4",
                       "QX Scale Ability Effects: actor FF000800 does not have spell 00000900",
                       "QX Scale Ability Effects: parameters array must contain exactly 3 or 6 elements; received 0",
                   }));
  EXPECT_TRUE(actor->spells.empty());

  sim::SimSpell* single = sim::NewSpell(0x902, qx::game::kSpellType_Ability, {sim::EffectItemValues{}});
  sim::SimSpell* power = sim::NewSpell(0x903, 3, {sim::EffectItemValues{}});
  lines = qxtest::LoggedLines([&] {
    ScriptNumbers add = Floats({1.0f, 1.0f, 0.0f});
    EXPECT_TRUE(qx::papyrus::ScaleAbilityEffects(Extended(), single, &add, {}, {}, {}));
    EXPECT_TRUE(qx::papyrus::ScaleAbilityEffects(Extended(), power, &add, {}, {}, {}));
  });
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "QX Scale Ability Effects: stackable spell 00000902 does not contain at least two effects",
                       "QX Scale Ability Effects: spell 00000903 is not an ability; received 3",
                   }));
}

TEST_F(ScaleAbility, WithoutAnEffectListTheSpellIsRemoved) {
  Scale(Floats({0.0f, 1.0f, 0.0f}), {});
  actor->hasEffectList = false;
  auto lines = qxtest::LoggedLines([&] { EXPECT_TRUE(Scale(Floats({0.0f, 1.0f, 0.0f}), {})); });
  EXPECT_EQ(lines, (std::vector<std::string>{"QX Scale Ability Effects: actor FF000800 has invalid "
                                             "effect list (normal for NPC area transition)"}));
  EXPECT_TRUE(actor->spells.empty());
}

TEST_F(ScaleAbility, IllegalTypesAreLoggedAndKeepTypesLeaveTheValue) {
  ScriptNumbers types = Ints({14, -1});
  ScriptNumbers operands = Floats({9.0f, 9.0f});
  auto lines = qxtest::LoggedLines([&] { Scale(Floats({1.0f, 1.0f, 0.0f}), {&types, &operands}); });
  EXPECT_EQ(lines, (std::vector<std::string>{"QX Scale Ability Effects: illegal scale type 14"}));
  EXPECT_EQ(Magnitudes(), (std::vector<float>{1.0f, 10.0f, 5.0f}));
}

// A second script scales the same ability on another actor while the first call is adding
// it back with its effect items scaled: the second call starts from the spell's own values,
// and the spell keeps them once both are done.
std::mutex gOrderLock;
std::condition_variable gOrderChanged;
bool gSecondWaiting = false;
bool gSecondDone = false;
std::function<void()> gSecondCall;
std::thread gSecondThread;

void NoteSecondWaiting() {
  std::lock_guard<std::mutex> lock(gOrderLock);
  gSecondWaiting = true;
  gOrderChanged.notify_all();
}

// Starts the second call and returns once it has finished or waits for the first.
void StartSecondCallDuringAdd(sim::SimActor*, qx::game::SpellItem*) {
  sim::gOnAddSpell = nullptr;
  gSecondThread = std::thread([] {
    gSecondCall();
    std::lock_guard<std::mutex> lock(gOrderLock);
    gSecondDone = true;
    gOrderChanged.notify_all();
  });
  std::unique_lock<std::mutex> lock(gOrderLock);
  gOrderChanged.wait(lock, [] { return gSecondWaiting || gSecondDone; });
}

TEST_F(ScaleAbility, ASecondCallDuringTheFirstScalesFromTheSpellsOwnValues) {
  sim::SimSpell* doubled = sim::NewSpell(0x904, qx::game::kSpellType_Ability,
                                         {sim::EffectItemValues{10.0f, 2, 30, strength, 2}});
  sim::SimActor* other = sim::NewActor(0x101, 0xFF000801);
  auto* otherExtended = static_cast<qxnsSKSE::ActorExtended*>(static_cast<qx::game::Actor*>(other));
  ScriptNumbers times = Ints({11});
  ScriptNumbers two = Floats({2.0f});
  ScriptNumbers addIfMissing = Floats({0.0f, 1.0f, 0.0f});
  bool secondResult = true;
  gSecondCall = [&] {
    secondResult = qx::papyrus::ScaleAbilityEffects(otherExtended, doubled, &addIfMissing, {&times, &two},
                                                    {&times, &two}, {});
  };
  qx::papyrus::gOnScalingBusy = &NoteSecondWaiting;
  sim::gOnAddSpell = &StartSecondCallDuringAdd;
  EXPECT_FALSE(qx::papyrus::ScaleAbilityEffects(Extended(), doubled, &addIfMissing, {&times, &two},
                                                {&times, &two}, {}));
  ASSERT_TRUE(gSecondThread.joinable()) << "the second call ran during the first";
  gSecondThread.join();
  qx::papyrus::gOnScalingBusy = nullptr;
  EXPECT_FALSE(secondResult);

  for (sim::SimActor* who : {actor, other}) {
    ASSERT_EQ(who->itemsAtAdd.size(), 1u);
    EXPECT_EQ(who->itemsAtAdd[0][0].magnitude, 20.0f) << std::hex << who->formID;
    EXPECT_EQ(who->itemsAtAdd[0][0].area, 4u) << std::hex << who->formID;
  }
  EXPECT_EQ(doubled->effects[0]->magnitude, 10.0f);
  EXPECT_EQ(doubled->effects[0]->area, 2u);
  EXPECT_EQ(doubled->effects[0]->duration, 30u);
}

class ActiveEffectReads : public qxtest::GameTest {};

TEST_F(ActiveEffectReads, CountStopsAtTheFirstNullItemButKeywordsLookFurther) {
  sim::SimActor* actor = sim::NewActor(0x100);
  auto* extended = static_cast<qxnsSKSE::ActorExtended*>(static_cast<qx::game::Actor*>(actor));
  qx::game::BGSKeyword* fire = sim::NewEffectKeyword(0x501);
  qx::game::BGSKeyword* frost = sim::NewEffectKeyword(0x502);
  sim::SimMagicEffect* burning = sim::NewMagicEffect(0x801, {fire});
  sim::SimSpell* spell = sim::NewSpell(0x900, 0, {sim::EffectItemValues{1.0f, 0, 0, burning, 1},
                                                  sim::EffectItemValues{1.0f, 0, 0, nullptr, 2}});
  auto* a = sim::NewActiveEffect(spell, spell->effects[0]);
  auto* b = sim::NewActiveEffect(spell, spell->effects[1]);
  auto* c = sim::NewActiveEffect(spell, nullptr);
  auto* d = sim::NewActiveEffect(spell, spell->effects[0]);
  actor->SetActiveEffects({a, b, c, nullptr, d});

  EXPECT_EQ(qx::papyrus::GetNumActiveEffects(extended), 3u);
  EXPECT_EQ(qx::papyrus::GetNthActiveEffect(extended, 2), c);
  EXPECT_EQ(qx::papyrus::GetNthActiveEffect(extended, 3), nullptr);
  EXPECT_EQ(qx::papyrus::GetNthActiveEffect(extended, -1), nullptr);
  EXPECT_EQ(qx::papyrus::GetAllActiveEffects(extended), (std::vector<qx::game::ActiveEffect*>{a, b, c}));
  EXPECT_EQ(qx::papyrus::GetEffectKeywordCount(extended, fire), 2u);
  EXPECT_EQ(qx::papyrus::GetEffectKeywordCount(extended, frost), 0u);

  actor->SetActiveEffects({});
  EXPECT_EQ(qx::papyrus::GetNumActiveEffects(extended), 0u);
  EXPECT_TRUE(qx::papyrus::GetAllActiveEffects(extended).empty());
  actor->hasEffectList = false;
  actor->SetActiveEffects({a});
  EXPECT_EQ(qx::papyrus::GetNumActiveEffects(extended), 0u);
  EXPECT_EQ(qx::papyrus::GetEffectKeywordCount(extended, fire), 0u);
  EXPECT_EQ(qx::papyrus::GetNumActiveEffects(nullptr), 0u);
  EXPECT_EQ(qx::papyrus::GetNthActiveEffect(nullptr, 0), nullptr);
}

}  // namespace
