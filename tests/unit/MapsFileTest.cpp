#include "platform/posix/MapsFile.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>

namespace {

// The protection found in `text`, read through a pipe: its reads stop wherever the asking
// buffer ends, inside lines.
std::optional<std::uint32_t> ProtectionIn(const std::string& text, std::uintptr_t address) {
  int ends[2];
  EXPECT_EQ(pipe(ends), 0);
  EXPECT_EQ(write(ends[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(ends[1]);
  std::optional<std::uint32_t> protection = qx::platform::ProtectionInMaps(ends[0], address);
  close(ends[0]);
  return protection;
}

std::string Line(std::uintptr_t from, std::uintptr_t to, const char* perms, const std::string& path = "") {
  char start[64];
  std::snprintf(start, sizeof start, "%08zx-%08zx %s 00000000 00:00 0 ", static_cast<std::size_t>(from),
                static_cast<std::size_t>(to), perms);
  return start + path + "\n";
}

TEST(MapsFile, FindsTheLineOfAnAddressWhereverTheReadsCutTheFile) {
  std::string text;
  for (std::uintptr_t page = 0x10000; page < 0x10000 + 400 * 0x1000; page += 0x1000) {
    text += Line(page, page + 0x1000, page % 0x2000 == 0 ? "r--p" : "rw-p");
  }
  // A path longer than a read; after its first read comes text that looks like a line.
  std::string path(4096 - 40, 'x');  // 40: the line up to its path
  path += "00900000-00a00000 rw-p 00000000 00:00 0 " + std::string(200, 'y');
  text += Line(0x800000, 0x801000, "r--p", path);
  text += Line(0x900000, 0xa00000, "r-xp", "/game.exe");

  for (std::uintptr_t page = 0x10000; page < 0x10000 + 400 * 0x1000; page += 0x1000) {
    EXPECT_EQ(ProtectionIn(text, page + 0xFFF), page % 0x2000 == 0 ? PROT_READ : PROT_READ | PROT_WRITE) << page;
  }
  EXPECT_EQ(ProtectionIn(text, 0x800000), PROT_READ);
  EXPECT_EQ(ProtectionIn(text, 0x900010), PROT_READ | PROT_EXEC);
  EXPECT_EQ(ProtectionIn(text, 0xa00000), std::nullopt);  // a range ends before its `to`
  EXPECT_EQ(ProtectionIn(text, 0xFFFF), std::nullopt);
  EXPECT_EQ(ProtectionIn("not a line\n00400000-00500000\n", 0x400000), std::nullopt);
}

}  // namespace
