#pragma once
// Numbers in script texts, read and printed as the C library reads and prints them, but in
// place and without its locale: what a template's "%<i>d", "%<i>b" and "%<i>f" accept, and a
// float in fixed notation.
#include <cstdint>
#include <string>
#include <string_view>

namespace qx::papyrus {

// The largest number a script's Int holds.
inline constexpr std::uint64_t kLargestScriptInt = 2147483647;

[[nodiscard]] constexpr bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// An Int's text: an optional '-', then digits, within the Int's range.
[[nodiscard]] bool IsIntegerText(std::string_view text) noexcept;
// A prefix of "true" or "false", in any case.
[[nodiscard]] bool IsBooleanText(std::string_view text) noexcept;
// A decimal text that reads as a finite float (into `value`, as strtof reads it).
[[nodiscard]] bool IsDecimalText(std::string_view text, float* value = nullptr) noexcept;

// Appends the float in fixed notation with `precision` digits, as "%.*f" prints the value
// widened to double.
void AppendFixed(std::string& out, float value, std::uint32_t precision);

}  // namespace qx::papyrus
