#pragma once
// Filling a text template with positional values: "%%", "%<i>s", "%<i>d", "%<i>b", "%<i>f"
// and "%<i>.<p>f". A value that fails its conversion leaves "%<i><c>" (numbers without
// leading zeros); a placeholder that cannot be filled at all (no such value, a number
// beyond 2147483647, a precision beyond kMaxTemplatePrecision) stays exactly as written.
#include <cstdint>
#include <string>
#include <string_view>

namespace qx::papyrus {

// Digits after the point a template may ask for; more would let a script exhaust memory.
inline constexpr std::uint32_t kMaxTemplatePrecision = 1000;

// The values a template reads: `count` texts, none when `values` is null.
struct TemplateValues {
  const void* values = nullptr;
  std::uint32_t count = 0;
  const char* (*textAt)(const void* values, std::uint32_t index) = nullptr;  // never null text
};

// What each conversion accepts, and how "%<i>.<p>f" prints: papyrus/text/DecimalText.h.
[[nodiscard]] std::string FillTemplate(std::string_view pattern, const TemplateValues& values);

}  // namespace qx::papyrus
