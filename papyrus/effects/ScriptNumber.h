#pragma once
// Elements of the number arrays that scripts hand to QXAEUtil, as the functions read them:
// whatever the element's type, as a float or as a scaling type.
#include <cstdint>
#include <optional>
#include <vector>

#include "skse/PapyrusValue.h"  // TruncateToUnsigned: the one float-to-int rule of scripts

namespace qx::papyrus {

struct ScriptNumber {
  enum class Kind : std::uint8_t { kOther, kInt, kFloat, kBool };
  Kind kind = Kind::kOther;
  std::int32_t intValue = 0;
  float floatValue = 0.0f;
  bool boolValue = false;

  [[nodiscard]] static ScriptNumber Int(std::int32_t v) { return {Kind::kInt, v, 0.0f, false}; }
  [[nodiscard]] static ScriptNumber Float(float v) { return {Kind::kFloat, 0, v, false}; }
  [[nodiscard]] static ScriptNumber Bool(bool v) { return {Kind::kBool, 0, 0.0f, v}; }
  [[nodiscard]] static ScriptNumber Other() { return {}; }

  // An int converted, a bool as 0.0 or 1.0, anything else 0.0.
  [[nodiscard]] float AsFloat() const noexcept;
  // A float by TruncateToUnsigned, an int's bit pattern, a bool as 0 or 1, anything else 0.
  [[nodiscard]] std::uint32_t AsUnsigned() const noexcept;
};

// A script array; a null pointer stands for none.
using ScriptNumbers = std::vector<ScriptNumber>;

// Nearest integer, halves away from zero, as a 32-bit pattern; 0 when not a number or out of
// the signed 32-bit range.
[[nodiscard]] std::uint32_t RoundToInt32(float value) noexcept;

}  // namespace qx::papyrus
