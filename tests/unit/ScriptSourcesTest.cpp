// The registration table is what the plugin gives the VM; the shipped script sources are what
// mod authors compile against. Each registered class's source declares exactly its functions,
// in order, with the script types the registration gives them.
#include <gtest/gtest.h>

#include <string>

#include "platform/Platform.h"
#include "plugin/ScriptClasses.h"
#include "tools/PapyrusScript.h"

namespace {

using namespace qx::papyrus;

std::string FormTypeName(std::uint32_t formType) {
  switch (formType) {
    case 0x04: return "Keyword";
    case 0x16: return "Spell";
    case 0x1B: return "Book";
    case 0x3E: return "Actor";
    case 0x80: return "SoundDescriptor";
    case 0x8B: return "ActiveMagicEffect";
    default: return "form type " + std::to_string(formType);
  }
}

// The Papyrus spelling of a script type.
std::string TypeName(const ScriptType& type) {
  if (type.kind == ScriptType::kForm) return FormTypeName(type.formType);
  if (type.kind == ScriptType::kFormList) return FormTypeName(type.formType) + "[]";
  switch (type.code) {
    case kType_None: return "None";
    case kType_String: return "String";
    case kType_Int: return "Int";
    case kType_Float: return "Float";
    case kType_Bool: return "Bool";
    case kType_StringArray: return "String[]";
    case kType_IntArray: return "Int[]";
    case kType_FloatArray: return "Float[]";
    default: return "type code " + std::to_string(type.code);
  }
}

TEST(ScriptSources, DeclareEveryRegisteredFunctionWithItsTypes) {
  for (const qx::ScriptClassRegistration& row : qx::ScriptClassRegistrations()) {
    const NativeClassDef& registered = row.functions();
    SCOPED_TRACE(registered.className);
    std::string text;
    std::string path = std::string(QX_SOURCE_DIR "/dist/Scripts/Source/") + registered.className + ".psc";
    ASSERT_TRUE(qx::platform::ReadWholeFile(path.c_str(), text)) << path;
    std::string error;
    auto script = qxtools::ParsePapyrusSource(text, error);
    ASSERT_TRUE(script) << error;
    ASSERT_EQ(script->functions.size(), registered.functions.size());
    for (std::size_t i = 0; i < registered.functions.size(); ++i) {
      const NativeFunctionDef& native = registered.functions[i];
      const qxtools::ScriptFunction& declared = script->functions[i];
      SCOPED_TRACE(native.name);
      EXPECT_EQ(declared.name, native.name);
      EXPECT_EQ(declared.returnType, TypeName(native.result));
      ASSERT_EQ(declared.parameters.size(), native.parameterCount);
      for (std::size_t p = 0; p < declared.parameters.size(); ++p) {
        EXPECT_EQ(declared.parameters[p].type, TypeName(native.parameters[p])) << "parameter " << p;
      }
    }
  }
}

}  // namespace
