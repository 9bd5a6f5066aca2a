#include <gtest/gtest.h>

#include <cmath>

#include "settings/IniConverters.h"

namespace {

using qx::ParseBool;
using qx::ParseFloat;
using qx::ParseInt;

TEST(IniConverters, ParseInt) {
  EXPECT_EQ(ParseInt(" 42abc"), 42);
  EXPECT_EQ(ParseInt("-17"), -17);
  EXPECT_EQ(ParseInt("+8"), 8);
  EXPECT_EQ(ParseInt("abc"), 0);
  EXPECT_EQ(ParseInt(""), 0);
  EXPECT_EQ(ParseInt("99999999999"), 0);
  EXPECT_EQ(ParseInt("2147483647"), 2147483647);
  EXPECT_EQ(ParseInt("-2147483648"), INT32_MIN);
  EXPECT_EQ(ParseInt("2147483648"), 0);
  EXPECT_EQ(ParseInt("0x1F"), 0);
}

TEST(IniConverters, ParseBool) {
  EXPECT_TRUE(ParseBool("TRUE"));
  EXPECT_TRUE(ParseBool("true"));
  EXPECT_TRUE(ParseBool("2"));
  EXPECT_TRUE(ParseBool("-1"));
  EXPECT_TRUE(ParseBool(" 1"));
  EXPECT_FALSE(ParseBool("yes"));
  EXPECT_FALSE(ParseBool("on"));
  EXPECT_FALSE(ParseBool("false"));
  EXPECT_FALSE(ParseBool("0"));
  EXPECT_FALSE(ParseBool("0x1"));
  EXPECT_FALSE(ParseBool("true ; note"));
  EXPECT_FALSE(ParseBool(""));
}

TEST(IniConverters, ParseFloat) {
  EXPECT_FLOAT_EQ(ParseFloat("0.5"), 0.5f);
  EXPECT_FLOAT_EQ(ParseFloat(" -2.5e1xyz"), -25.0f);
  EXPECT_FLOAT_EQ(ParseFloat("10"), 10.0f);
  EXPECT_EQ(ParseFloat("abc"), 0.0f);
  EXPECT_EQ(ParseFloat(""), 0.0f);
  EXPECT_EQ(ParseFloat("1e39"), 0.0f);
  EXPECT_EQ(ParseFloat("1e-50"), 0.0f);
  EXPECT_TRUE(std::isinf(ParseFloat("inf")));
  EXPECT_TRUE(std::isnan(ParseFloat("nan")));
}

}  // namespace
