// The binding: every native the plugin registers, called through the VM stand-in with
// arbitrary script values, as a script with wrong or stale arguments would call it: any
// type code, none arrays, arrays of the wrong element type or with elements of other
// types, objects of the wrong class, objects whose handle is no longer valid. The plugin
// is booted once, with the game's data loaded.
//
// Every call returns true and leaves a result of the function's declared type (or none,
// where a script may receive none). The file functions only ever get paths inside a
// scratch folder.
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/IDebugLog.h"
#include "papyrus/files/QXIOUtilCore.h"
#include "sim/ActorValueNames.h"
#include "sim/Actors.h"
#include "sim/Books.h"
#include "sim/Forms.h"
#include "sim/Game.h"
#include "sim/GameFolders.h"
#include "sim/Magic.h"
#include "sim/Vm.h"
#include "sim/VmStrings.h"
#include "tests/fuzz/FuzzInput.h"

namespace {

using namespace qx::papyrus;
using qxfuzz::FuzzInput;
using sim::Vm;

constexpr int kPaths = 2;
std::string gPaths[kPaths];

// Game objects a script may hold: (object, form type); the last one's handle is stale.
struct HeldObject {
  void* object;
  std::uint32_t formType;
};
std::vector<HeldObject> gObjects;

void BuildGame() {
  using namespace qx::game;
  sim::Game::Start();
  BGSKeyword* keyword = sim::NewEffectKeyword(0x700);
  sim::SimMagicEffect* effect = sim::NewMagicEffect(0x800, {keyword});
  sim::SimSpell* spell = sim::NewSpell(0x900, 0, {sim::EffectItemValues{2.0f, 1, 10, effect, 1},
                                                  std::nullopt,
                                                  sim::EffectItemValues{1.0f, 0, 0, nullptr, 2}});
  sim::SimActiveEffect* active = sim::NewActiveEffect(spell, spell->effects[0]);
  sim::SimActor* actor = sim::NewActor(0x100);
  actor->SetActorValue(sim::LookupActorValue("Health"), 100.0f, 50.0f);
  actor->SetActiveEffects({active, nullptr, active});
  auto* sound = sim::MakeFormOf<BGSSoundDescriptorForm>("BGSSoundDescriptorForm", 0x600);
  std::uint32_t alchemy = sim::LookupActorValue("Alchemy");
  auto spellWord = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(spell));
  TESObjectBOOK* skillBook = sim::MakeBook({0x101, kBookFlag_TeachesSkill, alchemy, "Herbs", sound});
  TESObjectBOOK* readBook =
      sim::MakeBook({0x102, kBookFlag_TeachesSkill | kBookFlag_Read, alchemy, "Herbs II"});
  TESObjectBOOK* tome = sim::MakeBook({0x103, kBookFlag_TeachesSpell, spellWord, "Tome"});
  TESObjectBOOK* stale = sim::MakeBook({0x104, 0, 0, "Letter"});
  sim::SetDataHandlerBooks({skillBook, nullptr, readBook, tome, stale});
  gObjects = {{actor, 0x3E}, {keyword, 0x04}, {spell, 0x16}, {skillBook, 0x1B},
              {readBook, 0x1B}, {tome, 0x1B}, {sound, 0x80}, {active, 0x8B}, {stale, 0x1B}};
  for (const HeldObject& held : gObjects) (void)Vm::Adopt(held.object, held.formType);
  Vm::Unload(stale);
}

ScriptValue AnyObject(FuzzInput& in) {
  const HeldObject& held = gObjects[in.Byte() % gObjects.size()];
  return Vm::Object(held.object, held.formType);
}

// A value that is not an array.
ScriptValue AnyScalar(FuzzInput& in, std::uint8_t kind) {
  switch (kind % 7) {
    case 0: return Vm::None();
    case 1: return Vm::Int(static_cast<std::int32_t>(in.Word()));
    case 2: {  // any bits, NaN and infinities included
      std::uint32_t bits = in.Word();
      float value;
      std::memcpy(&value, &bits, sizeof value);
      return Vm::Float(value);
    }
    case 3: return {kType_Bool, in.Byte()};  // the VM reads the low byte only
    case 4: return Vm::String(in.Text(64));
    case 5: return AnyObject(in);
    default: {  // a type code no parameter has; its data is never a pointer
      static constexpr std::uint32_t kCodes[] = {6, 7, 8, 9, 10, 15};
      return {kCodes[in.Byte() % 6], in.Word()};
    }
  }
}

ScriptValue AnyValue(FuzzInput& in) {
  std::uint8_t kind = in.Byte();
  if (kind < 160) return AnyScalar(in, kind);
  // An array: its type code says one element type, its elements may hold others.
  std::vector<ScriptValue> elements;
  std::uint8_t elementKind = in.Byte();
  for (int n = in.Byte() % 7; n > 0; --n) {
    elements.push_back(AnyScalar(in, in.Bool() ? elementKind : in.Byte()));
  }
  std::uint32_t code;
  switch (kind % 6) {
    case 0: code = kType_StringArray; break;
    case 1: code = kType_IntArray; break;
    case 2: code = kType_FloatArray; break;
    case 3: code = kType_ObjectArray; break;
    case 4: {  // an array of objects of one class
      const HeldObject& held = gObjects[in.Byte() % gObjects.size()];
      code = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(Vm::ClassOf(held.formType))) | 1;
      break;
    }
    default: {  // none of an array type
      for (ScriptValue& element : elements) Vm::Release(element);
      return {static_cast<std::uint32_t>(kType_StringArray + in.Byte() % 3), 0};
    }
  }
  ScriptValue array = Vm::Array(code, elements);
  for (ScriptValue& element : elements) Vm::Release(element);  // the array holds its own
  return array;
}

bool IsFileClass(const IFunction* function) {
  return std::strcmp(function->className.data, "QXIOUtil") == 0;
}

// The result a script receives has the function's declared type, or is none where the
// binding gives none (no object, no list).
void CheckResult(const IFunction* function, const ScriptValue& result) {
  std::uint32_t declared = function->resultType;
  switch (declared) {
    case kType_None: QX_FUZZ_REQUIRE(result.type == kType_None); break;
    case kType_Int:
    case kType_Float: QX_FUZZ_REQUIRE(result.type == declared); break;
    case kType_Bool: QX_FUZZ_REQUIRE(result.type == kType_Bool && result.data <= 1); break;
    case kType_String: QX_FUZZ_REQUIRE(result.type == kType_String && result.data != 0); break;
    default:
      QX_FUZZ_REQUIRE(result.type == declared || result.type == kType_None);
      QX_FUZZ_REQUIRE(result.type == kType_None || result.data != 0);
      break;
  }
}

void CallOne(FuzzInput& in) {
  const std::vector<IFunction*>& functions = Vm::RegisteredFunctions();
  IFunction* function = functions[(in.Byte() | in.Byte() << 8) % functions.size()];
  std::vector<ScriptValue> arguments;
  for (std::uint32_t i = 0; i < function->parameterCount; ++i) {
    ScriptValue value = AnyValue(in);
    if (i == 0 && IsFileClass(function) && (value.type == kType_String || in.Byte() % 4 != 0)) {
      Vm::Release(value);
      value = Vm::String(gPaths[in.Byte() % kPaths]);  // a path: only ever a scratch file
    }
    arguments.push_back(value);
  }
  ScriptValue result = Vm::None();
  QX_FUZZ_REQUIRE(Vm::CallRunSlot(function, arguments, &result));
  CheckResult(function, result);
  Vm::Release(result);
  for (ScriptValue& argument : arguments) Vm::Release(argument);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  BuildGame();
  sim::BootOptions options;
  options.settings = "[general]\nenableavpercentfix=1\n[books]\ndisableskillgain=1\n";
  if (!sim::Game::Boot(options).loaded) std::abort();
  sim::Game::SendDataLoaded();
  // The log would grow by a line or more per call: keep formatting it, but nowhere.
  IDebugLog::consoleLevel = -1;
  IDebugLog::OpenFile("/dev/null");
  for (int i = 0; i < kPaths; ++i) {
    gPaths[i] = sim::GameFolders::GameFolder() + "/script" + std::to_string(i) + ".txt";
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (const std::string& path : gPaths) {  // no file open from an earlier input
    (void)qx::io::CloseFile(path.c_str());
    ::unlink(path.c_str());
  }
  sim::VmStrings::ShortLivedScope strings;  // the cache keeps no text from one input to the next
  FuzzInput in(data, size);
  for (int calls = 0; !in.Empty() && calls < 16; ++calls) CallOne(in);
  return 0;
}
