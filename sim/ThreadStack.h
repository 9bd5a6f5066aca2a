#pragma once
// Whether memory belongs to the calling thread's stack: the game tells a reference of a
// call's own (a temporary) from one kept in storage that outlives the call by this.

namespace sim {

[[nodiscard]] bool OnThisThreadsStack(const void* address) noexcept;

}  // namespace sim
