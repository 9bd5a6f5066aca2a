#include "papyrus/effects/ScriptNumber.h"

#include <cmath>

namespace qx::papyrus {

float ScriptNumber::AsFloat() const noexcept {
  switch (kind) {
    case Kind::kInt: return static_cast<float>(intValue);
    case Kind::kFloat: return floatValue;
    case Kind::kBool: return boolValue ? 1.0f : 0.0f;
    case Kind::kOther: break;
  }
  return 0.0f;
}

std::uint32_t ScriptNumber::AsUnsigned() const noexcept {
  switch (kind) {
    case Kind::kInt: return static_cast<std::uint32_t>(intValue);
    case Kind::kFloat: return TruncateToUnsigned(floatValue);
    case Kind::kBool: return boolValue ? 1u : 0u;
    case Kind::kOther: break;
  }
  return 0;
}

std::uint32_t RoundToInt32(float value) noexcept {
  double rounded = std::round(static_cast<double>(value));
  if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) return 0;
  return static_cast<std::uint32_t>(static_cast<std::int32_t>(rounded));
}

}  // namespace qx::papyrus
