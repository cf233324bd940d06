// Sound output and streams over the audio device's looping buffers.
#include "presentation/audio_sound_output.h"

#include <cstring>

#include "base/log.h"
#include "platform/audio.h"

SoundFramePlacement PlaceSoundFrame(uint32_t play, uint32_t write, uint32_t next, bool fresh,
                                    uint32_t bufferSize, uint32_t frameBytes) {
  // Everything measured forward from the play cursor. Nothing is ever written past `cap`, so a
  // next offset beyond it is one the play cursor has already passed.
  const uint32_t guard = (write + bufferSize - play) % bufferSize;
  const uint32_t cap = guard + SOUND_WRITE_MARGIN + 2 * frameBytes;
  uint32_t lead = (next + bufferSize - play) % bufferSize;
  if (fresh || lead > cap) {
    lead = guard + SOUND_WRITE_MARGIN;
  } else if (lead + frameBytes > cap) {
    return {true, 0};  // the machine runs ahead of the device: keep the delay short
  }
  // Even a lead short of the write cursor is still ahead of the play cursor: the device copies
  // under the buffer's lock, so the frame is heard in time.
  return {false, (play + lead) % bufferSize & ~1u};
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
  // A (re)start plays the silent buffer at once, and the frame goes just past its write cursor.
  if (startPending_) buffer_->Play();
  // The cursors hold still until the frame is in: a frame placed just ahead of the play cursor
  // is not passed while it is copied.
  uint32_t play = 0, write = 0;
  if (!buffer_->LockWithPosition(&play, &write)) return;
  const uint32_t size = buffer_->Size();
  const SoundFramePlacement placement = PlaceSoundFrame(play, write, nextWrite_, startPending_, size);
  startPending_ = false;
  AudioLock lock;
  if (!placement.dropped && buffer_->Region(placement.offset, SOUND_FRAME_BYTES, &lock)) {
    lastLead_ = (placement.offset + size - play) % size;
    nextWrite_ = (placement.offset + SOUND_FRAME_BYTES) % size;
    const auto* bytes = reinterpret_cast<const uint8_t*>(samples);
    std::memcpy(lock.first, bytes, lock.firstBytes);
    if (lock.second) std::memcpy(lock.second, bytes + lock.firstBytes, lock.secondBytes);
  }
  buffer_->Unlock();
}

void CAudioSoundStream::SilenceAndRestart() {
  startPending_ = true;
  nextWrite_ = 0;
  FillWithSilence();
  // Playback starts again from the start of the buffer.
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
