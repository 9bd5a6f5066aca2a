#include "settings/ProjectIni.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "common/IDebugLog.h"
#include "settings/IniConverters.h"
#include "skse/PluginPath.h"

namespace qx {
namespace {

using P = ProjectIni;

constexpr std::array<const char*, 7> kSections = {
    "general", "books", "cameratweaks", "healthgating", "magiceffectartworkoverrides",
    "playeraudiorepositioner", "files"};

// Defaults as SetDefaults writes them; the two entries without one keep the fresh zero.
const std::array<SettingDescriptor, 41> kSettings = {{
    {"general", "enableavpercentfix", "gEnableAVPercentFix", &P::gEnableAVPercentFix, true, 0},
    {"general", "enablejumpbonusfix", "gEnableJumpBonusFix", &P::gEnableJumpBonusFix, true, 0},
    {"general", "enablebashbugfix", "gEnableBashBugFix", &P::gEnableBashBugFix, true, 0},
    {"general", "enablehealthgating", "gEnableHealthGateFix", &P::gEnableHealthGateFix, true, 0},
    {"general", "enablemagiceffectartworkoverrides", "gEnableMagicEffectArtworkOverrides",
     &P::gEnableMagicEffectArtworkOverrides, true, 0},
    {"general", "enableplayeraudiorepositioner", "gEnablePlayerAudioRepositioner",
     &P::gEnablePlayerAudioRepositioner, true, 0},
    {"books", "skillreadpollingtimemillis", "bookSkillReadPollingTimeMillis",
     &P::bookSkillReadPollingTimeMillis, true, 0},
    {"books", "disableskillgain", "bookDisableSkillGain", &P::bookDisableSkillGain, true, 0},
    {"books", "dumpskills", "bookDumpSkills", &P::bookDumpSkills, true, 0},
    {"books", "clearallreadskills", "bookClearAllReadSkills", &P::bookClearAllReadSkills, true, 0},
    {"cameratweaks", "replacefurniturecamwith3p", "camReplaceFurnitureCamWith3P",
     &P::camReplaceFurnitureCamWith3P, true, 0},
    {"cameratweaks", "changetweenmenuzoom", "camChangeTweenMenuZoom", &P::camChangeTweenMenuZoom,
     true, 0},
    {"cameratweaks", "tweenmenuzoom", "camTweenMenuZoom", &P::camTweenMenuZoom, true, 10.0},
    {"cameratweaks", "disabletweenmenupan", "camDisableTweenMenuPan", &P::camDisableTweenMenuPan,
     true, 0},
    {"cameratweaks", "enablehorsecamfix", "camEnableHorseCamFix", &P::camEnableHorseCamFix, true,
     0},
    {"cameratweaks", "enable3pcellloadpositionfix", "camEnable3PCellLoadPositionFix",
     &P::camEnable3PCellLoadPositionFix, true, 0},
    {"cameratweaks", "enable3pkillcampositionfix", "camEnable3PKillCamPositionFix",
     &P::camEnable3PKillCamPositionFix, true, 0},
    {"healthgating", "isenabled", "hgIsEnabled", &P::hgIsEnabled, true, 0},
    {"healthgating", "enablephysical", "hgEnablePhysical", &P::hgEnablePhysical, true, 1},
    {"healthgating", "enablemagic", "hgEnableMagic", &P::hgEnableMagic, true, 1},
    {"healthgating", "formainplayeronly", "hgForMainPlayerOnly", &P::hgForMainPlayerOnly, true, 1},
    {"healthgating", "requirebelowattackerhealth", "hgRequireBelowAttackerHealth",
     &P::hgRequireBelowAttackerHealth, true, 0},
    {"healthgating", "requirebelowattackerstamina", "hgRequireBelowAttackerStamina",
     &P::hgRequireBelowAttackerStamina, true, 0},
    {"healthgating", "swapattackerstaminamagicka", "hgSwapAttackerStaminaMagicka",
     &P::hgSwapAttackerStaminaMagicka, false, 0},
    {"healthgating", "minhealthpercent", "hgMinHealthPercent", &P::hgMinHealthPercent, true, 0.9},
    {"healthgating", "resulthealthpercent", "hgResultHealthPercent", &P::hgResultHealthPercent,
     true, 0.1},
    {"healthgating", "attackerhealthpercent", "hgAttackerHealthPercent",
     &P::hgAttackerHealthPercent, true, 0.0},
    {"healthgating", "attackerstaminapercent", "hgAttackerStaminaPercent",
     &P::hgAttackerStaminaPercent, true, 0.0},
    {"healthgating", "immunitytimemillis", "hgImmunityTimeMillis", &P::hgImmunityTimeMillis, true,
     500},
    {"healthgating", "gatingwindowmillis", "hgGatingWindowMillis", &P::hgGatingWindowMillis, true,
     17},
    {"healthgating", "cleanuppollingtimemillis", "hgCleanupPollingTimeMillis",
     &P::hgCleanupPollingTimeMillis, true, 180000},
    {"magiceffectartworkoverrides", "disableall", "meaoDisableAll", &P::meaoDisableAll, true, 0},
    {"playeraudiorepositioner", "isenabled", "parIsEnabled", &P::parIsEnabled, true, 0},
    {"playeraudiorepositioner", "usethreshold", "parUseThreshold", &P::parUseThreshold, true, 0},
    {"playeraudiorepositioner", "enablethresholdlogging", "parEnableThresholdLogging",
     &P::parEnableThresholdLogging, false, 0},
    {"playeraudiorepositioner", "thresholdx", "parThresX", &P::parThresX, true, -1.0},
    {"playeraudiorepositioner", "thresholdy", "parThresY", &P::parThresY, true, -1.0},
    {"playeraudiorepositioner", "thresholdz", "parThresZ", &P::parThresZ, true, -1.0},
    {"playeraudiorepositioner", "addx", "parAddX", &P::parAddX, true, 0.0},
    {"playeraudiorepositioner", "addy", "parAddY", &P::parAddY, true, 0.0},
    {"playeraudiorepositioner", "addz", "parAddZ", &P::parAddZ, true, 0.0},
}};

struct AssignDefault {
  ProjectIni& settings;
  double value;
  void operator()(bool P::*f) const { settings.*f = value != 0.0; }
  void operator()(std::int32_t P::*f) const { settings.*f = static_cast<std::int32_t>(value); }
  void operator()(std::uint32_t P::*f) const { settings.*f = static_cast<std::uint32_t>(value); }
  void operator()(float P::*f) const { settings.*f = static_cast<float>(value); }
};

struct AssignParsed {
  ProjectIni& settings;
  const std::string& text;
  void operator()(bool P::*f) const { settings.*f = ParseBool(text); }
  void operator()(std::int32_t P::*f) const { settings.*f = ParseInt(text); }
  // Unsigned fields keep the 32-bit pattern of the signed reading: -1 is 4294967295.
  void operator()(std::uint32_t P::*f) const {
    settings.*f = static_cast<std::uint32_t>(ParseInt(text));
  }
  void operator()(float P::*f) const { settings.*f = ParseFloat(text); }
};

struct FormatValue {
  const ProjectIni& settings;
  std::string operator()(bool P::*f) const { return settings.*f ? "1" : "0"; }
  std::string operator()(std::int32_t P::*f) const { return std::to_string(settings.*f); }
  std::string operator()(std::uint32_t P::*f) const { return std::to_string(settings.*f); }
  std::string operator()(float P::*f) const {
    char text[64];
    std::snprintf(text, sizeof(text), "%f", static_cast<double>(settings.*f));
    return text;
  }
};

}  // namespace

ProjectIni::ProjectIni(OverridesFileReader readOverridesFile)
    : readOverridesFile_(readOverridesFile) {}

std::span<const SettingDescriptor> ProjectIni::Settings() { return kSettings; }

std::span<const char* const> ProjectIni::Sections() { return kSections; }

std::string ProjectIni::GetFileName() { return "qxKit.ini"; }

void ProjectIni::SetDefaults() {
  for (const SettingDescriptor& setting : kSettings) {
    if (setting.hasDefault) std::visit(AssignDefault{*this, setting.defaultValue}, setting.field);
  }
}

std::string FormatSettingValue(const ProjectIni& settings, const SettingDescriptor& setting) {
  return std::visit(FormatValue{settings}, setting.field);
}

void ProjectIni::HandleKey(std::string section, std::string key, std::string value) {
  bool knownSection = false;
  for (const char* name : kSections) knownSection = knownSection || section == name;
  if (!knownSection) {
    LogMessage("QX INI: unrecognized key '%s'='%s'", key.c_str(), value.c_str());
    return;
  }
  // Not a field: the named file is read at once and logs its own lines.
  if (section == "magiceffectartworkoverrides" && key == "priorityoverrides") {
    if (readOverridesFile_ != nullptr) readOverridesFile_(*this, MakePluginPath(value));
    return;
  }
  // Not a field of the table: a list of folders, kept as text.
  if (section == "files" && key == "writablefolders") {
    filesWritableFolders = value;
    LogMessage("QX INI: filesWritableFolders set to %s", value.c_str());
    return;
  }
  for (const SettingDescriptor& setting : kSettings) {
    if (section != setting.section || key != setting.key) continue;
    std::visit(AssignParsed{*this, value}, setting.field);
    LogMessage("QX INI: %s set to %s", setting.fieldName,
               FormatSettingValue(*this, setting).c_str());
    return;
  }
  // A key its section does not know is ignored without a word.
}

// Each rule keeps a setting only inside its range, written so that a value that is not a
// number (every comparison with it is false) falls outside it too.
namespace {
bool IsFraction(float value) { return 0.0f < value && value <= 1.0f; }
}  // namespace

// The rules run in this order; only the first one logs.
const std::array<ValidationRule, 10> kValidationRules = {{
    {"health gating needs enableavpercentfix",
     [](ProjectIni& s) {
       if (s.gEnableAVPercentFix) return;
       s.gEnableHealthGateFix = false;
       LogMessage("QX Health Gating: cannot enable (AV percentage fix is not enabled)");
     }},
    {"the camera interceptor serves replacefurniturecamwith3p and enable3pkillcampositionfix",
     [](ProjectIni& s) {
       s.camEnableInterceptor = s.camReplaceFurnitureCamWith3P || s.camEnable3PKillCamPositionFix;
     }},
    {"the tween menu patches serve changetweenmenuzoom and disabletweenmenupan",
     [](ProjectIni& s) {
       s.camEnableTweenMenuChanges = s.camChangeTweenMenuZoom || s.camDisableTweenMenuPan;
     }},
    {"health gating needs enablephysical or enablemagic",
     [](ProjectIni& s) {
       if (!s.hgEnablePhysical && !s.hgEnableMagic) s.hgIsEnabled = false;
     }},
    {"health gating needs 0 < resulthealthpercent < minhealthpercent <= 1",
     [](ProjectIni& s) {
       if (!(0.0f < s.hgResultHealthPercent && s.hgResultHealthPercent < s.hgMinHealthPercent &&
             s.hgMinHealthPercent <= 1.0f)) {
         s.hgIsEnabled = false;
       }
     }},
    {"requirebelowattackerhealth needs 0 < attackerhealthpercent <= 1",
     [](ProjectIni& s) {
       if (!IsFraction(s.hgAttackerHealthPercent)) s.hgRequireBelowAttackerHealth = false;
     }},
    {"requirebelowattackerstamina needs 0 < attackerstaminapercent <= 1",
     [](ProjectIni& s) {
       if (!IsFraction(s.hgAttackerStaminaPercent)) s.hgRequireBelowAttackerStamina = false;
     }},
    {"cleanuppollingtimemillis is at least immunitytimemillis + 1000",
     [](ProjectIni& s) {
       std::uint32_t minimum = s.hgImmunityTimeMillis + 1000u;  // wraps like the game's 32 bits
       if (s.hgCleanupPollingTimeMillis < minimum) s.hgCleanupPollingTimeMillis = minimum;
     }},
    {"with formainplayeronly the cleanup thread never runs",
     [](ProjectIni& s) {
       if (s.hgForMainPlayerOnly) s.hgCleanupPollingTimeMillis = 0xFFFFFFFFu;
     }},
    {"usethreshold needs at least one threshold of 0 or more",
     [](ProjectIni& s) {
       if (!(s.parThresX >= 0.0f || s.parThresY >= 0.0f || s.parThresZ >= 0.0f)) {
         s.parUseThreshold = false;
       }
     }},
}};

std::span<const ValidationRule> ProjectIni::ValidationRules() { return kValidationRules; }

void ProjectIni::Validate() {
  for (const ValidationRule& rule : kValidationRules) rule.apply(*this);
}

void ProjectIni::ReadWithoutValidating(const SettingsDocument& document) {
  SetDefaults();
  Dispatch(document);
}

}  // namespace qx
