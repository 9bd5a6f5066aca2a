#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "papyrus/text/DecimalText.h"
#include "papyrus/text/TextTemplate.h"

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

// Decimal values are read as strtof reads them and printed as "%.*f" prints them, also
// where the filling takes its own shorter ways: short texts, ties to even, tiny and huge
// values, negative zero.
TEST(TextTemplate, DecimalsReadAndPrintedAsTheCLibraryDoes) {
  std::vector<std::string> texts = {"0.5", "2.5", "-2.5", "0.125", "1.005", "-0.001", "-0", "0.0",
                                    "16777217", "123.456789", "0.1", "9999999.5", ".000001",
                                    "340282346638528859811704183484516925440", "1e5"};
  std::uint32_t random = 7;
  for (int i = 0; i < 3000; ++i) {
    random = random * 1664525u + 1013904223u;
    char text[48];
    int digits = static_cast<int>(random >> 28);
    std::snprintf(text, sizeof text, "%s%u.%0*u", (random & 1) ? "-" : "", random >> 20, digits,
                  (random >> 4) % 100000u);
    texts.push_back(text);
  }
  for (const std::string& text : texts) {
    float expected = 0.0f;
    bool decimal = IsDecimalText(text, &expected);
    errno = 0;
    char* end = nullptr;
    float read = std::strtof(text.c_str(), &end);
    bool byStrtof = text.find_first_not_of("-.0123456789") == std::string::npos &&
                    end == text.c_str() + text.size() && errno != ERANGE && std::isfinite(read);
    ASSERT_EQ(decimal, byStrtof) << text;
    if (!decimal) continue;
    ASSERT_EQ(std::memcmp(&expected, &read, sizeof read), 0) << text;
    for (int precision : {0, 1, 2, 3, 6, 9, 12}) {
      char printed[512];
      std::snprintf(printed, sizeof printed, "%.*f", precision, static_cast<double>(read));
      ASSERT_EQ(Fill("%0." + std::to_string(precision) + "f", {text}), printed) << text << " " << precision;
    }
  }
}

}  // namespace
