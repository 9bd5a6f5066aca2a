#include "papyrus/text/TextTemplate.h"

#include "papyrus/text/DecimalText.h"

namespace qx::papyrus {
namespace {

// Reads a run of digits at `at`; `fits` turns false when the number exceeds a script's Int.
std::uint64_t ReadNumber(std::string_view text, std::size_t& at, bool& fits) noexcept {
  std::uint64_t number = 0;
  for (; at < text.size() && IsDigit(text[at]); ++at) {
    number = number * 10 + static_cast<std::uint64_t>(text[at] - '0');
    if (number > kLargestScriptInt) {
      fits = false;
      number = kLargestScriptInt + 1;  // stays above the limit without overflowing
    }
  }
  return number;
}

// A form that begins with '%' and a digit: "%<i><c>", "%<i>.<p>f", or something else that
// stays as written.
struct Placeholder {
  std::string_view written;    // the whole form, as the template has it
  bool isPlaceholder = false;  // one of the forms above, with a conversion that exists
  bool fits = true;            // index and precision within a script's Int
  std::uint64_t index = 0;
  bool withPrecision = false;
  std::uint64_t precision = 0;
  char conversion = '\0';
};

// Reads the form that starts at `start` (a '%' followed by a digit).
Placeholder ReadPlaceholder(std::string_view pattern, std::size_t start) noexcept {
  const std::size_t n = pattern.size();
  Placeholder form;
  std::size_t at = start + 1;
  form.index = ReadNumber(pattern, at, form.fits);
  form.conversion = at < n ? pattern[at] : '\0';
  char c = form.conversion;
  form.isPlaceholder = at < n && (c == 's' || c == 'd' || c == 'b' || c == 'f');
  if (at < n && c == '.') {
    std::size_t digits = at + 1;
    form.precision = ReadNumber(pattern, digits, form.fits);
    if (digits > at + 1 && digits < n && pattern[digits] == 'f') {
      form.isPlaceholder = form.withPrecision = true;
      form.conversion = 'f';
    }
    at = digits;  // the character that ended the form, or the end
  }
  std::size_t end = at < n ? at + 1 : n;
  form.written = pattern.substr(start, end - start);
  return form;
}

// Appends what `form` becomes: its value converted, "%<i><c>" when the value fails its
// conversion, or the form as written when it cannot be filled at all.
void AppendFilled(std::string& out, const Placeholder& form, const TemplateValues& values) {
  if (!form.isPlaceholder || !form.fits || form.precision > kMaxTemplatePrecision || values.values == nullptr ||
      form.index >= values.count) {
    out.append(form.written);
    return;
  }
  std::string_view text = values.textAt(values.values, static_cast<std::uint32_t>(form.index));
  bool passes = true;
  float number = 0.0f;
  switch (form.conversion) {
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
  if (passes && form.withPrecision) {
    AppendFixed(out, number, static_cast<std::uint32_t>(form.precision));
  } else if (passes) {
    out.append(text);
  } else {
    out += '%';
    out += std::to_string(form.index);
    if (form.withPrecision) {
      out += '.';
      out += std::to_string(form.precision);
    }
    out += form.conversion;
  }
}

}  // namespace

std::string FillTemplate(std::string_view pattern, const TemplateValues& values) {
  std::string out;
  out.reserve(pattern.size());
  const std::size_t n = pattern.size();
  for (std::size_t i = 0; i < n;) {
    if (pattern[i] != '%' || i + 1 == n) {
      out += pattern[i++];
    } else if (pattern[i + 1] == '%') {
      out += '%';
      i += 2;
    } else if (!IsDigit(pattern[i + 1])) {
      out.append(pattern.substr(i, 2));
      i += 2;
    } else {
      Placeholder form = ReadPlaceholder(pattern, i);
      i += form.written.size();
      AppendFilled(out, form, values);
    }
  }
  return out;
}

}  // namespace qx::papyrus
