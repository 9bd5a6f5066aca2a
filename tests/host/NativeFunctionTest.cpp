// The native-function objects the plugin hands the VM: their layout, their 23 operations,
// their destructor, and how their run slot converts what scripts pass.
#include <cstring>
#include <limits>

#include "sim/Actors.h"
#include "sim/Books.h"
#include "sim/Forms.h"
#include "sim/Magic.h"
#include "tests/host/PapyrusFixture.h"

namespace {

using namespace qxtest;
using namespace qx::papyrus;

struct Expected {
  const char* name;
  std::vector<std::uint32_t> parameters;
  std::uint32_t result;
};

const std::vector<Expected> kStringUtil = {
    {"Split", {2, 2}, 12},
    {"GetPlaceableTypeTag", {3}, 2},
    {"IsCustomObjectHex", {2}, 5},
    {"IsCustomObjectDec", {3}, 5},
    {"GetModIndex", {2}, 3},
    {"ResolveLoadIndependentForm", {2}, 3},
    {"GetLoadIndependentFormHex", {2}, 2},
    {"GetLoadIndependentFormDec", {3}, 2},
    {"ResolveLoadIndependentFormAllowCustom", {2}, 3},
    {"GetLoadIndependentFormHexAllowCustom", {2}, 2},
    {"GetLoadIndependentFormDecAllowCustom", {3}, 2},
    {"FormToHex", {3}, 2},
    {"DecToHex", {3, 3}, 2},
    {"HexToDec", {2}, 3},
    {"FormatStrArray", {12, 12, 12}, 0},
    {"FormatStr", {2, 12}, 2},
};

template <typename Fn>
Fn* SlotOf(IFunction* function, unsigned slot) {
  return reinterpret_cast<Fn*>(const_cast<void*>((*function->table)[slot]));
}

TEST(NativeFunction, RegistersEveryStringUtilFunctionInOrderWithItsTypes) {
  BootForScripts();
  const std::vector<IFunction*> functions = FunctionsOf("QXStringUtil");
  ASSERT_EQ(functions.size(), kStringUtil.size());
  EXPECT_TRUE(HasLine(LogLines(), "QX Papyrus: registered string utils functions"));
  for (std::size_t i = 0; i < functions.size(); ++i) {
    IFunction* f = functions[i];
    SCOPED_TRACE(kStringUtil[i].name);
    EXPECT_TRUE(sim::VmHeap::IsLive(f)) << "not from the game's heap";
    EXPECT_STREQ(f->name.data, kStringUtil[i].name);
    EXPECT_STREQ(f->className.data, "QXStringUtil");
    ASSERT_EQ(f->parameterCount, kStringUtil[i].parameters.size());
    for (std::size_t p = 0; p < kStringUtil[i].parameters.size(); ++p) {
      EXPECT_EQ(f->parameters[p].type, kStringUtil[i].parameters[p]);
      EXPECT_STREQ(f->parameters[p].name.data, ("arg" + std::to_string(p)).c_str());
    }
    EXPECT_EQ(f->resultType, kStringUtil[i].result);
    EXPECT_NE(f->implementation, nullptr);
    EXPECT_EQ(f->passRegistry, 0);
    // What the game's constructor set stays as it set it.
    EXPECT_EQ(f->unk04, 0x04040404u);
    EXPECT_EQ(f->unk1C, 0x1C1C);
    EXPECT_EQ(f->unk20, 1);
    EXPECT_EQ(f->unk24, 0x24242424u);
    EXPECT_STREQ(f->unk10.data, "");
    EXPECT_STREQ(f->unk28.data, "fourth");
    // Instances share slots 0..21 and differ at most in the run slot.
    for (unsigned s = 0; s < 22; ++s) EXPECT_EQ((*f->table)[s], (*functions[0]->table)[s]) << s;
  }
  auto* getModIndex = functions[4];
  auto* hexToDec = functions[13];
  EXPECT_EQ((*getModIndex->table)[22], (*hexToDec->table)[22]) << "same signature, same instance";
  EXPECT_NE((*getModIndex->table)[22], (*functions[0]->table)[22]);
}

TEST(NativeFunction, EachOperationDoesWhatTheVmExpects) {
  BootForScripts();
  IFunction* f = Vm::FindFunction("QXStringUtil", "DecToHex");
  ASSERT_NE(f, nullptr);
  using RefFn = StringCache::Ref* QX_THISCALL(IFunction*);
  using WordFn = std::uint32_t QX_THISCALL(IFunction*);
  using BoolFn = bool QX_THISCALL(IFunction*);
  EXPECT_EQ(SlotOf<RefFn>(f, 1)(f), &f->name);
  EXPECT_EQ(SlotOf<RefFn>(f, 2)(f), &f->className);
  EXPECT_EQ(SlotOf<RefFn>(f, 3)(f), &f->unk10);
  std::uint32_t type = 99;
  EXPECT_EQ((SlotOf<std::uint32_t* QX_THISCALL(IFunction*, std::uint32_t*)>(f, 4)(f, &type)), &type);
  EXPECT_EQ(type, 2u);
  EXPECT_EQ(SlotOf<WordFn>(f, 5)(f) & 0xFFFF, 2u);
  EXPECT_EQ(SlotOf<WordFn>(f, 7)(f) & 0xFFFF, 2u);
  EXPECT_TRUE(SlotOf<BoolFn>(f, 8)(f));
  EXPECT_TRUE(SlotOf<BoolFn>(f, 9)(f));  // the constructor's flag at 0x20
  EXPECT_FALSE(SlotOf<BoolFn>(f, 10)(f));
  EXPECT_EQ(SlotOf<WordFn>(f, 11)(f), 0u);
  EXPECT_EQ(SlotOf<WordFn>(f, 12)(f), 0x24242424u);
  EXPECT_EQ(SlotOf<RefFn>(f, 13)(f), &f->unk28);
  IFunction before = *f;
  SlotOf<void QX_THISCALL(IFunction*, std::uint32_t)>(f, 14)(f, 0xDEAD);
  EXPECT_EQ(std::memcmp(&before, f, sizeof before), 0);
  std::uint32_t out = 7;
  EXPECT_FALSE((SlotOf<bool QX_THISCALL(IFunction*, std::uint32_t, std::uint32_t*)>(f, 17)(f, 5, &out)));
  EXPECT_EQ(out, 0u);
  EXPECT_FALSE(SlotOf<BoolFn>(f, 19)(f));
  SlotOf<void QX_THISCALL(IFunction*, bool)>(f, 20)(f, true);
  EXPECT_EQ(f->unk21, 1);
  EXPECT_TRUE(SlotOf<BoolFn>(f, 19)(f));
  SlotOf<void QX_THISCALL(IFunction*, bool)>(f, 20)(f, false);
  EXPECT_FALSE(SlotOf<BoolFn>(f, 19)(f));
  EXPECT_TRUE(SlotOf<BoolFn>(f, 21)(f));
  // The flags are the VM's bytes: whatever it stored comes back unchanged.
  using ByteFn = std::uint8_t QX_THISCALL(IFunction*);
  f->unk20 = 0x5A;
  EXPECT_EQ(SlotOf<ByteFn>(f, 9)(f), 0x5A);
  SlotOf<void QX_THISCALL(IFunction*, std::uint32_t)>(f, 20)(f, 0x02);
  EXPECT_EQ(f->unk21, 0x02);
  EXPECT_EQ(SlotOf<ByteFn>(f, 19)(f), 0x02);
  f->unk21 = 0xC3;
  EXPECT_EQ(SlotOf<ByteFn>(f, 19)(f), 0xC3);
  f->unk20 = 1;

  // Slots 6, 15, 16 and 18 reach the game's routines with the object and arguments as
  // passed, and their result comes straight back.
  using ForwardFn = std::uint32_t QX_THISCALL(IFunction*, std::uint32_t, std::uint32_t);
  const std::pair<unsigned, std::uintptr_t> kForwards[] = {
      {6, kFunctionSlot6Host}, {15, kFunctionSlot15Host}, {16, kFunctionSlot16Host}, {18, kFunctionSlot18Host}};
  for (const auto& [slot, routine] : kForwards) {
    std::uint32_t got = SlotOf<ForwardFn>(f, slot)(f, 0x1000 + slot, 0x2000 + slot);
    EXPECT_EQ(got, static_cast<std::uint32_t>(routine) ^ (0x1000 + slot)) << slot;
    ASSERT_FALSE(Vm::ForwardedCalls().empty());
    const sim::ForwardedCall& call = Vm::ForwardedCalls().back();
    EXPECT_EQ(call.routine, routine);
    EXPECT_EQ(call.function, f);
    EXPECT_EQ(call.first, 0x1000u + slot);
    EXPECT_EQ(call.second, 0x2000u + slot);
  }
}

TEST(NativeFunction, DestructorReturnsTheObjectToTheGamesHeap) {
  BootForScripts();
  IFunction* kept = Vm::FindFunction("QXStringUtil", "HexToDec");
  IFunction* freed = Vm::FindFunction("QXStringUtil", "FormatStr");
  using DestroyFn = void* QX_THISCALL(IFunction*, std::uint32_t);
  const FunctionTable* nativeTable = kept->table;
  std::size_t freedBefore = sim::VmHeap::FreedBlocks();

  EXPECT_EQ(SlotOf<DestroyFn>(kept, 0)(kept, 0), kept);
  EXPECT_EQ(Vm::BaseDestructorCalls(), 1u);
  EXPECT_TRUE(sim::VmHeap::IsLive(kept)) << "without the free flag the memory stays";
  EXPECT_NE(kept->table, nativeTable) << "the interface's table after destruction";
  EXPECT_EQ(sim::VmHeap::FreedBlocks(), freedBefore + 1) << "only the parameter table";

  EXPECT_EQ(SlotOf<DestroyFn>(freed, 0)(freed, 1), freed);
  EXPECT_EQ(Vm::BaseDestructorCalls(), 2u);
  EXPECT_FALSE(sim::VmHeap::IsLive(freed));
  EXPECT_EQ(sim::VmHeap::FreedBlocks(), freedBefore + 3);
}

TEST(NativeFunction, AnObjectTheHeapCannotSupplyIsNeitherBuiltNorRegistered) {
  sim::Game::Start();
  sim::VmHeap::FailAllocations(sizeof(IFunction), 1);
  BootForScripts();
  // The first object asked for is the first function of the first class registered.
  std::vector<std::string> lines = LogLines();
  const std::string refusal = "QX Papyrus: the game's heap has no room for function ";
  std::vector<std::string> refused = LinesStartingWith(lines, refusal);
  ASSERT_EQ(refused.size(), 1u);
  std::string qualified = refused[0].substr(refusal.size());
  ASSERT_EQ(qualified.substr(qualified.find(';')), "; it is not registered");
  std::string className = qualified.substr(0, qualified.find('.'));
  std::string function = qualified.substr(className.size() + 1, qualified.find(';') - className.size() - 1);
  EXPECT_EQ(Vm::FindFunction(className, function), nullptr);
  ASSERT_FALSE(Vm::RegisteredFunctions().empty());
  EXPECT_STREQ(Vm::RegisteredFunctions().front()->className.data, className.c_str());
  EXPECT_STRNE(Vm::RegisteredFunctions().front()->name.data, function.c_str());
  EXPECT_EQ(FunctionsOf("QXStringUtil").size(), kStringUtil.size());
  EXPECT_TRUE(HasLine(lines, "QX Papyrus: all registrations succeeded without errors"));
}

// The game's constructor can run out of room for the parameter table too: the object then
// goes back to the game's heap, unregistered, and the rest register as usual.
TEST(NativeFunction, AParameterTableTheHeapCannotSupplyGivesTheObjectBack) {
  sim::Game::Start();
  sim::VmHeap::FailAllocations(2 * 8, 1);  // the table of the first function of two parameters
  BootForScripts();
  const std::string refusal = "QX Papyrus: the game's heap has no room for function ";
  std::vector<std::string> refused = LinesStartingWith(LogLines(), refusal);
  ASSERT_EQ(refused.size(), 1u);
  std::string qualified = refused[0].substr(refusal.size(), refused[0].find(';') - refusal.size());
  std::string className = qualified.substr(0, qualified.find('.'));
  IFunction* twin = nullptr;  // any registered function of two parameters
  for (IFunction* f : Vm::RegisteredFunctions()) {
    if (f->parameterCount == 2) twin = f;
  }
  ASSERT_NE(twin, nullptr);
  EXPECT_EQ(Vm::FindFunction(className, qualified.substr(className.size() + 1)), nullptr);
  EXPECT_EQ(Vm::BaseDestructorCalls(), 1u) << "the half-built object was destroyed";
  EXPECT_EQ(sim::VmHeap::FreedBlocks(), 1u) << "and its 52 bytes returned to the game's heap";
  EXPECT_EQ(FunctionsOf("QXStringUtil").size() + (className == "QXStringUtil" ? 1 : 0), kStringUtil.size());
}

// An exhausted heap at start-up: no function object can be built, each refusal is logged,
// and the plugin still loads and answers the script extender's messages.
TEST(NativeFunction, AnExhaustedHeapAtStartUpRegistersNothingAndLoadStillSucceeds) {
  sim::Game::Start();
  sim::VmHeap::FailEveryAllocation(true);
  BootForScripts();
  sim::Game::SendDataLoaded();
  sim::Game::SendPostLoadGame();
  sim::VmHeap::FailEveryAllocation(false);
  EXPECT_TRUE(Vm::RegisteredFunctions().empty());
  std::vector<std::string> lines = LogLines();
  EXPECT_TRUE(HasLine(lines, "QX Papyrus: the game's heap has no room for function QXStringUtil.Split; it is not registered"));
  EXPECT_TRUE(HasLine(lines, "QX Papyrus: the game's heap has no room for function QXIOUtil.WriteLine; it is not registered"));
  EXPECT_EQ(sim::VmHeap::LiveBlocks(), 6u) << "only the VM's own class infos";
}

// An exhausted heap while scripts call: results that need the heap (an array, an object's
// identifier) reach the script as none; once the heap has room again they work as before.
TEST(NativeFunction, AnExhaustedHeapGivesNoneForArraysAndObjectsUntilItRecovers) {
  BootForScripts();
  auto* sound = sim::MakeFormOf<qx::game::BGSSoundDescriptorForm>("BGSSoundDescriptorForm", 0x650);
  Vm::Adopt(sound, 0x80);
  qx::game::TESObjectBOOK* book = sim::MakeBook({0x651, 0, 0, "Song", sound});
  ScriptValue bookValue = Vm::Object(book, 0x1B);
  ScriptValue text = Vm::String("a,b");
  ScriptValue comma = Vm::String(",");
  std::size_t live = sim::VmHeap::LiveBlocks();

  sim::VmHeap::FailEveryAllocation(true);
  ScriptValue pieces = CallStringUtil("Split", {text, comma});
  ScriptValue soundUp = Vm::CallNative("QXPapyrusFunc", "GetBookSoundUp", {bookValue});
  sim::VmHeap::FailEveryAllocation(false);
  EXPECT_EQ(pieces.type, kType_None);
  EXPECT_EQ(soundUp.type, kType_None);
  EXPECT_EQ(sim::VmHeap::LiveBlocks(), live) << "nothing half-made was left behind";

  pieces = CallStringUtil("Split", {text, comma});
  EXPECT_EQ(Vm::Texts(pieces), (std::vector<std::string>{"a", "b"}));
  soundUp = Vm::CallNative("QXPapyrusFunc", "GetBookSoundUp", {bookValue});
  EXPECT_EQ(Vm::GameObjectOf(soundUp), sound);
  Vm::Release(pieces);
  Vm::Release(soundUp);
}

TEST(NativeFunction, ArgumentsOfOtherTypesAreConverted) {
  BootForScripts();
  // Int parameters: a float is truncated toward zero, a bool is 0 or 1, a string is 0.
  EXPECT_EQ(TextResult("DecToHex", {Vm::Float(2.9f), Vm::Int(4)}), "00000002");
  EXPECT_EQ(TextResult("DecToHex", {Vm::Float(-2.9f), Vm::Int(4)}), "FFFFFFFE");
  EXPECT_EQ(TextResult("DecToHex", {Vm::Bool(true), Vm::Int(1)}), "01");
  EXPECT_EQ(TextResult("DecToHex", {Vm::String("7"), Vm::Int(1)}), "00");
  EXPECT_EQ(TextResult("DecToHex", {Vm::None(), Vm::Float(1.5f)}), "00");
  EXPECT_EQ(TextResult("DecToHex", {Vm::Float(std::numeric_limits<float>::quiet_NaN()), Vm::Int(1)}), "00");
  EXPECT_EQ(TextResult("DecToHex", {Vm::Float(1e20f), Vm::Int(1)}), "00");

  // A string parameter given an int receives the reference built from a null text.
  std::size_t nullTexts = sim::VmStrings::NullTextsSet();
  EXPECT_EQ(IntResult("HexToDec", {Vm::Int(0x41)}), 0u);
  EXPECT_EQ(sim::VmStrings::NullTextsSet(), nullTexts + 1);
  EXPECT_EQ(TextResult("FormatStr", {Vm::Float(1.0f), Vm::None()}), "");

  // A string array parameter given another array, or none, receives none.
  ScriptValue ints = Vm::Array(kType_IntArray, {Vm::Int(7)});
  EXPECT_EQ(TextResult("FormatStr", {Vm::String("%0s"), ints}), "%0s");
  ScriptValue strings = Vm::StringArray({"v"});
  EXPECT_EQ(TextResult("FormatStr", {Vm::String("%0s"), strings}), "v");
  // An element that holds no string reads as the empty text.
  ScriptValue mixed = Vm::Array(kType_StringArray, {Vm::Int(7)});
  EXPECT_EQ(TextResult("FormatStr", {Vm::String("[%0s]"), mixed}), "[]");
  for (ScriptValue* v : {&ints, &strings, &mixed}) Vm::Release(*v);
}

// A float that no 32-bit pattern holds gives 0 wherever a script number becomes an int: as
// an int argument, and as an element of the number arrays ScaleAbilityEffects reads.
TEST(NativeFunction, FloatsBeyondTheIntRangeGiveZeroInArgumentsAndArrays) {
  BootForScripts();
  EXPECT_EQ(TextResult("DecToHex", {Vm::Float(5e9f), Vm::Int(4)}), "00000000");
  EXPECT_EQ(TextResult("DecToHex", {Vm::Float(-3e9f), Vm::Int(4)}), "00000000");
  EXPECT_EQ(TextResult("DecToHex", {Vm::Float(-5.0f), Vm::Int(4)}), "FFFFFFFB");

  // Durations set to their operand (type 9); the third operand, -5, keeps its pattern.
  constexpr std::uint32_t kActorType = 0x3E, kSpellType = 0x16;
  sim::SimActor* actor = sim::NewActor(0x100);
  sim::SimSpell* spell = sim::NewSpell(0x900, qx::game::kSpellType_Ability,
                                       {sim::EffectItemValues{1.0f, 0, 30, sim::NewMagicEffect(0x801), 1},
                                        sim::EffectItemValues{1.0f, 0, 30, sim::NewMagicEffect(0x802), 2},
                                        sim::EffectItemValues{1.0f, 0, 30, sim::NewMagicEffect(0x803), 3}});
  ScriptValue noStackAddIfMissing =
      Vm::Array(kType_FloatArray, {Vm::Float(0.0f), Vm::Float(1.0f), Vm::Float(0.0f)});
  ScriptValue setToOperand = Vm::Array(kType_IntArray, {Vm::Int(9), Vm::Float(9.0f), Vm::Int(9)});
  ScriptValue durations = Vm::Array(kType_FloatArray, {Vm::Float(5e9f), Vm::Float(-3e9f), Vm::Float(-5.0f)});
  ScriptValue result = Vm::CallNative(
      "QXAEUtil", "ScaleAbilityEffects",
      {Vm::Object(static_cast<qx::game::Actor*>(actor), kActorType), Vm::Object(spell, kSpellType),
       noStackAddIfMissing, Vm::None(), Vm::None(), Vm::None(), Vm::None(), setToOperand, durations});
  EXPECT_EQ(result.type, kType_Bool);
  std::vector<float> lasting;
  for (qx::game::ActiveEffect* effect : actor->ActiveEffects()) lasting.push_back(effect->duration);
  EXPECT_EQ(lasting, (std::vector<float>{0.0f, 0.0f, 4294967291.0f}));
}

TEST(NativeFunction, RunSlotAlwaysReportsSuccessAndReleasesWhatTheResultHeld) {
  BootForScripts();
  IFunction* f = Vm::FindFunction("QXStringUtil", "Split");
  std::size_t live = sim::VmHeap::LiveBlocks();
  ScriptValue result = Vm::StringArray({"old"});  // a result value still holding an array
  EXPECT_TRUE(Vm::CallRunSlot(f, {Vm::Int(1), Vm::Float(2.0f)}, &result));
  EXPECT_EQ(result.type, kType_None);
  EXPECT_EQ(result.data, 0u);
  EXPECT_EQ(sim::VmHeap::LiveBlocks(), live) << "the old array went back to the heap";

  // When the VM cannot make the array, the script gets none.
  Vm::FailArrayCreation(true);
  result = CallStringUtil("Split", {Vm::String("a,b"), Vm::String(",")});
  Vm::FailArrayCreation(false);
  EXPECT_EQ(result.type, kType_None);
  EXPECT_EQ(sim::VmHeap::LiveBlocks(), live);
}

}  // namespace
