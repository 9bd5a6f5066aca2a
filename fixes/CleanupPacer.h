#pragma once
// The pauses of a health-gating cleanup pass, whatever the system's sleep can do. Every batch
// owes a pause with the gating lock released; what is owed is slept off once it reaches the
// shortest sleep the system makes (its granularity: whole milliseconds on Windows), and what
// a sleep really took pays it off, so a sleep that overshoots (a Windows timer tick of 15.6
// ms) pays for the batches after it, which then only yield. A pass thus lasts about its
// batches times the pause on every system, instead of its batches times the system's
// shortest sleep (seconds on Windows), or no pause at all where a shorter sleep returns at
// once (mingw's std::this_thread::sleep_for of 200 us returned after 0.2 us under Wine).
//
// Times come in as parameters, in microseconds: the pass measures its sleeps.
#include <cstdint>

namespace qx {

class CleanupPacer {
 public:
  using Micros = std::int64_t;

  // Credit from overshooting sleeps is kept up to this much: one tick of Windows' default
  // timer and a bit, so that an overshoot of one tick is paid in full, while a pass that the
  // system stopped for long does not run the rest of its batches without pauses.
  static constexpr Micros kMostCredit = 16'000;

  CleanupPacer(Micros pausePerBatch, Micros granularity) noexcept
      : pause_(pausePerBatch), granularity_(granularity > 0 ? granularity : 1) {}

  // A batch let the lock go: it owes its pause. Returns how long to sleep now, in whole
  // granularity steps (at least one); 0: nothing due yet, only yield.
  [[nodiscard]] Micros AfterBatch() noexcept {
    owed_ += pause_;
    if (owed_ < granularity_) return 0;
    return owed_ / granularity_ * granularity_;
  }

  // The sleep that AfterBatch asked for took `took`.
  void Slept(Micros took) noexcept {
    owed_ -= took > 0 ? took : 0;
    if (owed_ < -kMostCredit) owed_ = -kMostCredit;
  }

  [[nodiscard]] Micros Owed() const noexcept { return owed_; }

 private:
  Micros pause_;
  Micros granularity_;
  Micros owed_ = 0;
};

}  // namespace qx
