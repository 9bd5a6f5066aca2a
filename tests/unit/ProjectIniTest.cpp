#include <gtest/gtest.h>

#include <set>

#include "tests/unit/SettingsFile.h"

namespace {

using qx::ProjectIni;
using qxtest::LoadSettings;
using Lines = std::vector<std::string>;

constexpr const char* kNoHealthGatingLine =
    "QX Health Gating: cannot enable (AV percentage fix is not enabled)";

TEST(ProjectIni, MissingFileKeepsDefaultsAndSkipsValidation) {
  ProjectIni s;
  auto loaded = LoadSettings(s, nullptr);
  EXPECT_FALSE(loaded.read);
  EXPECT_TRUE(loaded.log.empty());
  EXPECT_TRUE(s.hgForMainPlayerOnly);
  EXPECT_TRUE(s.hgEnablePhysical);
  EXPECT_TRUE(s.hgEnableMagic);
  EXPECT_FLOAT_EQ(s.camTweenMenuZoom, 10.0f);
  EXPECT_FLOAT_EQ(s.hgMinHealthPercent, 0.9f);
  EXPECT_FLOAT_EQ(s.hgResultHealthPercent, 0.1f);
  EXPECT_EQ(s.hgImmunityTimeMillis, 500u);
  EXPECT_EQ(s.hgGatingWindowMillis, 17u);
  EXPECT_EQ(s.hgCleanupPollingTimeMillis, 180000u);  // not raised: Validate did not run
  EXPECT_FLOAT_EQ(s.parThresX, -1.0f);
  EXPECT_FALSE(s.parEnableThresholdLogging);
  EXPECT_FALSE(s.hgSwapAttackerStaminaMagicka);
  EXPECT_FALSE(s.camEnableInterceptor);
  EXPECT_FALSE(s.Path().empty());
  // Loaded once: a second call is refused even though the first could not open the file.
  EXPECT_FALSE(s.Load());
}

// A settings file that cannot be read (here a folder of that name) is read as a missing
// one, whatever error the system gives: the plugin then installs nothing.
TEST(ProjectIni, UnreadableFileKeepsDefaultsAndSkipsValidation) {
  auto folder = qxtest::FreshGameFolder();
  std::filesystem::create_directory(folder / "Data/SKSE/Plugins/qxKit.ini");
  ProjectIni s;
  EXPECT_FALSE(s.Load());
  EXPECT_EQ(s.hgCleanupPollingTimeMillis, 180000u);  // not raised: Validate did not run
  EXPECT_FLOAT_EQ(s.camTweenMenuZoom, 10.0f);
  std::filesystem::remove_all(folder);
}

TEST(ProjectIni, SetToLinesUseEachTypesFormat) {
  ProjectIni s;
  auto loaded = LoadSettings(s,
                             "[General]\nEnableJumpBonusFix = TRUE\nenableavpercentfix=1\n"
                             "[cameratweaks]\ntweenmenuzoom=abc\n"
                             "[books]\nskillreadpollingtimemillis=-5\n"
                             "[healthgating]\nimmunitytimemillis=-1\nminhealthpercent=0.5\n");
  EXPECT_TRUE(loaded.read);
  EXPECT_EQ(loaded.log, (Lines{"QX INI: gEnableJumpBonusFix set to 1",
                               "QX INI: gEnableAVPercentFix set to 1",
                               "QX INI: camTweenMenuZoom set to 0.000000",
                               "QX INI: bookSkillReadPollingTimeMillis set to -5",
                               "QX INI: hgImmunityTimeMillis set to 4294967295",
                               "QX INI: hgMinHealthPercent set to 0.500000"}));
  EXPECT_TRUE(s.gEnableJumpBonusFix);
  EXPECT_EQ(s.hgImmunityTimeMillis, 0xFFFFFFFFu);
}

TEST(ProjectIni, UnknownKeysAndSections) {
  ProjectIni s;
  auto loaded = LoadSettings(s, "[general]\nfoo=bar\nenableavpercentfix=1\n[misc]\nfoo=bar\n");
  EXPECT_EQ(loaded.log, (Lines{"QX INI: gEnableAVPercentFix set to 1",
                               "QX INI: unrecognized key 'foo'='bar'"}));
}

TEST(ProjectIni, SameKeyInTwoSectionsSetsTwoFields) {
  ProjectIni s;
  LoadSettings(s, "[healthgating]\nisenabled=1\n[playeraudiorepositioner]\nisenabled=0\n");
  EXPECT_TRUE(s.hgIsEnabled);
  EXPECT_FALSE(s.parIsEnabled);
  ProjectIni t;
  LoadSettings(t, "[healthgating]\nisenabled=0\n[playeraudiorepositioner]\nisenabled=1\n");
  EXPECT_FALSE(t.hgIsEnabled);
  EXPECT_TRUE(t.parIsEnabled);
}

TEST(ProjectIni, HealthGatingNeedsTheActorValueFix) {
  ProjectIni s;
  auto loaded = LoadSettings(s, "[general]\nenablehealthgating=1\n");
  EXPECT_FALSE(s.gEnableHealthGateFix);
  EXPECT_EQ(loaded.log.back(), kNoHealthGatingLine);

  ProjectIni quiet;  // the line comes on every read start without the fix, asked for or not
  EXPECT_EQ(LoadSettings(quiet, "").log, (Lines{kNoHealthGatingLine}));

  ProjectIni both;
  auto enabled = LoadSettings(both, "[general]\nenablehealthgating=1\nenableavpercentfix=1\n");
  EXPECT_TRUE(both.gEnableHealthGateFix);
  EXPECT_EQ(enabled.log.size(), 2u);
}

TEST(ProjectIni, CameraSwitchesAreDerived) {
  struct Case {
    const char* text;
    bool interceptor, tween;
  } cases[] = {
      {"", false, false},
      {"replacefurniturecamwith3p=1", true, false},
      {"enable3pkillcampositionfix=1", true, false},
      {"changetweenmenuzoom=1", false, true},
      {"disabletweenmenupan=1", false, true},
  };
  for (const Case& c : cases) {
    ProjectIni s;
    LoadSettings(s, std::string("[cameratweaks]\n") + c.text + "\n");
    EXPECT_EQ(s.camEnableInterceptor, c.interceptor) << c.text;
    EXPECT_EQ(s.camEnableTweenMenuChanges, c.tween) << c.text;
  }
}

TEST(ProjectIni, HealthGatingRanges) {
  struct Case {
    const char* text;
    bool enabled;
  } cases[] = {
      {"", true},
      {"minhealthpercent=0.5\nresulthealthpercent=0.5", false},
      {"minhealthpercent=1.0\nresulthealthpercent=0.99", true},
      {"minhealthpercent=1.01", false},
      {"resulthealthpercent=0", false},
      {"resulthealthpercent=-0.1", false},
      {"enablephysical=0\nenablemagic=0", false},
      {"enablephysical=0", true},
      // Not a number is outside every range.
      {"resulthealthpercent=nan", false},
      {"minhealthpercent=nan", false},
      {"minhealthpercent=nan\nresulthealthpercent=nan", false},
  };
  for (const Case& c : cases) {
    ProjectIni s;
    LoadSettings(s, std::string("[healthgating]\nisenabled=1\n") + c.text + "\n");
    EXPECT_EQ(s.hgIsEnabled, c.enabled) << c.text;
  }
}

TEST(ProjectIni, AttackerConditionsNeedAFractionAboveZeroUpToOne) {
  struct Case {
    const char* value;
    bool kept;
  } cases[] = {{"0", false}, {"-0.5", false}, {"0.01", true}, {"1", true}, {"1.5", false}, {"nan", false}};
  for (const Case& c : cases) {
    ProjectIni s;
    LoadSettings(s, std::string("[healthgating]\nrequirebelowattackerhealth=1\n"
                                "requirebelowattackerstamina=1\nattackerhealthpercent=") +
                        c.value + "\nattackerstaminapercent=" + c.value + "\n");
    EXPECT_EQ(s.hgRequireBelowAttackerHealth, c.kept) << c.value;
    EXPECT_EQ(s.hgRequireBelowAttackerStamina, c.kept) << c.value;
  }
}

TEST(ProjectIni, CleanupIntervalFollowsImmunityAndPlayerOnly) {
  ProjectIni defaults;
  LoadSettings(defaults, "");
  EXPECT_EQ(defaults.hgCleanupPollingTimeMillis, 0xFFFFFFFFu);

  ProjectIni raised;
  LoadSettings(raised, "[healthgating]\nformainplayeronly=false\ncleanuppollingtimemillis=100\n");
  EXPECT_EQ(raised.hgCleanupPollingTimeMillis, 1500u);

  ProjectIni kept;
  LoadSettings(kept, "[healthgating]\nformainplayeronly=0\ncleanuppollingtimemillis=1500\n");
  EXPECT_EQ(kept.hgCleanupPollingTimeMillis, 1500u);

  // The minimum wraps in 32 bits like the game's arithmetic: 4294967000 + 1000 = 704.
  ProjectIni wrapped;
  LoadSettings(wrapped, "[healthgating]\nformainplayeronly=0\nimmunitytimemillis=-296\n"
                        "cleanuppollingtimemillis=10\n");
  EXPECT_EQ(wrapped.hgCleanupPollingTimeMillis, 704u);
}

TEST(ProjectIni, ThresholdsAllNegativeTurnTheThresholdOff) {
  ProjectIni off;
  LoadSettings(off, "[playeraudiorepositioner]\nusethreshold=true\n");
  EXPECT_FALSE(off.parUseThreshold);
  ProjectIni on;
  LoadSettings(on, "[playeraudiorepositioner]\nusethreshold=true\nthresholdz=0\n");
  EXPECT_TRUE(on.parUseThreshold);
  // A threshold that is not a number tests nothing, like a negative one.
  ProjectIni nan;
  LoadSettings(nan, "[playeraudiorepositioner]\nusethreshold=true\nthresholdx=nan\n");
  EXPECT_FALSE(nan.parUseThreshold);
  ProjectIni nanAndZero;
  LoadSettings(nanAndZero, "[playeraudiorepositioner]\nusethreshold=true\nthresholdx=nan\nthresholdy=0\n");
  EXPECT_TRUE(nanAndZero.parUseThreshold);
}

TEST(ProjectIni, EveryKeyIsInAKnownSectionAndNamesAField) {
  std::set<std::string> sections(ProjectIni::Sections().begin(), ProjectIni::Sections().end());
  std::set<std::pair<std::string, std::string>> keys;
  for (const qx::SettingDescriptor& setting : ProjectIni::Settings()) {
    EXPECT_TRUE(sections.count(setting.section)) << setting.key;
    EXPECT_TRUE(keys.insert({setting.section, setting.key}).second) << "twice: " << setting.key;
  }
  EXPECT_EQ(keys.size(), 41u);
}

}  // namespace
