// The Linux process refuses threads through its default thread attributes: a stack larger
// than the 32-bit address space cannot be mapped, so pthread_create (and std::thread) fail
// as they do when the system is out of resources. The file size limit is the process's own
// (RLIMIT_FSIZE): a write past it writes what fits, then fails with EFBIG.
#include <pthread.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdlib>

#include "sim/Faults.h"

namespace sim {
namespace {

constexpr std::size_t kUnmappableStack = 0xF0000000u;

std::size_t gNormalStack = 0;

}  // namespace

void Faults::RefuseNewThreads(bool refuse) {
  pthread_attr_t attributes;
  if (pthread_getattr_default_np(&attributes) != 0) std::abort();
  if (gNormalStack == 0) pthread_attr_getstacksize(&attributes, &gNormalStack);
  pthread_attr_setstacksize(&attributes, refuse ? kUnmappableStack : gNormalStack);
  if (pthread_setattr_default_np(&attributes) != 0) std::abort();
  pthread_attr_destroy(&attributes);
}

void Faults::LimitFileSize(std::uint32_t bytes) {
  std::signal(SIGXFSZ, SIG_IGN);  // the write reports the error instead of ending the process
  rlimit limit;
  if (getrlimit(RLIMIT_FSIZE, &limit) != 0) std::abort();
  limit.rlim_cur = bytes != 0 ? bytes : limit.rlim_max;
  if (setrlimit(RLIMIT_FSIZE, &limit) != 0) std::abort();
}

}  // namespace sim
