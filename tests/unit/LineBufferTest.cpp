#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "papyrus/LineBuffer.h"

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

}  // namespace
