// The machines' sound through the program's audio device: one looping 17640-byte stream (ten
// frames, 200 ms) per machine, each frame written where the last one ended, so that a machine
// that keeps up is heard without a gap. A stream that starts, or whose play cursor has passed
// the next write offset, begins again one frame past the write cursor; a frame that would end
// more than three frames past the write cursor is dropped, which keeps the delay below about
// 60 ms. Frames are placed by the cursors alone, no timers.
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
// Room left past the write cursor where a stream (re)starts: one frame's worth of the machine's
// own unevenness (a 60 Hz frame cycle runs the 50 Hz machine in uneven steps).
constexpr uint32_t SOUND_WRITE_MARGIN = SOUND_FRAME_BYTES;

// Where a frame goes, from the cursors, the stream's next write offset and whether the stream has
// just (re)started: dropped, or written at `offset` (within the buffer).
struct SoundFramePlacement {
  bool dropped;
  uint32_t offset;
};
SoundFramePlacement PlaceSoundFrame(uint32_t play, uint32_t write, uint32_t next, bool fresh,
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
  // How far ahead of the play cursor the last frame written began, in bytes: its delay.
  uint32_t LastLead() const { return lastLead_; }

 private:
  void FillWithSilence();

  std::unique_ptr<AudioBuffer> buffer_;
  uint32_t nextWrite_ = 0;
  bool startPending_ = true;
  uint32_t lastLead_ = 0;
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
