// Where a machine's sound goes: one stream per machine, fed one frame of 882 samples at a time
// (44100 Hz at 50 frames a second). The program's sound output makes them; a test may keep them.
#pragma once

#include <cstdint>

constexpr int SAMPLES_PER_FRAME = 882;

class CSoundStream {
 public:
  virtual ~CSoundStream() = default;
  // Queues one frame of SAMPLES_PER_FRAME mono 16-bit samples a little ahead of playback.
  virtual void WriteFrame(const int16_t* samples) = 0;
  // Empties the buffer and starts playing again after the next frame.
  virtual void SilenceAndRestart() = 0;
  virtual void Stop() = 0;
};
