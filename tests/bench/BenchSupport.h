#pragma once
// What the benchmark programs share. Each program runs twice under `make bench`: natively,
// where it prints its wall-time ratios, allocation counts and memory figures as
// "qxbench <key> <value>" lines; and under callgrind, where every measured segment is
// delimited by client requests (counts zeroed before it, dumped after it under a label
// "qxseg <key> <units>"), so that set-up is never counted and scripts/bench-table.py can
// divide each segment's instructions by the units it did (lines, passes, calls).
#include <cstdint>
#include <cstdio>

#if defined(__linux__) && __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define QX_BENCH_CALLGRIND 1
#else
#define QX_BENCH_CALLGRIND 0
#endif

namespace qxbench {

// Whether the program runs under valgrind: it then counts instructions and skips the wall
// times, which valgrind distorts.
inline bool UnderCallgrind() {
#if QX_BENCH_CALLGRIND
  return RUNNING_ON_VALGRIND != 0;
#else
  return false;
#endif
}

// Runs `body` as one counted segment of `units` units of work.
template <typename Body>
void CountSegment(const char* key, std::uint64_t units, Body&& body) {
#if QX_BENCH_CALLGRIND
  char label[160];
  std::snprintf(label, sizeof label, "qxseg %s %llu", key, static_cast<unsigned long long>(units));
  CALLGRIND_ZERO_STATS;
  body();
  CALLGRIND_DUMP_STATS_AT(label);
#else
  (void)key;
  (void)units;
  body();
#endif
}

inline void Report(const char* key, double value) {
  std::printf("qxbench %s %.12g\n", key, value);
  std::fflush(stdout);
}

}  // namespace qxbench
