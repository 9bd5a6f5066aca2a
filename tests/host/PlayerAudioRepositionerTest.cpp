#include "sim/HostGlobals.h"
#include "tests/host/CameraFixture.h"

namespace {

using namespace qxtest;

constexpr const char* kPatch = "[general]\nenableplayeraudiorepositioner=1\n";

struct Vec {
  float x, y, z;
};

void Place(sim::CameraScene& scene, Vec player, Vec reference, Vec sound) {
  scene.player.posX = player.x;
  scene.player.posY = player.y;
  scene.player.posZ = player.z;
  scene.reference = {reference.x, reference.y, reference.z};
  scene.sound.posX = sound.x;
  scene.sound.posY = sound.y;
  scene.sound.posZ = sound.z;
}

// The game places the sound: esi = sound, eax = reference position, edi = a float that the
// replaced instructions subtract the reference's x from into [esp+0x20].
Vec PlaceSound(sim::CameraScene& scene, std::vector<double> x87 = {}) {
  static float operand = 7.25f;
  sim::SiteEntry entry;
  entry.fpu = std::move(x87);
  entry.address = qx::game::kSoundPlacementSite;
  entry.registers = MarkedRegisters();
  entry.registers.esi = Word(&scene.sound);
  entry.registers.eax = Word(&scene.reference);
  entry.registers.edi = Word(&operand);
  entry.stack.assign(10, 0xCCCCCCCC);
  sim::SiteExit exit = sim::RunSite(entry);
  ExpectGameStateKept(entry, exit, qx::game::kSoundPlacementResume);
  EXPECT_EQ(exit.registers.eax, entry.registers.eax);
  EXPECT_EQ(exit.registers.ebx, entry.registers.ebx);
  EXPECT_EQ(exit.registers.ecx, entry.registers.ecx);
  EXPECT_EQ(exit.registers.edx, entry.registers.edx);
  EXPECT_EQ(exit.registers.edi, entry.registers.edi);
  volatile float difference = operand - scene.reference.x;
  EXPECT_EQ(exit.StackFloat(0x20), difference);
  for (std::size_t i = 0; i < entry.stack.size(); ++i) {
    if (i != 8) {
      EXPECT_EQ(exit.stack[i], entry.stack[i]) << i;
    }
  }
  return {scene.sound.posX, scene.sound.posY, scene.sound.posZ};
}

void ExpectAt(Vec actual, Vec expected) {
  EXPECT_EQ(actual.x, expected.x);
  EXPECT_EQ(actual.y, expected.y);
  EXPECT_EQ(actual.z, expected.z);
}

TEST(PlayerAudioRepositioner, SoundsMoveByReferenceMinusPlayerPlusOffsets) {
  BootWithSettings(std::string(kPatch) +
                   "[playeraudiorepositioner]\nisenabled=1\naddx=1\naddy=2\naddz=3\n");
  sim::CameraScene scene;
  sim::Game::SendDataLoaded();
  Place(scene, {100, 200, 50}, {110, 190, -999}, {105, 210, 60});
  ExpectAt(PlaceSound(scene), {116, 202, 63});

  std::vector<std::string> lines = LogLines();
  EXPECT_TRUE(HasLine(lines, "QX Inject: player audio repositioner loaded"));
  EXPECT_EQ(CountLines(lines, "QX Audio Repositioner: hooked first-person cam"), 1u);
}

TEST(PlayerAudioRepositioner, ReferenceAtThePlayerWithoutOffsetsLeavesTheSound) {
  BootWithSettings(std::string(kPatch) + "[playeraudiorepositioner]\nisenabled=1\n");
  sim::CameraScene scene;
  sim::Game::SendDataLoaded();
  Place(scene, {1.5f, -2.5f, 3}, {1.5f, -2.5f, 3}, {-7.125f, 9.75f, 11});
  ExpectAt(PlaceSound(scene), {-7.125f, 9.75f, 11});
}

TEST(PlayerAudioRepositioner, ThresholdBoundsAreInclusiveAndFailuresAreLogged) {
  BootWithSettings(std::string(kPatch) +
                   "[playeraudiorepositioner]\nisenabled=1\nusethreshold=1\n"
                   "enablethresholdlogging=1\nthresholdx=100\n");
  sim::CameraScene scene;
  sim::Game::SendDataLoaded();
  Vec player{100, 200, 50}, reference{110, 190, 0};

  Place(scene, player, reference, {200, 5000, -5000});  // y and z are not tested
  ExpectAt(PlaceSound(scene), {210, 4990, -5000});
  Place(scene, player, reference, {0, 210, 60});
  ExpectAt(PlaceSound(scene), {10, 200, 60});
  Place(scene, player, reference, {200.01f, 210, 60});
  ExpectAt(PlaceSound(scene), {200.01f, 210, 60});
  Place(scene, player, reference, {-0.01f, 210, 60});
  ExpectAt(PlaceSound(scene), {-0.01f, 210, 60});

  std::vector<std::string> lines = LinesStartingWith(LogLines(), "QX Audio Repositioner: out-of-range");
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "QX Audio Repositioner: out-of-range SFX (200.0100, 210.0000, 60.0000) "
                       "relative to player (100.0000, 200.0000, 50.0000)",
                       "QX Audio Repositioner: out-of-range SFX (-0.0100, 210.0000, 60.0000) "
                       "relative to player (100.0000, 200.0000, 50.0000)"}));
}

TEST(PlayerAudioRepositioner, AThresholdThatIsNotANumberLeavesItsAxisUntested) {
  BootWithSettings(std::string(kPatch) +
                   "[playeraudiorepositioner]\nisenabled=1\nusethreshold=1\n"
                   "enablethresholdlogging=1\nthresholdx=nan\nthresholdy=100\n");
  sim::CameraScene scene;
  sim::Game::SendDataLoaded();
  Vec player{100, 200, 50}, reference{110, 190, 0};

  Place(scene, player, reference, {5000, 300, 60});  // x is not tested, y is at its bound
  ExpectAt(PlaceSound(scene), {5010, 290, 60});
  Place(scene, player, reference, {5000, 300.5f, 60});
  ExpectAt(PlaceSound(scene), {5000, 300.5f, 60});
  EXPECT_EQ(LinesStartingWith(LogLines(), "QX Audio Repositioner: out-of-range").size(), 1u);
}

TEST(PlayerAudioRepositioner, OutOfRangeIsQuietWithoutThresholdLogging) {
  BootWithSettings(std::string(kPatch) +
                   "[playeraudiorepositioner]\nisenabled=1\nusethreshold=1\nthresholdz=0\n");
  sim::CameraScene scene;
  sim::Game::SendDataLoaded();
  Place(scene, {0, 0, 50}, {1, 1, 1}, {0, 0, 50.5f});
  ExpectAt(PlaceSound(scene), {0, 0, 50.5f});
  Place(scene, {0, 0, 50}, {1, 1, 1}, {0, 0, 50});  // a zero threshold still passes equality
  ExpectAt(PlaceSound(scene), {1, 1, 50});
  EXPECT_TRUE(LinesStartingWith(LogLines(), "QX Audio Repositioner: out-of-range").empty());
}

TEST(PlayerAudioRepositioner, FirstPersonViewChangesNothing) {
  BootWithSettings(std::string(kPatch) + "[playeraudiorepositioner]\nisenabled=1\naddx=5\n");
  sim::CameraScene scene;
  sim::Game::SendDataLoaded();
  scene.Activate(qx::game::kCameraState_FirstPerson);
  Place(scene, {100, 200, 50}, {110, 190, 0}, {105, 210, 60});
  ExpectAt(PlaceSound(scene), {105, 210, 60});
}

TEST(PlayerAudioRepositioner, NothingBeforeDataLoadWithoutPlayerOrWhenSwitchedOff) {
  BootWithSettings(std::string(kPatch) + "[playeraudiorepositioner]\nisenabled=1\naddx=5\n");
  sim::CameraScene scene;
  Place(scene, {100, 200, 50}, {110, 190, 0}, {105, 210, 60});
  ExpectAt(PlaceSound(scene), {105, 210, 60});
  EXPECT_TRUE(LinesStartingWith(LogLines(), "QX Audio Repositioner: ").empty());

  sim::Game::SendDataLoaded();
  sim::SetSingleton<void>(qx::game::kPlayerCharacterSingleton, nullptr);
  ExpectAt(PlaceSound(scene), {105, 210, 60});
}

TEST(PlayerAudioRepositioner, RuntimeSwitchOffKeepsThePatchButMovesNothing) {
  BootWithSettings(std::string(kPatch) + "[playeraudiorepositioner]\naddx=5\n");
  sim::CameraScene scene;
  sim::Game::SendDataLoaded();
  Place(scene, {100, 200, 50}, {110, 190, 0}, {105, 210, 60});
  ExpectAt(PlaceSound(scene), {105, 210, 60});
  EXPECT_EQ(sim::PatchedSites().size(), 1u);
}

TEST(PlayerAudioRepositioner, TableWithoutAFirstPersonStateLogsOnEveryCall) {
  BootWithSettings(std::string(kPatch) + "[playeraudiorepositioner]\nisenabled=1\naddx=5\n");
  sim::CameraScene scene;
  scene.RemoveFromTable(qx::game::kCameraState_FirstPerson);
  sim::Game::SendDataLoaded();
  Place(scene, {100, 200, 50}, {110, 190, 0}, {105, 210, 60});
  ExpectAt(PlaceSound(scene), {105, 210, 60});
  ExpectAt(PlaceSound(scene), {105, 210, 60});
  EXPECT_EQ(CountLines(LogLines(), "QX Audio Repositioner: could not hook at least one required camera; disabling"),
            2u);
}

TEST(PlayerAudioRepositioner, UnpatchedSiteOnlySubtracts) {
  BootWithSettings("[playeraudiorepositioner]\nisenabled=1\naddx=5\n");
  sim::CameraScene scene;
  sim::Game::SendDataLoaded();
  Place(scene, {100, 200, 50}, {110, 190, 0}, {105, 210, 60});
  ExpectAt(PlaceSound(scene, {1.0, 2.0}), {105, 210, 60});
}

// The routine's own x87 work (every step of the threshold test included) neither disturbs
// nor is disturbed by what the game holds there: up to seven values, its code there pushes one.
TEST(PlayerAudioRepositioner, ValuesTheGameKeepsOnTheX87StackStayThere) {
  BootWithSettings(std::string(kPatch) +
                   "[playeraudiorepositioner]\nisenabled=1\naddx=1\nusethreshold=1\nthresholdx=100\n");
  sim::CameraScene scene;
  sim::Game::SendDataLoaded();
  PlaceSound(scene);  // the first call looks for the first-person state and logs
  for (std::size_t held = 0; held < sim::kMaxSiteFpuValues; ++held) {
    std::vector<double> values;
    for (std::size_t i = 0; i < held; ++i) values.push_back(0.1 + static_cast<double>(i));
    Place(scene, {100, 200, 50}, {110, 190, 0}, {105, 210, 60});
    ExpectAt(PlaceSound(scene, values), {116, 200, 60});
  }
}

}  // namespace
