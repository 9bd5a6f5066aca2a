#include "sim/GameRegion.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace sim {
namespace {

bool gMapped = false;
bool gSealed = false;
std::unique_ptr<std::uint8_t[]> gSealedCode;  // the code part as it stood when sealed

constexpr std::size_t kCodeSize = kGameCodeEnd - kGameRegionBegin;

// Where the game's own code has a five-byte call or jump (sorted): a patch written over one
// may leave its opcode, and even its first displacement bytes, as they were.
std::vector<std::uintptr_t> gGameBranches;

void RememberGameBranch(std::uintptr_t address, const void* bytes, std::size_t size) {
  if (size != 5 || address >= kGameCodeEnd) return;
  std::uint8_t opcode = *static_cast<const std::uint8_t*>(bytes);
  if (opcode != 0xE8 && opcode != 0xE9) return;
  auto at = std::lower_bound(gGameBranches.begin(), gGameBranches.end(), address);
  if (at == gGameBranches.end() || *at != address) gGameBranches.insert(at, address);
}

bool IsGameBranch(std::uintptr_t address) {
  return std::binary_search(gGameBranches.begin(), gGameBranches.end(), address);
}

}  // namespace

void MapGameRegion() {
  if (gMapped) return;
  MapRegionMemory(kGameRegionBegin, kGameRegionEnd - kGameRegionBegin);
  gMapped = true;
}

void SealGameCode() {
  MapGameRegion();
  gSealedCode = std::make_unique<std::uint8_t[]>(kCodeSize);
  std::memcpy(gSealedCode.get(), reinterpret_cast<const void*>(kGameRegionBegin), kCodeSize);
  ProtectRegion(kGameRegionBegin, kCodeSize, false, true);
  gSealed = true;
}

void WriteGameBytes(std::uintptr_t address, const void* bytes, std::size_t size) {
  MapGameRegion();
  bool inCode = address < kGameCodeEnd;
  std::uintptr_t page = address & ~std::uintptr_t{0xFFF};
  std::size_t span = ((address + size + 0xFFF) & ~std::uintptr_t{0xFFF}) - page;
  if (gSealed && inCode) ProtectRegion(page, span, true, true);
  std::memcpy(reinterpret_cast<void*>(address), bytes, size);
  RememberGameBranch(address, bytes, size);
  if (gSealed && inCode) {
    ProtectRegion(page, span, false, true);
    // The simulated game's own writes are part of the game, not patches.
    std::memcpy(gSealedCode.get() + (address - kGameRegionBegin), bytes, size);
  }
}

void PlaceRoutine(std::uintptr_t address, const void* standIn) {
  std::uint8_t jump[5] = {0xE9};
  auto displacement =
      static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(standIn) - (address + 5));
  std::memcpy(jump + 1, &displacement, 4);
  WriteGameBytes(address, jump, sizeof(jump));
}

namespace {

bool IsBranchOpcode(std::uint8_t byte) { return byte == 0xE8 || byte == 0xE9; }

// Where the write that changed `first` began. A branch written over a branch leaves the
// opcode, and sometimes displacement bytes, as they were: the write began at the game's own
// five-byte branch whose bytes `first` lies in. Elsewhere (branches inside longer game
// code), a first changed byte that opens no branch of its own and lies in the four bytes
// behind an unchanged E8 or E9 began at that opcode.
std::size_t BranchStartOf(std::size_t first, std::size_t notBefore, const std::uint8_t* now) {
  for (std::size_t back = 1; back <= 4 && first >= notBefore + back; ++back) {
    if (IsGameBranch(kGameRegionBegin + first - back)) return first - back;
  }
  if (IsBranchOpcode(now[first])) return first;
  for (std::size_t back = 1; back <= 4 && first >= notBefore + back; ++back) {
    std::size_t at = first - back;
    if (now[at] == gSealedCode[at] && IsBranchOpcode(now[at])) return at;
  }
  return first;
}

}  // namespace

std::vector<PatchedSite> PatchedSites() {
  std::vector<PatchedSite> sites;
  if (!gSealed) return sites;
  const auto* now = reinterpret_cast<const std::uint8_t*>(kGameRegionBegin);
  std::size_t notBefore = 0;  // just behind the last site reported
  for (std::size_t i = 0; i < kCodeSize; ++i) {
    if (now[i] == gSealedCode[i]) continue;
    std::size_t start = BranchStartOf(i, notBefore, now);
    PatchedSite site{kGameRegionBegin + start, now[start], 0};
    if (start + 5 <= kCodeSize) std::memcpy(&site.displacement, now + start + 1, 4);
    sites.push_back(site);
    i = start + 4;
    notBefore = start + 5;
  }
  return sites;
}

void SwapWithSealedCode(std::uintptr_t address, std::size_t size) {
  std::uintptr_t page = address & ~std::uintptr_t{0xFFF};
  std::size_t span = ((address + size + 0xFFF) & ~std::uintptr_t{0xFFF}) - page;
  ProtectRegion(page, span, true, true);
  std::swap_ranges(reinterpret_cast<std::uint8_t*>(address), reinterpret_cast<std::uint8_t*>(address) + size,
                   gSealedCode.get() + (address - kGameRegionBegin));
  ProtectRegion(page, span, false, true);
}

std::uint32_t CodeProtection(std::uintptr_t address) { return QueryProtection(address); }

}  // namespace sim
