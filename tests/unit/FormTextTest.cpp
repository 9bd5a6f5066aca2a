#include <gtest/gtest.h>

#include <strings.h>

#include <string>
#include <vector>

#include "papyrus/text/FormText.h"

namespace {

using namespace qx::papyrus;

class FakeMods final : public LoadedMods {
 public:
  explicit FakeMods(std::vector<std::string> names) : names_(std::move(names)) {}
  std::uint32_t IndexOf(const char* name) const override {
    for (std::size_t i = 0; i < names_.size(); ++i) {
      if (strcasecmp(names_[i].c_str(), name) == 0) return static_cast<std::uint32_t>(i) & 0xFF;
    }
    return 0xFF;
  }
  const char* NameAt(std::uint32_t index) const override {
    return index < names_.size() ? names_[index].c_str() : "";
  }

 private:
  std::vector<std::string> names_;
};

const FakeMods kMods({"Skyrim.esm", "Update.esm", "Dawnguard.esm", "N.esp"});

TEST(FormText, WrittenAndResolvedBothWays) {
  EXPECT_EQ(LoadIndependentFormText("03012345", false, kMods), "012345_N.esp");
  EXPECT_EQ(LoadIndependentFormText("03abcdef", false, kMods), "abcdef_N.esp");
  EXPECT_EQ(ResolveLoadIndependentFormText("012345_N.esp", false, kMods), 0x03012345u);
  EXPECT_EQ(ResolveLoadIndependentFormText("012345_n.ESP", false, kMods), 0x03012345u);
  EXPECT_EQ(ResolveLoadIndependentFormText("abcdef?Update.esm", false, kMods), 0x01ABCDEFu);
  EXPECT_EQ(ResolveLoadIndependentFormText("012345_Other.esp", false, kMods), 0u);
  EXPECT_EQ(LoadIndependentFormText("09000001", false, kMods), "000001_");
}

TEST(FormText, CustomObjects) {
  EXPECT_EQ(LoadIndependentFormText("FF000801", false, kMods), "");
  EXPECT_EQ(LoadIndependentFormText("ff000801", true, kMods), "000801___CUSTOMPLACEDOBJ__");
  EXPECT_EQ(ResolveLoadIndependentFormText("000801___CUSTOMPLACEDOBJ__", true, kMods), 0xFF000801u);
  EXPECT_EQ(ResolveLoadIndependentFormText("000801___CUSTOMPLACEDOBJ__", false, kMods), 0u);
  EXPECT_EQ(ResolveLoadIndependentFormText("000801___customplacedobj__", true, kMods), 0u);
  const FakeMods withMarkerFile({"__customplacedobj__"});
  EXPECT_EQ(ResolveLoadIndependentFormText("000801___customplacedobj__", true, withMarkerFile), 0x00000801u);
}

TEST(FormText, ShortTextsReadNothingPastTheirEnd) {
  for (const char* shortText : {"", "0", "012345", "01234_"}) {
    EXPECT_EQ(ResolveLoadIndependentFormText(shortText, true, kMods), 0u) << shortText;
  }
  EXPECT_EQ(ResolveLoadIndependentFormText("012345_", false, kMods), 0u) << "empty file name";
  EXPECT_EQ(LoadIndependentFormText("0", false, kMods), "_Skyrim.esm");
  EXPECT_EQ(LoadIndependentFormText("", false, kMods), "_Skyrim.esm");
  EXPECT_EQ(LoadIndependentFormText("03", false, kMods), "_N.esp");
}

}  // namespace
