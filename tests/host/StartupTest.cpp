#include "tests/host/HostFixture.h"

namespace {

using namespace qxtest;

TEST(Startup, MissingSettingsFileLoadsWithoutPatches) {
  sim::BootResult boot = sim::Game::Boot({});
  EXPECT_TRUE(boot.queried);
  EXPECT_TRUE(boot.loaded);
  std::vector<std::string> lines = LogLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "QXKit");
  EXPECT_TRUE(HasLine(lines, "QX INI: could not load settings file; most fixes will be disabled"));
  EXPECT_TRUE(sim::PatchedSites().empty());
}

}  // namespace
