// A machine's beeper, through the sound output and the audio device, into a file: SDL's disk
// driver takes samples in real time, as a sound card would, so the stream's cursor rules run as
// they do when the saver plays.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "emulation/beeper.h"
#include "emulation/machine48.h"
#include "platform/clock.h"
#include "presentation/audio_sound_output.h"
#include "tests/emulation/machine_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

// Toggles the speaker for ever: 26 * n + 50 T-states a cycle.
std::vector<uint8_t> SquareWave(uint8_t n) {
  return {
      0xF3,              // 8000 DI
      0x3E, 0x10,        // 8001 LD A,0x10   speaker on
      0xD3, 0xFE,        //      OUT (0xFE),A
      0x06, n,           //      LD B,n
      0x10, 0xFE,        //      DJNZ $
      0x3E, 0x00,        //      LD A,0      speaker off
      0xD3, 0xFE,        //      OUT (0xFE),A
      0x06, n,           //      LD B,n
      0x10, 0xFE,        //      DJNZ $
      0xC3, 0x01, 0x80,  //      JP 0x8001
  };
}

class BeeperCapture : public MachineTest {};

}  // namespace

TEST_F(BeeperCapture, TheToneIsHeardAtItsFrequency) {
  TempDir dir;
  const std::string file = dir.file("mix.raw");
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);

  {
    CAudioSoundOutput output;
    output.Initialise();
    unsetenv("SDL_AUDIODRIVER");
    if (!output.HasDevice()) GTEST_SKIP() << "SDL's disk audio driver is not available";
    MachineSetup setup = Setup({.beeper = true});
    setup.sound.reset(output.CreateStream());
    auto* machine = new Machine48(std::move(setup));
    ASSERT_NE(machine->SoundStream(), nullptr);
    constexpr uint8_t n = 131;
    LoadProgram(*machine, 0x8000, SquareWave(n));
    // 1.5 s of frames at the pace of the clock, as the frame cycle runs them.
    const float start = ClockSeconds();
    while (ClockSeconds() - start < 1.5f) {
      machine->UpdateFrame(ClockSeconds());
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    delete machine;
    output.ShutDown();
  }

  const std::string raw = ReadWholeFile(file);
  const size_t count = raw.size() / 2;
  ASSERT_GT(count, 44100u / 2) << "the device took less than half a second of sound";
  std::vector<int16_t> samples(count);
  std::memcpy(samples.data(), raw.data(), count * 2);

  const int16_t high = *std::max_element(samples.begin(), samples.end());
  ASSERT_GT(high, 1000) << "no sound reached the device";
  std::vector<size_t> edges;
  for (size_t i = 1; i < count; ++i)
    if (samples[i - 1] < high / 2 && samples[i] >= high / 2) edges.push_back(i);
  ASSERT_GT(edges.size(), 300u) << "less than 0.3 s of tone";
  std::vector<size_t> periods;
  for (size_t i = 1; i < edges.size(); ++i) periods.push_back(edges[i] - edges[i - 1]);
  std::nth_element(periods.begin(), periods.begin() + periods.size() / 2, periods.end());
  const double measured = 44100.0 / static_cast<double>(periods[periods.size() / 2]);

  // 50 frames of 69888 T-states a second.
  const double expected = 50.0 * 69888 / (26 * 131 + 50);
  EXPECT_NEAR(measured, expected, expected * 0.03);
}
