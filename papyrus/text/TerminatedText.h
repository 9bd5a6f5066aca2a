#pragma once
// A zero-terminated copy of a text view, for the C interfaces that take one: on the stack
// for a text of the usual length (shorter than `kRoom`), on the heap only beyond it.
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace qx::papyrus {

template <std::size_t kRoom>
class TerminatedText {
 public:
  explicit TerminatedText(std::string_view text) {
    if (text.size() < kRoom) {
      std::memcpy(short_, text.data(), text.size());
      short_[text.size()] = '\0';
    } else {
      long_.assign(text);
    }
  }
  TerminatedText(const TerminatedText&) = delete;
  TerminatedText& operator=(const TerminatedText&) = delete;

  [[nodiscard]] const char* c_str() const noexcept { return long_.empty() ? short_ : long_.c_str(); }

 private:
  char short_[kRoom];
  std::string long_;
};

}  // namespace qx::papyrus
