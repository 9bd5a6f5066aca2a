#include "papyrus/TextTemplate.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qx::papyrus {
namespace {

constexpr std::uint64_t kLargestNumber = 2147483647;

bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// Reads a run of digits at `at`; `fits` turns false when the number exceeds kLargestNumber.
std::uint64_t ReadNumber(std::string_view text, std::size_t& at, bool& fits) noexcept {
  std::uint64_t number = 0;
  for (; at < text.size() && IsDigit(text[at]); ++at) {
    number = number * 10 + static_cast<std::uint64_t>(text[at] - '0');
    if (number > kLargestNumber) {
      fits = false;
      number = kLargestNumber + 1;  // stays above the limit without overflowing
    }
  }
  return number;
}

char LowerAscii(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsPrefixIgnoringCase(std::string_view text, std::string_view word) noexcept {
  if (text.size() > word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (LowerAscii(text[i]) != word[i]) return false;
  }
  return true;
}

void AppendFixed(std::string& out, float value, std::uint32_t precision) {
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

}  // namespace

bool IsIntegerText(std::string_view text) noexcept {
  std::size_t at = 0;
  bool negative = !text.empty() && text[0] == '-';
  if (negative) at = 1;
  if (at == text.size()) return false;
  std::uint64_t magnitude = 0;
  for (; at < text.size(); ++at) {
    if (!IsDigit(text[at])) return false;
    magnitude = magnitude * 10 + static_cast<std::uint64_t>(text[at] - '0');
    if (magnitude > kLargestNumber + 1) magnitude = kLargestNumber + 2;  // too large either way
  }
  return magnitude <= (negative ? kLargestNumber + 1 : kLargestNumber);
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
  // strtof needs a terminated text: short ones (all practical numbers) are copied to the
  // stack, only very long ones to the heap.
  char shortCopy[64];
  std::string longCopy;
  const char* terminated = shortCopy;
  if (text.size() < sizeof shortCopy) {
    std::memcpy(shortCopy, text.data(), text.size());
    shortCopy[text.size()] = '\0';
  } else {
    longCopy.assign(text);
    terminated = longCopy.c_str();
  }
  errno = 0;
  char* end = nullptr;
  float number = std::strtof(terminated, &end);
  if (end != terminated + text.size() || errno == ERANGE || !std::isfinite(number)) return false;
  if (value != nullptr) *value = number;
  return true;
}

std::string FillTemplate(std::string_view pattern, const TemplateValues& values) {
  std::string out;
  out.reserve(pattern.size());
  std::size_t i = 0;
  const std::size_t n = pattern.size();
  while (i < n) {
    if (pattern[i] != '%' || i + 1 == n) {
      out += pattern[i++];
      continue;
    }
    if (pattern[i + 1] == '%') {
      out += '%';
      i += 2;
      continue;
    }
    if (!IsDigit(pattern[i + 1])) {
      out.append(pattern.substr(i, 2));
      i += 2;
      continue;
    }
    bool fits = true;
    std::size_t at = i + 1;
    std::uint64_t index = ReadNumber(pattern, at, fits);
    bool withPrecision = false;
    std::uint64_t precision = 0;
    char conversion = at < n ? pattern[at] : '\0';
    bool placeholder = at < n && (conversion == 's' || conversion == 'd' || conversion == 'b' ||
                                  conversion == 'f');
    if (at < n && conversion == '.') {
      std::size_t digits = at + 1;
      precision = ReadNumber(pattern, digits, fits);
      if (digits > at + 1 && digits < n && pattern[digits] == 'f') {
        placeholder = withPrecision = true;
        conversion = 'f';
        at = digits;
      } else {
        at = digits;  // the character that ended the form, or the end
      }
    }
    std::size_t end = at < n ? at + 1 : n;
    std::string_view written = pattern.substr(i, end - i);
    i = end;
    if (!placeholder) {
      out.append(written);
      continue;
    }
    if (!fits || precision > kMaxTemplatePrecision || values.values == nullptr ||
        index >= values.count) {
      out.append(written);
      continue;
    }
    std::string_view text = values.textAt(values.values, static_cast<std::uint32_t>(index));
    bool passes = true;
    float number = 0.0f;
    switch (conversion) {
      case 's':
        break;
      case 'd':
        passes = IsIntegerText(text);
        break;
      case 'b':
        passes = IsBooleanText(text);
        break;
      default:
        passes = IsDecimalText(text, &number);
        break;
    }
    if (passes && withPrecision) {
      AppendFixed(out, number, static_cast<std::uint32_t>(precision));
    } else if (passes) {
      out.append(text);
    } else {
      out += '%';
      out += std::to_string(index);
      if (withPrecision) {
        out += '.';
        out += std::to_string(precision);
      }
      out += conversion;
    }
  }
  return out;
}

}  // namespace qx::papyrus
