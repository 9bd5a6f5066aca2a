#include "platform/Sleep.h"

#include <sched.h>

#include <ctime>

namespace qx::platform {

void SleepMilliseconds(std::uint32_t milliseconds) {
  if (milliseconds == 0) {
    sched_yield();
    return;
  }
  timespec wait{static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000L};
  nanosleep(&wait, nullptr);
}

std::uint32_t SleepGranularityMicros() noexcept { return 50; }

void SleepMicroseconds(std::uint32_t micros) {
  timespec wait{static_cast<time_t>(micros / 1000000), static_cast<long>(micros % 1000000) * 1000L};
  nanosleep(&wait, nullptr);
}

}  // namespace qx::platform
