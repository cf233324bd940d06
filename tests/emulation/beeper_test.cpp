#include "emulation/beeper.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t FRAME_48K = 69888;

class Beeper : public ::testing::Test {
 protected:
  void SetUp() override { beeper.enabled = true; }

  // The sample where the block turns from `before` to `after`, checking it turns only once.
  int SwitchPoint(int16_t before, int16_t after) {
    const int n = static_cast<int>(BEEPER_SAMPLES_PER_FRAME);
    int at = 0;
    while (before != after && at < n && beeper.sampleBlock[at] == before) ++at;
    for (int i = at; i < n; ++i) EXPECT_EQ(beeper.sampleBlock[i], after) << i;
    return at;
  }

  CBeeper beeper;
};

}  // namespace

TEST_F(Beeper, EdgeAtMidFrameSwitchesAtSample441) {
  beeper.StartFrame(0x00);
  beeper.Update(0x10, FRAME_48K / 2, FRAME_48K, 100);
  beeper.FinishFrame(0x10, 100);
  EXPECT_EQ(SwitchPoint(0, 7936), 441);
}

TEST_F(Beeper, LateWritesFillAtMostToSample880) {
  for (uint32_t tstate : {FRAME_48K - 1, FRAME_48K + 23, 10 * FRAME_48K}) {
    beeper.StartFrame(0x10);
    beeper.Update(0x00, tstate, FRAME_48K, 100);
    beeper.FinishFrame(0x00, 100);
    EXPECT_EQ(SwitchPoint(7936, 0), 881) << tstate;
  }
}

// Whether the beeper is on follows the settings and the saver mode (MachineSwitchesFor).
TEST_F(Beeper, WithoutBeeperEmulationTheFrameIsOneLevel) {
  struct Case { bool enabled; uint32_t frameLength; };
  for (Case c : {Case{false, FRAME_48K}, Case{true, 0}}) {
    beeper.enabled = c.enabled;
    beeper.StartFrame(0x00);
    beeper.Update(0x10, 1000, c.frameLength, 100);
    beeper.Update(0x00, 2000, c.frameLength, 100);
    beeper.Update(0x10, 3000, c.frameLength, 100);
    beeper.FinishFrame(0x10, 100);
    EXPECT_EQ(SwitchPoint(7936, 7936), 0) << c.enabled << " " << c.frameLength;
  }
}

TEST(BeeperLevel, FollowsEarAndVolume) {
  struct Case { uint8_t port; uint16_t volume; int16_t level; };
  for (Case c : {Case{0x10, 100, 7936}, Case{0x10, 40, 3174}, Case{0xFF, 40, 3174}, Case{0x10, 0, 0},
                 Case{0x08, 100, 0}, Case{0xEF, 100, 0}, Case{0x10, 150, 7936}})
    EXPECT_EQ(BeeperLevel(c.port, c.volume), c.level) << int{c.port} << " " << c.volume;
}
