#include "platform/Sleep.h"

#include <windows.h>

namespace qx::platform {

void SleepMilliseconds(std::uint32_t milliseconds) { Sleep(milliseconds); }

}  // namespace qx::platform
