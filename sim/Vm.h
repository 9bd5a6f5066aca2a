#pragma once
// The game's Papyrus VM as the plugin meets it: the registry with its operations, class
// infos, values and arrays, argument lists, object handles and identifiers, and the
// native-function objects the plugin registers. Tests call a registered native exactly as
// a script would: by class and function name, with script values, through its run slot.
#include <cstdint>
#include <string>
#include <vector>

#include "skse/NativeFunction.h"
#include "skse/PapyrusVM.h"

namespace sim {

using qx::papyrus::IFunction;
using qx::papyrus::ScriptArrayData;
using qx::papyrus::ScriptClassInfo;
using qx::papyrus::ScriptObjectId;
using qx::papyrus::ScriptValue;

// A forwarded call that reached one of the game's routines behind slots 6, 15, 16 and 18.
struct ForwardedCall {
  std::uintptr_t routine;
  IFunction* function;
  std::uint32_t first;
  std::uint32_t second;
};

// A game object that scripts can hold.
struct SimForm {
  qx::game::TESForm form;
  std::uint32_t formType;
};

class Vm {
 public:
  static void PlaceRoutines();
  // Runs the script extender's recorded Papyrus callbacks with the registry, as the VM does
  // when it starts; true when every callback returned true.
  static bool RunRegistrations();

  [[nodiscard]] static ScriptRegistry* Registry();
  [[nodiscard]] static const std::vector<IFunction*>& RegisteredFunctions();
  [[nodiscard]] static IFunction* FindFunction(const std::string& className,
                                               const std::string& functionName);
  // Fetches the arguments as the VM's stack does and calls the run slot; the arguments
  // stay the caller's. The result is the caller's to release.
  [[nodiscard]] static ScriptValue CallNative(const std::string& className,
                                              const std::string& functionName,
                                              const std::vector<ScriptValue>& arguments);
  // The same, with a wrong-looking stack id and base value, for the slot's own tests.
  static bool CallRunSlot(IFunction* function, const std::vector<ScriptValue>& arguments,
                          ScriptValue* result);

  // Values.
  [[nodiscard]] static ScriptValue None();
  [[nodiscard]] static ScriptValue Int(std::int32_t value);
  [[nodiscard]] static ScriptValue Float(float value);
  [[nodiscard]] static ScriptValue Bool(bool value);
  [[nodiscard]] static ScriptValue String(const std::string& text);
  [[nodiscard]] static ScriptValue StringArray(const std::vector<std::string>& texts);
  [[nodiscard]] static ScriptValue Array(std::uint32_t typeCode, const std::vector<ScriptValue>& elements);
  [[nodiscard]] static ScriptValue Object(SimForm* object);  // none for null
  // Any game object the simulated game built (actor, spell, book, ...), held as `formType`.
  [[nodiscard]] static ScriptValue Object(void* gameObject, std::uint32_t formType);
  // The game object an object value stands for; null for none or another kind of value.
  [[nodiscard]] static void* GameObjectOf(const ScriptValue& value);
  [[nodiscard]] static std::string Text(const ScriptValue& value);  // "<null>" for a null string
  [[nodiscard]] static std::vector<std::string> Texts(const ScriptValue& array);
  [[nodiscard]] static float FloatOf(const ScriptValue& value);
  static void Release(ScriptValue& value);  // the game's release
  // Arrays whose count is 0 when a test asks the registry to fail array creation.
  static void FailArrayCreation(bool fail);
  static void FailIdentifierCreation(bool fail);

  // Classes.
  [[nodiscard]] static ScriptClassInfo* ClassOf(std::uint32_t formType);  // null when unknown
  // The registry stops knowing the class (returned, so a test can give it back).
  static ScriptClassInfo* ForgetClass(std::uint32_t formType);
  static void RestoreClass(std::uint32_t formType, ScriptClassInfo* info);
  [[nodiscard]] static std::size_t DestroyedClassInfos();

  // Game objects, handles and identifiers.
  [[nodiscard]] static SimForm* NewForm(std::uint32_t formType, std::uint32_t formId);
  // Gives a game object a handle of `formType` (once; later calls return the same handle).
  static std::uint64_t Adopt(void* gameObject, std::uint32_t formType);
  static void Unload(const void* gameObject);  // its handle is no longer usable
  [[nodiscard]] static std::uint64_t HandleOf(const void* gameObject);
  [[nodiscard]] static std::int32_t HandleReferences(std::uint64_t handle);
  [[nodiscard]] static ScriptObjectId* BoundIdentifier(std::uint64_t handle, std::uint32_t formType);
  [[nodiscard]] static std::uint32_t UseCount(const ScriptObjectId* id);
  [[nodiscard]] static std::size_t DestroyedIdentifiers();
  [[nodiscard]] static std::size_t IdentifiersCreated();

  // Native-function objects.
  [[nodiscard]] static const std::vector<ForwardedCall>& ForwardedCalls();
  [[nodiscard]] static std::size_t BaseDestructorCalls();
};

// The game's data handler with its loaded-mod list, in load order; the singleton points
// at it once set.
void SetLoadedMods(const std::vector<std::string>& fileNames);

}  // namespace sim
