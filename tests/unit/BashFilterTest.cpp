// Which animation events reset an actor's state field, and what they leave of the word.
#include <gtest/gtest.h>

#include "fixes/BashBugFix.h"

namespace {

struct Case {
  std::uint32_t before;
  const char* event;  // null: a reference without characters
  std::uint32_t after;
};

TEST(BashFilter, KeepsTheBashStateUntilBashStop) {
  const Case cases[] = {
      {0x6ABCDEF1, "bashStop", 0x0ABCDEF1},
      {0x6ABCDEF1, "weaponSwing", 0x6ABCDEF1},
      {0x6ABCDEF1, "BashStop", 0x6ABCDEF1},  // names are compared exactly
      {0x6ABCDEF1, "", 0x0ABCDEF1},
      {0x6ABCDEF1, nullptr, 0x0ABCDEF1},
      {0x3ABCDEF1, "weaponSwing", 0x0ABCDEF1},
      {0xE0000005, "weaponSwing", 0x00000005},  // 14 is not 6, though its low bits are
  };
  for (const Case& c : cases) {
    qx::game::Actor actor{};
    actor.stateWord = c.before;
    StringCache::Ref name{c.event};
    qx::FilterBashStateReset(&actor, &name);
    EXPECT_EQ(actor.stateWord, c.after) << std::hex << c.before << " " << (c.event ? c.event : "(null)");
  }
}

TEST(BashFilter, NullNameResetsAndNullActorIsLeftAlone) {
  qx::game::Actor actor{};
  actor.stateWord = 0x60000001;
  qx::FilterBashStateReset(&actor, nullptr);
  EXPECT_EQ(actor.stateWord, 0x00000001u);
  StringCache::Ref name{"bashStop"};
  qx::FilterBashStateReset(nullptr, &name);  // must not crash
}

}  // namespace
