#include "platform/ExclusiveLock.h"

#include <windows.h>

#include <cstddef>

namespace qx::platform {
namespace {

static_assert(sizeof(SRWLOCK) == sizeof(void*) && offsetof(SRWLOCK, Ptr) == 0,
              "the lock's word is an SRWLOCK, free when null (SRWLOCK_INIT)");

PSRWLOCK Slim(void*& word) noexcept { return reinterpret_cast<PSRWLOCK>(&word); }

}  // namespace

void ExclusiveLock::lock() noexcept { AcquireSRWLockExclusive(Slim(slim_)); }
bool ExclusiveLock::try_lock() noexcept { return TryAcquireSRWLockExclusive(Slim(slim_)) != 0; }
void ExclusiveLock::unlock() noexcept { ReleaseSRWLockExclusive(Slim(slim_)); }

}  // namespace qx::platform
