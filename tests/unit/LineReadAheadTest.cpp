// The script file reader's two pieces of its own: the read-ahead of whole lines, and the
// remembered path of a thread's last file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "papyrus/files/LineReadAhead.h"
#include "papyrus/files/PathMatch.h"
#include "sim/counting/HeapCounter.h"

namespace {

using qx::io::kEndMarker;
using Lines = std::vector<std::string>;

// Reads `bytes` through a read-ahead in chunks of `chunk` bytes, as a script does; also
// reports the largest block the read-ahead held. With `measures`, the input tells the rest
// of a line as a file does, by reading it: `taken` counts the bytes read either way.
Lines ReadAhead(const std::string& bytes, std::int32_t size, std::size_t chunk, bool dropCarriageReturn,
                std::size_t* largestBlock = nullptr, bool measures = false, std::size_t* taken = nullptr) {
  qx::io::LineReadAhead reader(size, dropCarriageReturn);
  std::size_t at = 0;
  auto read = [&](char* to, std::size_t room) {
    std::size_t n = std::min({room, chunk, bytes.size() - at});
    std::memcpy(to, bytes.data() + at, n);
    at += n;
    if (taken != nullptr) *taken += n;
    return n;
  };
  auto restOfLine = [&] {
    if (!measures) return qx::io::LineReadAhead::kUnknown;
    std::size_t feed = bytes.find('\n', at);
    std::size_t rest = (feed == std::string::npos ? bytes.size() : feed + 1) - at;
    if (taken != nullptr) *taken += rest;
    return rest;
  };
  Lines lines;
  for (;;) {
    if (reader.NeedsRefill()) reader.Refill(read, restOfLine);
    if (largestBlock != nullptr) *largestBlock = std::max(*largestBlock, reader.BlockBytes());
    if (!reader.HasNext()) break;
    std::string_view line = reader.PeekNext();
    EXPECT_EQ(line.data()[line.size()], '\0');  // handed over in place, zero-terminated
    lines.emplace_back(line);
    reader.Advance();
  }
  EXPECT_EQ(reader.PeekNext(), kEndMarker);
  return lines;
}

// A file's size as it is opened sizes the first block: a small file's is about its own size,
// a large one's the usual first block, and a file that grew since is read whole, the block
// growing to the usual size within the first refill.
TEST(LineReadAhead, TheFirstBlockIsAboutTheFilesSize) {
  struct Case {
    std::uint64_t expected;
    std::size_t length;
    std::size_t firstBlock;
  };
  const Case cases[] = {{0, 0, 64}, {13, 13, 64}, {100, 100, 112}, {13, 5000, 64 * 1024}, {1u << 20, 1u << 20, 64 * 1024}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    std::string bytes;
    for (int i = 0; bytes.size() < c.length; ++i) bytes += "line " + std::to_string(i) + "\n";
    bytes.resize(c.length);  // the last line may end without a line feed
    qx::io::LineReadAhead reader(4096, false);
    reader.ExpectBytes(c.expected);
    std::size_t at = 0, firstBlock = 0;
    Lines got;
    while (true) {
      if (reader.NeedsRefill()) {
        reader.Refill([&](char* to, std::size_t room) {
          std::size_t n = std::min(room, bytes.size() - at);
          std::memcpy(to, bytes.data() + at, n);
          at += n;
          return n;
        });
        if (firstBlock == 0) firstBlock = reader.BlockBytes();
      }
      if (!reader.HasNext()) break;
      got.emplace_back(reader.PeekNext());
      reader.Advance();
    }
    EXPECT_EQ(firstBlock, c.firstBlock);
    Lines whole;
    for (std::size_t start = 0; start < bytes.size();) {
      std::size_t feed = bytes.find('\n', start);
      whole.push_back(bytes.substr(start, (feed == std::string::npos ? bytes.size() : feed) - start));
      start = feed == std::string::npos ? bytes.size() : feed + 1;
    }
    EXPECT_EQ(got, whole);
  }
}

TEST(LineReadAhead, GivesTheLinesAGetlineLoopGivesForEverySizeAndChunk) {
  const std::string bytes = "first\r\n\n\x07 marker\r\r\nlast\r";
  const Lines dropped{"first", "", "\x07 marker\r", "last\r"};
  const Lines kept{"first\r", "", "\x07 marker\r\r", "last\r"};
  for (std::int32_t size : {1, 2, 3, 2147483647}) {
    for (std::size_t chunk : {1u, 2u, 5u, 4096u}) {
      EXPECT_EQ(ReadAhead(bytes, size, chunk, true), dropped) << size << " " << chunk;
      EXPECT_EQ(ReadAhead(bytes, size, chunk, false), kept) << size << " " << chunk;
    }
  }
  EXPECT_TRUE(ReadAhead("", 1, 10, true).empty());
  EXPECT_EQ(ReadAhead("\n", 5, 10, true), (Lines{""}));
}

// A huge buffer size reads ahead a bounded number of bytes; only a longer line makes the
// block grow, to about twice that line.
TEST(LineReadAhead, HoldsBoundedBytesWhateverTheBufferSize) {
  std::string bytes;
  Lines expected;
  for (int i = 0; bytes.size() < 3 * qx::io::LineReadAhead::kReadAheadBytes; ++i) {
    expected.push_back(std::string(static_cast<std::size_t>(i % 97), static_cast<char>('a' + i % 26)));
    bytes += expected.back() + "\n";
  }
  std::size_t largest = 0;
  EXPECT_EQ(ReadAhead(bytes, 2147483647, 65536, true, &largest), expected);
  EXPECT_LE(largest, qx::io::LineReadAhead::kReadAheadBytes);

  const std::string longLine(5 * qx::io::LineReadAhead::kReadAheadBytes / 2, 'x');
  largest = 0;
  EXPECT_EQ(ReadAhead("a\n" + longLine + "\nb", 2147483647, 100000, true, &largest),
            (Lines{"a", longLine, "b"}));
  EXPECT_LE(largest, 2 * longLine.size() + 2);

  // An input that tells the rest of the line: the block grows once, to the line and a first
  // block's room, and never holds the line twice on the heap while it grows. The line, which
  // does not start the block, is measured once: read twice in all.
  for (bool lastLine : {false, true}) {
    const std::string bytes = "a\n" + longLine + (lastLine ? "" : "\nb");
    largest = 0;
    std::size_t taken = 0;
    std::int64_t before = sim::CurrentHeapCount().liveBytes;
    sim::ResetHeapPeak();
    Lines read = ReadAhead(bytes, 2147483647, 100000, true, &largest, /*measures=*/true, &taken);
    EXPECT_LE(taken, bytes.size() + longLine.size() + 1) << lastLine;
    std::int64_t peak = sim::CurrentHeapCount().peakBytes - before;
    EXPECT_EQ(read, lastLine ? (Lines{"a", longLine}) : (Lines{"a", longLine, "b"}));
    EXPECT_LE(largest, longLine.size() + 1 + 2 * qx::io::LineReadAhead::kFirstBlockBytes) << lastLine;
    // The reader's block and the lines the test keeps (the line once more): growing by
    // doubling would end with a block of four times the read-ahead beside the kept line.
    EXPECT_LE(peak, static_cast<std::int64_t>(2 * longLine.size() + qx::io::LineReadAhead::kReadAheadBytes / 4 +
                                              2 * qx::io::LineReadAhead::kFirstBlockBytes))
        << lastLine;
  }
}

// Lines of no length cost no block bytes but an index entry each: the index is held to its
// own bound, so a file of empty lines does not sit in memory whole.
TEST(LineReadAhead, HoldsBoundedIndexEntriesWhateverTheLines) {
  const std::string bytes(4 * qx::io::LineReadAhead::kReadAheadBytes, '\n');
  qx::io::LineReadAhead reader(2147483647, true);
  std::size_t at = 0;
  auto read = [&](char* to, std::size_t room) {
    std::size_t n = std::min(room, bytes.size() - at);
    std::memcpy(to, bytes.data() + at, n);
    at += n;
    return n;
  };
  std::size_t lines = 0;
  std::size_t most = 0;
  for (;;) {
    if (reader.NeedsRefill()) reader.Refill(read);
    most = std::max(most, reader.HeldBytes());
    if (!reader.HasNext()) break;
    ASSERT_TRUE(reader.PeekNext().empty());
    reader.Advance();
    ++lines;
  }
  EXPECT_EQ(lines, bytes.size());
  EXPECT_LE(most, qx::io::LineReadAhead::kReadAheadBytes + qx::io::LineReadAhead::kReadAheadBytes / 2);
}

TEST(RememberedPath, MatchesExactlyTheSameTextAtEveryAlignment) {
  qx::io::RememberedPath remembered;
  EXPECT_FALSE(remembered.Matches(""));
  const std::string path = "Data/SKSE/Plugins/some folder/a file.txt";
  ASSERT_TRUE(remembered.Remember(path.c_str()));
  auto storage = std::make_unique<char[]>(path.size() + 64);
  for (std::size_t offset = 0; offset < 16; ++offset) {
    char* text = storage.get() + offset;
    std::memcpy(text, path.c_str(), path.size() + 1);
    EXPECT_TRUE(remembered.Matches(text)) << offset;
    text[path.size() - 1] = 'T';
    EXPECT_FALSE(remembered.Matches(text)) << offset;
    text[path.size() - 1] = '\0';  // a prefix
    EXPECT_FALSE(remembered.Matches(text)) << offset;
    std::memcpy(text, (path + "x").c_str(), path.size() + 2);  // longer
    EXPECT_FALSE(remembered.Matches(text)) << offset;
    text[0] = '\0';
    EXPECT_FALSE(remembered.Matches(text)) << offset;
  }
  ASSERT_TRUE(remembered.Remember(""));
  EXPECT_TRUE(remembered.Matches(""));
  EXPECT_FALSE(remembered.Matches("a"));
  EXPECT_FALSE(remembered.Remember(std::string(qx::io::RememberedPath::kMaxLength + 1, 'p').c_str()));
  EXPECT_FALSE(remembered.Matches(""));
}

}  // namespace
