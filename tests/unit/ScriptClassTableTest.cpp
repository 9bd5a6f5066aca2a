// The registration table is the one description of what scripts see: each row names its
// class's functions with their script types.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "plugin/ScriptClasses.h"

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
