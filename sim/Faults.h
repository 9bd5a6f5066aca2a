#pragma once
// Faults of the operating system beneath the plugin, switched on and off by tests: no new
// thread can be started, and files can only grow to a set size, as on a full disk.
#include <cstdint>

namespace sim {

class Faults {
 public:
  // While on, starting a thread fails (the plugin's cleanup and polling threads).
  static void RefuseNewThreads(bool refuse);
  // While set, a write that would make a file larger than `bytes` writes what fits and
  // then fails, as the disk's last free space runs out; 0 lifts the limit.
  static void LimitFileSize(std::uint32_t bytes);
};

}  // namespace sim
