// What a machine sees of the sound output: one stream per machine, fed one 882-sample frame at
// a time. The application's output (an audio device, or a test's recorder) creates the streams.
#pragma once

#include <cstdint>

constexpr int SAMPLES_PER_FRAME = 882;  // 44100 Hz at 50 frames per second

class CSoundStream {
 public:
  virtual ~CSoundStream() = default;
  // Queues one frame of SAMPLES_PER_FRAME mono 16-bit samples a little ahead of playback.
  virtual void WriteFrame(const int16_t* samples) = 0;
  // Empties the buffer and starts playing again after the next frame.
  virtual void SilenceAndRestart() = 0;
  virtual void Stop() = 0;
};

class CSoundOutput {
 public:
  virtual ~CSoundOutput() = default;
  virtual CSoundStream* CreateStream() = 0;
};
