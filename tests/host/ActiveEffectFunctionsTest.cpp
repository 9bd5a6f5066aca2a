// QXAEUtil and QXAVPF called through their run slots as scripts call them, on actors,
// spells and active effects of the simulated game.
#include <algorithm>
#include <cstdio>
#include <thread>

#include "sim/Actors.h"
#include "sim/Magic.h"
#include "tests/host/PapyrusFixture.h"

namespace {

using namespace qxtest;
using qx::papyrus::kType_Bool;
using qx::papyrus::kType_Float;
using qx::papyrus::kType_FloatArray;
using qx::papyrus::kType_Int;
using qx::papyrus::kType_IntArray;
using qx::papyrus::kType_None;
using Lines = std::vector<std::string>;

constexpr std::uint32_t kActorType = 0x3E, kKeywordType = 0x04, kSpellType = 0x16, kEffectType = 0x8B;

// A pointer as the log writes it.
std::string PointerText(const void* p) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(p)));
  return text;
}

ScriptValue ActorValue(sim::SimActor* actor) { return Vm::Object(static_cast<qx::game::Actor*>(actor), kActorType); }

ScriptValue Call(const std::string& function, const std::vector<ScriptValue>& arguments) {
  return Vm::CallNative("QXAEUtil", function, arguments);
}

std::uint32_t IntCall(const std::string& function, const std::vector<ScriptValue>& arguments) {
  ScriptValue result = Call(function, arguments);
  EXPECT_EQ(result.type, kType_Int) << function;
  return result.data;
}

// The game objects of an object-array result, in order; {} for none.
std::vector<void*> ObjectsOf(ScriptValue result) {
  std::vector<void*> objects;
  if (result.type == kType_None) return objects;
  auto* array = static_cast<qx::papyrus::ScriptArrayData*>(result.Pointer());
  for (std::uint32_t i = 0; i < array->count; ++i) objects.push_back(Vm::GameObjectOf(*array->At(i)));
  Vm::Release(result);
  return objects;
}

TEST(ActiveEffectFunctions, ClassesAreRegisteredWithTheirScriptTypesAndLogLines) {
  ASSERT_TRUE(BootWithSettings("[general]\nenableavpercentfix=1\n").loaded);
  const std::uint32_t actor = ClassCode(kActorType), keyword = ClassCode(kKeywordType),
                      spell = ClassCode(kSpellType), effect = ClassCode(kEffectType);
  ASSERT_NE(actor, 0u);
  ASSERT_NE(effect, 0u);
  struct Expected {
    const char* className;
    const char* name;
    std::vector<std::uint32_t> parameters;
    std::uint32_t result;
  };
  const Expected expected[] = {
      {"QXAEUtil", "GetNumActiveEffects", {actor}, kType_Int},
      {"QXAEUtil", "GetNthActiveEffect", {actor, kType_Int}, effect},
      {"QXAEUtil", "GetAllActiveEffects", {actor}, effect | 1},
      {"QXAEUtil", "GetEffectKeywordCount", {actor, keyword}, kType_Int},
      {"QXAEUtil", "ScaleAbilityEffects",
       {actor, spell, kType_FloatArray, kType_IntArray, kType_FloatArray, kType_IntArray,
        kType_FloatArray, kType_IntArray, kType_FloatArray},
       kType_Bool},
      {"QXAVPF", "GetAVModifier", {actor, kType_Int, qx::papyrus::kType_String}, kType_Float},
  };
  for (const Expected& e : expected) {
    sim::IFunction* function = Vm::FindFunction(e.className, e.name);
    ASSERT_NE(function, nullptr) << e.name;
    EXPECT_EQ(function->resultType, e.result) << e.name;
    ASSERT_EQ(function->parameterCount, e.parameters.size()) << e.name;
    for (std::size_t i = 0; i < e.parameters.size(); ++i) {
      EXPECT_EQ(function->parameters[i].type, e.parameters[i]) << e.name << " parameter " << i;
    }
  }
  // QXAEUtil's five in table order, registered after QXStringUtil.
  std::vector<std::string> order;
  for (sim::IFunction* f : Vm::RegisteredFunctions()) {
    std::string className = f->className.data;
    if (className == "QXAEUtil") order.push_back(f->name.data);
  }
  EXPECT_EQ(order, (Lines{"GetNumActiveEffects", "GetNthActiveEffect", "GetAllActiveEffects",
                          "GetEffectKeywordCount", "ScaleAbilityEffects"}));
  Lines registered = LinesStartingWith(LogLines(), "QX Papyrus: registered ");
  ASSERT_GE(registered.size(), 3u);
  EXPECT_EQ(registered.front(), "QX Papyrus: registered actor value percentage fix functions");
  auto strings = std::find(registered.begin(), registered.end(), "QX Papyrus: registered string utils functions");
  ASSERT_NE(strings, registered.end());
  ASSERT_NE(strings + 1, registered.end());
  EXPECT_EQ(strings[1], "QX Papyrus: registered actor effects functions");
}

TEST(ActiveEffectFunctions, QXAVPFIsAbsentWithoutTheActorValueFix) {
  ASSERT_TRUE(BootWithSettings("[general]\nenableavpercentfix=0\n").loaded);
  EXPECT_EQ(Vm::FindFunction("QXAVPF", "GetAVModifier"), nullptr);
  EXPECT_NE(Vm::FindFunction("QXAEUtil", "GetNumActiveEffects"), nullptr);
  Lines lines = LogLines();
  EXPECT_FALSE(HasLine(lines, "QX Papyrus: registered actor value percentage fix functions"));
  EXPECT_TRUE(HasLine(lines, "QX Papyrus: registered actor effects functions"));
}

TEST(ActiveEffectFunctions, GetAVModifierReadsAnyKindByName) {
  ASSERT_TRUE(BootWithSettings("[general]\nenableavpercentfix=1\n").loaded);
  sim::SimActor* actor = sim::NewActor(0x7);
  actor->SetModifier(1, qx::game::kActorValue_Health, 25.0f);
  actor->SetModifier(2, qx::game::kActorValue_Health, -3.5f);
  auto modifier = [&](ScriptValue who, std::int32_t kind, const char* name) {
    ScriptValue result = Vm::CallNative("QXAVPF", "GetAVModifier", {who, Vm::Int(kind), Vm::String(name)});
    EXPECT_EQ(result.type, kType_Float);
    return Vm::FloatOf(result);
  };
  EXPECT_EQ(modifier(ActorValue(actor), 1, "Health"), 25.0f);
  EXPECT_EQ(modifier(ActorValue(actor), 2, "Health"), -3.5f);
  EXPECT_EQ(modifier(ActorValue(actor), 1, "Magicka"), 0.0f);
  EXPECT_EQ(modifier(ActorValue(actor), 1, "NoSuchValue"), 0.0f);
  int reads = actor->modifierReads;
  EXPECT_EQ(modifier(Vm::None(), 1, "Health"), 0.0f);
  ScriptValue notAString = Vm::CallNative("QXAVPF", "GetAVModifier", {ActorValue(actor), Vm::Int(1), Vm::Int(5)});
  EXPECT_EQ(Vm::FloatOf(notAString), 0.0f);
  EXPECT_EQ(actor->modifierReads, reads) << "nothing read without actor or name";
}

// An actor whose list holds three effects, then a null item, then one more effect.
class ActiveEffectReads : public testing::Test {
 protected:
  void SetUp() override {
    BootForScripts();
    fire = sim::NewEffectKeyword(0x501);
    frost = sim::NewEffectKeyword(0x502);
    sim::SimMagicEffect* burning = sim::NewMagicEffect(0x801, {fire});
    sim::SimMagicEffect* chilling = sim::NewMagicEffect(0x802, {frost, fire});
    sim::SimSpell* spell = sim::NewSpell(0x900, 0, {sim::EffectItemValues{1.0f, 0, 0, burning, 1},
                                                    sim::EffectItemValues{1.0f, 0, 0, chilling, 2},
                                                    sim::EffectItemValues{1.0f, 0, 0, nullptr, 3}});
    a = sim::NewActiveEffect(spell, spell->effects[0]);
    b = sim::NewActiveEffect(spell, spell->effects[2]);
    c = sim::NewActiveEffect(spell, nullptr);
    d = sim::NewActiveEffect(spell, spell->effects[1]);
    // The game gives every active effect a handle scripts can hold.
    for (void* effect : {a, b, c, d}) Vm::Adopt(effect, kEffectType);
    actor = sim::NewActor(0x100);
    actor->SetActiveEffects({a, b, c, nullptr, d});
  }

  qx::game::BGSKeyword* fire = nullptr;
  qx::game::BGSKeyword* frost = nullptr;
  sim::SimActiveEffect *a = nullptr, *b = nullptr, *c = nullptr, *d = nullptr;
  sim::SimActor* actor = nullptr;
};

TEST_F(ActiveEffectReads, CountedPartEndsAtTheFirstNullItem) {
  EXPECT_EQ(IntCall("GetNumActiveEffects", {ActorValue(actor)}), 3u);
  EXPECT_EQ(Vm::GameObjectOf(Call("GetNthActiveEffect", {ActorValue(actor), Vm::Int(1)})), b);
  EXPECT_EQ(Call("GetNthActiveEffect", {ActorValue(actor), Vm::Int(3)}).type, kType_None);
  EXPECT_EQ(Call("GetNthActiveEffect", {ActorValue(actor), Vm::Int(-1)}).type, kType_None);
  EXPECT_EQ(ObjectsOf(Call("GetAllActiveEffects", {ActorValue(actor)})), (std::vector<void*>{a, b, c}));
}

TEST_F(ActiveEffectReads, KeywordsAreCountedOverTheWholeList) {
  EXPECT_EQ(IntCall("GetEffectKeywordCount", {ActorValue(actor), Vm::Object(fire, kKeywordType)}), 2u);
  EXPECT_EQ(IntCall("GetEffectKeywordCount", {ActorValue(actor), Vm::Object(frost, kKeywordType)}), 1u);
  EXPECT_EQ(IntCall("GetEffectKeywordCount", {ActorValue(actor), Vm::None()}), 0u);
}

// Two script threads fetch the same effect at once: each result reuses the effect's one
// identifier, and once every result is dropped its use count and handle references are back.
TEST_F(ActiveEffectReads, TwoThreadsPackingAndDroppingTheSameIdentifier) {
  ScriptValue held = Vm::Object(b, kEffectType);
  auto* id = static_cast<qx::papyrus::ScriptObjectId*>(held.Pointer());
  const std::uint32_t uses = Vm::UseCount(id);
  const std::int32_t references = Vm::HandleReferences(Vm::HandleOf(b));
  auto fetch = [&] {
    for (int i = 0; i < 1000; ++i) {
      ScriptValue result = Call("GetNthActiveEffect", {ActorValue(actor), Vm::Int(1)});
      if (result.Pointer() != id) ADD_FAILURE() << "another identifier for the same effect";
      Vm::Release(result);
    }
  };
  std::thread first(fetch), second(fetch);
  first.join();
  second.join();
  EXPECT_EQ(Vm::UseCount(id), uses);
  EXPECT_EQ(id->lockWord & qx::papyrus::kIdentifierLocked, 0u);
  EXPECT_EQ(Vm::HandleReferences(Vm::HandleOf(b)), references);
  Vm::Release(held);
}

TEST_F(ActiveEffectReads, NoActorNoListOrAnEmptyListReadAsNothing) {
  sim::SimActor* empty = sim::NewActor(0x101);
  sim::SimActor* transit = sim::NewActor(0x102);
  transit->hasEffectList = false;
  for (ScriptValue who : {Vm::None(), ActorValue(empty), ActorValue(transit)}) {
    EXPECT_EQ(IntCall("GetNumActiveEffects", {who}), 0u);
    EXPECT_EQ(Call("GetNthActiveEffect", {who, Vm::Int(0)}).type, kType_None);
    EXPECT_EQ(Call("GetAllActiveEffects", {who}).type, kType_None);
    EXPECT_EQ(IntCall("GetEffectKeywordCount", {who, Vm::Object(fire, kKeywordType)}), 0u);
  }
}

// An ability of a stack counter and two scalable effects, on an actor without it.
class ScaleAbilityThroughTheVm : public testing::Test {
 protected:
  void SetUp() override {
    BootForScripts();
    actor = sim::NewActor(0x100);
    spell = sim::NewSpell(0x900, qx::game::kSpellType_Ability,
                          {sim::EffectItemValues{0.0f, 0, 0, sim::NewMagicEffect(0x801), 1},
                           sim::EffectItemValues{10.0f, 4, 30, sim::NewMagicEffect(0x802), 2},
                           sim::EffectItemValues{5.0f, 0, 60, sim::NewMagicEffect(0x803), 3}});
  }

  static ScriptValue Floats(const std::vector<ScriptValue>& elements) {
    return Vm::Array(kType_FloatArray, elements);
  }
  static ScriptValue Ints(std::initializer_list<std::int32_t> values) {
    std::vector<ScriptValue> elements;
    for (auto v : values) elements.push_back(Vm::Int(v));
    return Vm::Array(kType_IntArray, elements);
  }
  // Magnitude types 6 then 11 (strength × E up, speed × V), operands (0, 2); no area or
  // duration rules.
  bool Scale(const std::vector<ScriptValue>& options) {
    ScriptValue result =
        Vm::CallNative("QXAEUtil", "ScaleAbilityEffects",
                       {ActorValue(actor), Vm::Object(spell, kSpellType), Floats(options), Ints({6, 11}),
                        Floats({Vm::Float(0.0f), Vm::Float(2.0f)}), Vm::None(), Vm::None(),
                        Ints({}), Vm::None()});
    EXPECT_EQ(result.type, kType_Bool);
    return result.data != 0;
  }
  std::vector<float> Magnitudes() const {
    std::vector<float> m;
    for (auto* e : actor->ActiveEffects()) m.push_back(e->magnitude);
    return m;
  }
  void ExpectSpellRestored() const {
    EXPECT_EQ(spell->effects[0]->magnitude, 0.0f);
    EXPECT_EQ(spell->effects[1]->magnitude, 10.0f);
    EXPECT_EQ(spell->effects[1]->area, 4u);
    EXPECT_EQ(spell->effects[1]->duration, 30u);
    EXPECT_EQ(spell->effects[2]->magnitude, 5.0f);
    EXPECT_EQ(spell->effects[2]->duration, 60u);
  }

  sim::SimActor* actor = nullptr;
  sim::SimSpell* spell = nullptr;
};

TEST_F(ScaleAbilityThroughTheVm, AddingStackingAndEmptyingAStack) {
  // Options as a script may write them: ints and bools read as numbers.
  std::vector<ScriptValue> add{Vm::Int(1), Vm::Bool(true), Vm::Float(0.0f),
                               Vm::Float(3.0f), Vm::Float(0.0f), Vm::Float(0.0f)};
  EXPECT_FALSE(Scale(add));
  EXPECT_EQ(Magnitudes(), (std::vector<float>{1.0f, 30.0f, 10.0f})) << "from the spell's own values";
  ExpectSpellRestored();

  EXPECT_FALSE(Scale(add));
  EXPECT_EQ(Magnitudes(), (std::vector<float>{2.0f, 90.0f, 20.0f})) << "from the active effects";
  ExpectSpellRestored();

  std::vector<ScriptValue> remove{Vm::Float(-1.0f), Vm::Float(0.0f), Vm::Float(1.0f),
                                  Vm::Float(3.0f), Vm::Float(0.0f), Vm::Float(0.0f)};
  EXPECT_FALSE(Scale(remove));
  EXPECT_EQ(Magnitudes(), (std::vector<float>{1.0f, 30.0f, 10.0f}));
  EXPECT_TRUE(Scale(remove)) << "the stack emptied";
  EXPECT_TRUE(actor->ActiveEffects().empty());
  EXPECT_TRUE(actor->spells.empty()) << "left removed when asked";
  ExpectSpellRestored();
}

// The table's sums run left to right in single precision: 100 + 0.3 + 0.3 is 100.600006,
// where 100 + (0.3 + 0.3) would be 100.599998.
TEST_F(ScaleAbilityThroughTheVm, SumsAddOneTermAtATime) {
  sim::SimSpell* single = sim::NewSpell(0x905, qx::game::kSpellType_Ability,
                                        {sim::EffectItemValues{100.0f, 0, 0, sim::NewMagicEffect(0x804), 1}});
  std::vector<ScriptValue> options{Vm::Float(0.0f), Vm::Float(1.0f), Vm::Float(0.0f),
                                   Vm::Float(0.3f), Vm::Float(0.0f), Vm::Float(0.0f)};
  ScriptValue result = Vm::CallNative(
      "QXAEUtil", "ScaleAbilityEffects",
      {ActorValue(actor), Vm::Object(single, kSpellType), Floats(options), Ints({1}), Floats({Vm::Float(0.3f)}),
       Vm::None(), Vm::None(), Vm::None(), Vm::None()});
  EXPECT_EQ(result.data, 0u);
  ASSERT_EQ(actor->ActiveEffects().size(), 1u);
  EXPECT_EQ(actor->ActiveEffects()[0]->magnitude, 100.600006f);
  EXPECT_EQ(single->effects[0]->magnitude, 100.0f);
}

// Two scripts scale the same ability on two actors at once, again and again: each actor
// gets the scaled effect and the spell keeps its own values.
TEST_F(ScaleAbilityThroughTheVm, TwoThreadsScalingOneSpellLeaveItAsItWas) {
  sim::SimActor* other = sim::NewActor(0x101, 0xFF000801);
  const ScriptValue options = Floats({Vm::Float(0.0f), Vm::Float(1.0f), Vm::Float(0.0f)});
  const ScriptValue types = Ints({-1, 9});  // effect 1's magnitude becomes the operand
  const ScriptValue operands = Floats({Vm::Float(0.0f), Vm::Float(20.0f)});
  auto arguments = [&](sim::SimActor* who) {
    return std::vector<ScriptValue>{ActorValue(who), Vm::Object(spell, kSpellType), options, types, operands,
                                    Vm::None(), Vm::None(), Vm::None(), Vm::None()};
  };
  auto scaleOften = [](const std::vector<ScriptValue>& call) {
    for (int i = 0; i < 300; ++i) {
      ScriptValue result = Vm::CallNative("QXAEUtil", "ScaleAbilityEffects", call);
      if (result.type != kType_Bool || result.data != 0) ADD_FAILURE() << "call " << i;
    }
  };
  std::thread first(scaleOften, arguments(actor)), second(scaleOften, arguments(other));
  first.join();
  second.join();
  ExpectSpellRestored();
  for (sim::SimActor* who : {actor, other}) {
    std::vector<float> magnitudes;
    for (auto* e : who->ActiveEffects()) magnitudes.push_back(e->magnitude);
    EXPECT_EQ(magnitudes, (std::vector<float>{0.0f, 20.0f, 5.0f}));
  }
}

TEST_F(ScaleAbilityThroughTheVm, RejectedCallsAnswerTrueAndLeaveTheActorAlone) {
  EXPECT_TRUE(Scale({Vm::Float(1.0f), Vm::Float(1.0f), Vm::Float(0.0f), Vm::Float(0.0f)}));
  ScriptValue noOptions = Vm::CallNative(
      "QXAEUtil", "ScaleAbilityEffects",
      {ActorValue(actor), Vm::Object(spell, kSpellType), Vm::None(), Vm::None(), Vm::None(),
       Vm::None(), Vm::None(), Vm::None(), Vm::None()});
  EXPECT_EQ(noOptions.data, 1u);
  ScriptValue noActor = Vm::CallNative(
      "QXAEUtil", "ScaleAbilityEffects",
      {Vm::None(), Vm::Object(spell, kSpellType), Floats({Vm::Float(0), Vm::Float(1), Vm::Float(0)}),
       Vm::None(), Vm::None(), Vm::None(), Vm::None(), Vm::None(), Vm::None()});
  EXPECT_EQ(noActor.data, 1u);
  EXPECT_TRUE(actor->spells.empty());
  Lines lines = LinesStartingWith(LogLines(), "QX Scale Ability Effects: ");
  EXPECT_EQ(lines, (Lines{
                       "QX Scale Ability Effects: parameters array must contain exactly 3 or 6 elements; received 4",
                       "QX Scale Ability Effects: parameters array must contain exactly 3 or 6 elements; received 0",
                       "QX Scale Ability Effects: invalid spell " + PointerText(spell) + " or actor 00000000",
                   }));
}

}  // namespace
