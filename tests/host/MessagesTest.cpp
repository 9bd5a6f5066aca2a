// The script extender's messages reaching the plugin's listener.
#include "tests/host/HostFixture.h"

namespace {

using namespace qxtest;

TEST(Messages, DataLoadedRunsThePostDataLoadSteps) {
  BootWithSettings("[general]\n");
  std::size_t before = LogLines().size();
  sim::Game::SendDataLoaded();
  std::vector<std::string> lines = LogLines();
  ASSERT_GE(lines.size(), before + 2);
  EXPECT_EQ(lines[before], "QX INI: begin post data load processing");
  EXPECT_TRUE(HasLine(lines, "QX INI: post data load processing complete"));
}

TEST(Messages, DataLoadedRunsAlsoWithoutSettings) {
  sim::Game::Boot({});
  sim::Game::SendDataLoaded();
  std::vector<std::string> lines = LogLines();
  EXPECT_TRUE(HasLine(lines, "QX INI: begin post data load processing"));
  EXPECT_TRUE(HasLine(lines, "QX INI: post data load processing complete"));
}

TEST(Messages, OtherMessagesAndEmptyGameLoadsChangeNothing) {
  BootWithSettings("[general]\n");
  std::string before = sim::GameFolders::ReadLog();
  sim::ScriptExtender::Instance().Dispatch(1);
  sim::ScriptExtender::Instance().Dispatch(7, 1);
  sim::Game::SendPostLoadGame(0);
  EXPECT_EQ(sim::GameFolders::ReadLog(), before);
  EXPECT_TRUE(sim::PatchedSites().empty());
}

}  // namespace
