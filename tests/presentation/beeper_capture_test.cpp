// A machine's beeper, through the sound output and the audio device, into a file: SDL's disk
// driver takes samples in real time, as a sound card would, so the stream's cursor rules run as
// they do when the saver plays.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
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

class BeeperCapture : public MachineTest {
 protected:
  // Plays the square wave for `seconds` of wall clock through SDL's disk driver, the frame cycle
  // calling the machine every `step` seconds as the saver does, and returns the captured samples
  // (empty when the driver is missing). `meanLeadMs` gets the mean delay of the frames written.
  std::vector<int16_t> Capture(const std::string& file, float seconds, float step,
                               double* meanLeadMs = nullptr) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    {
      CAudioSoundOutput output;
      output.Initialise();
      unsetenv("SDL_AUDIODRIVER");
      if (!output.HasDevice()) return {};
      MachineSetup setup = Setup({.beeper = true});
      setup.sound.reset(output.CreateStream());
      auto machine = std::make_unique<Machine48>(std::move(setup));
      auto* stream = dynamic_cast<CAudioSoundStream*>(machine->SoundStream());
      EXPECT_NE(stream, nullptr);
      if (!stream) return {};
      LoadProgram(*machine, 0x8000, SquareWave(131));
      double leads = 0;
      int count = 0;
      const float start = ClockSeconds();
      while (ClockSeconds() - start < seconds) {
        machine->UpdateFrame(ClockSeconds());
        leads += stream->LastLead() / 88.2;
        ++count;
        std::this_thread::sleep_for(std::chrono::duration<float>(step));
      }
      if (meanLeadMs) *meanLeadMs = count ? leads / count : 0;
      machine.reset();
      output.ShutDown();
    }
    const std::string raw = ReadWholeFile(file);
    std::vector<int16_t> samples(raw.size() / 2);
    std::memcpy(samples.data(), raw.data(), samples.size() * 2);
    return samples;
  }
};

// Where the wave rises through half its height.
std::vector<size_t> RisingEdges(const std::vector<int16_t>& samples) {
  const int16_t high = samples.empty() ? 0 : *std::max_element(samples.begin(), samples.end());
  std::vector<size_t> edges;
  for (size_t i = 1; i < samples.size(); ++i)
    if (samples[i - 1] < high / 2 && samples[i] >= high / 2) edges.push_back(i);
  return edges;
}

size_t MedianPeriod(const std::vector<size_t>& edges) {
  std::vector<size_t> periods;
  for (size_t i = 1; i < edges.size(); ++i) periods.push_back(edges[i] - edges[i - 1]);
  std::nth_element(periods.begin(), periods.begin() + periods.size() / 2, periods.end());
  return periods[periods.size() / 2];
}

}  // namespace

TEST_F(BeeperCapture, TheToneIsHeardAtItsFrequency) {
  TempDir dir;
  // 1.5 s of frames at the pace of the clock.
  const std::vector<int16_t> samples = Capture(dir.file("mix.raw"), 1.5f, 0.002f);
  if (samples.empty()) GTEST_SKIP() << "SDL's disk audio driver is not available";
  ASSERT_GT(samples.size(), 44100u / 2) << "the device took less than half a second of sound";
  ASSERT_GT(*std::max_element(samples.begin(), samples.end()), 1000) << "no sound reached the device";
  const std::vector<size_t> edges = RisingEdges(samples);
  ASSERT_GT(edges.size(), 300u) << "less than 0.3 s of tone";
  const double measured = 44100.0 / static_cast<double>(MedianPeriod(edges));

  // 50 frames of 69888 T-states a second.
  const double expected = 50.0 * 69888 / (26 * 131 + 50);
  EXPECT_NEAR(measured, expected, expected * 0.03);
}

// A machine that keeps up is heard without a gap and soon after it plays. The disk driver's own
// pace is set a little slower than real time (12 ms for 11.6 ms of sound): at its default it
// takes sound faster than any machine could give it.
TEST_F(BeeperCapture, AToneHasNoHoles) {
  TempDir dir;
  setenv("SDL_DISKAUDIODELAY", "12", 1);
  double meanLeadMs = 0;
  // A 60 Hz frame cycle for 3 s.
  const std::vector<int16_t> samples = Capture(dir.file("mix.raw"), 3.0f, 1.0f / 60, &meanLeadMs);
  unsetenv("SDL_DISKAUDIODELAY");
  if (samples.empty()) GTEST_SKIP() << "SDL's disk audio driver is not available";
  const std::vector<size_t> edges = RisingEdges(samples);
  ASSERT_GT(edges.size(), 2000u) << "less than 2 s of tone";
  // The wave's low half is silence: a hole of a millisecond or more makes a level run longer
  // than one and a half periods (a frame dropped to keep the delay short only joins two waves).
  const size_t period = MedianPeriod(edges);
  size_t longest = 0, run = 1, at = 0;
  for (size_t i = edges.front() + 1; i <= edges.back(); ++i) {
    run = samples[i] == samples[i - 1] ? run + 1 : 1;
    if (run > longest) {
      longest = run;
      at = i;
    }
  }
  RecordProperty("longest_level_run_samples", static_cast<int>(longest));
  RecordProperty("mean_delay_us", static_cast<int>(meanLeadMs * 1000));
  EXPECT_LE(longest, period * 3 / 2) << "a gap of " << longest << " samples ending at "
                                     << at / 44.1 << " ms";
  EXPECT_LE(meanLeadMs, 60.0) << "mean delay of a frame";
}
