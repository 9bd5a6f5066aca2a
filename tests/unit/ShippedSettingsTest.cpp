// The qxKit.ini that ships must hold every key the plugin knows, at its default, so the
// file never drifts from the code.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <variant>

#include "platform/Platform.h"
#include "settings/IniConverters.h"
#include "settings/IniFile.h"
#include "settings/ProjectIni.h"

namespace {

struct MatchesDefault {
  const std::string& text;
  double value;
  bool operator()(bool qx::ProjectIni::*) const { return qx::ParseBool(text) == (value != 0); }
  bool operator()(std::int32_t qx::ProjectIni::*) const {
    return qx::ParseInt(text) == static_cast<std::int32_t>(value);
  }
  bool operator()(std::uint32_t qx::ProjectIni::*) const {
    return static_cast<std::uint32_t>(qx::ParseInt(text)) == static_cast<std::uint32_t>(value);
  }
  bool operator()(float qx::ProjectIni::*) const {
    return qx::ParseFloat(text) == static_cast<float>(value);
  }
};

TEST(ShippedSettings, HoldEveryKeyAtItsDefault) {
  std::string bytes;
  ASSERT_TRUE(qx::platform::ReadWholeFile(QX_SOURCE_DIR "/dist/qxKit.ini", bytes));
  qx::SettingsDocument document = qx::SettingsDocument::Parse(bytes);

  std::set<std::pair<std::string, std::string>> shipped;
  for (const qx::SettingsSection& section : document.Sections()) {
    for (const qx::SettingsPair& pair : section.pairs) shipped.insert({section.name, pair.key});
  }
  std::set<std::pair<std::string, std::string>> known;
  for (const qx::SettingDescriptor& setting : qx::ProjectIni::Settings()) {
    known.insert({setting.section, setting.key});
    const qx::SettingsSection* section = nullptr;
    for (const auto& s : document.Sections()) {
      if (s.name == setting.section) section = &s;
    }
    ASSERT_NE(section, nullptr) << setting.section;
    auto at = section->keyIndex.find(setting.key);
    ASSERT_NE(at, section->keyIndex.end()) << setting.section << "/" << setting.key << " missing";
    const std::string& value = section->pairs[at->second].value;
    double expected = setting.hasDefault ? setting.defaultValue : 0.0;
    EXPECT_TRUE(std::visit(MatchesDefault{value, expected}, setting.field))
        << setting.section << "/" << setting.key << " ships " << value;
  }
  for (const auto& entry : shipped) {
    EXPECT_TRUE(known.count(entry)) << "unknown key shipped: " << entry.first << "/" << entry.second;
  }
  // The overrides file has no default; shipping it empty would name the plugins folder.
  EXPECT_FALSE(shipped.count({"magiceffectartworkoverrides", "priorityoverrides"}));
}

}  // namespace
