#pragma once
// What the benchmark programs share. Each program runs natively in both builds (the Windows
// one under Wine), where it prints its wall-time ratios, allocation counts and memory
// figures as "qxbench <key> <value>" lines; the Linux build also runs it under callgrind,
// where every measured segment is delimited by client requests (counts zeroed before it,
// dumped after it under a label "qxseg <key> <units>"), so that set-up is never counted and
// scripts/bench.py can divide each segment's instructions by the units it did (lines,
// passes, calls).
//
// Wall times are only ever compared within one run of one build: FastestOfAlternating times
// two things in turn, several times, and keeps each one's fastest run, so that a pause the
// machine (a shared virtual one) made in one run does not count against either side.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>

#if defined(__linux__) && __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define QX_BENCH_CALLGRIND 1
#else
#define QX_BENCH_CALLGRIND 0
#endif

namespace qxbench {

using Clock = std::chrono::steady_clock;

// Whether the program runs under valgrind: it then counts instructions and skips the wall
// times, which valgrind distorts.
inline bool UnderCallgrind() {
#if QX_BENCH_CALLGRIND
  return RUNNING_ON_VALGRIND != 0;
#else
  return false;
#endif
}

// Makes `value` look read to the optimiser, so the work that made it is not dropped.
template <typename T>
inline void KeepAlive(const T& value) {
  asm volatile("" : : "r,m"(value) : "memory");
}

inline double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Each side's fastest run, in seconds.
struct Fastest {
  double a = 1e30;
  double b = 1e30;
  int runs = 0;  // of each side
  [[nodiscard]] double Ratio() const { return a / b; }
};

// Runs `a` and `b` in turn, `runs` times each, and keeps each one's fastest run. A side
// that is slow (a file read through a slow path) stops the rounds early once `budget`
// seconds went by, after `minimumRuns` of each.
template <typename A, typename B>
Fastest FastestOfAlternating(int runs, A&& a, B&& b, double budget = 1e30, int minimumRuns = 2) {
  Fastest fastest;
  Clock::time_point begin = Clock::now();
  for (int run = 0; run < runs; ++run) {
    if (run >= minimumRuns && SecondsSince(begin) > budget) break;
    Clock::time_point start = Clock::now();
    a();
    fastest.a = std::min(fastest.a, SecondsSince(start));
    start = Clock::now();
    b();
    fastest.b = std::min(fastest.b, SecondsSince(start));
    fastest.runs = run + 1;
  }
  return fastest;
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
