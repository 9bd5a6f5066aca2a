// The binding's paths that no registered class of the plugin reaches yet (bool and float
// parameters, game objects in and out, lists of objects), run against the VM stand-in
// through a test class built from the same definitions as the plugin's classes.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <new>
#include <stdexcept>
#include <thread>

#include "sim/Game.h"
#include "sim/Vm.h"
#include "sim/VmHeap.h"
#include "skse/NativeFunction.h"
#include "tests/unit/LogCapture.h"

namespace {

using namespace qx::papyrus;
using qx::game::Actor;
using qx::game::ActiveEffect;
using qx::game::BGSKeyword;
using qx::game::BGSSoundDescriptorForm;
using qx::game::SpellItem;
using qx::game::TESObjectBOOK;
using sim::Vm;
using StringCache::Ref;

constexpr std::uint32_t kActor = 0x3E;
constexpr std::uint32_t kEffect = 0x8B;
constexpr std::uint32_t kBook = 0x1B;

std::uint32_t FormIdOf(const void* object) {
  return object != nullptr ? static_cast<const qx::game::TESForm*>(object)->formID : 0;
}

std::uint32_t ActorFormId(StaticFunctionTag*, Actor* actor) { return FormIdOf(actor); }
bool BoolEcho(StaticFunctionTag*, bool value) { return value; }
float FloatEcho(StaticFunctionTag*, float value) { return value; }
float SumFloats(StaticFunctionTag*, VMArray<float> values) {
  if (values.IsNone()) return -1.0f;
  float sum = 0;
  for (std::uint32_t i = 0; i < values.Length(); ++i) sum += values.FloatAt(i);
  return sum;
}
Actor* SameActor(StaticFunctionTag*, Actor* actor) { return actor; }
Actor* gGiven = nullptr;
Actor* GiveActor(StaticFunctionTag*) { return gGiven; }
std::vector<ActiveEffect*> gEffects;
VMResultArray<ActiveEffect*> Effects(StaticFunctionTag*, Actor*) { return gEffects; }
BGSSoundDescriptorForm* NoSound(StaticFunctionTag*, TESObjectBOOK*) { return nullptr; }
float ExtendedFormId(StaticFunctionTag*, qxnsSKSE::ActorExtended* actor, std::uint32_t, Ref) {
  return static_cast<float>(FormIdOf(actor));
}

// Implementations that fail the way a native near the end of the address space can.
std::uint32_t OutOfMemory(StaticFunctionTag*, std::uint32_t) { throw std::bad_alloc(); }
Ref TextTooLong(StaticFunctionTag*, Ref) { throw std::length_error("text too long"); }
VMResultArray<Ref> PiecesTooMany(StaticFunctionTag*, Ref, Ref) {
  VMResultArray<Ref> pieces{Ref{"a"}, Ref{"b"}};
  throw std::bad_alloc();
}
bool ThrowsAnInt(StaticFunctionTag*) { throw 42; }
float ThrowsFloat(StaticFunctionTag*, float) { throw std::runtime_error("no float"); }
Actor* ThrowsActor(StaticFunctionTag*, Actor*) { throw std::bad_alloc(); }
VMResultArray<ActiveEffect*> ThrowsEffects(StaticFunctionTag*, Actor*) { throw std::bad_alloc(); }
void ThrowsNothingBack(StaticFunctionTag*, TESObjectBOOK*) { throw std::bad_alloc(); }

// Every signature the plugin's script classes use, so each instance is built and registered.
template <typename R, typename... A>
R Stub(StaticFunctionTag*, A...) {
  if constexpr (!std::is_void_v<R>) return R{};
}
using U = std::uint32_t;
template <typename T>
using Arr = VMArray<T>;

const NativeFunctionDef kFunctions[] = {
    DefineNative("ActorFormId", &ActorFormId),
    DefineNative("BoolEcho", &BoolEcho),
    DefineNative("FloatEcho", &FloatEcho),
    DefineNative("SumFloats", &SumFloats),
    DefineNative("SameActor", &SameActor),
    DefineNative("GiveActor", &GiveActor),
    DefineNative("Effects", &Effects),
    DefineNative("NoSound", &NoSound),
    DefineNative("ExtendedFormId", &ExtendedFormId),
    DefineNative("OutOfMemory", &OutOfMemory),
    DefineNative("TextTooLong", &TextTooLong),
    DefineNative("PiecesTooMany", &PiecesTooMany),
    DefineNative("ThrowsAnInt", &ThrowsAnInt),
    DefineNative("ThrowsFloat", &ThrowsFloat),
    DefineNative("ThrowsActor", &ThrowsActor),
    DefineNative("ThrowsEffects", &ThrowsEffects),
    DefineNative("ThrowsNothingBack", &ThrowsNothingBack),
    DefineNative("I0", &Stub<U>),
    DefineNative("I1", &Stub<U, bool>),
    DefineNative("I2", &Stub<U, TESObjectBOOK*>),
    DefineNative("I3", &Stub<U, Ref>),
    DefineNative("I4", &Stub<bool, U>),
    DefineNative("I5", &Stub<bool, TESObjectBOOK*>),
    DefineNative("I6", &Stub<bool, Ref>),
    DefineNative("I7", &Stub<void, TESObjectBOOK*>),
    DefineNative("I8", &Stub<SpellItem*, TESObjectBOOK*>),
    DefineNative("I9", &Stub<Ref, Ref>),
    DefineNative("I10", &Stub<Ref, U>),
    DefineNative("I11", &Stub<U, Actor*, BGSKeyword*>),
    DefineNative("I12", &Stub<U, Ref, bool>),
    DefineNative("I13", &Stub<ActiveEffect*, Actor*, U>),
    DefineNative("I14", &Stub<bool, Ref, Ref>),
    DefineNative("I15", &Stub<bool, TESObjectBOOK*, Ref>),
    DefineNative("I16", &Stub<void, TESObjectBOOK*, SpellItem*>),
    DefineNative("I17", &Stub<void, TESObjectBOOK*, bool>),
    DefineNative("I18", &Stub<void, TESObjectBOOK*, Ref>),
    DefineNative("I19", &Stub<Ref, Ref, Arr<Ref>>),
    DefineNative("I20", &Stub<Ref, U, U>),
    DefineNative("I21", &Stub<VMResultArray<Ref>, Ref, Ref>),
    DefineNative("I22", &Stub<void, Arr<Ref>, Arr<Ref>, Arr<Ref>>),
    DefineNative("I23", &Stub<bool, Ref, bool, bool, U>),
    DefineNative("I24", &Stub<bool, qxnsSKSE::ActorExtended*, SpellItem*, Arr<float>, Arr<U>,
                             Arr<float>, Arr<U>, Arr<float>, Arr<U>, Arr<float>>),
};
const NativeClassDef kTestClass{"QXBindingTest", kFunctions};

class NativeBinding : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::Game::Start();
    static bool registered = RegisterNativeClass(Vm::Registry(), kTestClass);
    (void)registered;
  }
  static ScriptValue Call(const std::string& function, const std::vector<ScriptValue>& arguments) {
    return Vm::CallNative("QXBindingTest", function, arguments);
  }
  static std::uint32_t Code(std::uint32_t formType) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(Vm::ClassOf(formType)));
  }
};

TEST_F(NativeBinding, TypeCodesComeFromTheSignatureAndTheRegistry) {
  IFunction* effects = Vm::FindFunction("QXBindingTest", "Effects");
  ASSERT_NE(effects, nullptr);
  EXPECT_EQ(effects->parameters[0].type, Code(kActor));
  EXPECT_EQ(effects->resultType, Code(kEffect) | 1);
  IFunction* big = Vm::FindFunction("QXBindingTest", "I24");
  ASSERT_EQ(big->parameterCount, 9);
  const std::uint32_t expected[] = {Code(kActor), Code(0x16), 14, 13, 14, 13, 14, 13, 14};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(big->parameters[i].type, expected[i]) << i;
  EXPECT_EQ(big->resultType, 5u);
  EXPECT_EQ(Vm::FindFunction("QXBindingTest", "I21")->resultType, 12u);
  EXPECT_EQ(Vm::FindFunction("QXBindingTest", "I7")->resultType, 0u);
  // The references the lookups handed out were all given back.
  for (std::uint32_t type : {0x04u, 0x16u, 0x1Bu, 0x3Eu, 0x80u, 0x8Bu}) {
    EXPECT_EQ(Vm::ClassOf(type)->refCount, 1u) << type;
  }
}

TEST_F(NativeBinding, UnknownClassesGiveCodeZeroAndOneForLists) {
  ScriptClassInfo* forgotten = Vm::ForgetClass(kEffect);
  const NativeFunctionDef late[] = {DefineNative("LateEffects", &Effects),
                                    DefineNative("LateEffect", &Stub<ActiveEffect*, Actor*, U>)};
  RegisterNativeClass(Vm::Registry(), NativeClassDef{"QXLate", late});
  EXPECT_EQ(Vm::FindFunction("QXLate", "LateEffects")->resultType, 1u);
  EXPECT_EQ(Vm::FindFunction("QXLate", "LateEffect")->resultType, 0u);
  Vm::RestoreClass(kEffect, forgotten);
}

TEST_F(NativeBinding, BoolAndFloatParameters) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::pair<ScriptValue, bool> bools[] = {
      {Vm::Float(nan), true}, {Vm::Float(0.0f), false}, {Vm::Float(0.5f), true}, {Vm::Int(0), false},
      {Vm::Int(5), true},     {Vm::Bool(true), true},   {Vm::String("true"), false}, {Vm::None(), false}};
  for (const auto& [value, expected] : bools) {
    ScriptValue result = Call("BoolEcho", {value});
    EXPECT_EQ(result.type, kType_Bool);
    EXPECT_EQ(result.data, expected ? 1u : 0u) << value.type << " " << value.data;
  }
  EXPECT_EQ(Vm::FloatOf(Call("FloatEcho", {Vm::Int(-3)})), -3.0f);
  EXPECT_EQ(Vm::FloatOf(Call("FloatEcho", {Vm::Bool(true)})), 1.0f);
  EXPECT_EQ(Vm::FloatOf(Call("FloatEcho", {Vm::String("2")})), 0.0f);
  EXPECT_EQ(Call("FloatEcho", {Vm::Float(2.5f)}).type, kType_Float);

  ScriptValue floats = Vm::Array(kType_FloatArray, {Vm::Int(7), Vm::String("x"), Vm::Float(1.5f)});
  EXPECT_EQ(Vm::FloatOf(Call("SumFloats", {floats})), 8.5f);
  ScriptValue ints = Vm::Array(kType_IntArray, {Vm::Int(7)});
  EXPECT_EQ(Vm::FloatOf(Call("SumFloats", {ints})), -1.0f);
  EXPECT_EQ(Vm::FloatOf(Call("SumFloats", {Vm::None()})), -1.0f);
  Vm::Release(floats);
  Vm::Release(ints);
}

// An implementation that throws does not end the game: the call logs one line naming the
// function, the script receives the neutral result, and the run slot reports success.
TEST_F(NativeBinding, AnImplementationThatThrowsGivesTheNeutralResult) {
  sim::SimForm* actor = Vm::NewForm(kActor, 0x66);
  ScriptValue actorValue = Vm::Object(actor);
  ScriptValue book = Vm::Object(Vm::NewForm(kBook, 0x67));
  std::size_t live = sim::VmHeap::LiveBlocks();
  struct Case {
    const char* function;
    std::vector<ScriptValue> arguments;
    std::uint32_t type;
    const char* what;
  };
  const Case cases[] = {
      {"OutOfMemory", {Vm::Int(1)}, kType_Int, "std::bad_alloc"},
      {"TextTooLong", {Vm::String("x")}, kType_String, "text too long"},
      {"PiecesTooMany", {Vm::String("a,b"), Vm::String(",")}, kType_None, "std::bad_alloc"},
      {"ThrowsAnInt", {}, kType_Bool, "an exception of unknown type"},
      {"ThrowsFloat", {Vm::Float(1.0f)}, kType_Float, "no float"},
      {"ThrowsActor", {actorValue}, kType_None, "std::bad_alloc"},
      {"ThrowsEffects", {actorValue}, kType_None, "std::bad_alloc"},
      {"ThrowsNothingBack", {book}, kType_None, "std::bad_alloc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.function);
    IFunction* f = Vm::FindFunction("QXBindingTest", c.function);
    ASSERT_NE(f, nullptr);
    ScriptValue result = Vm::StringArray({"held"});  // what the result held goes back
    bool ran = false;
    std::vector<std::string> log =
        qxtest::CaptureLog([&] { ran = Vm::CallRunSlot(f, c.arguments, &result); });
    EXPECT_TRUE(ran);
    const std::string line = std::string("QX Papyrus: QXBindingTest.") + c.function + " failed (" + c.what +
                             "); the script receives its neutral result";
    EXPECT_EQ(log, std::vector<std::string>{line});
    EXPECT_EQ(result.type, c.type);
    if (c.type == kType_String) {
      EXPECT_EQ(Vm::Text(result), "");
      Vm::Release(result);
    } else {
      EXPECT_EQ(result.data, 0u);
    }
    EXPECT_EQ(sim::VmHeap::LiveBlocks(), live);
  }
  Vm::Release(book);
  Vm::Release(actorValue);
}

TEST_F(NativeBinding, ObjectArgumentsResolveThroughTheirHandles) {
  sim::SimForm* actor = Vm::NewForm(kActor, 0x00000014);
  sim::SimForm* book = Vm::NewForm(kBook, 0x0001AB00);
  ScriptValue actorValue = Vm::Object(actor);
  ScriptValue bookValue = Vm::Object(book);
  auto* id = static_cast<ScriptObjectId*>(actorValue.Pointer());
  std::uint32_t uses = Vm::UseCount(id);

  EXPECT_EQ(Call("ActorFormId", {actorValue}).data, 0x14u);
  EXPECT_EQ(Vm::FloatOf(Call("ExtendedFormId", {actorValue, Vm::Int(0), Vm::String("")})), 20.0f);
  EXPECT_EQ(Call("ActorFormId", {bookValue}).data, 0u) << "an object of another type";
  EXPECT_EQ(Call("ActorFormId", {Vm::None()}).data, 0u);
  EXPECT_EQ(Call("ActorFormId", {Vm::Int(0x14)}).data, 0u);
  EXPECT_EQ(Call("ActorFormId", {ScriptValue{Code(kActor), 0}}).data, 0u) << "no identifier";
  EXPECT_EQ(Vm::UseCount(id), uses);
  EXPECT_EQ(id->lockWord & kIdentifierLocked, 0u);

  Vm::Unload(actor);
  EXPECT_EQ(Call("ActorFormId", {actorValue}).data, 0u) << "a stale handle";
  Vm::Release(actorValue);
  Vm::Release(bookValue);
}

TEST_F(NativeBinding, ObjectResultsReuseTheBoundIdentifier) {
  sim::SimForm* actor = Vm::NewForm(kActor, 0x00000007);
  std::uint64_t handle = Vm::HandleOf(actor);

  // Never seen by a script: an identifier is made and bound to the handle.
  std::size_t created = Vm::IdentifiersCreated();
  ScriptValue actorValue = Vm::Object(actor);
  ScriptValue first = Call("SameActor", {actorValue});
  EXPECT_EQ(Vm::IdentifiersCreated(), created + 1);
  ScriptObjectId* id = Vm::BoundIdentifier(handle, kActor);
  ASSERT_NE(id, nullptr);
  EXPECT_EQ(first.type, Code(kActor));
  EXPECT_EQ(first.Pointer(), id);
  std::uint32_t usesWithTwoValues = Vm::UseCount(id);

  ScriptValue second = Call("SameActor", {actorValue});
  EXPECT_EQ(Vm::IdentifiersCreated(), created + 1) << "the bound identifier is reused";
  EXPECT_EQ(second.Pointer(), id);
  EXPECT_EQ(Vm::UseCount(id), usesWithTwoValues + 1);
  Vm::Release(second);
  Vm::Release(first);
  Vm::Release(actorValue);
  EXPECT_EQ(Vm::UseCount(id), 1u) << "only the binding holds it";
  EXPECT_EQ(Vm::HandleReferences(handle), 0);

}

TEST_F(NativeBinding, AnObjectNoScriptHeldGetsANewBoundIdentifier) {
  sim::SimForm* actor = Vm::NewForm(kActor, 0x00000008);
  std::uint64_t handle = Vm::HandleOf(actor);
  gGiven = reinterpret_cast<Actor*>(actor);
  std::size_t created = Vm::IdentifiersCreated();
  ScriptValue result = Call("GiveActor", {});
  gGiven = nullptr;
  EXPECT_EQ(Vm::IdentifiersCreated(), created + 1);
  ScriptObjectId* id = Vm::BoundIdentifier(handle, kActor);
  ASSERT_NE(id, nullptr) << "bound by the plugin through the bind policy";
  EXPECT_EQ(result.type, Code(kActor));
  EXPECT_EQ(result.Pointer(), id);
  EXPECT_EQ(id->Handle(), handle);
  EXPECT_EQ(Vm::UseCount(id), 2u) << "the binding and the result value";
  EXPECT_EQ(Vm::HandleReferences(handle), 1);
  Vm::Release(result);
  EXPECT_EQ(Vm::UseCount(id), 1u);
  EXPECT_EQ(Vm::HandleReferences(handle), 0);

  EXPECT_EQ(Call("GiveActor", {}).type, kType_None) << "a null object is none";
  Vm::FailIdentifierCreation(true);
  gGiven = reinterpret_cast<Actor*>(Vm::NewForm(kActor, 0x9));
  EXPECT_EQ(Call("GiveActor", {}).type, kType_None) << "no identifier could be made";
  Vm::FailIdentifierCreation(false);
  gGiven = nullptr;
}

TEST_F(NativeBinding, ResultsThatCannotBeObjectsReachTheScriptAsNone) {
  sim::SimForm* book = Vm::NewForm(kBook, 0x100);
  ScriptValue bookValue = Vm::Object(book);
  ScriptValue result = Call("NoSound", {bookValue});
  EXPECT_EQ(result.type, kType_None);
  EXPECT_EQ(result.data, 0u);

  sim::SimForm* actor = Vm::NewForm(kActor, 0x200);
  ScriptValue actorValue = Vm::Object(actor);
  ScriptClassInfo* forgotten = Vm::ForgetClass(kActor);
  result = Call("SameActor", {actorValue});
  EXPECT_EQ(result.type, kType_None) << "the registry knows no class for actors";
  Vm::RestoreClass(kActor, forgotten);
  Vm::Release(actorValue);
  Vm::Release(bookValue);
}

TEST_F(NativeBinding, ListsOfObjectsBecomeArraysOfTheirClass) {
  sim::SimForm* actor = Vm::NewForm(kActor, 0x14);
  sim::SimForm* e1 = Vm::NewForm(kEffect, 0xE1);
  sim::SimForm* e2 = Vm::NewForm(kEffect, 0xE2);
  ScriptValue actorValue = Vm::Object(actor);

  gEffects = {reinterpret_cast<ActiveEffect*>(e1), reinterpret_cast<ActiveEffect*>(e2)};
  ScriptValue list = Call("Effects", {actorValue});
  EXPECT_EQ(list.type, Code(kEffect) | 1);
  auto* array = static_cast<ScriptArrayData*>(list.Pointer());
  ASSERT_NE(array, nullptr);
  ASSERT_EQ(array->count, 2u);
  EXPECT_EQ(array->At(0)->type, Code(kEffect));
  EXPECT_EQ(array->At(0)->Pointer(), Vm::BoundIdentifier(Vm::HandleOf(e1), kEffect));
  EXPECT_EQ(array->At(1)->Pointer(), Vm::BoundIdentifier(Vm::HandleOf(e2), kEffect));
  std::size_t live = sim::VmHeap::LiveBlocks();
  Vm::Release(list);
  EXPECT_EQ(sim::VmHeap::LiveBlocks(), live - 1) << "the array went back to the game's heap";

  gEffects.clear();
  EXPECT_EQ(Call("Effects", {actorValue}).type, kType_None) << "an empty list is none";
  gEffects = {reinterpret_cast<ActiveEffect*>(e1)};
  Vm::FailArrayCreation(true);
  EXPECT_EQ(Call("Effects", {actorValue}).type, kType_None);
  Vm::FailArrayCreation(false);
  Vm::Release(actorValue);
}

TEST_F(NativeBinding, UseCountStepsCallTheHandlePolicyAndZeroDestroys) {
  sim::SimForm* actor = Vm::NewForm(kActor, 0x30);
  std::uint64_t handle = Vm::HandleOf(actor);
  ScriptValue value = Vm::Object(actor);  // binding + this value: 2 uses, one handle reference
  auto* id = static_cast<ScriptObjectId*>(value.Pointer());
  EXPECT_EQ(Vm::UseCount(id), 2u);
  EXPECT_EQ(Vm::HandleReferences(handle), 1);
  IncrementIdentifierUse(id);
  EXPECT_EQ(Vm::UseCount(id), 3u);
  EXPECT_EQ(Vm::HandleReferences(handle), 1);
  DecrementIdentifierUse(id);
  DecrementIdentifierUse(id);  // 2 -> 1 releases the handle's reference
  EXPECT_EQ(Vm::UseCount(id), 1u);
  EXPECT_EQ(Vm::HandleReferences(handle), 0);
  IncrementIdentifierUse(id);  // 1 -> 2 adds it again
  EXPECT_EQ(Vm::HandleReferences(handle), 1);
  Vm::Release(value);

  ScriptObjectId* lone = nullptr;
  StringCache::Ref name = Vm::ClassOf(kActor)->name;
  ASSERT_TRUE(RegistrySlot<CreateIdentifierFn>(Vm::Registry(), kRegistrySlot_CreateIdentifier)(
      Vm::Registry(), &name, &lone));
  std::size_t destroyed = Vm::DestroyedIdentifiers();
  DecrementIdentifierUse(lone);
  EXPECT_EQ(Vm::DestroyedIdentifiers(), destroyed + 1);
  EXPECT_FALSE(sim::VmHeap::IsLive(lone)) << "freed to the game's heap";
}

TEST_F(NativeBinding, ReadingAHandleWaitsForTheLockAndRestoresTheWord) {
  sim::SimForm* actor = Vm::NewForm(kActor, 0x44);
  ScriptValue value = Vm::Object(actor);
  auto* id = static_cast<ScriptObjectId*>(value.Pointer());
  std::uint32_t before = id->lockWord;
  std::uint32_t held = LockIdentifier(id);
  EXPECT_EQ(held, before);
  EXPECT_EQ(id->lockWord, before | kIdentifierLocked);

  std::atomic<std::uint32_t> got{0xFFFFFFFF};
  std::thread caller([&] { got = Call("ActorFormId", {value}).data; });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(got.load(), 0xFFFFFFFFu) << "the call waits while the identifier is locked";
  UnlockIdentifier(id, held);
  caller.join();
  EXPECT_EQ(got.load(), 0x44u);
  EXPECT_EQ(id->lockWord, before);
  Vm::Release(value);
}

TEST_F(NativeBinding, TwoThreadsPackingAndDroppingTheSameIdentifier) {
  sim::SimForm* actor = Vm::NewForm(kActor, 0x55);
  std::uint64_t handle = Vm::HandleOf(actor);
  ScriptValue value = Vm::Object(actor);
  auto* id = static_cast<ScriptObjectId*>(value.Pointer());
  std::uint32_t uses = Vm::UseCount(id);
  std::int32_t references = Vm::HandleReferences(handle);

  auto work = [&] {
    for (int i = 0; i < 2000; ++i) {
      ScriptValue result = Call("SameActor", {value});
      if (result.Pointer() != id) ADD_FAILURE() << "another identifier";
      Vm::Release(result);
    }
  };
  std::thread a(work), b(work);
  a.join();
  b.join();
  EXPECT_EQ(Vm::UseCount(id), uses);
  EXPECT_EQ(id->lockWord & kIdentifierLocked, 0u);
  EXPECT_EQ(Vm::HandleReferences(handle), references);
  Vm::Release(value);
  EXPECT_EQ(Vm::UseCount(id), 1u);
  EXPECT_EQ(Vm::HandleReferences(handle), 0);
}

}  // namespace
