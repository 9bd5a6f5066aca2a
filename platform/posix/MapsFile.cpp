#include "platform/posix/MapsFile.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>

namespace qx::platform {
namespace {

// Hexadecimal digits from `at` (lower case, as the kernel writes them); the first character
// after them, or null when there is none. A number too large for an address reads as the
// largest one.
[[nodiscard]] const char* ReadHexAddress(const char* at, const char* end, std::uintptr_t& value) {
  constexpr std::uintptr_t kLargest = std::numeric_limits<std::uintptr_t>::max();
  const char* start = at;
  value = 0;
  for (; at < end; ++at) {
    std::uintptr_t digit;
    if (*at >= '0' && *at <= '9') {
      digit = static_cast<std::uintptr_t>(*at - '0');
    } else if (*at >= 'a' && *at <= 'f') {
      digit = static_cast<std::uintptr_t>(*at - 'a' + 10);
    } else {
      break;
    }
    value = value > (kLargest >> 4) ? kLargest : (value << 4) | digit;
  }
  return at == start ? nullptr : at;
}

// Whether the line [line, end), or its start, names a mapping that holds `address`; if so,
// its protection from the "rwx" of its permissions. A line that does not start as "from-to
// perms" holds nothing.
[[nodiscard]] bool LineHolds(const char* line, const char* end, std::uintptr_t address,
                             std::uint32_t& protection) {
  std::uintptr_t from = 0, to = 0;
  const char* at = ReadHexAddress(line, end, from);
  if (at == nullptr || at == end || *at != '-') return false;
  at = ReadHexAddress(at + 1, end, to);
  if (at == nullptr || end - at < 4 || *at != ' ') return false;
  if (address < from || address >= to) return false;
  const char* perms = at + 1;
  protection = (perms[0] == 'r' ? PROT_READ : 0) | (perms[1] == 'w' ? PROT_WRITE : 0) |
               (perms[2] == 'x' ? PROT_EXEC : 0);
  return true;
}

}  // namespace

std::optional<std::uint32_t> ProtectionInMaps(int maps, std::uintptr_t address) {
  char buffer[4096];
  std::size_t held = 0;     // the start of a line whose line feed is still to come
  bool restOfLine = false;  // the buffer starts inside a line whose start was looked at
  std::uint32_t protection = 0;
  for (;;) {
    ssize_t got = read(maps, buffer + held, sizeof buffer - held);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return std::nullopt;  // the file ends every line with a line feed
    const char* at = buffer;
    const char* end = buffer + held + got;
    while (const char* feed = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)))) {
      if (!restOfLine && LineHolds(at, feed, address, protection)) return protection;
      restOfLine = false;
      at = feed + 1;
    }
    if (at == buffer && end == buffer + sizeof buffer) {
      // A line longer than the buffer (a long path): its start holds all that is needed.
      if (!restOfLine && LineHolds(at, end, address, protection)) return protection;
      restOfLine = true;
      held = 0;
    } else {
      held = static_cast<std::size_t>(end - at);
      std::memmove(buffer, at, held);
    }
  }
}

}  // namespace qx::platform
