#include "papyrus/QXStringUtil.h"

#include <string>

#include "papyrus/text/FormText.h"
#include "papyrus/text/GameLoadedMods.h"
#include "papyrus/text/HexText.h"
#include "papyrus/text/TextSplit.h"
#include "papyrus/text/TextTemplate.h"
#include "skse/GameStrings.h"

namespace qx::papyrus {
namespace {

using StringCache::Ref;
using game::TextOf;

Ref MakeRef(const std::string& text) { return game::MakeStringRef(text.c_str()); }

TemplateValues ValuesOf(const VMArray<Ref>& array) {
  TemplateValues values;
  if (array.IsNone()) return values;
  values.values = array.Data();
  values.count = array.Length();
  values.textAt = [](const void* data, std::uint32_t i) {
    return VMArray<Ref>(static_cast<ScriptArrayData*>(const_cast<void*>(data))).TextAt(i);
  };
  return values;
}

const char* PlaceableTypeTag(std::uint32_t formType) {
  switch (formType) {
    case 23: return "SCRL";
    case 24: return "ACTI";
    case 25: return "TACT";
    case 26: return "ARMO";
    case 27: return "BOOK";
    case 28: return "CONT";
    case 29: return "DOOR";
    case 30: return "INGR";
    case 31: return "LIGH";
    case 32: return "MISC";
    case 34: return "STAT";
    case 35: return "SCOL";
    case 36: return "MSTT";
    case 37: return "GRAS";
    case 38: return "TREE";
    case 39: return "FLOR";
    case 40: return "FURN";
    case 41: return "WEAP";
    case 42: return "AMMO";
    case 45: return "KEYM";
    case 46: return "ALCH";
    case 48: return "NOTE";
    case 52: return "SLGM";
    case 72: return "LAND";
    case 84: return "WATR";
    case 88: return "DEBR";
    case 102: return "ARMA";
    default: return "";
  }
}

VMResultArray<Ref> Split(StaticFunctionTag*, Ref text, Ref delimiter) {
  std::vector<std::string_view> found = SplitText(TextOf(text), TextOf(delimiter));
  VMResultArray<Ref> pieces;
  pieces.reserve(found.size());
  std::string piece;  // each piece zero-terminated for the game, in one reused buffer
  for (std::string_view part : found) {
    piece.assign(part);
    pieces.push_back(MakeRef(piece));
  }
  return pieces;
}

Ref GetPlaceableTypeTag(StaticFunctionTag*, std::uint32_t formType) {
  return game::MakeStringRef(PlaceableTypeTag(formType));
}

bool IsCustomObjectHex(StaticFunctionTag*, Ref hex) { return ModIndexOfHex(TextOf(hex)) == 0xFF; }

bool IsCustomObjectDec(StaticFunctionTag*, std::uint32_t formId) { return (formId >> 24) == 0xFF; }

std::uint32_t GetModIndex(StaticFunctionTag*, Ref hex) { return ModIndexOfHex(TextOf(hex)); }

std::uint32_t ResolveLoadIndependentForm(StaticFunctionTag*, Ref text) {
  return ResolveLoadIndependentFormText(TextOf(text), false, GameLoadedMods());
}

Ref GetLoadIndependentFormHex(StaticFunctionTag*, Ref hex) {
  return MakeRef(LoadIndependentFormText(TextOf(hex), false, GameLoadedMods()));
}

Ref GetLoadIndependentFormDec(StaticFunctionTag*, std::uint32_t formId) {
  return MakeRef(LoadIndependentFormText(DecToHex(formId, 4), false, GameLoadedMods()));
}

std::uint32_t ResolveLoadIndependentFormAllowCustom(StaticFunctionTag*, Ref text) {
  return ResolveLoadIndependentFormText(TextOf(text), true, GameLoadedMods());
}

Ref GetLoadIndependentFormHexAllowCustom(StaticFunctionTag*, Ref hex) {
  return MakeRef(LoadIndependentFormText(TextOf(hex), true, GameLoadedMods()));
}

Ref GetLoadIndependentFormDecAllowCustom(StaticFunctionTag*, std::uint32_t formId) {
  return MakeRef(LoadIndependentFormText(DecToHex(formId, 4), true, GameLoadedMods()));
}

Ref FormToHex(StaticFunctionTag*, std::uint32_t formId) { return MakeRef(DecToHex(formId, 4)); }

Ref DecToHexText(StaticFunctionTag*, std::uint32_t value, std::uint32_t byteCount) {
  return MakeRef(DecToHex(value, byteCount));
}

std::uint32_t HexToDecText(StaticFunctionTag*, Ref hex) { return HexToDec(TextOf(hex)); }

void FormatStrArray(StaticFunctionTag*, VMArray<Ref> templates, VMArray<Ref> values,
                    VMArray<Ref> output) {
  if (templates.IsNone() || output.IsNone()) return;
  TemplateValues filling = ValuesOf(values);
  // Only the output elements that exist are written.
  for (std::uint32_t i = 0; i < templates.Length() && i < output.Length(); ++i) {
    std::string filled = FillTemplate(templates.TextAt(i), filling);
    StoreString(output.ValueAt(i), filled.c_str());
  }
}

Ref FormatStr(StaticFunctionTag*, Ref pattern, VMArray<Ref> values) {
  return MakeRef(FillTemplate(TextOf(pattern), ValuesOf(values)));
}

const NativeFunctionDef kFunctions[] = {
    DefineNative("Split", &Split),
    DefineNative("GetPlaceableTypeTag", &GetPlaceableTypeTag),
    DefineNative("IsCustomObjectHex", &IsCustomObjectHex),
    DefineNative("IsCustomObjectDec", &IsCustomObjectDec),
    DefineNative("GetModIndex", &GetModIndex),
    DefineNative("ResolveLoadIndependentForm", &ResolveLoadIndependentForm),
    DefineNative("GetLoadIndependentFormHex", &GetLoadIndependentFormHex),
    DefineNative("GetLoadIndependentFormDec", &GetLoadIndependentFormDec),
    DefineNative("ResolveLoadIndependentFormAllowCustom", &ResolveLoadIndependentFormAllowCustom),
    DefineNative("GetLoadIndependentFormHexAllowCustom", &GetLoadIndependentFormHexAllowCustom),
    DefineNative("GetLoadIndependentFormDecAllowCustom", &GetLoadIndependentFormDecAllowCustom),
    DefineNative("FormToHex", &FormToHex),
    DefineNative("DecToHex", &DecToHexText),
    DefineNative("HexToDec", &HexToDecText),
    DefineNative("FormatStrArray", &FormatStrArray),
    DefineNative("FormatStr", &FormatStr),
};

const NativeClassDef kClass{"QXStringUtil", kFunctions};

}  // namespace

const NativeClassDef& QXStringUtilClass() { return kClass; }

bool RegisterQXStringUtil(ScriptRegistry* registry) { return RegisterNativeClass(registry, kClass); }

}  // namespace qx::papyrus
