#include "papyrus/files/PathMatch.h"

#include <cstdint>
#include <cstring>

namespace qx::io {

bool RememberedPath::Remember(const char* text) noexcept {
  std::size_t length = std::strlen(text);
  if (length > kMaxLength) {
    length_ = kNone;
    return false;
  }
  std::memcpy(text_ + kPad, text, length + 1);
  length_ = length;
  return true;
}

}  // namespace qx::io
