#include "platform/Sleep.h"

#include <windows.h>

namespace qx::platform {

void SleepMilliseconds(std::uint32_t milliseconds) { Sleep(milliseconds); }

std::uint32_t SleepGranularityMicros() noexcept { return 1000; }

void SleepMicroseconds(std::uint32_t micros) { Sleep(micros / 1000 + (micros % 1000 != 0 ? 1 : 0)); }

}  // namespace qx::platform
