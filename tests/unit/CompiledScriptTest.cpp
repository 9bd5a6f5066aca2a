#include <gtest/gtest.h>

#include "tools/PapyrusScript.h"

namespace {

using namespace qxtools;

// The worked example of the compiled-script notes: two global natives of QXExample.
const std::vector<std::uint8_t> kExample = {
    0xFA, 0x57, 0xC0, 0xDE, 0x03, 0x02, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x0D, 0x51, 0x58, 0x45, 0x78, 0x61, 0x6D, 0x70, 0x6C, 0x65, 0x2E, 0x70, 0x73, 0x63, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x0C, 0x00, 0x09, 0x51, 0x58, 0x45, 0x78, 0x61, 0x6D, 0x70, 0x6C, 0x65,
    0x00, 0x00, 0x00, 0x05, 0x54, 0x77, 0x69, 0x63, 0x65, 0x00, 0x03, 0x49, 0x6E, 0x74, 0x00, 0x01,
    0x61, 0x00, 0x05, 0x50, 0x61, 0x72, 0x74, 0x73, 0x00, 0x08, 0x53, 0x74, 0x72, 0x69, 0x6E, 0x67,
    0x5B, 0x5D, 0x00, 0x01, 0x73, 0x00, 0x06, 0x53, 0x74, 0x72, 0x69, 0x6E, 0x67, 0x00, 0x01, 0x64,
    0x00, 0x06, 0x68, 0x69, 0x64, 0x64, 0x65, 0x6E, 0x00, 0x0B, 0x63, 0x6F, 0x6E, 0x64, 0x69, 0x74,
    0x69, 0x6F, 0x6E, 0x61, 0x6C, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02,
    0x00, 0x00, 0x00, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x05, 0x00,
    0x00, 0x00, 0x00, 0x02, 0x00, 0x0A, 0x00, 0x00, 0x0B, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x46, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x01, 0x00, 0x01, 0x00, 0x02, 0x00, 0x02, 0x00, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00,
    0x03, 0x00, 0x01, 0x00, 0x04, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x00, 0x06, 0x00,
    0x01, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x02, 0x00, 0x07, 0x00, 0x08, 0x00, 0x09, 0x00, 0x08,
    0x00, 0x00, 0x00, 0x00,
};

ScriptClass Example() {
  return {"QXExample",
          {{"Twice", "Int", {{"a", "Int"}}, ""},
           {"Parts", "String[]", {{"s", "String"}, {"d", "String"}}, ""}}};
}

TEST(CompiledScript, WritesTheWorkedExampleByteForByte) {
  EXPECT_EQ(WriteCompiledScript(Example()), kExample);
}

TEST(CompiledScript, ReadsBackWhatItWrote) {
  std::string error;
  auto read = ReadCompiledScript(kExample, error);
  ASSERT_TRUE(read) << error;
  EXPECT_EQ(read->name, "QXExample");
  ASSERT_EQ(read->functions.size(), 2u);
  EXPECT_EQ(read->functions[1].name, "Parts");
  EXPECT_EQ(read->functions[1].returnType, "String[]");
  ASSERT_EQ(read->functions[1].parameters.size(), 2u);
  EXPECT_EQ(read->functions[1].parameters[1].name, "d");
  EXPECT_EQ(read->functions[1].parameters[1].type, "String");
}

TEST(CompiledScript, StrictReaderRejectsDamage) {
  std::string error;
  auto truncated = kExample;
  truncated.pop_back();
  EXPECT_FALSE(ReadCompiledScript(truncated, error));
  auto trailing = kExample;
  trailing.push_back(0);
  EXPECT_FALSE(ReadCompiledScript(trailing, error));
  auto badIndex = kExample;
  badIndex[0xB9] = 0x40;  // return type of Twice -> string 0x40, beyond the 12 entries
  EXPECT_FALSE(ReadCompiledScript(badIndex, error));
  EXPECT_NE(error.find("string index"), std::string::npos) << error;
  auto notNative = kExample;
  notNative[0xC0] = 0x01;
  EXPECT_FALSE(ReadCompiledScript(notNative, error));
  auto littleEndian = kExample;
  std::swap(littleEndian[0], littleEndian[3]);
  std::swap(littleEndian[1], littleEndian[2]);
  EXPECT_FALSE(ReadCompiledScript(littleEndian, error));
  auto wrongSize = kExample;
  wrongSize[0xA1] = 0x47;
  EXPECT_FALSE(ReadCompiledScript(wrongSize, error));
}

TEST(CompiledScript, TypeNamesAreSpelledAsTheCompilerSpellsThem) {
  EXPECT_EQ(CompiledTypeName("int"), "Int");
  EXPECT_EQ(CompiledTypeName("String[]"), "String[]");
  EXPECT_EQ(CompiledTypeName("ActiveMagicEffect[]"), "activemagiceffect[]");
  EXPECT_EQ(CompiledTypeName("SoundDescriptor"), "sounddescriptor");
  EXPECT_EQ(CompiledTypeName("None"), "None");
}

TEST(CompiledScript, NamesDifferingOnlyInCaseShareOneTableEntry) {
  ScriptClass script{"QXCase", {{"Get", "Actor", {{"a", "actor"}}, ""}}};
  auto bytes = WriteCompiledScript(script);
  std::string error;
  auto read = ReadCompiledScript(bytes, error);
  ASSERT_TRUE(read) << error;
  EXPECT_EQ(read->functions[0].returnType, "actor");
  EXPECT_EQ(read->functions[0].parameters[0].type, "actor");
}

TEST(PapyrusSource, ParsesDeclarationsWithDocumentation) {
  std::string error;
  auto script = ParsePapyrusSource(
      "Scriptname QXExample Hidden\n"
      "; a comment\n"
      "Int Function Twice(Int a) global native\n"
      "{Doubles a; never fails.}\n"
      "Function Nothing() Global Native\n"
      "String[] Function Parts(String s, String d) global native\n"
      "{Splits s\n  at d.}\n",
      error);
  ASSERT_TRUE(script) << error;
  EXPECT_EQ(script->name, "QXExample");
  ASSERT_EQ(script->functions.size(), 3u);
  EXPECT_EQ(script->functions[0].documentation, "Doubles a; never fails.");
  EXPECT_EQ(script->functions[1].returnType, "None");
  EXPECT_TRUE(script->functions[1].parameters.empty());
  EXPECT_EQ(script->functions[2].parameters[1].name, "d");
  EXPECT_EQ(script->functions[2].documentation, "Splits s   at d.");
  auto read = ReadCompiledScript(WriteCompiledScript(*script), error);
  ASSERT_TRUE(read) << error;
  EXPECT_EQ(read->functions.size(), 3u);
}

TEST(PapyrusSource, RejectsWhatIsNotAGlobalNativeDeclaration) {
  std::string error;
  EXPECT_FALSE(ParsePapyrusSource("Scriptname X\n", error));
  EXPECT_FALSE(ParsePapyrusSource("Scriptname X Hidden\nInt Function F() native\n", error));
  EXPECT_FALSE(ParsePapyrusSource("Int Function F() global native\n", error));
  EXPECT_FALSE(ParsePapyrusSource("Scriptname X Hidden\nInt Function F(Int) global native\n", error));
}

TEST(PapyrusSource, WritingAndParsingAgree) {
  std::string error;
  ScriptClass script = Example();
  script.functions[0].documentation = "Doubles a.";
  auto parsed = ParsePapyrusSource(WritePapyrusSource(script), error);
  ASSERT_TRUE(parsed) << error;
  EXPECT_EQ(WriteCompiledScript(*parsed), WriteCompiledScript(script));
  EXPECT_EQ(parsed->functions[0].documentation, "Doubles a.");
}

}  // namespace
