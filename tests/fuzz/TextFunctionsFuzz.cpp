// The text functions of QXStringUtil. The first byte picks one:
//   template filling: FormatStr and FormatStrArray called through the VM stand-in, with
//     any values (strings, other types, none) and any output array;
//   Split, through the VM stand-in;
//   the hexadecimal conversions;
//   load-independent form text, against a loaded-plugin list made from the input.
// Checked on the way: results have their script types; a template without "%" fills to
// itself; Split's pieces are the text's non-empty runs between delimiters; hexadecimal
// text and form text read back to the value they were made from.
#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "common/IDebugLog.h"
#include "papyrus/QXStringUtil.h"
#include "papyrus/text/FormText.h"
#include "papyrus/text/HexText.h"
#include "sim/Game.h"
#include "sim/Vm.h"
#include "sim/VmStrings.h"
#include "tests/fuzz/FuzzInput.h"
#include "tests/fuzz/InputMods.h"

namespace {

using namespace qx::papyrus;
using qxfuzz::FuzzInput;
using qxfuzz::InputMods;
using sim::Vm;

// A value a script may pass where a string array is expected.
ScriptValue AnyArray(FuzzInput& in) {
  std::uint8_t kind = in.Byte();
  if (kind % 4 == 0) return Vm::None();
  if (kind % 4 == 1) return Vm::Int(static_cast<std::int32_t>(in.Word()));
  std::vector<ScriptValue> elements;
  for (int n = in.Byte() % 9; n > 0; --n) {
    std::uint8_t element = in.Byte();
    if (element % 8 == 0) elements.push_back(Vm::None());
    else if (element % 8 == 1) elements.push_back(Vm::Int(static_cast<std::int32_t>(in.Word())));
    else elements.push_back(Vm::String(in.Text()));
  }
  // Mostly string arrays; sometimes an array of another element type.
  return Vm::Array(kind % 4 == 2 ? kType_IntArray : kType_StringArray, elements);
}

void FillTemplates(FuzzInput& in) {
  if (in.Bool()) {
    std::string pattern = in.Text();
    ScriptValue values = AnyArray(in);
    ScriptValue result = Vm::CallNative("QXStringUtil", "FormatStr", {Vm::String(pattern), values});
    QX_FUZZ_REQUIRE(result.type == kType_String && result.data != 0);
    if (pattern.find('%') == std::string::npos) QX_FUZZ_REQUIRE(Vm::Text(result) == pattern);
    Vm::Release(result);
    Vm::Release(values);
    return;
  }
  ScriptValue templates = AnyArray(in);
  ScriptValue values = AnyArray(in);
  ScriptValue output = AnyArray(in);
  std::vector<std::string> before = Vm::Texts(output);
  ScriptValue result = Vm::CallNative("QXStringUtil", "FormatStrArray", {templates, values, output});
  QX_FUZZ_REQUIRE(result.type == kType_None);
  // Only elements the output has are written, each with a string.
  if (templates.type == kType_StringArray && output.type == kType_StringArray) {
    std::vector<std::string> after = Vm::Texts(output);
    std::size_t written = std::min(Vm::Texts(templates).size(), after.size());
    QX_FUZZ_REQUIRE(after.size() == before.size());
    // Read the element types themselves: a script's text may be anything, the stand-in's
    // "<not a string>" placeholder included.
    auto* elements = static_cast<ScriptArrayData*>(output.Pointer());
    for (std::size_t i = 0; i < written; ++i) {
      QX_FUZZ_REQUIRE(elements->At(static_cast<std::uint32_t>(i))->type == kType_String);
    }
    for (std::size_t i = written; i < after.size(); ++i) QX_FUZZ_REQUIRE(after[i] == before[i]);
  }
  Vm::Release(templates);
  Vm::Release(values);
  Vm::Release(output);
}

void Split(FuzzInput& in) {
  std::string text = in.Text();
  std::string delimiter = in.Text(4);
  ScriptValue result = Vm::CallNative("QXStringUtil", "Split", {Vm::String(text), Vm::String(delimiter)});
  std::string joined;
  for (const std::string& piece : Vm::Texts(result)) {
    QX_FUZZ_REQUIRE(!piece.empty());
    if (!delimiter.empty()) QX_FUZZ_REQUIRE(piece.find(delimiter[0]) == std::string::npos);
    joined += piece;
  }
  std::string expected = text;
  if (!delimiter.empty()) std::erase(expected, delimiter[0]);
  QX_FUZZ_REQUIRE(joined == expected);
  // No pieces reach the script as none.
  QX_FUZZ_REQUIRE(result.type == (joined.empty() ? kType_None : kType_StringArray));
  Vm::Release(result);
}

void Hex(FuzzInput& in) {
  std::uint32_t value = in.Word();
  std::uint32_t bytes = in.Bool() ? in.Byte() % 8 : in.Word();
  std::string hex = DecToHex(value, bytes);
  QX_FUZZ_REQUIRE(hex.size() == (bytes <= kMaxHexBytes ? 2 * std::size_t{bytes} : 0));
  QX_FUZZ_REQUIRE(HexToDec(DecToHex(value, 4)) == value);
  std::string text = in.Text();
  (void)HexToDec(text);
  QX_FUZZ_REQUIRE(ModIndexOfHex(text) <= 0xFF);
}

void FormText(FuzzInput& in) {
  InputMods mods;
  for (int n = in.Byte() % 8; n > 0; --n) mods.names.push_back(in.Text(32));
  bool allowCustom = in.Bool();
  // Any value's text reads back to that value when its file is loaded (and found first).
  std::uint32_t formId = in.Word();
  if (in.Bool() && !mods.names.empty()) formId = (formId & 0xFFFFFF) | (in.Byte() % mods.names.size()) << 24;
  std::uint32_t index = formId >> 24;
  std::string text = LoadIndependentFormText(DecToHex(formId, 4), allowCustom, mods);
  std::uint32_t resolved = ResolveLoadIndependentFormText(text, allowCustom, mods);
  if (index == 0xFF) {
    QX_FUZZ_REQUIRE(allowCustom ? resolved == formId : text.empty());
  } else if (index < mods.names.size() && mods.IndexOf(mods.names[index].c_str()) == index &&
             !(allowCustom && mods.names[index] == kCustomObjectMarker)) {
    QX_FUZZ_REQUIRE(resolved == formId);
  }
  // Any text resolves to a loaded file's form, a custom object, or nothing.
  std::string any = in.Text();
  resolved = ResolveLoadIndependentFormText(any, allowCustom, mods);
  QX_FUZZ_REQUIRE(resolved == 0 || (resolved >> 24) < mods.names.size() ||
                  (allowCustom && (resolved >> 24) == 0xFF));
  (void)LoadIndependentFormText(any, allowCustom, mods);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  sim::Game::Start();
  IDebugLog::consoleLevel = -1;
  (void)RegisterNativeClass(Vm::Registry(), QXStringUtilClass());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  sim::VmStrings::ShortLivedScope strings;  // the cache keeps no text from one input to the next
  FuzzInput in(data, size);
  switch (in.Byte() % 4) {
    case 0: FillTemplates(in); break;
    case 1: Split(in); break;
    case 2: Hex(in); break;
    default: FormText(in); break;
  }
  return 0;
}
