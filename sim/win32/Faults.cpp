// The Windows build's faults live in the stand-ins for the plugin DLL's imports of the C
// runtime's thread start and file write (OsStandIns).
#include "sim/Faults.h"

#include "sim/win32/OsStandIns.h"

namespace sim {

void Faults::RefuseNewThreads(bool refuse) { OsStandIns::threadsRefused = refuse; }

void Faults::LimitFileSize(std::uint32_t bytes) { OsStandIns::fileSizeLimit = bytes; }

}  // namespace sim
