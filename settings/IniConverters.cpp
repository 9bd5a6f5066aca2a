#include "settings/IniConverters.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace qx {

bool ParseBool(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (text == "true") return true;
  return ParseInt(std::move(text)) != 0;
}

std::int32_t ParseInt(std::string text) {
  try {
    return std::stoi(text);
  } catch (const std::logic_error&) {  // invalid_argument and out_of_range alike
    return 0;
  }
}

float ParseFloat(std::string text) {
  try {
    return std::stof(text);
  } catch (const std::logic_error&) {
    return 0.0f;
  }
}

}  // namespace qx
