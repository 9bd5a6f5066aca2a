#pragma once
// Conversions of settings text. They never fail: text that cannot be read gives false, 0
// or 0.0, silently.
#include <cstdint>
#include <string>

namespace qx {

// "true" in any case, or else a non-zero integer as ParseInt reads it.
[[nodiscard]] bool ParseBool(std::string text);
// A base-10 integer at the start of the text (leading blanks, optional sign, digits; the
// rest ignored); 0 when there are no digits or the number does not fit 32 bits.
[[nodiscard]] std::int32_t ParseInt(std::string text);
// A float at the start of the text (decimal, exponent, inf, nan; the rest ignored); 0.0
// when nothing can be read or the value overflows or underflows a float.
[[nodiscard]] float ParseFloat(std::string text);

}  // namespace qx
