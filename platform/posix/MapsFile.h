#pragma once
// The Linux process's own list of its mappings (/proc/self/maps), as the page protection
// stand-in asks it: one line per mapping, "from-to perms offset device inode path".
#include <cstdint>
#include <optional>

namespace qx::platform {

// PROT_* bits of the first line whose range holds `address`, reading the open file `maps`
// from where it stands up to that line; nothing when no line holds it. Reads with plain
// system calls into a buffer on the stack: no allocation, whatever the lines' lengths and
// however the reads cut them.
[[nodiscard]] std::optional<std::uint32_t> ProtectionInMaps(int maps, std::uintptr_t address);

}  // namespace qx::platform
