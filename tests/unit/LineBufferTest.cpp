#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "papyrus/LineBuffer.h"
#include "papyrus/LineReadAhead.h"
#include "papyrus/PathMatch.h"

namespace {

using qx::io::kEndMarker;
using qx::io::LineBuffer;
using Lines = std::vector<std::string>;

// Drives the buffer as a script does: HasNextLine, then NextLine, refilling when asked.
Lines ReadThrough(LineBuffer& buffer, const Lines& input, int* refills = nullptr) {
  std::size_t next = 0;
  auto source = [&](std::string& line) {
    if (next == input.size()) return false;
    line = input[next++];
    return true;
  };
  Lines read;
  for (;;) {
    if (buffer.NeedsRefill()) {
      buffer.Refill(source);
      if (refills != nullptr) ++*refills;
    }
    if (!buffer.HasNext()) break;
    read.emplace_back(buffer.PeekNext());
    buffer.Advance();
  }
  return read;
}

TEST(LineBuffer, ReadingGivesEveryLineForEverySize) {
  const Lines input{"first", "", "\x07 begins with the end-marker character", "", "\x07", "last"};
  for (int size : {1, 2, 3, 6, 7}) {
    LineBuffer buffer(size, /*reading=*/true);
    int refills = 0;
    EXPECT_EQ(ReadThrough(buffer, input, &refills), input) << "size " << size;
    EXPECT_EQ(refills, static_cast<int>(input.size()) / size + 1) << "size " << size;
  }
}

TEST(LineBuffer, EndMarkerRepeatsAndNeverGivesStaleLines) {
  // The second fill holds two lines; slots 2 and 3 still hold lines of the first fill.
  const Lines input{"a", "b", "c", "d", "e", "f"};
  LineBuffer buffer(4, true);
  EXPECT_EQ(ReadThrough(buffer, input), input);
  for (int i = 0; i < 3; ++i) {
    ASSERT_FALSE(buffer.NeedsRefill());
    EXPECT_FALSE(buffer.HasNext());
    EXPECT_EQ(buffer.PeekNext(), kEndMarker);
    buffer.Advance();
  }

  LineBuffer empty(1, true);
  EXPECT_TRUE(ReadThrough(empty, {}).empty());
  EXPECT_EQ(empty.PeekNext(), "\x07");
  EXPECT_EQ(empty.PeekNext().data()[1], '\0');  // scripts get it as zero-terminated text
}

TEST(LineBuffer, WritingHandsOverEveryHeldLineInOrder) {
  LineBuffer buffer(2, /*reading=*/false);
  Lines written;
  auto sink = [&](const std::string& line) { written.push_back(line); };
  buffer.Append("\x07 kept");
  EXPECT_FALSE(buffer.IsFull());
  buffer.Append("");
  EXPECT_TRUE(buffer.IsFull());
  buffer.Drain(sink);
  EXPECT_EQ(written, (Lines{"\x07 kept", ""}));
  EXPECT_EQ(buffer.Position(), 0);
  buffer.Append("third");
  buffer.Drain(sink);
  buffer.Drain(sink);  // nothing held: nothing written twice
  EXPECT_EQ(written, (Lines{"\x07 kept", "", "third"}));

  LineBuffer one(1, false);
  one.Append("x");
  EXPECT_TRUE(one.IsFull());
}

TEST(LineBuffer, HugeSizeAllocatesOnlyForTheLinesHeld) {
  LineBuffer reading(2147483647, true);
  EXPECT_EQ(ReadThrough(reading, {"a", "b", "c"}), (Lines{"a", "b", "c"}));
  EXPECT_LE(reading.AllocatedSlots(), 16u);

  LineBuffer writing(2147483647, false);
  for (int i = 0; i < 1000; ++i) writing.Append("line");
  EXPECT_LE(writing.AllocatedSlots(), 2048u);

  LineBuffer capped(20, false);
  for (int i = 0; i < 20; ++i) capped.Append("line");
  EXPECT_EQ(capped.AllocatedSlots(), 20u);
}

// Reads `bytes` through a read-ahead in chunks of `chunk` bytes, as a script does; also
// reports the largest block the read-ahead held.
Lines ReadAhead(const std::string& bytes, std::int32_t size, std::size_t chunk, bool dropCarriageReturn,
                std::size_t* largestBlock = nullptr) {
  qx::io::LineReadAhead reader(size, dropCarriageReturn);
  std::size_t at = 0;
  auto read = [&](char* to, std::size_t room) {
    std::size_t n = std::min({room, chunk, bytes.size() - at});
    std::memcpy(to, bytes.data() + at, n);
    at += n;
    return n;
  };
  Lines lines;
  for (;;) {
    if (reader.NeedsRefill()) reader.Refill(read);
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
