#include <gtest/gtest.h>

#include "papyrus/text/HexText.h"
#include "papyrus/text/TextSplit.h"

namespace {

using namespace qx::papyrus;

TEST(HexText, DigitsOfEitherCaseAndEverythingElseAsZero) {
  EXPECT_EQ(HexToDec("FFFFFFFF"), 0xFFFFFFFFu);
  EXPECT_EQ(HexToDec("deadBEEF"), 0xDEADBEEFu);
  EXPECT_EQ(HexToDec("1G"), 16u);
  EXPECT_EQ(HexToDec("123456789"), 0x23456789u);
  EXPECT_EQ(HexToDec(""), 0u);
  for (int c = 0; c < 256; ++c) EXPECT_EQ(HexToDec(std::string(1, static_cast<char>(c))), HexDigitValue(static_cast<char>(c))) << c;
  EXPECT_EQ(ModIndexOfHex("ff000d62"), 255u);
  EXPECT_EQ(ModIndexOfHex("0x012345"), 0u);
  EXPECT_EQ(ModIndexOfHex("A"), 160u);
  EXPECT_EQ(ModIndexOfHex(""), 0u);
}

TEST(HexText, DecToHexKeepsTheLowDigitsOfTheRequestedWidth) {
  EXPECT_EQ(DecToHex(255, 1), "FF");
  EXPECT_EQ(DecToHex(4095, 1), "FF");
  EXPECT_EQ(DecToHex(0x1234, 1), "34");
  EXPECT_EQ(DecToHex(1, 3), "000001");
  EXPECT_EQ(DecToHex(0xFFFFFFFF, 4), "FFFFFFFF");
  EXPECT_EQ(DecToHex(0xABCDEF01, 6), "0000ABCDEF01");
  EXPECT_EQ(DecToHex(77382, 4), "00012E46");
  EXPECT_EQ(DecToHex(10, 0), "");
  // A negative count (its 32-bit pattern) and counts beyond the bound ask for nothing.
  EXPECT_EQ(DecToHex(10, 0xFFFFFFFF), "");
  EXPECT_EQ(DecToHex(10, kMaxHexBytes + 1), "");
  EXPECT_EQ(DecToHex(10, kMaxHexBytes).size(), 2 * kMaxHexBytes);
}

TEST(TextSplit, PiecesBetweenTheDelimitersFirstCharacter) {
  using V = std::vector<std::string_view>;
  EXPECT_EQ(SplitText("a,,b,", ","), (V{"a", "b"}));
  EXPECT_EQ(SplitText(",a", ","), (V{"a"}));
  EXPECT_EQ(SplitText("a, b", ", "), (V{"a", " b"}));
  EXPECT_EQ(SplitText("abc", ""), (V{"abc"}));
  EXPECT_EQ(SplitText("", ","), V{});
  EXPECT_EQ(SplitText("", ""), V{});
  EXPECT_EQ(SplitText(",,,", ","), V{});
}

}  // namespace
