#pragma once
// The plugin's one settings object: qxKit.ini turned into typed fields. Written only while
// the plugin loads (and the keyword priorities on the data-loaded message); read without
// locks by every feature afterwards.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "common/OpenAddressTable.h"
#include "settings/IniFile.h"

namespace qx::game {
struct BGSKeyword;
}

namespace qx {

class ProjectIni;

// Priority overrides read from the file, waiting for the game's data: each entry's form text
// (taken whole) and priority, the texts kept one after another in one block, so that a file
// of thousands of lines takes no allocation per line.
class PendingOverrides {
 public:
  void Add(std::string_view formText, std::int32_t priority) {
    texts_.append(formText);
    entries_.push_back({texts_.size(), priority});
  }
  [[nodiscard]] std::size_t size() const noexcept { return entries_.size(); }
  [[nodiscard]] bool empty() const noexcept { return entries_.empty(); }
  [[nodiscard]] std::string_view FormText(std::size_t i) const noexcept {
    std::size_t begin = i == 0 ? 0 : entries_[i - 1].end;
    return std::string_view(texts_).substr(begin, entries_[i].end - begin);
  }
  [[nodiscard]] std::int32_t Priority(std::size_t i) const noexcept { return entries_[i].priority; }
  // Forgets every entry and gives its memory back.
  void clear() noexcept {
    texts_ = std::string();
    entries_ = std::vector<Entry>();
  }

 private:
  struct Entry {
    std::size_t end;  // one past the text's last character in texts_
    std::int32_t priority;
  };
  std::string texts_;
  std::vector<Entry> entries_;
};

// One key of qxKit.ini: where it lives, the field it sets and that field's default.
struct SettingDescriptor {
  using Field = std::variant<bool ProjectIni::*, std::int32_t ProjectIni::*,
                             std::uint32_t ProjectIni::*, float ProjectIni::*>;
  const char* section;
  const char* key;
  const char* fieldName;  // as the "set to" line prints it
  Field field;
  bool hasDefault;        // false: keeps the zero of the fresh object
  double defaultValue;
};

// One rule of the validation that runs after the last pair; `why` is for tools.
struct ValidationRule {
  const char* why;
  void (*apply)(ProjectIni& settings);
};

class ProjectIni final : public IniFile {
 public:
  // Reads the priority overrides file that the settings name, at the point where they name
  // it, so that its log lines fall among the settings' own in file order.
  using OverridesFileReader = void (*)(ProjectIni& settings, const std::string& path);

  // Without a reader the overrides key is ignored like any key its section does not know.
  explicit ProjectIni(OverridesFileReader readOverridesFile = nullptr);

  // The validation rules in the order Validate applies them.
  [[nodiscard]] static std::span<const ValidationRule> ValidationRules();
  // For tools: the defaults, then every pair of `document` as the plugin would take it
  // (with its log lines), without validating.
  void ReadWithoutValidating(const SettingsDocument& document);

  // Every key the plugin knows, in the order HandleKey compares them.
  [[nodiscard]] static std::span<const SettingDescriptor> Settings();
  // The sections in the order HandleKey compares them.
  [[nodiscard]] static std::span<const char* const> Sections();

  // general
  bool gEnableAVPercentFix = false;
  bool gEnableJumpBonusFix = false;
  bool gEnableBashBugFix = false;
  bool gEnableHealthGateFix = false;
  bool gEnableMagicEffectArtworkOverrides = false;
  bool gEnablePlayerAudioRepositioner = false;
  // books
  std::int32_t bookSkillReadPollingTimeMillis = 0;
  bool bookDisableSkillGain = false;
  bool bookDumpSkills = false;
  bool bookClearAllReadSkills = false;
  // camera (the first two are derived by Validate)
  bool camEnableInterceptor = false;
  bool camEnableTweenMenuChanges = false;
  bool camReplaceFurnitureCamWith3P = false;
  bool camChangeTweenMenuZoom = false;
  float camTweenMenuZoom = 0.0f;
  bool camDisableTweenMenuPan = false;
  bool camEnableHorseCamFix = false;
  bool camEnable3PCellLoadPositionFix = false;
  bool camEnable3PKillCamPositionFix = false;
  // health gating
  bool hgIsEnabled = false;
  bool hgForMainPlayerOnly = false;
  bool hgEnablePhysical = false;
  bool hgEnableMagic = false;
  bool hgRequireBelowAttackerHealth = false;
  bool hgRequireBelowAttackerStamina = false;
  bool hgSwapAttackerStaminaMagicka = false;
  float hgMinHealthPercent = 0.0f;
  float hgResultHealthPercent = 0.0f;
  float hgAttackerHealthPercent = 0.0f;
  float hgAttackerStaminaPercent = 0.0f;
  std::uint32_t hgImmunityTimeMillis = 0;
  std::uint32_t hgGatingWindowMillis = 0;
  std::uint32_t hgCleanupPollingTimeMillis = 0;
  // magic effect artwork overrides
  bool meaoDisableAll = false;
  OpenAddressTable<game::BGSKeyword*, std::uint32_t> KeywordPriorityTable;
  // player audio repositioner
  bool parIsEnabled = false;
  bool parUseThreshold = false;
  bool parEnableThresholdLogging = false;
  float parThresX = 0.0f;
  float parThresY = 0.0f;
  float parThresZ = 0.0f;
  float parAddX = 0.0f;
  float parAddY = 0.0f;
  float parAddZ = 0.0f;
  // files: the player's own folders scripts may write in, as the setting lists them ("D:\Mods;E:\x")
  std::string filesWritableFolders;
  // priority overrides read from the file, waiting for the game's data
  PendingOverrides pendingOverrides;

 protected:
  std::string GetFileName() override;
  void SetDefaults() override;
  void HandleKey(std::string section, std::string key, std::string value) override;
  void Validate() override;

 private:
  OverridesFileReader readOverridesFile_;
};

// The value text of a "set to" line: "1"/"0", signed or unsigned decimal, or "%f".
[[nodiscard]] std::string FormatSettingValue(const ProjectIni& settings,
                                             const SettingDescriptor& setting);

}  // namespace qx
