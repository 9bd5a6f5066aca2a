#pragma once
// How many lines of each kind the log writes. A kind is a line's format: every line one call
// site logs, whatever its values. The first kLinesAtOnce lines of a kind are written, as they
// always were; after that one more every kMillisPerLine, and the rest are counted, not written.
// A script calling a refused function in a loop thus adds a few lines a minute, not megabytes,
// while the first lines of every kind, which are how a fault is found, are all there.
//
// No allocation and no lock of its own: the log calls it under the log's lock, also from code
// that a trampoline runs.
#include <cstddef>
#include <cstdint>

namespace qx {

class LineBudget {
 public:
  static constexpr std::uint32_t kLinesAtOnce = 1000;
  static constexpr std::int64_t kMillisPerLine = 10'000;
  // Far more kinds than the plugin has formats; a kind beyond them is written as ever.
  static constexpr unsigned kKindBits = 9;
  static constexpr std::size_t kKinds = std::size_t{1} << kKindBits;

  struct Verdict {
    bool write = true;
    // Lines of this kind left out since its last written one: to be reported before this line
    // (zero when none were, or the line is left out too).
    std::uint64_t leftOut = 0;
  };

  // Whether a line of `kind` is written at `nowMillis` (any clock that does not run back).
  Verdict Take(const char* kind, std::int64_t nowMillis) noexcept;

  // Calls `report(kind, leftOut)` for every kind with lines left out since its last written
  // one, and counts them as reported.
  template <typename Report>
  void TakeLeftOut(Report&& report) noexcept {
    for (Kind& entry : kinds_) {
      if (entry.format == nullptr || entry.leftOut == 0) continue;
      report(entry.format, entry.leftOut);
      entry.leftOut = 0;
    }
  }

  void Reset() noexcept { *this = LineBudget(); }

 private:
  struct Kind {
    const char* format = nullptr;
    std::uint32_t lines = kLinesAtOnce;  // that may still be written now
    std::int64_t refilledAt = 0;         // when `lines` last grew, or the kind was first seen
    std::uint64_t leftOut = 0;
  };

  Kind kinds_[kKinds];
};

}  // namespace qx
