#include "sim/EverySite.h"

#include <cstring>

#include "sim/Actors.h"
#include "sim/ArtPickSite.h"
#include "sim/CameraScene.h"
#include "sim/Forms.h"
#include "sim/Game.h"
#include "sim/GameFolders.h"
#include "sim/Magic.h"
#include "sim/Vm.h"
#include "skse/GameActorValues.h"
#include "skse/GameStrings.h"

namespace sim {
namespace {

// The sound is moved (the thresholds hold it), so its routine does all its arithmetic.
constexpr const char* kEveryFeature =
    "[general]\nenableavpercentfix=1\nenablejumpbonusfix=1\nenablebashbugfix=1\n"
    "enablehealthgating=1\nenablemagiceffectartworkoverrides=1\nenableplayeraudiorepositioner=1\n"
    "[cameratweaks]\nreplacefurniturecamwith3p=1\nchangetweenmenuzoom=1\ntweenmenuzoom=10.0\n"
    "disabletweenmenupan=1\nenablehorsecamfix=1\nenable3pcellloadpositionfix=1\n"
    "enable3pkillcampositionfix=1\n"
    "[healthgating]\nisenabled=1\nenablephysical=1\nenablemagic=1\nformainplayeronly=0\n"
    "minhealthpercent=0.5\nresulthealthpercent=0.1\nimmunitytimemillis=500\n"
    "gatingwindowmillis=17\ncleanuppollingtimemillis=4294967295\n"
    "[magiceffectartworkoverrides]\npriorityoverrides=art.txt\n"
    "[playeraudiorepositioner]\nisenabled=1\nusethreshold=1\nthresholdx=1000\nthresholdy=1000\n"
    "thresholdz=1000\naddx=1\n";

std::uint32_t Word(const void* p) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p)); }

std::uint32_t FloatWord(float value) {
  std::uint32_t word;
  std::memcpy(&word, &value, 4);
  return word;
}

Registers Marked() {
  return {0xA0A0A0A0, 0xB0B0B0B0, 0xC0C0C0C0, 0xD0D0D0D0, 0x51515151, 0xD1D1D1D1, 0xBBBBBBBB};
}

}  // namespace

std::vector<EverySiteRun> BootWithEveryFeature() {
  Game::Start();
  SetLoadedMods({"Skyrim.esm", "Update.esm", "Mine.esp"});
  qx::game::BGSKeyword* keyword = NewEffectKeyword(0x02000D4E);
  RegisterForm(reinterpret_cast<qx::game::TESForm*>(keyword));
  if (!WriteFile(GameFolders::PluginFile("art.txt"), "50 000D4E_Mine.esp\n")) return {};
  BootOptions options;
  options.settings = kEveryFeature;
  if (!Game::Boot(options).loaded) return {};
  auto* scene = new CameraScene;  // read by the plugin from now on
  Game::SendDataLoaded();

  SimActor* actor = NewActor(0x7);
  actor->SetActorValue(qx::game::kActorValue_Health, 100.0f, 75.0f, 50.0f);
  actor->SetActorValue(qx::game::kActorValue_Stamina, 40.0f, 30.0f, -20.0f);
  SimActor* victim = NewActor(0x8, 0xFF000900);
  SimActor* attacker = NewActor(0x9, 0xFF000901);
  static StringCache::Ref swing{"weaponSwing"};
  static float operand = 7.25f;
  qx::game::EffectSetting* first = NewMagicEffect(0x201, {NewEffectKeyword(0x301)});
  qx::game::EffectSetting* second = NewMagicEffect(0x202, {keyword});
  qx::game::MagicItem* spell =
      NewSpell(0x200, 0, {EffectItemValues{1.0f, 0, 0, first, 0}, EffectItemValues{1.0f, 0, 0, second, 1}});
  SetArtPickAnswer(first);
  double jump = 2.0;
  std::uint32_t jumpHalves[2];
  std::memcpy(jumpHalves, &jump, 8);

  std::vector<EverySiteRun> sites;
  auto add = [&](const char* name, std::uintptr_t site, std::uintptr_t resume, Registers registers,
                 std::vector<std::uint32_t> stack, bool atACall) {
    EverySiteRun s{name, resume, {}, atACall};
    s.entry.address = site;
    s.entry.registers = registers;
    s.entry.stack = std::move(stack);
    sites.push_back(std::move(s));
  };
  Registers r = Marked();
  r.ecx = Word(actor);
  r.eax = qx::game::kActorValue_Health;
  add("fraction-index", qx::game::kFractionCallSite_IndexInEax, 0x005067E4, r,
      {qx::game::kActorValue_Health, 0x5A5A5A5A}, true);
  add("fraction-index-2", qx::game::kFractionCallSite_IndexInEaxSecond, 0x008DA70B, r,
      {qx::game::kActorValue_Health, 0x5A5A5A5A}, true);
  r = Marked();
  r.ecx = Word(actor);
  add("fraction-stamina", qx::game::kFractionCallSite_Stamina, 0x00506A11, r, {0x5A5A5A5A}, true);
  add("fraction-health", qx::game::kFractionCallSite_Health, 0x00506A91, r, {0x5A5A5A5A}, true);
  r = Marked();
  r.esi = Word(victim);
  // A hit that neither kills nor opens a window (the victim is below the floor).
  victim->SetActorValue(qx::game::kActorValue_Health, 100.0f, 30.0f);
  add("hit-damage", qx::game::kHitDamageCallSite, qx::game::kHitDamageCallResume, r,
      {0x11, 0x22, FloatWord(-5.0f), Word(attacker), 0x55, 0, 0x5A5A5A5A}, true);
  r = Marked();
  r.ecx = 0x12345678;
  add("jump-value", qx::game::kJumpValueCallSite, qx::game::kJumpValueCallResume, r,
      {1, 2, 3, Word(actor), jumpHalves[0], jumpHalves[1], 0x5A5A5A5A}, true);
  r = Marked();
  r.eax = Word(actor);
  add("bash-reset-stack", qx::game::kStateResetSite_ActorOnStack, 0x00780D21, r,
      {Word(&swing), 0, 0, Word(actor)}, false);
  r = Marked();
  r.esi = Word(actor);
  r.edi = Word(&swing);
  add("bash-reset-esi", qx::game::kStateResetSite_ActorInEsi, 0x007807AB, r, {}, false);
  r = Marked();
  r.ecx = Word(spell);
  add("art-pick", qx::game::kArtPickCallSite, qx::game::kArtPickCallResume, r, {0x66666666, 0x77777777}, true);
  r = Marked();
  r.esi = Word(&scene->camera);
  add("camera-state", qx::game::kCameraSetStateSite, qx::game::kCameraSetStateResume, r,
      {1, 2, 3, 4, Word(scene->State(qx::game::kCameraState_Furniture)), 6}, false);
  add("cell-load", qx::game::kCellLoadCallSite, qx::game::kCellLoadCallResume, r, {0x11, 0x22, 0x33}, true);
  // After the call the game may hold what its callee returns: not known here, so anything.
  r = Marked();
  r.esi = Word(scene->State(qx::game::kCameraState_ThirdPerson));
  add("horse-cam", qx::game::kHorseCamSite, qx::game::kHorseCamResume, r, {7, 8}, false);
  r = Marked();
  r.esi = Word(&scene->tweenMenu);
  add("tween-zoom", qx::game::kTweenMenuZoomSite, qx::game::kTweenMenuZoomResume, r, {1, 2, 3}, false);
  add("tween-pan", qx::game::kTweenMenuPanSite, qx::game::kTweenMenuPanResume, r, {1, 2, 3}, false);
  r = Marked();
  r.esi = Word(&scene->sound);
  r.eax = Word(&scene->reference);
  r.edi = Word(&operand);
  add("sound-placement", qx::game::kSoundPlacementSite, qx::game::kSoundPlacementResume, r,
      std::vector<std::uint32_t>(10, 0xCCCCCCCC), false);
  return sites;
}

}  // namespace sim
