// Any bytes as qxKit.ini, read by a fresh settings object exactly as the plugin reads it at
// start-up: the whole-file read, the INI reader, every key's handler (a priority overrides
// file it names included) and the validation. Afterwards every setting a feature reads is
// inside its valid range, or that feature is off.
#include <cstdint>
#include <string>

#include "common/IDebugLog.h"
#include "fixes/PriorityOverrides.h"
#include "settings/ProjectIni.h"
#include "sim/GameFolders.h"
#include "tests/fuzz/FuzzInput.h"

namespace {

void CheckValidated(const qx::ProjectIni& s) {
  if (s.gEnableHealthGateFix) QX_FUZZ_REQUIRE(s.gEnableAVPercentFix);
  QX_FUZZ_REQUIRE(s.camEnableInterceptor ==
                  (s.camReplaceFurnitureCamWith3P || s.camEnable3PKillCamPositionFix));
  QX_FUZZ_REQUIRE(s.camEnableTweenMenuChanges ==
                  (s.camChangeTweenMenuZoom || s.camDisableTweenMenuPan));
  if (s.hgIsEnabled) {
    QX_FUZZ_REQUIRE(s.hgEnablePhysical || s.hgEnableMagic);
    QX_FUZZ_REQUIRE(0.0f < s.hgResultHealthPercent);
    QX_FUZZ_REQUIRE(s.hgResultHealthPercent < s.hgMinHealthPercent);
    QX_FUZZ_REQUIRE(s.hgMinHealthPercent <= 1.0f);
  }
  if (s.hgRequireBelowAttackerHealth) {
    QX_FUZZ_REQUIRE(0.0f < s.hgAttackerHealthPercent && s.hgAttackerHealthPercent <= 1.0f);
  }
  if (s.hgRequireBelowAttackerStamina) {
    QX_FUZZ_REQUIRE(0.0f < s.hgAttackerStaminaPercent && s.hgAttackerStaminaPercent <= 1.0f);
  }
  // The cleanup thread never runs sooner than an immunity can end (32-bit arithmetic, as
  // the game's), and never at all when only the player is gated.
  if (s.hgForMainPlayerOnly) {
    QX_FUZZ_REQUIRE(s.hgCleanupPollingTimeMillis == 0xFFFFFFFFu);
  } else {
    QX_FUZZ_REQUIRE(s.hgCleanupPollingTimeMillis >= s.hgImmunityTimeMillis + 1000u);
  }
  if (s.parUseThreshold) {
    QX_FUZZ_REQUIRE(s.parThresX >= 0.0f || s.parThresY >= 0.0f || s.parThresZ >= 0.0f);
  }
  // Overrides read from the file wait with their texts whole and their priorities.
  for (std::size_t i = 0; i < s.pendingOverrides.size(); ++i) QX_FUZZ_REQUIRE(!s.pendingOverrides.FormText(i).empty());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  sim::GameFolders::CreateSandbox();  // the game folder the plugin path points into
  IDebugLog::consoleLevel = -1;
  IDebugLog::OpenFile("/dev/null");  // every line is still formatted, none is kept
  // A priority overrides file the settings may name ("priorityoverrides = overrides.txt").
  (void)sim::WriteFile(sim::GameFolders::PluginFile("overrides.txt"),
                       "50 000D4E_Skyrim.esm\n-1\t000801_Update.esm\nx 1\n12abc 000001_a\n");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = sim::GameFolders::PluginFile("qxKit.ini");
  if (!sim::WriteFile(path, std::string_view(reinterpret_cast<const char*>(data), size))) {
    std::abort();
  }
  qx::ProjectIni settings(&qx::ReadPriorityOverridesFile);
  QX_FUZZ_REQUIRE(settings.Load());
  CheckValidated(settings);
  return 0;
}
