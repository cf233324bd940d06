// The machines' sound through the program's audio device: one looping 17640-byte stream (ten
// frames, 200 ms) per machine, each frame written a little ahead of the play cursor. A stream
// that has fallen behind the write cursor skips forward in 882-byte (10 ms) steps; a frame that
// would overtake the play cursor is dropped. Frames are placed by the cursors alone, no timers.
//
//   CAudioSoundOutput output;
//   output.Initialise();                        // no device: streams are silent
//   CSoundStream* stream = output.CreateStream();  // the machine owns it
//   stream->WriteFrame(samples);                // 882 samples; playback starts after the first
//   output.ShutDown();
#pragma once

#include <cstdint>
#include <memory>

#include "presentation/sound_output.h"

class AudioBuffer;
class AudioDevice;

constexpr uint32_t SOUND_FRAME_BYTES = SAMPLES_PER_FRAME * 2;  // 1764
constexpr uint32_t SOUND_BUFFER_BYTES = 10 * SOUND_FRAME_BYTES;  // 17640
constexpr uint32_t SOUND_CATCH_UP_STEP = 882;

// Where a frame goes, from the cursors and the stream's next write offset: dropped, or written
// at `offset` (already within the buffer).
struct SoundFramePlacement {
  bool dropped;
  uint32_t offset;
};
SoundFramePlacement PlaceSoundFrame(uint32_t play, uint32_t write, uint32_t next,
                                    uint32_t bufferSize = SOUND_BUFFER_BYTES,
                                    uint32_t frameBytes = SOUND_FRAME_BYTES);

class CAudioSoundStream : public CSoundStream {
 public:
  // Without a buffer every operation does nothing.
  explicit CAudioSoundStream(std::unique_ptr<AudioBuffer> buffer);
  ~CAudioSoundStream() override;

  void WriteFrame(const int16_t* samples) override;
  void SilenceAndRestart() override;
  void Stop() override;

  bool HasBuffer() const { return buffer_ != nullptr; }
  uint32_t NextWriteOffset() const { return nextWrite_; }
  bool StartPending() const { return startPending_; }

 private:
  void FillWithSilence();

  std::unique_ptr<AudioBuffer> buffer_;
  uint32_t nextWrite_ = 0;
  bool startPending_ = true;
};

class CAudioSoundOutput : public CSoundOutput {
 public:
  CAudioSoundOutput();
  ~CAudioSoundOutput() override;

  // Opens the audio device once; without one the streams are silent.
  void Initialise();
  void ShutDown();
  CSoundStream* CreateStream() override;
  bool HasDevice() const { return device_ != nullptr; }

 private:
  std::unique_ptr<AudioDevice> device_;
};
