// The registration table is the one description of what scripts see: each row names its
// class's functions with their script types.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "platform/Platform.h"
#include "plugin/ScriptClasses.h"
#include "tools/PapyrusScript.h"

namespace {

using namespace qx::papyrus;

TEST(ScriptClassTable, DescribesEachFunctionWithItsScriptTypes) {
  auto rows = qx::ScriptClassRegistrations();
  auto row = std::find_if(rows.begin(), rows.end(), [](const qx::ScriptClassRegistration& r) {
    return std::string(r.functions().className) == "QXStringUtil";
  });
  ASSERT_NE(row, rows.end());
  const NativeClassDef& strings = row->functions();
  EXPECT_STREQ(strings.className, "QXStringUtil");
  ASSERT_EQ(strings.functions.size(), 16u);
  const NativeFunctionDef& formatStr = strings.functions.back();
  EXPECT_STREQ(formatStr.name, "FormatStr");
  ASSERT_EQ(formatStr.parameterCount, 2);
  EXPECT_EQ(formatStr.parameters[0].code, kType_String);
  EXPECT_EQ(formatStr.parameters[1].code, kType_StringArray);
  EXPECT_EQ(formatStr.result.code, kType_String);
  EXPECT_EQ(strings.functions[0].result.code, kType_StringArray);  // Split's list
  EXPECT_EQ(strings.functions[14].result.code, kType_None);        // FormatStrArray
}

}  // namespace

namespace {

// The Papyrus spelling of a script type.
std::string Spelling(const ScriptType& type) {
  if (type.kind == ScriptType::kPlain) {
    switch (type.code) {
      case kType_None: return "None";
      case kType_String: return "String";
      case kType_Int: return "Int";
      case kType_Float: return "Float";
      case kType_Bool: return "Bool";
      case kType_StringArray: return "String[]";
      case kType_IntArray: return "Int[]";
      case kType_FloatArray: return "Float[]";
      default: return "?" + std::to_string(type.code);
    }
  }
  std::string name;
  switch (type.formType) {
    case 0x04: name = "Keyword"; break;
    case 0x16: name = "Spell"; break;
    case 0x1B: name = "Book"; break;
    case 0x3E: name = "Actor"; break;
    case 0x80: name = "SoundDescriptor"; break;
    case 0x8B: name = "ActiveMagicEffect"; break;
    default: name = "?form " + std::to_string(type.formType);
  }
  return type.kind == ScriptType::kFormList ? name + "[]" : name;
}

// What mod authors compile against is what the plugin registers: same functions, same
// order, same types.
TEST(ScriptClassTable, EveryRegisteredClassMatchesItsShippedSource) {
  for (const qx::ScriptClassRegistration& row : qx::ScriptClassRegistrations()) {
    const NativeClassDef& table = row.functions();
    SCOPED_TRACE(table.className);
    std::string text;
    std::string path = std::string(QX_SOURCE_DIR "/dist/Scripts/Source/") + table.className + ".psc";
    ASSERT_TRUE(qx::platform::ReadWholeFile(path.c_str(), text)) << path;
    std::string error;
    std::optional<qxtools::ScriptClass> source = qxtools::ParsePapyrusSource(text, error);
    ASSERT_TRUE(source) << error;
    ASSERT_EQ(source->functions.size(), table.functions.size());
    for (std::size_t i = 0; i < table.functions.size(); ++i) {
      const NativeFunctionDef& native = table.functions[i];
      const qxtools::ScriptFunction& declared = source->functions[i];
      EXPECT_EQ(declared.name, native.name);
      EXPECT_EQ(declared.returnType, Spelling(native.result)) << native.name;
      ASSERT_EQ(declared.parameters.size(), native.parameterCount) << native.name;
      for (std::size_t p = 0; p < native.parameterCount; ++p) {
        EXPECT_EQ(declared.parameters[p].type, Spelling(native.parameters[p])) << native.name << " " << p;
      }
    }
  }
}

}  // namespace
