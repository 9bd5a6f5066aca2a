#pragma once
// A fuzz input read as a sequence of choices. Every read takes bytes from the front and
// gives zero once the input is used up, so every input is a valid program.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace qxfuzz {

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  [[nodiscard]] bool Empty() const { return at_ >= size_; }
  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  bool Bool() { return (Byte() & 1) != 0; }
  std::uint32_t Word() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(Byte()) << (8 * i);
    return value;
  }
  // Text up to a zero byte (which is consumed) or the end, cut at `max` characters: script
  // texts are zero-terminated, so they never hold one.
  std::string Text(std::size_t max = 256) {
    std::string text;
    while (at_ < size_) {
      char c = static_cast<char>(data_[at_++]);
      if (c == '\0') break;
      if (text.size() < max) text.push_back(c);
    }
    return text;
  }
  // Everything not read yet.
  std::string_view Rest() {
    std::string_view rest(reinterpret_cast<const char*>(data_) + at_, size_ - at_);
    at_ = size_;
    return rest;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// An invariant that failed: report it and abort, so libFuzzer keeps the input as a crash.
[[noreturn]] inline void InvariantFailed(const char* file, int line, const char* what) {
  std::fprintf(stderr, "%s:%d: invariant failed: %s\n", file, line, what);
  std::fflush(stderr);
  std::abort();
}

}  // namespace qxfuzz

#define QX_FUZZ_REQUIRE(expr) \
  ((expr) ? (void)0 : qxfuzz::InvariantFailed(__FILE__, __LINE__, #expr))
