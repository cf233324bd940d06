#include "emulation/ay_chip.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

constexpr uint32_t FRAME_48K = 69888;

struct Chip {
  CAYChip ay{FRAME_48K, AY_CHIP_CLOCK, 100};
  std::vector<int16_t> Frame() {
    std::vector<int16_t> block(AY_SAMPLES_PER_FRAME, 0);
    ay.Render(block.data());
    ay.StartFrame();
    return block;
  }
  void Write(uint8_t r, uint8_t v) { ay.WriteRegister(r, v); }
};

// Amplitude 0-15 of a channel sample at volume 100.
int Amplitude(const CAYChip& ay, int16_t sample) {
  auto at = std::find(std::begin(ay.outputLevels), std::end(ay.outputLevels), sample);
  return at == std::end(ay.outputLevels) ? -1 : static_cast<int>(at - std::begin(ay.outputLevels));
}

int CountEdges(const std::vector<int16_t>& samples) {
  int edges = 0;
  for (size_t i = 1; i < samples.size(); ++i) edges += samples[i] != samples[i - 1];
  return edges;
}

// Channel A sounding constantly at `amplitude` (tone and noise off in the mixer).
void SteadyChannelA(Chip& chip, uint8_t amplitude) {
  chip.Write(7, 0x3F);
  chip.Write(8, amplitude);
}

// Envelope volume after step k, as the chip's data sheet draws the 16 shapes.
int PublishedEnvelope(int shape, int k) {
  const int cycle = k / 16, s = k % 16;
  const int rise = s, fall = 15 - s;
  switch (shape) {
    case 8: return fall;
    case 10: return cycle % 2 ? rise : fall;
    case 11: return cycle ? 15 : fall;
    case 12: return rise;
    case 13: return cycle ? 15 : rise;
    case 14: return cycle % 2 ? fall : rise;
    default: return cycle ? 0 : ((shape & 4) ? rise : fall);  // 0-7, 9 and 15
  }
}

}  // namespace

TEST(AYChip, EveryEnvelopeShapeFollowsItsPublishedForm) {
  for (int shape = 0; shape < 16; ++shape) {
    Chip chip;
    SteadyChannelA(chip, 0x10);
    chip.Write(11, 5);  // a step every 5 ticks = every 2 samples
    chip.Write(13, static_cast<uint8_t>(shape));
    const std::vector<int16_t> samples = chip.Frame();
    for (int k = 0; k < 64; ++k)
      ASSERT_EQ(Amplitude(chip.ay, samples[2 * k + 1]), PublishedEnvelope(shape, k))
          << "shape " << shape << " step " << k;
  }
}

TEST(AYChip, Shape13RisesOverSixteenStepsAndHoldsAtFifteen) {
  Chip chip;
  SteadyChannelA(chip, 0x10);
  chip.Write(11, 5);
  chip.Write(13, 13);
  const std::vector<int16_t> samples = chip.Frame();
  for (int k = 0; k < 16; ++k) EXPECT_EQ(Amplitude(chip.ay, samples[2 * k + 1]), k);
  for (size_t i = 33; i < samples.size(); ++i) ASSERT_EQ(samples[i], 6144);
}

TEST(AYChip, ToneFrequencyIs110250OverThePeriod) {
  for (uint32_t period : {10u, 100u, 253u, 1000u, 4095u}) {
    Chip chip;
    chip.Write(7, 0x3E);  // tone A only
    chip.Write(8, 15);
    chip.Write(0, period & 0xFF);
    chip.Write(1, period >> 8);
    std::vector<int16_t> second;
    for (int f = 0; f < 50; ++f) {
      std::vector<int16_t> frame = chip.Frame();
      second.insert(second.end(), frame.begin(), frame.end());
    }
    EXPECT_NEAR(CountEdges(second) / 2.0, 110250.0 / period, 1.0) << "period " << period;
  }
}

TEST(AYChip, PeriodZeroBecomesOne) {
  Chip chip;
  chip.Write(2, 0);
  chip.Write(3, 0);
  EXPECT_EQ(chip.ay.tonePeriods[1], 1u);
  chip.Write(3, 0x1F);  // coarse tune keeps 4 bits
  EXPECT_EQ(chip.ay.tonePeriods[1], 0xF00u);
}

// A long stretch of the highest tone must not make a later, lower tone buzz.
TEST(AYChip, LowerToneIsRightAtOnceAfterTheHighestTone) {
  Chip chip;
  chip.Write(7, 0x3E);
  chip.Write(8, 15);
  for (int f = 0; f < 500; ++f) chip.Frame();
  chip.ay.SelectRegister(0);
  chip.ay.WriteData(100, 0);
  EXPECT_NEAR(CountEdges(chip.Frame()), 44, 1);
}

TEST(AYChip, NoiseSoundsBothLevels) {
  for (uint8_t period : {0, 1, 31}) {
    Chip chip;
    chip.Write(7, 0x37);  // noise A only
    chip.Write(8, 15);
    chip.Write(6, period);
    const std::vector<int16_t> samples = chip.Frame();
    EXPECT_GT(std::count(samples.begin(), samples.end(), 6144), 50) << int{period};
    EXPECT_GT(std::count(samples.begin(), samples.end(), 0), 50) << int{period};
  }
}

TEST(AYChip, ReadsKeepTheRegisterWidthsAndPortBFloatsHigh) {
  Chip chip;
  for (uint8_t r = 0; r < 15; ++r) {
    chip.ay.SelectRegister(r);
    chip.ay.WriteData(0xFF, 0);
    EXPECT_EQ(chip.ay.Read(), AY_REGISTER_MASKS[r]) << int{r};
  }
  chip.Write(7, 0x00);
  chip.ay.SelectRegister(0x1F);  // only 4 bits select
  chip.ay.WriteData(0x5A, 0);
  EXPECT_EQ(chip.ay.selectedRegister, 15);
  EXPECT_EQ(chip.ay.Read(), 255);
  chip.Write(7, 0x80);
  EXPECT_EQ(chip.ay.Read(), 0x5A);
}

TEST(AYChip, WritesAreHeardAtTheirTStateAndNotPastTheLog) {
  Chip chip;
  SteadyChannelA(chip, 0);
  chip.ay.SelectRegister(8);
  chip.ay.WriteData(15, FRAME_48K / 2);
  std::vector<int16_t> samples = chip.Frame();
  EXPECT_EQ(samples[440], 0);
  EXPECT_EQ(samples[441], 6144);
  chip.ay.WriteData(0, FRAME_48K / 2);  // and a note that stops half-way is heard until then
  samples = chip.Frame();
  EXPECT_EQ(samples[0], 6144);
  EXPECT_EQ(samples[440], 6144);
  EXPECT_EQ(samples[441], 0);

  chip.Write(8, 0);
  for (uint32_t i = 0; i < AY_LOG_SIZE; ++i) chip.ay.WriteData(0, 0);
  chip.ay.WriteData(15, 0);  // the 1537th write
  EXPECT_EQ(chip.ay.registers[8], 15);
  samples = chip.Frame();
  EXPECT_TRUE(std::all_of(samples.begin(), samples.end(), [](int16_t s) { return s == 0; }));
  EXPECT_EQ(chip.ay.registers[8], 0) << "the unheard write is gone after the frame";
  samples = chip.Frame();
  EXPECT_TRUE(std::all_of(samples.begin(), samples.end(), [](int16_t s) { return s == 0; }))
      << "and is not heard in the next frame either";
}

// A recorded frame may run past its length; its last writes still reach the generators.
TEST(AYChip, WritesPastTheFrameEndReachTheGenerators) {
  Chip chip;
  chip.ay.SelectRegister(0);
  chip.ay.WriteData(77, 3 * FRAME_48K);
  chip.Frame();
  EXPECT_EQ(chip.ay.tonePeriods[0], 77u);

  CAYChip noLength(0, AY_CHIP_CLOCK, 100);
  noLength.WriteData(1, 1000);
  EXPECT_EQ(noLength.log[0].position, 0);
}

TEST(AYChip, OutputLevelsFollowTheVolume) {
  const uint16_t atFull[16] = {0, 84, 126, 179, 260, 380, 521, 841, 1039, 1626, 2167, 2764, 3504, 4223, 5211, 6144};
  CAYChip ay(FRAME_48K, AY_CHIP_CLOCK, 100);
  EXPECT_TRUE(std::equal(std::begin(atFull), std::end(atFull), ay.outputLevels));
  ay.BuildOutputLevels(0);
  EXPECT_TRUE(std::all_of(std::begin(ay.outputLevels), std::end(ay.outputLevels), [](uint16_t l) { return l == 0; }));
  ay.BuildOutputLevels(50);
  EXPECT_EQ(ay.outputLevels[15], 3072);
}

TEST(AYChip, RenderAddsToTheBlockAndClipsInsteadOfWrapping) {
  Chip chip;
  SteadyChannelA(chip, 15);
  std::vector<int16_t> block(AY_SAMPLES_PER_FRAME, 30000);
  block[0] = -100;
  chip.ay.Render(block.data());
  EXPECT_EQ(block[0], -100 + 6144);
  EXPECT_EQ(block[1], 32767);
}

TEST(AYChip, ResetClearsEverythingAndPeriodsBecomeOne) {
  Chip chip;
  for (uint8_t r = 0; r < 16; ++r) chip.Write(r, 0xFF);
  chip.ay.SelectRegister(9);
  chip.ay.WriteData(3, 100);
  chip.Frame();
  chip.ay.Reset();
  const CAYChip& ay = chip.ay;
  EXPECT_EQ(ay.selectedRegister, 0);
  EXPECT_TRUE(std::all_of(std::begin(ay.registers), std::end(ay.registers), [](uint8_t v) { return v == 0; }));
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(ay.tonePeriods[c], 1u);
    EXPECT_EQ(ay.toneCounters[c], 0u);
    EXPECT_EQ(ay.toneOutputs[c], 0);
  }
  EXPECT_EQ(ay.logCount + ay.envelopePeriod + ay.envelopeVolume + ay.envelopeStep + ay.envelopeCycleCount +
                ay.envelopeCounter + ay.envelopeShape + ay.tickPhase + ay.tonePhase + ay.noiseCounter + ay.noiseOutput,
            0u);
  EXPECT_NE(ay.noiseShift, 0u);
}
