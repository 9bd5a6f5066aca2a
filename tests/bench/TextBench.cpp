// text_bench: the string functions against what the C library does with the same input.
//
//   FormatStr: filling a template with five placeholders (s, d, .1f, b, f) against snprintf
//              printing the same output from the same values.
//   Split:     splitting a 1 KB text at a delimiter character against a memchr loop that
//              collects the same pieces into a vector reserved once.
//
// Under callgrind each is one counted segment; natively Google Benchmark times both sides
// in the same run and the program prints the ratios, and the allocations per call.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "papyrus/TextSplit.h"
#include "papyrus/TextTemplate.h"
#include "sim/counting/HeapCounter.h"
#include "tests/bench/BenchSupport.h"

namespace {

using qx::papyrus::FillTemplate;
using qx::papyrus::SplitText;
using qx::papyrus::TemplateValues;

constexpr int kCalls = 2000;

const char* const kValueTexts[] = {"Ulfric", "12", "3.14159", "true", "2.5"};
const TemplateValues kValues{kValueTexts, 5, [](const void* values, std::uint32_t i) {
                               return static_cast<const char* const*>(values)[i];
                             }};
constexpr std::string_view kTemplate = "%0s has %1d of %2.1f, ready: %3b at %4f%%";
const std::string kExpected = "Ulfric has 12 of 3.1, ready: true at 2.5%";

std::string Printed() {
  char buffer[128];
  int length = std::snprintf(buffer, sizeof buffer, "%s has %d of %.1f, ready: %s at %s%%", kValueTexts[0], 12,
                             static_cast<double>(3.14159f), kValueTexts[3], kValueTexts[4]);
  return std::string(buffer, static_cast<std::size_t>(length));
}

std::string SampleText() {
  std::string text;
  for (int i = 0; text.size() < 1024; ++i) {
    int length = (i * 37) % 13;  // 0..12 characters: some empty pieces (runs of delimiters)
    for (int k = 0; k < length; ++k) text += static_cast<char>('a' + (i + k) % 26);
    text += ',';
  }
  text.resize(1024);
  return text;
}
const std::string kText = SampleText();

std::vector<std::string_view> MemchrPieces(std::string_view text, char mark) {
  std::vector<std::string_view> pieces;
  pieces.reserve(text.size() / 2 + 1);
  const char* at = text.data();
  const char* end = at + text.size();
  while (at < end) {
    const char* found = static_cast<const char*>(std::memchr(at, mark, static_cast<std::size_t>(end - at)));
    if (found == nullptr) found = end;
    if (found > at) pieces.emplace_back(at, static_cast<std::size_t>(found - at));
    at = found + 1;
  }
  return pieces;
}

void BM_FormatStr(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(FillTemplate(kTemplate, kValues));
}
void BM_Snprintf(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(Printed());
}
void BM_Split(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(SplitText(kText, ","));
}
void BM_MemchrLoop(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(MemchrPieces(kText, ','));
}
BENCHMARK(BM_FormatStr);
BENCHMARK(BM_Snprintf);
BENCHMARK(BM_Split);
BENCHMARK(BM_MemchrLoop);

// Keeps each benchmark's time per iteration.
class Collect : public benchmark::BenchmarkReporter {
 public:
  std::map<std::string, double> perIteration;
  bool ReportContext(const Context&) override { return true; }
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) perIteration[run.benchmark_name()] = run.GetAdjustedRealTime();
  }
};

template <typename Body>
double AllocationsPerCall(Body&& body) {
  body();
  std::uint64_t before = sim::CurrentHeapCount().allocations;
  for (int i = 0; i < 100; ++i) body();
  return static_cast<double>(sim::CurrentHeapCount().allocations - before) / 100;
}

}  // namespace

int main(int argc, char** argv) {
  if (FillTemplate(kTemplate, kValues) != kExpected || Printed() != kExpected) {
    std::fprintf(stderr, "text_bench: the template gives '%s'\n", FillTemplate(kTemplate, kValues).c_str());
    return 1;
  }
  if (SplitText(kText, ",") != MemchrPieces(kText, ',')) return 1;

  if (qxbench::UnderCallgrind()) {
    qxbench::CountSegment("formatstr", kCalls, [] {
      for (int i = 0; i < kCalls; ++i) benchmark::DoNotOptimize(FillTemplate(kTemplate, kValues));
    });
    qxbench::CountSegment("snprintf", kCalls, [] {
      for (int i = 0; i < kCalls; ++i) benchmark::DoNotOptimize(Printed());
    });
    qxbench::CountSegment("split", kCalls, [] {
      for (int i = 0; i < kCalls; ++i) benchmark::DoNotOptimize(SplitText(kText, ","));
    });
    qxbench::CountSegment("memchr", kCalls, [] {
      for (int i = 0; i < kCalls; ++i) benchmark::DoNotOptimize(MemchrPieces(kText, ','));
    });
    return 0;
  }

  qxbench::Report("formatstr.allocations", AllocationsPerCall([] { (void)FillTemplate(kTemplate, kValues); }));
  qxbench::Report("split.allocations", AllocationsPerCall([] { (void)SplitText(kText, ","); }));
  benchmark::Initialize(&argc, argv);
  Collect collect;
  benchmark::RunSpecifiedBenchmarks(&collect);
  auto& t = collect.perIteration;
  if (t.count("BM_Snprintf") && t.count("BM_MemchrLoop")) {
    qxbench::Report("formatstr.wall", t["BM_FormatStr"] / t["BM_Snprintf"]);
    qxbench::Report("split.wall", t["BM_Split"] / t["BM_MemchrLoop"]);
  }
  return 0;
}
