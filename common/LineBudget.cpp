#include "common/LineBudget.h"

#include <algorithm>

namespace qx {

LineBudget::Verdict LineBudget::Take(const char* kind, std::int64_t nowMillis) noexcept {
  // Fibonacci hashing of the format's address: the product's top bits pick the slot.
  std::size_t slot = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(kind) * 0x9E3779B1u) >> (32 - kKindBits);
  for (std::size_t probe = 0; probe < kKinds; ++probe) {
    Kind& entry = kinds_[(slot + probe) & (kKinds - 1)];
    if (entry.format == nullptr) {
      entry.format = kind;  // a new kind: its budget is full
    } else if (entry.format != kind) {
      continue;
    }
    if (entry.lines < kLinesAtOnce) {
      std::int64_t grown = nowMillis < entry.refilledAt ? 0 : (nowMillis - entry.refilledAt) / kMillisPerLine;
      if (grown > 0) {
        entry.lines = static_cast<std::uint32_t>(std::min<std::int64_t>(kLinesAtOnce, entry.lines + grown));
        entry.refilledAt += grown * kMillisPerLine;
      }
    } else {
      entry.refilledAt = nowMillis;  // a full budget grows from when it is next spent
    }
    if (entry.lines == 0) {
      ++entry.leftOut;
      return {false, 0};
    }
    --entry.lines;
    Verdict verdict{true, entry.leftOut};
    entry.leftOut = 0;
    return verdict;
  }
  return {};
}

}  // namespace qx
