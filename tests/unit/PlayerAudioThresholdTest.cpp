#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "camera/PlayerAudioRepositioner.h"

namespace {

using qx::camera::AxisWithinThreshold;

TEST(PlayerAudioThreshold, BoundsAreInclusiveInSinglePrecision) {
  EXPECT_TRUE(AxisWithinThreshold(200.0f, 100.0f, 100.0f));
  EXPECT_TRUE(AxisWithinThreshold(0.0f, 100.0f, 100.0f));
  EXPECT_FALSE(AxisWithinThreshold(200.01f, 100.0f, 100.0f));
  EXPECT_FALSE(AxisWithinThreshold(-0.01f, 100.0f, 100.0f));
  // 16777216 + 1.5 is 16777217.5 exactly but 16777218 as a float: the game's rounded bound
  // takes in the sound that an extended-precision bound would leave out.
  EXPECT_TRUE(AxisWithinThreshold(16777218.0f, 16777216.0f, 1.5f));
  EXPECT_TRUE(AxisWithinThreshold(16777214.0f, 16777216.0f, 1.5f));
}

TEST(PlayerAudioThreshold, NegativeThresholdSwitchesTheAxisOff) {
  EXPECT_TRUE(AxisWithinThreshold(1e30f, 0.0f, -1.0f));
  EXPECT_TRUE(AxisWithinThreshold(5.0f, 5.0f, 0.0f));
  EXPECT_FALSE(AxisWithinThreshold(std::numeric_limits<float>::quiet_NaN(), 0.0f, 10.0f));
  // Only a threshold of 0 or more is a test; one that is not a number is none.
  EXPECT_TRUE(AxisWithinThreshold(1e30f, 0.0f, std::numeric_limits<float>::quiet_NaN()));
}

}  // namespace
