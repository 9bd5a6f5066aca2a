#pragma once
// Giving up the processor while another thread holds a word the plugin waits for, and
// pausing between batches of work.
#include <cstdint>

namespace qx::platform {

// Sleep(milliseconds): 0 yields the rest of the time slice.
void SleepMilliseconds(std::uint32_t milliseconds);

// The shortest sleep the system makes, in microseconds: Windows sleeps whole milliseconds
// (at least one; a tick of its timer, 15.6 ms by default, at most), POSIX to within its
// timer slack (50 us).
[[nodiscard]] std::uint32_t SleepGranularityMicros() noexcept;

// Sleeps at least `micros` microseconds (Windows: rounded up to whole milliseconds).
void SleepMicroseconds(std::uint32_t micros);

}  // namespace qx::platform
