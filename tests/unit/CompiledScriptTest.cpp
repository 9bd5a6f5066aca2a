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

// The same script as its notes give it, with a { } comment after Twice, as written today:
// the comment is Twice's docstring, and the four state functions follow the natives.
ScriptClass Example() {
  return {"QXExample",
          {{"Twice", "Int", {{"a", "Int"}}, "Doubles a."},
           {"Parts", "String[]", {{"s", "String"}, {"d", "String"}}, ""}}};
}

// Laid out by hand from the format notes, field by field (offsets hex), 490 bytes.
const std::vector<std::uint8_t> kExampleWithStateFunctions = {
    0xFA, 0x57, 0xC0, 0xDE, 0x03, 0x02, 0x00, 0x01,                    // 0000 magic, 3.2, game 1
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,                    // 0008 compile time
    0x00, 0x0D, 'Q', 'X', 'E', 'x', 'a', 'm', 'p', 'l', 'e', '.', 'p', 's', 'c',  // 0010 source
    0x00, 0x00, 0x00, 0x00,                                            // 001F user, machine
    0x00, 0x16,                                                        // 0023 22 strings
    0x00, 0x09, 'Q', 'X', 'E', 'x', 'a', 'm', 'p', 'l', 'e',           // 0025 [0]
    0x00, 0x00,                                                        // 0030 [1] ""
    0x00, 0x05, 'T', 'w', 'i', 'c', 'e',                               // 0032 [2]
    0x00, 0x03, 'I', 'n', 't',                                         // 0039 [3]
    0x00, 0x0A, 'D', 'o', 'u', 'b', 'l', 'e', 's', ' ', 'a', '.',      // 003E [4] docstring
    0x00, 0x01, 'a',                                                   // 004A [5]
    0x00, 0x05, 'P', 'a', 'r', 't', 's',                               // 004D [6]
    0x00, 0x08, 'S', 't', 'r', 'i', 'n', 'g', '[', ']',                // 0054 [7]
    0x00, 0x01, 's',                                                   // 005E [8]
    0x00, 0x06, 'S', 't', 'r', 'i', 'n', 'g',                          // 0061 [9]
    0x00, 0x01, 'd',                                                   // 0069 [10]
    0x00, 0x08, 'G', 'e', 't', 'S', 't', 'a', 't', 'e',                // 006C [11]
    0x00, 0x07, ':', ':', 'S', 't', 'a', 't', 'e',                     // 0076 [12]
    0x00, 0x09, 'G', 'o', 't', 'o', 'S', 't', 'a', 't', 'e',           // 007F [13]
    0x00, 0x04, 'N', 'o', 'n', 'e',                                    // 008A [14]
    0x00, 0x08, 'n', 'e', 'w', 'S', 't', 'a', 't', 'e',                // 0090 [15]
    0x00, 0x09, ':', ':', 'N', 'o', 'n', 'e', 'V', 'a', 'r',           // 009A [16]
    0x00, 0x0A, 'o', 'n', 'E', 'n', 'd', 'S', 't', 'a', 't', 'e',      // 00A5 [17]
    0x00, 0x04, 's', 'e', 'l', 'f',                                    // 00B1 [18]
    0x00, 0x0C, 'o', 'n', 'B', 'e', 'g', 'i', 'n', 'S', 't', 'a', 't', 'e',  // 00B7 [19]
    0x00, 0x06, 'h', 'i', 'd', 'd', 'e', 'n',                          // 00C5 [20]
    0x00, 0x0B, 'c', 'o', 'n', 'd', 'i', 't', 'i', 'o', 'n', 'a', 'l', // 00CD [21]
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,              // 00DA debug info, time
    0x00, 0x06,                                                        // 00E3 6 functions
    0x00, 0x00, 0x00, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00,              // 00E5 Twice, no lines
    0x00, 0x00, 0x00, 0x01, 0x00, 0x06, 0x00, 0x00, 0x00,              // 00EE Parts
    0x00, 0x00, 0x00, 0x01, 0x00, 0x0B, 0x00, 0x00, 0x01, 0x00, 0x00,  // 00F7 GetState, 1 line
    0x00, 0x00, 0x00, 0x01, 0x00, 0x0D, 0x00, 0x00, 0x03,              // 0102 GotoState, 3 lines
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x01, 0x00, 0x11, 0x00, 0x00, 0x00,              // 0111 onEndState
    0x00, 0x00, 0x00, 0x01, 0x00, 0x13, 0x00, 0x00, 0x00,              // 011A onBeginState
    0x00, 0x02, 0x00, 0x14, 0x00, 0x00, 0x15, 0x01,                    // 0123 hidden 0, conditional 1
    0x00, 0x01, 0x00, 0x00,                                            // 012B one object: QXExample
    0x00, 0x00, 0x00, 0xBB,                                            // 012F size 187
    0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01,        // 0133 parent, doc, hidden, auto
    0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x06,        // 013D vars, props, state "", 6
    0x00, 0x02, 0x00, 0x03, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x03,  // 0147 Int Twice {Doubles a.} 03
    0x00, 0x01, 0x00, 0x05, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00,        //      (Int a), no locals, no code
    0x00, 0x06, 0x00, 0x07, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x03,  // 015C String[] Parts 03
    0x00, 0x02, 0x00, 0x08, 0x00, 0x09, 0x00, 0x0A, 0x00, 0x09,        //      (String s, String d)
    0x00, 0x00, 0x00, 0x00,
    0x00, 0x0B, 0x00, 0x09, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,  // 0175 String GetState 00
    0x00, 0x00, 0x00, 0x00, 0x00, 0x01,                                //      (), no locals, 1:
    0x1A, 0x01, 0x00, 0x0C,                                            //      return ::State
    0x00, 0x0D, 0x00, 0x0E, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,  // 018A GotoState 00
    0x00, 0x01, 0x00, 0x0F, 0x00, 0x09,                                //      (String newState)
    0x00, 0x01, 0x00, 0x10, 0x00, 0x0E,                                //      None ::NoneVar
    0x00, 0x03,                                                        //      3:
    0x17, 0x01, 0x00, 0x11, 0x01, 0x00, 0x12, 0x01, 0x00, 0x10, 0x03, 0x00, 0x00, 0x00, 0x00,
    0x0D, 0x01, 0x00, 0x0C, 0x01, 0x00, 0x0F,                          //      assign ::State newState
    0x17, 0x01, 0x00, 0x13, 0x01, 0x00, 0x12, 0x01, 0x00, 0x10, 0x03, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x11, 0x00, 0x0E, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,  // 01C8 onEndState 00
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x13, 0x00, 0x0E, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,  // 01D9 onBeginState 00
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};                                                                     // 01EA end

std::vector<std::uint8_t> Compiled(const ScriptClass& script) {
  std::string error;
  auto bytes = WriteCompiledScript(script, error);
  EXPECT_TRUE(bytes) << error;
  return bytes ? *bytes : std::vector<std::uint8_t>{};
}

TEST(CompiledScript, WritesTheWorkedExampleByteForByte) {
  ASSERT_EQ(kExampleWithStateFunctions.size(), 0x1EAu);
  EXPECT_EQ(Compiled(Example()), kExampleWithStateFunctions);
}

TEST(CompiledScript, ReadsTheNotesExampleWithoutStateFunctions) {
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

// What a decompiler shows of each function: declarations, docstrings, locals and code.
TEST(CompiledScript, DecodesEveryFunctionWithItsCode) {
  std::string error;
  auto read = ReadCompiledScript(kExampleWithStateFunctions, error);
  ASSERT_TRUE(read) << error;
  std::string listing;
  for (const ScriptFunction& f : read->functions) listing += Disassemble(f);
  EXPECT_EQ(listing,
            "Int Function Twice(Int a) global native\n"
            "{Doubles a.}\n"
            "String[] Function Parts(String s, String d) global native\n"
            "String Function GetState()\n"
            "  return ::State\n"
            "Function GotoState(String newState)\n"
            "  None ::NoneVar\n"
            "  callmethod onEndState self ::NoneVar\n"
            "  assign ::State newState\n"
            "  callmethod onBeginState self ::NoneVar\n"
            "Function onEndState()\n"
            "Function onBeginState()\n");
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

TEST(CompiledScript, StrictReaderChecksCodeAndLineCounts) {
  std::string error;
  auto damaged = [&](std::size_t at, std::uint8_t value) {
    auto bytes = kExampleWithStateFunctions;
    bytes[at] = value;
    EXPECT_FALSE(ReadCompiledScript(bytes, error)) << "byte " << at;
    return error;
  };
  // GotoState's debug entry with two line numbers for its three instructions.
  auto twoLines = kExampleWithStateFunctions;
  twoLines[0x10A] = 0x02;
  twoLines.erase(twoLines.begin() + 0x10F, twoLines.begin() + 0x111);
  EXPECT_FALSE(ReadCompiledScript(twoLines, error));
  EXPECT_NE(error.find("2 line numbers for 3 instructions"), std::string::npos) << error;
  // GotoState's first instruction: its opcode, its first value's type, its argument count.
  EXPECT_NE(damaged(0x1A3, 0x18).find("opcode 24"), std::string::npos) << error;
  EXPECT_NE(damaged(0x1A4, 0x06).find("unknown type 6"), std::string::npos) << error;
  EXPECT_NE(damaged(0x1AD, 0x01).find("argument count"), std::string::npos) << error;
  // GetState: return of a name outside the table; two instructions claimed.
  EXPECT_NE(damaged(0x189, 0x40).find("string index"), std::string::npos) << error;
  EXPECT_NE(damaged(0x185, 0x02).find("opcode 0"), std::string::npos) << error;
  // Twice, a native, with one instruction; Twice global but not native; the object size.
  EXPECT_NE(damaged(0x15B, 0x01).find("native but has"), std::string::npos) << error;
  EXPECT_NE(damaged(0x151, 0x01).find("neither"), std::string::npos) << error;
  EXPECT_NE(damaged(0x132, 0xBC).find("object size"), std::string::npos) << error;
}

TEST(CompiledScript, WriterRefusesWhatTheFormatCannotHold) {
  std::string error;
  ScriptClass longDoc = Example();
  longDoc.functions[0].documentation.assign(70000, 'x');
  EXPECT_FALSE(WriteCompiledScript(longDoc, error));
  EXPECT_NE(error.find("longer than 65535"), std::string::npos) << error;
  ScriptClass longName = Example();
  longName.functions[1].parameters[0].name.assign(65536, 's');
  EXPECT_FALSE(WriteCompiledScript(longName, error));
  ScriptClass ownGotoState = Example();
  ownGotoState.functions.push_back({"gotostate", "None", {}, ""});
  EXPECT_FALSE(WriteCompiledScript(ownGotoState, error));
  EXPECT_NE(error.find("two functions named"), std::string::npos) << error;
  ScriptClass sameParameter = Example();
  sameParameter.functions[1].parameters[1].name = "S";
  EXPECT_FALSE(WriteCompiledScript(sameParameter, error));
  ScriptClass longest = Example();
  longest.functions[0].documentation.assign(65535, 'x');
  auto read = ReadCompiledScript(Compiled(longest), error);
  ASSERT_TRUE(read) << error;
  EXPECT_EQ(read->functions[0].documentation.size(), 65535u);
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
  std::string error;
  auto read = ReadCompiledScript(Compiled(script), error);
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
  auto read = ReadCompiledScript(Compiled(*script), error);
  ASSERT_TRUE(read) << error;
  ASSERT_EQ(read->functions.size(), 3u + StateFunctions().size());
  EXPECT_EQ(read->functions[2].documentation, "Splits s   at d.");
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
  EXPECT_EQ(Compiled(*parsed), Compiled(script));
  EXPECT_EQ(parsed->functions[0].documentation, "Doubles a.");
}

}  // namespace
