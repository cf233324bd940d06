// The audio device over SDL2. The callback runs on SDL's audio thread; every cursor and every
// byte of a buffer is touched under the mixer's lock, so the render thread and the callback never
// see half a write.
#include "platform/audio.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <vector>

#include "base/log.h"

struct AudioMixer {
  std::mutex lock;
  std::vector<AudioBuffer*> buffers;
  std::vector<int32_t> sum;
  uint32_t chunkBytes = 0;
  AudioBurstMeter bursts;
  bool open = false;

  void Mix(uint8_t* stream, int length);
  // How far a buffer's write cursor leads its play cursor; under the lock.
  uint32_t WriteLead(uint32_t bufferSize) const {
    // Half the buffer at most, so that a frame always fits between the write cursor and the end
    // of the region already heard.
    return std::min(std::max(chunkBytes, bursts.Largest()), bufferSize / 2) & ~1u;
  }
};

namespace {

// 512 samples (11.6 ms) a callback: the play cursor moves in small steps, as a card's does.
constexpr uint16_t kCallbackSamples = 512;

void MixCallback(void* userdata, Uint8* stream, int length) {
  static_cast<AudioMixer*>(userdata)->Mix(stream, length);
}

}  // namespace

void AudioBurstMeter::Callback(double seconds, uint32_t bytes) {
  current_ = last_ >= 0 && seconds - last_ < 0.002 ? current_ + bytes : bytes;
  last_ = seconds;
  recent_[next_] = current_;
  next_ = (next_ + 1) % kHistory;
}

uint32_t AudioBurstMeter::Largest() const { return *std::max_element(recent_, recent_ + kHistory); }

void AudioMixer::Mix(uint8_t* stream, int length) {
  const size_t samples = static_cast<size_t>(std::max(length, 0)) / 2;
  const double now =
      std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  std::lock_guard<std::mutex> guard(lock);
  bursts.Callback(now, static_cast<uint32_t>(samples * 2));
  sum.assign(samples, 0);
  for (AudioBuffer* buffer : buffers) {
    if (!buffer->playing_) continue;
    const uint32_t size = buffer->size_;
    uint32_t at = buffer->play_;
    for (size_t i = 0; i < samples; ++i) {
      int16_t sample;
      std::memcpy(&sample, buffer->data_.get() + at, sizeof sample);
      sum[i] += sample;
      // Played samples are cleared: a stream nobody feeds (a frozen or stopped machine's) goes
      // quiet after one lap instead of repeating its last 200 ms for ever.
      std::memset(buffer->data_.get() + at, 0, sizeof sample);
      at += 2;
      if (at >= size) at = 0;
    }
    buffer->play_ = at;
  }
  for (size_t i = 0; i < samples; ++i) {
    const int16_t out = static_cast<int16_t>(std::clamp<int32_t>(sum[i], -32768, 32767));
    std::memcpy(stream + 2 * i, &out, sizeof out);
  }
}

AudioBuffer::AudioBuffer(std::shared_ptr<AudioMixer> mixer, uint32_t size)
    : mixer_(std::move(mixer)), data_(new uint8_t[size]()), size_(size) {}

AudioBuffer::~AudioBuffer() {
  std::lock_guard<std::mutex> guard(mixer_->lock);
  auto& list = mixer_->buffers;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

bool AudioBuffer::GetCurrentPosition(uint32_t* play, uint32_t* write) const {
  std::lock_guard<std::mutex> guard(mixer_->lock);
  if (!mixer_->open) return false;
  if (play) *play = play_;
  if (write) *write = playing_ ? (play_ + mixer_->WriteLead(size_)) % size_ : play_;
  return true;
}

bool AudioBuffer::Lock(uint32_t offset, uint32_t bytes, AudioLock* lock) {
  if (!lock || offset >= size_ || bytes > size_ || locked_) return false;
  uint32_t play = 0, write = 0;
  return LockWithPosition(&play, &write) && Region(offset, bytes, lock);
}

bool AudioBuffer::LockWithPosition(uint32_t* play, uint32_t* write) {
  if (locked_) return false;
  mixer_->lock.lock();
  if (!mixer_->open) {
    mixer_->lock.unlock();
    return false;
  }
  locked_ = true;
  *play = play_;
  *write = playing_ ? (play_ + mixer_->WriteLead(size_)) % size_ : play_;
  return true;
}

bool AudioBuffer::Region(uint32_t offset, uint32_t bytes, AudioLock* lock) {
  if (!locked_ || !lock || offset >= size_ || bytes > size_) return false;
  const uint32_t first = std::min(bytes, size_ - offset);
  *lock = AudioLock{data_.get() + offset, first, first < bytes ? data_.get() : nullptr,
                    bytes - first};
  return true;
}

void AudioBuffer::Unlock() {
  if (!locked_) return;
  locked_ = false;
  mixer_->lock.unlock();
}

void AudioBuffer::Play() {
  std::lock_guard<std::mutex> guard(mixer_->lock);
  playing_ = true;
}

void AudioBuffer::Stop() {
  std::lock_guard<std::mutex> guard(mixer_->lock);
  playing_ = false;
}

void AudioBuffer::SetCurrentPosition(uint32_t offset) {
  std::lock_guard<std::mutex> guard(mixer_->lock);
  play_ = (offset % size_) & ~1u;
}

bool AudioBuffer::IsPlaying() const {
  std::lock_guard<std::mutex> guard(mixer_->lock);
  return playing_;
}

std::unique_ptr<AudioDevice> AudioDevice::Open(std::string* why) {
  std::unique_ptr<AudioDevice> device(new AudioDevice);
  device->mixer_ = std::make_shared<AudioMixer>();
  std::string reasons;
  std::vector<std::string> tried;

  const auto openHere = [&]() -> bool {
    const char* driver = SDL_GetCurrentAudioDriver();
    const std::string name = driver ? driver : "?";
    tried.push_back(name);
    SDL_AudioSpec want{}, have{};
    want.freq = static_cast<int>(AUDIO_RATE);
    want.format = AUDIO_S16SYS;
    want.channels = 1;
    want.samples = kCallbackSamples;
    want.callback = MixCallback;
    want.userdata = device->mixer_.get();
    const SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (id == 0) {
      reasons += (reasons.empty() ? "" : "; ") + name + ": " + SDL_GetError();
      return false;
    }
    device->deviceId_ = id;
    device->driver_ = name;
    device->mixer_->chunkBytes = have.size ? have.size : kCallbackSamples * 2u;
    device->mixer_->open = true;
    SDL_PauseAudioDevice(id, 0);
    return true;
  };

  // Whatever SDL picks first (SDL_AUDIODRIVER, or its own order).
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
    if (openHere()) return device;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  } else {
    reasons = std::string("SDL audio: ") + SDL_GetError();
  }
  // SDL does not move on from a driver that starts but has no usable device (ALSA without a
  // card, say). The silent and file drivers are never chosen on the user's behalf.
  for (int i = 0; i < SDL_GetNumAudioDrivers(); ++i) {
    const std::string name = SDL_GetAudioDriver(i);
    if (name == "dummy" || name == "disk" ||
        std::find(tried.begin(), tried.end(), name) != tried.end())
      continue;
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, name.c_str(), SDL_HINT_OVERRIDE);
    const bool started = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    if (!started) {
      tried.push_back(name);
      reasons += "; " + name + ": " + SDL_GetError();
      continue;
    }
    if (openHere()) return device;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  if (why) *why = reasons.empty() ? "no audio driver" : reasons;
  return nullptr;
}

AudioDevice::~AudioDevice() {
  if (deviceId_) SDL_CloseAudioDevice(deviceId_);  // waits for a running callback
  {
    std::lock_guard<std::mutex> guard(mixer_->lock);
    mixer_->open = false;
  }
  if (deviceId_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

std::unique_ptr<AudioBuffer> AudioDevice::CreateBuffer(uint32_t size) {
  if (size < 2 || size % 2 != 0) return nullptr;
  std::unique_ptr<AudioBuffer> buffer(new AudioBuffer(mixer_, size));
  std::lock_guard<std::mutex> guard(mixer_->lock);
  mixer_->buffers.push_back(buffer.get());
  return buffer;
}

uint32_t AudioDevice::ChunkBytes() const {
  std::lock_guard<std::mutex> guard(mixer_->lock);
  return std::max(mixer_->chunkBytes, mixer_->bursts.Largest());
}
