#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "settings/IniFile.h"

namespace {

using qx::SettingsDocument;

// (section, key, value) in dispatch order.
std::vector<std::vector<std::string>> Dispatched(std::string_view bytes) {
  std::vector<std::vector<std::string>> triples;
  SettingsDocument document = SettingsDocument::Parse(bytes);
  for (const auto& section : document.Sections()) {
    for (const auto& pair : section.pairs) triples.push_back({section.name, pair.key, pair.value});
  }
  return triples;
}

using Triples = std::vector<std::vector<std::string>>;

TEST(IniDialect, ByteOrderMarkCarriageReturnsAndNulsAreDropped) {
  Triples plain = Dispatched("[General]\nEnableJumpBonusFix = TRUE\n");
  EXPECT_EQ(plain, (Triples{{"general", "enablejumpbonusfix", "TRUE"}}));
  EXPECT_EQ(Dispatched("\xEF\xBB\xBF[General]\r\nEnableJumpBonusFix = TRUE\r\n"), plain);
  EXPECT_EQ(Dispatched(std::string_view("[Gen\0eral]\nEnable\0JumpBonusFix = TR\0UE", 38)), plain);
  EXPECT_TRUE(Dispatched("").empty());
  EXPECT_TRUE(Dispatched("\xEF\xBB\xBF").empty());
}

TEST(IniDialect, CommentsOnlyAtTheStartOfALine) {
  EXPECT_EQ(Dispatched("[a]\n; x=1\n  ;y=2\n#enablejumpbonusfix=true\nz = 1 ; note\n"),
            (Triples{{"a", "#enablejumpbonusfix", "true"}, {"a", "z", "1 ; note"}}));
}

TEST(IniDialect, SectionHeaders) {
  EXPECT_EQ(Dispatched("[Books] ; comment\nk=v\n"), (Triples{{"books", "k", "v"}}));
  EXPECT_EQ(Dispatched("[a]b]\nk=v\n"), (Triples{{"a]b", "k", "v"}}));
  EXPECT_EQ(Dispatched("[  Spaced  ] trailing\nk=v\n"), (Triples{{"spaced", "k", "v"}}));
  EXPECT_EQ(Dispatched("[]\nk=v\n"), (Triples{{"", "k", "v"}}));
  // A '[' line without ']' (after cutting at ';') is read as a key/value line.
  EXPECT_EQ(Dispatched("[s]\n[x=1\n[y=2;]\n"), (Triples{{"s", "[x", "1"}, {"s", "[y", "2"}}));
}

TEST(IniDialect, KeysAndValues) {
  EXPECT_EQ(Dispatched("[s]\nkey\\=part = 5\n"), (Triples{{"s", "key=part", "5"}}));
  EXPECT_EQ(Dispatched("[s]\n\\=a\\=\\=b\\= = x\\=y\n"), (Triples{{"s", "=a==b=", "x\\=y"}}));
  EXPECT_EQ(Dispatched("[s]\n a = b = c \n"), (Triples{{"s", "a", "b = c"}}));
  EXPECT_EQ(Dispatched("[s]\nno equals here\n=empty key\nk=\n"),
            (Triples{{"s", "", "empty key"}, {"s", "k", ""}}));
  EXPECT_EQ(Dispatched("[s]\nMixedCase = MixedValue\n"), (Triples{{"s", "mixedcase", "MixedValue"}}));
}

TEST(IniDialect, LinesBeforeAnySectionAreDropped) {
  EXPECT_EQ(Dispatched("name=1\n[s]\nk=v\n"), (Triples{{"s", "k", "v"}}));
}

TEST(IniDialect, RepeatedSectionsAndKeysKeepFirstPlaceAndLastValue) {
  EXPECT_EQ(Dispatched("[a]\nx=1\ny=2\n[b]\nz=3\n[A]\nx=4\nw=5\n"),
            (Triples{{"a", "x", "4"}, {"a", "y", "2"}, {"a", "w", "5"}, {"b", "z", "3"}}));
}

TEST(IniDialect, LastLineWithoutLineFeed) {
  EXPECT_EQ(Dispatched("[s]\nk=v"), (Triples{{"s", "k", "v"}}));
}

}  // namespace
