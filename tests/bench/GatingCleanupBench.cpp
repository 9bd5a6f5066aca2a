// How long one cleanup pass holds the gating lock over 100,000 immunity entries, half of
// them expired. Prints the time per pass; run by hand, not part of the test suite.
#include <chrono>
#include <cstdio>
#include <vector>

#include "fixes/HealthGating.h"

int main() {
  constexpr std::size_t kEntries = 100'000;
  constexpr int kPasses = 20;
  std::vector<qx::game::Actor> actors(kEntries);
  std::vector<const qx::game::Actor*> scratch;
  double totalMs = 0, worstMs = 0;
  for (int pass = 0; pass < kPasses; ++pass) {
    qx::ImmunityTable.clear();
    for (std::size_t i = 0; i < kEntries; ++i) qx::ImmunityTable[&actors[i]] = (i % 2 == 0) ? 0 : 10'000;
    auto begin = std::chrono::steady_clock::now();
    std::size_t removed = qx::TrimImmunityTable(10'000, 500, scratch);
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
    if (removed != kEntries / 2) return 1;
    totalMs += ms;
    if (ms > worstMs) worstMs = ms;
  }
  std::printf("cleanup pass over %zu entries (%zu expired): mean %.3f ms, worst %.3f ms\n", kEntries,
              kEntries / 2, totalMs / kPasses, worstMs);
  return 0;
}
