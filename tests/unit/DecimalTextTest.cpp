// Number texts as the template conversions accept them.
#include <gtest/gtest.h>

#include <string>

#include "papyrus/text/DecimalText.h"

namespace {

using namespace qx::papyrus;

TEST(DecimalText, IntegerAndDecimalTexts) {
  EXPECT_TRUE(IsIntegerText("-2147483648"));
  EXPECT_TRUE(IsIntegerText("2147483647"));
  EXPECT_FALSE(IsIntegerText("2147483648"));
  EXPECT_FALSE(IsIntegerText("-2147483649"));
  EXPECT_FALSE(IsIntegerText("-"));
  EXPECT_FALSE(IsIntegerText("+1"));
  EXPECT_FALSE(IsIntegerText(""));
  EXPECT_TRUE(IsDecimalText("-1.5"));
  EXPECT_TRUE(IsDecimalText(".5"));
  EXPECT_TRUE(IsDecimalText("5."));
  for (const char* bad : {"-", ".", "-.", "1e5", "+1", " 1", "1.2.3", "", "1x"}) {
    EXPECT_FALSE(IsDecimalText(bad)) << bad;
  }
  EXPECT_FALSE(IsDecimalText(std::string(60, '9')));  // beyond a float's range
}

}  // namespace
