#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "papyrus/TextTemplate.h"

namespace {

using namespace qx::papyrus;

std::string Fill(const std::string& pattern, const std::vector<std::string>& values) {
  TemplateValues v;
  v.values = &values;
  v.count = static_cast<std::uint32_t>(values.size());
  v.textAt = [](const void* p, std::uint32_t i) {
    return (*static_cast<const std::vector<std::string>*>(p))[i].c_str();
  };
  return FillTemplate(pattern, v);
}

TEST(TextTemplate, PlaceholdersAndTheirConversions) {
  EXPECT_EQ(Fill("%0s has %1d of %2.1f", {"x", "12", "3.14159"}), "x has 12 of 3.1");
  EXPECT_EQ(Fill("%0f", {"3.14159"}), "3.14159");
  EXPECT_EQ(Fill("%0.2f", {"3"}), "3.00");
  EXPECT_EQ(Fill("%0.0f", {"2.6"}), "3");
  EXPECT_EQ(Fill("%0.3f", {"-.5"}), "-0.500");
  EXPECT_EQ(Fill("%0d", {"1.5"}), "%0d");
  EXPECT_EQ(Fill("%00d", {"abc"}), "%0d");
  EXPECT_EQ(Fill("%007d", {"", "", "", "", "", "", "", "x"}), "%7d");
  EXPECT_EQ(Fill("%0d", {"007"}), "007");
  EXPECT_EQ(Fill("%01s", {"a", "b"}), "b");
  EXPECT_EQ(Fill("%0b", {"TRUE"}), "TRUE");
  EXPECT_EQ(Fill("%0b", {"t"}), "t");
  EXPECT_EQ(Fill("%0b", {"Fal"}), "Fal");
  EXPECT_EQ(Fill("%0b", {"yes"}), "%0b");
  EXPECT_EQ(Fill("%0b", {"trueX"}), "%0b");
  EXPECT_EQ(Fill("%0b", {""}), "%0b");
  EXPECT_EQ(Fill("%1.02f", {"a", "x"}), "%1.2f");
  EXPECT_EQ(Fill("%0s|%0s", {""}), "|");
}

TEST(TextTemplate, WhatIsNoPlaceholderStaysText) {
  EXPECT_EQ(Fill("100%%", {}), "100%");
  EXPECT_EQ(Fill("50% off", {}), "50% off");
  EXPECT_EQ(Fill("%5", {}), "%5");
  EXPECT_EQ(Fill("a%1xb", {"v"}), "a%1xb");
  EXPECT_EQ(Fill("", {"v"}), "");
  EXPECT_EQ(Fill("%1%2s", {"a", "b", "c"}), "%1%2s");
  EXPECT_EQ(Fill("%0.f", {"1"}), "%0.f");
  EXPECT_EQ(Fill("%0.2", {"1"}), "%0.2");
  EXPECT_EQ(Fill("end%", {}), "end%");
  EXPECT_EQ(Fill("%%0s", {"v"}), "%0s");
}

TEST(TextTemplate, PlaceholdersThatCannotBeFilledStayAsWritten) {
  EXPECT_EQ(Fill("[%1s]", {"only"}), "[%1s]");
  EXPECT_EQ(Fill("[%01d]", {}), "[%01d]");
  TemplateValues none;
  EXPECT_EQ(FillTemplate("a%0sb", none), "a%0sb");
  EXPECT_EQ(Fill("%2147483648s", {"v"}), "%2147483648s");
  EXPECT_EQ(Fill("%99999999999999999999s", {"v"}), "%99999999999999999999s");
  EXPECT_EQ(Fill("%0.2147483648f", {"1"}), "%0.2147483648f");
  EXPECT_EQ(Fill("%0.1001f", {"1"}), "%0.1001f");
  EXPECT_EQ(Fill("%0.1000f", {"1"}).size(), 1002u);
}

TEST(TextTemplate, NumberTexts) {
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
