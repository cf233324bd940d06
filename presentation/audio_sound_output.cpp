// Sound output and streams over the audio device's looping buffers.
#include "presentation/audio_sound_output.h"

#include <cstring>

#include "base/log.h"
#include "platform/audio.h"

SoundFramePlacement PlaceSoundFrame(uint32_t play, uint32_t write, uint32_t next,
                                    uint32_t bufferSize, uint32_t frameBytes) {
  // Unwrap so that play <= write <= play + size, and the frame lands at or after the write cursor.
  if (write < play) write += bufferSize;
  if (next < write) {
    next += bufferSize;
    if (next < write) next += ((write - next - 1) / SOUND_CATCH_UP_STEP + 1) * SOUND_CATCH_UP_STEP;
  }
  if (next + frameBytes > play + bufferSize) return {true, 0};
  return {false, next % bufferSize};
}

CAudioSoundStream::CAudioSoundStream(std::unique_ptr<AudioBuffer> buffer)
    : buffer_(std::move(buffer)) {
  FillWithSilence();
}

CAudioSoundStream::~CAudioSoundStream() = default;

void CAudioSoundStream::FillWithSilence() {
  if (!buffer_) return;
  AudioLock lock;
  if (!buffer_->Lock(0, buffer_->Size(), &lock)) return;
  std::memset(lock.first, 0, lock.firstBytes);
  buffer_->Unlock();
}

void CAudioSoundStream::WriteFrame(const int16_t* samples) {
  if (!buffer_ || !samples) return;
  uint32_t play = 0, write = 0;
  if (!buffer_->GetCurrentPosition(&play, &write)) return;
  const SoundFramePlacement placement = PlaceSoundFrame(play, write, nextWrite_, buffer_->Size());
  if (placement.dropped) return;
  nextWrite_ = placement.offset;
  AudioLock lock;
  if (buffer_->Lock(nextWrite_, SOUND_FRAME_BYTES, &lock)) {
    nextWrite_ = (nextWrite_ + SOUND_FRAME_BYTES) % buffer_->Size();
    const auto* bytes = reinterpret_cast<const uint8_t*>(samples);
    std::memcpy(lock.first, bytes, lock.firstBytes);
    if (lock.second) std::memcpy(lock.second, bytes + lock.firstBytes, lock.secondBytes);
    buffer_->Unlock();
  }
  if (startPending_) {
    startPending_ = false;
    buffer_->Play();
  }
}

void CAudioSoundStream::SilenceAndRestart() {
  startPending_ = true;
  nextWrite_ = 0;
  FillWithSilence();
  // A stopped buffer reports both cursors where it stopped; left there, a frame at offset 0 would
  // always seem to overtake it, be dropped, and playback would never start again.
  if (buffer_ && !buffer_->IsPlaying()) buffer_->SetCurrentPosition(0);
}

void CAudioSoundStream::Stop() {
  if (buffer_) buffer_->Stop();
}

CAudioSoundOutput::CAudioSoundOutput() = default;

CAudioSoundOutput::~CAudioSoundOutput() { device_.reset(); }

void CAudioSoundOutput::Initialise() {
  if (device_) return;
  WriteLog("Initialising DirectSound");
  std::string why;
  device_ = AudioDevice::Open(&why);
  if (!device_) {
    WriteLog("Sound: no audio device could be opened, so the machines are silent (" + why + ")");
    return;
  }
  if (device_->ChunkBytes() == 0) WriteLog("Couldn't get the DS caps.");
  DebugOutput("Sound: playing through the \"" + device_->DriverName() + "\" audio driver\n");
  WriteLog("DSound initalised OK");
}

void CAudioSoundOutput::ShutDown() {
  WriteLog("Shutting down DSound");
  device_.reset();
  WriteLog("Shut down DSound OK");
}

CSoundStream* CAudioSoundOutput::CreateStream() {
  return new CAudioSoundStream(device_ ? device_->CreateBuffer(SOUND_BUFFER_BYTES) : nullptr);
}
