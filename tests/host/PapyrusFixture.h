#pragma once
// Calling the plugin's natives as scripts do: the plugin boots, the VM stand-in runs its
// registrations, and a test calls by class and function name with script values.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "sim/Game.h"
#include "sim/Vm.h"
#include "sim/VmHeap.h"
#include "sim/VmStrings.h"
#include "tests/host/HostFixture.h"

namespace qxtest {

using sim::Vm;
using qx::papyrus::ScriptValue;

inline void BootForScripts() {
  sim::BootResult boot = sim::Game::Boot({});
  ASSERT_TRUE(boot.loaded);
}

// The registered objects of one class, in registration order.
inline std::vector<qx::papyrus::IFunction*> FunctionsOf(const char* className) {
  std::vector<qx::papyrus::IFunction*> found;
  for (qx::papyrus::IFunction* f : Vm::RegisteredFunctions()) {
    if (f->className.data != nullptr && std::string(f->className.data) == className) found.push_back(f);
  }
  return found;
}

// The type code the VM gives parameters and results of a game object's form type: the
// address of its class info.
inline std::uint32_t ClassCode(std::uint32_t formType) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(Vm::ClassOf(formType)));
}

// Calls QXStringUtil.<function> and returns its result value.
inline ScriptValue CallStringUtil(const std::string& function, const std::vector<ScriptValue>& arguments) {
  return Vm::CallNative("QXStringUtil", function, arguments);
}

inline std::string TextResult(const std::string& function, const std::vector<ScriptValue>& arguments) {
  ScriptValue result = CallStringUtil(function, arguments);
  EXPECT_EQ(result.type, qx::papyrus::kType_String) << function;
  return Vm::Text(result);
}

inline std::uint32_t IntResult(const std::string& function, const std::vector<ScriptValue>& arguments) {
  ScriptValue result = CallStringUtil(function, arguments);
  EXPECT_EQ(result.type, qx::papyrus::kType_Int) << function;
  return result.data;
}

inline bool BoolResult(const std::string& function, const std::vector<ScriptValue>& arguments) {
  ScriptValue result = CallStringUtil(function, arguments);
  EXPECT_EQ(result.type, qx::papyrus::kType_Bool) << function;
  EXPECT_LE(result.data, 1u) << function;
  return result.data != 0;
}

}  // namespace qxtest
