// The program's one audio device (44100 Hz, mono, signed 16-bit) and its looping sound buffers,
// mixed by the device's callback. Each buffer keeps the two cursors a streaming sound card
// reports: the play cursor, advanced by the callback as it takes samples, and the write cursor
// ahead of it by what the device takes at one go (a sound server's period may call the callback
// several times back to back). The callback copies under the buffer's lock, so anything written
// at or after the play cursor is heard when the play cursor gets there.
//
//   std::string why;
//   auto device = AudioDevice::Open(&why);        // null: run silent, `why` says why
//   auto buffer = device->CreateBuffer(17640);    // silent, stopped, cursors at 0
//   uint32_t play, write;
//   buffer->GetCurrentPosition(&play, &write);
//   AudioLock lock;
//   if (buffer->Lock(offset, 1764, &lock)) { copy into lock.first / lock.second; buffer->Unlock(); }
//   if (buffer->LockWithPosition(&play, &write)) {   // offset chosen from cursors that hold still
//     buffer->Region(offset, 1764, &lock); ...copy...; buffer->Unlock(); }
//   buffer->Play();                                // looping, from the play cursor
//
// SDL_AUDIODRIVER chooses the driver as usual ("dummy" plays nothing, "disk" writes the mix to
// SDL_DISKAUDIOFILE); when the chosen one cannot open a device, the others are tried in turn.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

constexpr uint32_t AUDIO_RATE = 44100;

// The region a lock gives: up to two pieces when it runs over the buffer's end.
struct AudioLock {
  uint8_t* first = nullptr;
  uint32_t firstBytes = 0;
  uint8_t* second = nullptr;
  uint32_t secondBytes = 0;
};

struct AudioMixer;

// How much the device takes at one go: callbacks less than 2 ms apart make one burst, and the
// largest burst of the last 50 callbacks counts, so that a start-up fill is soon forgotten.
class AudioBurstMeter {
 public:
  void Callback(double seconds, uint32_t bytes);
  uint32_t Largest() const;

 private:
  static constexpr int kHistory = 50;
  uint32_t recent_[kHistory] = {};
  int next_ = 0;
  uint32_t current_ = 0;
  double last_ = -1;
};

class AudioBuffer {
 public:
  ~AudioBuffer();
  AudioBuffer(const AudioBuffer&) = delete;
  AudioBuffer& operator=(const AudioBuffer&) = delete;

  uint32_t Size() const { return size_; }
  // Play and write cursors, byte offsets in the buffer. A stopped buffer reports both at the play
  // position. False once the device has been closed.
  bool GetCurrentPosition(uint32_t* play, uint32_t* write) const;
  // Holds the mixer off the buffer until Unlock; `bytes` at most the buffer size.
  bool Lock(uint32_t offset, uint32_t bytes, AudioLock* lock);
  // Holds the mixer off the buffer until Unlock and gives the cursors, which stay where they are
  // until then; Region gives the bytes at an offset meanwhile.
  bool LockWithPosition(uint32_t* play, uint32_t* write);
  bool Region(uint32_t offset, uint32_t bytes, AudioLock* lock);
  void Unlock();
  // Starts looping playback from the play cursor (a playing buffer carries on).
  void Play();
  // Stops playback; the play cursor stays where it was.
  void Stop();
  // Moves the play cursor (to a whole sample, inside the buffer).
  void SetCurrentPosition(uint32_t offset);
  bool IsPlaying() const;

 private:
  friend class AudioDevice;
  friend struct AudioMixer;
  AudioBuffer(std::shared_ptr<AudioMixer> mixer, uint32_t size);

  std::shared_ptr<AudioMixer> mixer_;
  std::unique_ptr<uint8_t[]> data_;
  uint32_t size_;
  uint32_t play_ = 0;    // guarded by the mixer's lock
  bool playing_ = false;  // likewise
  bool locked_ = false;
};

class AudioDevice {
 public:
  // Null, with the reasons, when no driver can open a device.
  static std::unique_ptr<AudioDevice> Open(std::string* why);
  ~AudioDevice();
  AudioDevice(const AudioDevice&) = delete;
  AudioDevice& operator=(const AudioDevice&) = delete;

  // A silent, stopped buffer of `size` bytes (an even number: whole samples).
  std::unique_ptr<AudioBuffer> CreateBuffer(uint32_t size);
  const std::string& DriverName() const { return driver_; }
  // Bytes the device takes at one go (at least one callback's): how far the write cursor leads
  // the play cursor.
  uint32_t ChunkBytes() const;

 private:
  AudioDevice() = default;

  std::shared_ptr<AudioMixer> mixer_;
  uint32_t deviceId_ = 0;
  std::string driver_;
};
