// Every QXStringUtil function, called through its run slot as a script calls it.
#include "tests/host/PapyrusFixture.h"

namespace {

using namespace qxtest;
using qx::papyrus::kType_None;
using qx::papyrus::kType_StringArray;

std::vector<std::string> SplitResult(const std::string& text, const std::string& delimiter) {
  ScriptValue result = CallStringUtil("Split", {Vm::String(text), Vm::String(delimiter)});
  if (result.type == kType_None) {
    EXPECT_EQ(result.data, 0u);
    return {"<none>"};
  }
  EXPECT_EQ(result.type, kType_StringArray);
  std::vector<std::string> pieces = Vm::Texts(result);
  Vm::Release(result);
  return pieces;
}

TEST(QXStringUtil, SplitKeepsNonEmptyPiecesAndGivesNoneForNoPieces) {
  BootForScripts();
  EXPECT_EQ(SplitResult("a,,b,", ","), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(SplitResult("a, b", ", "), (std::vector<std::string>{"a", " b"}));
  EXPECT_EQ(SplitResult("abc", ""), (std::vector<std::string>{"abc"}));
  EXPECT_EQ(SplitResult("", ","), (std::vector<std::string>{"<none>"}));
  EXPECT_EQ(SplitResult(",,,", ","), (std::vector<std::string>{"<none>"}));
}

TEST(QXStringUtil, TypeTagsAndHexadecimalText) {
  BootForScripts();
  EXPECT_EQ(TextResult("GetPlaceableTypeTag", {Vm::Int(41)}), "WEAP");
  EXPECT_EQ(TextResult("GetPlaceableTypeTag", {Vm::Int(102)}), "ARMA");
  EXPECT_EQ(TextResult("GetPlaceableTypeTag", {Vm::Int(33)}), "");
  EXPECT_EQ(IntResult("GetModIndex", {Vm::String("ff000d62")}), 255u);
  EXPECT_EQ(IntResult("GetModIndex", {Vm::String("0x012345")}), 0u);
  EXPECT_TRUE(BoolResult("IsCustomObjectHex", {Vm::String("FF000801")}));
  EXPECT_FALSE(BoolResult("IsCustomObjectHex", {Vm::String("fe000801")}));
  EXPECT_TRUE(BoolResult("IsCustomObjectDec", {Vm::Int(static_cast<std::int32_t>(0xFF000801))}));
  EXPECT_FALSE(BoolResult("IsCustomObjectDec", {Vm::Int(0x01000801)}));
  EXPECT_EQ(TextResult("FormToHex", {Vm::Int(77382)}), "00012E46");
  EXPECT_EQ(TextResult("DecToHex", {Vm::Int(0x1234), Vm::Int(1)}), "34");
  EXPECT_EQ(TextResult("DecToHex", {Vm::Int(-1), Vm::Int(4)}), "FFFFFFFF");
  EXPECT_EQ(TextResult("DecToHex", {Vm::Int(10), Vm::Int(0)}), "");
  EXPECT_EQ(TextResult("DecToHex", {Vm::Int(10), Vm::Int(-1)}), "");
  EXPECT_EQ(TextResult("DecToHex", {Vm::Int(10), Vm::Int(1025)}), "");
  EXPECT_EQ(IntResult("HexToDec", {Vm::String("FFFFFFFF")}), 0xFFFFFFFFu);
  EXPECT_EQ(IntResult("HexToDec", {Vm::String("1G")}), 16u);
  EXPECT_EQ(IntResult("HexToDec", {Vm::String("")}), 0u);
}

TEST(QXStringUtil, LoadIndependentFormsFollowTheLoadedModList) {
  BootForScripts();
  sim::SetLoadedMods({"Skyrim.esm", "Update.esm", "Dawnguard.esm", "My Mod.esp"});
  EXPECT_EQ(TextResult("GetLoadIndependentFormHex", {Vm::String("03012345")}), "012345_My Mod.esp");
  EXPECT_EQ(TextResult("GetLoadIndependentFormDec", {Vm::Int(0x03012345)}), "012345_My Mod.esp");
  EXPECT_EQ(IntResult("ResolveLoadIndependentForm", {Vm::String("012345_My Mod.esp")}), 0x03012345u);
  EXPECT_EQ(IntResult("ResolveLoadIndependentForm", {Vm::String("012345_MY MOD.ESP")}), 0x03012345u);
  EXPECT_EQ(IntResult("ResolveLoadIndependentForm", {Vm::String("012345_Missing.esp")}), 0u);
  EXPECT_EQ(IntResult("ResolveLoadIndependentForm", {Vm::String("01234")}), 0u);
  // A mod index without a file behind it keeps the local ID and "_".
  EXPECT_EQ(TextResult("GetLoadIndependentFormHex", {Vm::String("09000001")}), "000001_");

  EXPECT_EQ(TextResult("GetLoadIndependentFormHex", {Vm::String("FF000801")}), "");
  EXPECT_EQ(TextResult("GetLoadIndependentFormDec", {Vm::Int(static_cast<std::int32_t>(0xFF000801))}), "");
  EXPECT_EQ(TextResult("GetLoadIndependentFormHexAllowCustom", {Vm::String("FF000801")}),
            "000801___CUSTOMPLACEDOBJ__");
  EXPECT_EQ(TextResult("GetLoadIndependentFormDecAllowCustom",
                       {Vm::Int(static_cast<std::int32_t>(0xFF000801))}),
            "000801___CUSTOMPLACEDOBJ__");
  EXPECT_EQ(TextResult("GetLoadIndependentFormDecAllowCustom", {Vm::Int(0x00000014)}),
            "000014_Skyrim.esm");
  EXPECT_EQ(IntResult("ResolveLoadIndependentFormAllowCustom", {Vm::String("000801___CUSTOMPLACEDOBJ__")}),
            0xFF000801u);
  EXPECT_EQ(IntResult("ResolveLoadIndependentForm", {Vm::String("000801___CUSTOMPLACEDOBJ__")}), 0u);
  // The marker is exact; in other letter case it is looked up as a file name.
  EXPECT_EQ(IntResult("ResolveLoadIndependentFormAllowCustom", {Vm::String("000801___customplacedobj__")}),
            0u);
  EXPECT_EQ(IntResult("ResolveLoadIndependentFormAllowCustom", {Vm::String("000014_update.esm")}),
            0x01000014u);
}

TEST(QXStringUtil, FormatStrFillsTheTemplate) {
  BootForScripts();
  ScriptValue values = Vm::StringArray({"x", "12", "3.14159"});
  EXPECT_EQ(TextResult("FormatStr", {Vm::String("%0s has %1d of %2.1f"), values}), "x has 12 of 3.1");
  EXPECT_EQ(TextResult("FormatStr", {Vm::String("%3s and 100%%"), values}), "%3s and 100%");
  Vm::Release(values);
  EXPECT_EQ(TextResult("FormatStr", {Vm::String("%0s"), Vm::None()}), "%0s");
  EXPECT_EQ(TextResult("FormatStr", {Vm::String(""), Vm::None()}), "");
}

TEST(QXStringUtil, FormatStrArrayWritesTheOutputInPlace) {
  BootForScripts();
  ScriptValue templates = Vm::StringArray({"%0s!", "x%0s", "%0d"});
  ScriptValue values = Vm::StringArray({"a"});
  ScriptValue output = Vm::StringArray({"old", "old", "old", "kept"});
  ScriptValue result = CallStringUtil("FormatStrArray", {templates, values, output});
  EXPECT_EQ(result.type, kType_None);
  EXPECT_EQ(Vm::Texts(output), (std::vector<std::string>{"a!", "xa", "%0d", "kept"}));

  // A shorter output array gets only the elements it has; a none output array nothing.
  ScriptValue shortOutput = Vm::StringArray({"old"});
  Vm::Release(result);
  result = CallStringUtil("FormatStrArray", {templates, values, shortOutput});
  EXPECT_EQ(Vm::Texts(shortOutput), (std::vector<std::string>{"a!"}));
  result = CallStringUtil("FormatStrArray", {templates, values, Vm::None()});
  EXPECT_EQ(result.type, kType_None);
  for (ScriptValue* v : {&templates, &values, &output, &shortOutput}) Vm::Release(*v);
}

}  // namespace
