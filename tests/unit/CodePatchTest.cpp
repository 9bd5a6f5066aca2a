#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "patching/CodePatch.h"

namespace {

using qx::RelBranchDisplacement;

TEST(CodePatch, DisplacementIsTargetMinusTheEndOfTheBranch) {
  EXPECT_EQ(RelBranchDisplacement(0x006B5A39, 0x30001000), 0x2F94B5C2u);
  EXPECT_EQ(RelBranchDisplacement(0x00401000, 0x00400FFB), 0xFFFFFFF6u);  // backwards
  EXPECT_EQ(RelBranchDisplacement(0x008412D3, 0x008412DA), 2u);
}

// "r-x" style permissions of the mapping that holds `address`.
std::string Permissions(const void* address) {
  std::FILE* maps = std::fopen("/proc/self/maps", "r");
  char line[512];
  std::string found;
  auto at = reinterpret_cast<unsigned long>(address);
  while (std::fgets(line, sizeof line, maps) != nullptr) {
    unsigned long from = 0, to = 0;
    char perms[5] = {};
    if (std::sscanf(line, "%lx-%lx %4s", &from, &to, perms) == 3 && at >= from && at < to) {
      found.assign(perms, 3);
      break;
    }
  }
  std::fclose(maps);
  return found;
}

TEST(CodePatch, BranchAcrossTwoPagesKeepsEachPagesProtection) {
  auto* pages = static_cast<std::uint8_t*>(
      mmap(nullptr, 0x2000, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(pages, MAP_FAILED);
  mprotect(pages, 0x1000, PROT_READ | PROT_EXEC);
  mprotect(pages + 0x1000, 0x1000, PROT_READ);
  auto site = reinterpret_cast<qx::host::Address>(pages + 0x1000 - 2);

  qx::WriteRelBranch(site, qx::kOpcodeJump, site + 0x105);

  const std::uint8_t expected[] = {0xE9, 0x00, 0x01, 0x00, 0x00};
  EXPECT_EQ(std::memcmp(pages + 0x1000 - 2, expected, 5), 0);
  EXPECT_EQ(Permissions(pages), "r-x");
  EXPECT_EQ(Permissions(pages + 0x1000), "r--");

  // The next patch finds the protections as they are by then.
  mprotect(pages, 0x1000, PROT_READ);
  mprotect(pages + 0x1000, 0x1000, PROT_READ | PROT_WRITE);
  qx::WriteRelBranch(site, qx::kOpcodeCall, site + 0x105);
  EXPECT_EQ(pages[0x1000 - 2], qx::kOpcodeCall);
  EXPECT_EQ(Permissions(pages), "r--");
  EXPECT_EQ(Permissions(pages + 0x1000), "rw-");
  munmap(pages, 0x2000);
}

}  // namespace
