#pragma once
// Giving up the processor while another thread holds a word the plugin waits for.
#include <cstdint>

namespace qx::platform {

// Sleep(milliseconds): 0 yields the rest of the time slice.
void SleepMilliseconds(std::uint32_t milliseconds);

}  // namespace qx::platform
