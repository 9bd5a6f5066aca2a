#include "papyrus/text/DecimalText.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "papyrus/text/TerminatedText.h"

namespace qx::papyrus {
namespace {

char LowerAscii(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsPrefixIgnoringCase(std::string_view text, std::string_view word) noexcept {
  if (text.size() > word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (LowerAscii(text[i]) != word[i]) return false;
  }
  return true;
}

// Appends the decimal digits of `number`.
void AppendDigits(std::string& out, std::uint64_t number) {
  char digits[24];
  char* at = digits + sizeof digits;
  std::uint32_t low = 0;
  // Split once so that the digits come from 32-bit arithmetic.
  if (number > 0xFFFFFFFFu) {
    std::uint64_t high = number / 1000000000u;
    low = static_cast<std::uint32_t>(number - high * 1000000000u);
    for (int i = 0; i < 9; ++i, low /= 10) *--at = static_cast<char>('0' + low % 10);
    number = high;
  }
  auto rest = static_cast<std::uint32_t>(number);
  do {
    *--at = static_cast<char>('0' + rest % 10);
    rest /= 10;
  } while (rest != 0);
  out.append(at, static_cast<std::size_t>(digits + sizeof digits - at));
}

// The float in fixed notation with up to nine digits after the point, exactly as "%.*f"
// prints it (the value widened to double is exact, and the last digit is rounded half to
// even): the value is m * 2^e with m below 2^24, so value * 10^precision is worked out
// exactly in 64 bits. False when the value is too large for that (then the caller prints).
bool AppendFixedExactly(std::string& out, float value, std::uint32_t precision) {
  if (precision > 9 || !std::isfinite(value)) return false;
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  std::uint32_t field = (bits >> 23) & 0xFF;
  std::uint64_t mantissa = bits & 0x7FFFFF;
  int exponent = -149;  // of the last mantissa bit
  if (field != 0) {
    mantissa |= 0x800000;
    exponent = static_cast<int>(field) - 150;
  }
  std::uint32_t scale = 1;
  for (std::uint32_t i = 0; i < precision; ++i) scale *= 10;
  std::uint64_t scaled = mantissa * scale;  // below 2^54
  std::uint64_t units;                      // value * 10^precision, rounded half to even
  if (exponent >= 0) {
    if (exponent > 9) return false;
    units = scaled << exponent;
  } else if (-exponent >= 64) {
    units = 0;  // below 2^-10 units: rounds down
  } else {
    int shift = -exponent;
    units = scaled >> shift;
    std::uint64_t rest = scaled & ((std::uint64_t{1} << shift) - 1);
    std::uint64_t half = std::uint64_t{1} << (shift - 1);
    if (rest > half || (rest == half && (units & 1) != 0)) ++units;
  }
  if (bits >> 31) out += '-';
  if (precision == 0) {
    AppendDigits(out, units);
    return true;
  }
  AppendDigits(out, units / scale);
  out += '.';
  auto fraction = static_cast<std::uint32_t>(units % scale);
  char digits[9];
  for (std::uint32_t i = precision; i-- > 0; fraction /= 10) digits[i] = static_cast<char>('0' + fraction % 10);
  out.append(digits, precision);
  return true;
}

// A decimal text of at most seven digits and at most ten after the point, read exactly as
// strtof reads it: the digits and the power of ten are both exact floats, and one float
// division rounds their quotient correctly. False (nothing read) for any other text.
bool ReadShortDecimal(std::string_view text, float& value) {
  std::uint32_t digits = 0;
  int count = 0, afterPoint = 0;
  bool point = false;
  std::size_t at = text[0] == '-' ? 1 : 0;
  for (; at < text.size(); ++at) {
    char c = text[at];
    if (c == '.') {
      point = true;
      continue;
    }
    if (digits != 0 || c != '0') ++count;
    digits = digits * 10 + static_cast<std::uint32_t>(c - '0');
    if (point) ++afterPoint;
    if (count > 7 || afterPoint > 10) return false;
  }
  static constexpr float kPowers[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
  float quotient = static_cast<float>(digits) / kPowers[afterPoint];
  value = text[0] == '-' ? -quotient : quotient;
  return true;
}

}  // namespace

void AppendFixed(std::string& out, float value, std::uint32_t precision) {
  if (AppendFixedExactly(out, value, precision)) return;
  char small[64];
  int length = std::snprintf(small, sizeof small, "%.*f", static_cast<int>(precision),
                             static_cast<double>(value));
  if (length < 0) return;
  if (static_cast<std::size_t>(length) < sizeof small) {
    out.append(small, static_cast<std::size_t>(length));
    return;
  }
  std::size_t start = out.size();
  out.resize(start + static_cast<std::size_t>(length) + 1);
  std::snprintf(out.data() + start, static_cast<std::size_t>(length) + 1, "%.*f",
                static_cast<int>(precision), static_cast<double>(value));
  out.resize(start + static_cast<std::size_t>(length));
}

bool IsIntegerText(std::string_view text) noexcept {
  std::size_t at = 0;
  bool negative = !text.empty() && text[0] == '-';
  if (negative) at = 1;
  if (at == text.size()) return false;
  std::uint64_t magnitude = 0;
  for (; at < text.size(); ++at) {
    if (!IsDigit(text[at])) return false;
    magnitude = magnitude * 10 + static_cast<std::uint64_t>(text[at] - '0');
    if (magnitude > kLargestScriptInt + 1) magnitude = kLargestScriptInt + 2;  // too large either way
  }
  return magnitude <= (negative ? kLargestScriptInt + 1 : kLargestScriptInt);
}

bool IsBooleanText(std::string_view text) noexcept {
  return !text.empty() && (IsPrefixIgnoringCase(text, "true") || IsPrefixIgnoringCase(text, "false"));
}

bool IsDecimalText(std::string_view text, float* value) noexcept {
  if (text.empty()) return false;
  std::size_t at = (text[0] == '-' || text[0] == '.') ? 1 : 0;
  bool sawPoint = text[0] == '.';
  bool sawDigit = false;
  for (std::size_t i = at; i < text.size(); ++i) {
    if (IsDigit(text[i])) {
      sawDigit = true;
    } else if (text[i] == '.' && !sawPoint) {
      sawPoint = true;
    } else {
      return false;
    }
  }
  if (!sawDigit) return false;
  // Most texts are numbers of the normal range: read them in place, as correctly rounded as
  // strtof reads them. Zero, tiny and huge values (where strtof's range report decides)
  // and anything from_chars does not take go the C library's way below.
  float quick = 0.0f;
  bool read = ReadShortDecimal(text, quick);
  if (!read) {
    auto parsed = std::from_chars(text.data(), text.data() + text.size(), quick);
    read = parsed.ec == std::errc() && parsed.ptr == text.data() + text.size();
  }
  if (read && std::isnormal(quick)) {
    if (value != nullptr) *value = quick;
    return true;
  }
  // strtof needs a terminated text: short ones (all practical numbers) are copied to the
  // stack, only very long ones to the heap.
  TerminatedText<64> copy(text);
  const char* terminated = copy.c_str();
  errno = 0;
  char* end = nullptr;
  float number = std::strtof(terminated, &end);
  if (end != terminated + text.size() || errno == ERANGE || !std::isfinite(number)) return false;
  if (value != nullptr) *value = number;
  return true;
}

}  // namespace qx::papyrus
