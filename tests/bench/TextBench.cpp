// text_bench: the string functions against what the C library does with the same input.
//
//   FormatStr: filling a template with five placeholders (s, d, .1f, b, f) against snprintf
//              printing the same output from the same values.
//   Split:     splitting a 1 KB text at a delimiter character against a memchr loop that
//              collects the same pieces into a vector reserved once.
//
// Under callgrind each is one counted segment; natively (both builds) each side runs
// kCalls calls at a time, in turn with the other side, kRuns times, and the program prints
// the ratio of the fastest runs, and the allocations per call.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "papyrus/text/TextSplit.h"
#include "papyrus/text/TextTemplate.h"
#include "sim/counting/HeapCounter.h"
#include "tests/bench/BenchSupport.h"

namespace {

using qx::papyrus::FillTemplate;
using qx::papyrus::SplitText;
using qx::papyrus::TemplateValues;

constexpr int kCalls = 2000;
constexpr int kRuns = 100;

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

// kCalls calls of `call`, each result kept alive.
template <typename Call>
auto Calls(Call call) {
  return [call] {
    for (int i = 0; i < kCalls; ++i) qxbench::KeepAlive(call());
  };
}
const auto kFormatStr = [] { return FillTemplate(kTemplate, kValues); };
const auto kSnprintf = [] { return Printed(); };
const auto kSplit = [] { return SplitText(kText, ","); };
const auto kMemchr = [] { return MemchrPieces(kText, ','); };

template <typename Body>
double AllocationsPerCall(Body&& body) {
  body();
  std::uint64_t before = sim::CurrentHeapCount().allocations;
  for (int i = 0; i < 100; ++i) body();
  return static_cast<double>(sim::CurrentHeapCount().allocations - before) / 100;
}

}  // namespace

int main() {
  if (FillTemplate(kTemplate, kValues) != kExpected || Printed() != kExpected) {
    std::fprintf(stderr, "text_bench: the template gives '%s'\n", FillTemplate(kTemplate, kValues).c_str());
    return 1;
  }
  if (SplitText(kText, ",") != MemchrPieces(kText, ',')) return 1;

  if (qxbench::UnderCallgrind()) {
    qxbench::CountSegment("formatstr", kCalls, Calls(kFormatStr));
    qxbench::CountSegment("snprintf", kCalls, Calls(kSnprintf));
    qxbench::CountSegment("split", kCalls, Calls(kSplit));
    qxbench::CountSegment("memchr", kCalls, Calls(kMemchr));
    return 0;
  }

  qxbench::Report("formatstr.allocations", AllocationsPerCall([] { (void)FillTemplate(kTemplate, kValues); }));
  qxbench::Report("split.allocations", AllocationsPerCall([] { (void)SplitText(kText, ","); }));
  qxbench::Fastest format = qxbench::FastestOfAlternating(kRuns, Calls(kFormatStr), Calls(kSnprintf));
  qxbench::Fastest split = qxbench::FastestOfAlternating(kRuns, Calls(kSplit), Calls(kMemchr));
  std::fprintf(stderr, "text_bench: FormatStr %.0f ns, snprintf %.0f ns, Split %.0f ns, memchr loop %.0f ns per call\n",
               format.a / kCalls * 1e9, format.b / kCalls * 1e9, split.a / kCalls * 1e9, split.b / kCalls * 1e9);
  qxbench::Report("formatstr.wall", format.Ratio());
  qxbench::Report("split.wall", split.Ratio());
  return 0;
}
