// The emulated Spectrum: what every model shares. A machine is a television that shows its own
// picture; it owns a processor context for the shared Z80 core, its RAM, the display line buffer
// captured during the frame, the frame's sound block and the optional Kempston interface and
// Fuller Box. The models (CSpeccy48, CSpeccy128) supply memory layout and frame timing; the
// snapshot and recording readers reach the machine through the loader operations below.
//
// A frame: UpdateFrame(clock) decides from the wall clock whether a 50 Hz frame is due, runs it
// (RunFrame: the interrupt, then 194 runs of the core so that each display line is captured at
// its own time), steps FLASH and hands the frame's 882 samples to the sound stream.
#pragma once

#include <cstdint>
#include <memory>

#include "emulation/beeper.h"
#include "emulation/picture.h"
#include "emulation/z80.h"
#include "presentation/television.h"

class CAYChip;
class CSoundStream;
class CRZXPlayback;
class CZip;

enum { SPECTRUM_16 = 0, SPECTRUM_48 = 1, SPECTRUM_128 = 2, SPECTRUM_PLUS2 = 3, SPECTRUM_UNKNOWN = 4 };
enum { HARDWARE_KEMPSTON = 0, HARDWARE_FULLER = 1, HARDWARE_TOTAL = 2 };

class CSpeccy : public CTV {
 public:
  ~CSpeccy() override;

  // Television operations.
  void Render() override;
  void RestoreScreenTexture() override;
  bool UpdateFrame(float time) override;
  void ReleaseScreenTexture() override;

  // Operations the models extend or supply.
  virtual void Reset();
  virtual bool AttachHardware(int32_t kind, bool on);
  // Host byte behind a 16-bit address in the current memory map (ROM included).
  virtual uint8_t* MemoryPointer(uint16_t address) = 0;
  virtual bool SetVariant(int32_t model);
  virtual void PortWrite(uint16_t port, uint8_t value);
  virtual uint8_t PortRead(uint16_t port);
  virtual void RandomizeMemory();
  virtual void ResetSound();
  virtual void ApplyVolume();
  virtual void RunFrame() = 0;
  virtual void FinishSoundFrame();

  // Operations of the snapshot readers.
  virtual void Spread48KImage();
  virtual void ApplyZ80HardwareState(const uint8_t* header);
  virtual void ApplyPagingBlock(const uint8_t* block);
  virtual void ApplyAYBlock(const uint8_t* block);
  // The 49152 bytes of addresses 0x4000-0xFFFF, in order.
  virtual void Load48KImage(const uint8_t* image) = 0;
  // Where a .z80 page goes; SZX/128K bank numbers go through RamBankPointer (null: no such bank).
  virtual uint8_t* SnapshotPagePointer(int32_t page) = 0;
  // 6912 bytes of bitmap and attributes; refills the display line buffer.
  virtual void LoadScreenImage(const uint8_t* image) = 0;
  virtual uint8_t* RamBankPointer(int32_t bank) = 0;

  // What scripts call.
  void Pause(bool paused);
  bool IsPaused() const { return paused_; }
  void Throttle(bool on) { throttled_ = on; }
  bool IsThrottled() const { return throttled_; }
  CTV* Clone(float x, float y, float z);
  uint8_t Peek(uint16_t address);
  // Writes only at 0x4000 and above, straight to memory; returns the byte that was there.
  uint8_t Poke(uint16_t address, uint8_t value);
  uint8_t GetBorder() const { return portFE_ & 7; }
  void SetVolume(int32_t percent);
  uint16_t GetVolume() const { return volume_; }
  void Mute(bool muted);
  bool IsMuted() const { return muted_; }
  int32_t GetModel() const { return model_; }
  bool IsHardwareAttached(int32_t kind) const;
  void DetachAllHardware();

  // Snapshot loading: a ResultCode (0 = success).
  int32_t LoadSnapshot(const char* name);
  // `ownership` in: stop the current recording first; out: the caller still owns `data`.
  int32_t LoadSnapshotData(uint8_t* data, uint32_t size, const char* name, bool nameIsType,
                           bool& ownership);
  int32_t LoadSnapshotFromZip(CZip& zip, const char* member);
  const char* GetSnapshotCreator() const { return creator_; }
  void SetSnapshotCreator(const char* name);

  // Input recordings.
  bool IsPlayingRZX() const { return rzxPlaying_; }
  uint32_t GetRZXPart() const;
  uint32_t GetRZXProgress() const;
  bool RZXCompleted() const { return rzxCompleted_; }
  void StopRZXPlayback();

  // State the loaders and the models share.
  uint8_t* Context() { return context_.get(); }
  void MakeContextCurrent();
  void SaveContext();
  uint8_t PortFE() const { return portFE_; }
  void SetPortFE(uint8_t value) { portFE_ = value; }
  const uint8_t* DisplayLineBuffer() const { return lineBuffer_.get(); }
  const int16_t* SampleBlock() const { return beeper_.sampleBlock; }
  uint32_t FrameLength() const { return frameLength_; }
  uint32_t ExecutedTStates() const { return executed_; }
  int32_t FlashPhase() const { return flashPhase_; }
  CAYChip* FullerChip() const { return fullerChip_; }
  CSoundStream* SoundStream() const { return stream_; }
  bool PictureChanged() const { return pictureChanged_; }
  void SetPictureChanged() { pictureChanged_ = true; }
  void SetPaused(bool paused) { paused_ = paused; }
  // The custom ROM image of a .rom load, allocated on first use.
  uint8_t* CustomROM();
  // Makes `image` the ROM at 0x0000-0x3FFF for fetch and read, in the machine's own context.
  void MapROM(uint8_t* image);

  // The machine whose frame is running; the core's port handlers forward to it.
  static CSpeccy* Current();

 protected:
  CSpeccy();

  // Installs the forwarding port handlers in the current context.
  static void InstallPortHandlers();
  // One run of the core: executed += Z80Execute(t) for t > 0; the carry is spent either way.
  void Run(int32_t tstates);
  // The frame skeleton shared by the models: `lineSource(n)` gives display line n's bitmap and
  // attribute bytes at the moment of capture.
  template <typename LineSource>
  void RunFrameWith(uint32_t firstLine, uint32_t lineLength, LineSource lineSource);
  void CaptureLine(int line, const uint8_t* bitmap, const uint8_t* attributes);

  // Recording playback, frame by frame.
  bool RZXFrameStart(int32_t& fetchCount);
  uint8_t RZXReadPort(uint16_t port);
  bool RZXFrameEnd();

  std::unique_ptr<uint8_t[]> context_;
  std::unique_ptr<uint8_t[]> ram_;
  uint8_t* rom_ = nullptr;  // the ROM cache's, never freed here
  std::unique_ptr<uint8_t[]> customROM_;
  std::unique_ptr<uint8_t[]> lineBuffer_;
  CBeeper beeper_;
  uint8_t portFE_ = 0x18;
  int32_t flashPhase_ = 0;
  int32_t flashCounter_ = 0;
  uint32_t frameLength_ = 0;
  CAYChip* fullerChip_ = nullptr;
  CSoundStream* stream_ = nullptr;
  CRZXPlayback* rzx_ = nullptr;
  bool rzxPlaying_ = false;
  bool rzxCompleted_ = false;
  bool muted_ = false;
  uint16_t volume_ = 100;
  bool attached_[HARDWARE_TOTAL] = {};
  char creator_[64] = {};
  uint32_t executed_ = 0;
  int32_t carry_ = 0;
  bool paused_ = false;
  bool throttled_ = true;
  uint8_t* keyMatrix_ = nullptr;
  bool pictureChanged_ = true;
  float lastTime_ = 0;
  float timeCredit_ = 0;
  int32_t model_ = SPECTRUM_UNKNOWN;
  PictureState picture_;

  friend class CRZXPlayback;
};

template <typename LineSource>
void CSpeccy::RunFrameWith(uint32_t firstLine, uint32_t lineLength, LineSource lineSource) {
  MakeContextCurrent();
  int32_t fetchCount = 0;
  if (rzxPlaying_ && RZXFrameStart(fetchCount)) {
    // A recorded frame lasts exactly its recorded number of instruction fetches.
    Z80SetFetchCounter(fetchCount);
    Run(carry_ + static_cast<int32_t>(firstLine));
    for (int line = 0; line < DISPLAY_LINES; ++line) {
      Run(carry_ + static_cast<int32_t>(lineLength));
      const auto [bitmap, attributes] = lineSource(line, true);
      CaptureLine(line, bitmap, attributes);
    }
    Run(carry_ + 10 * static_cast<int32_t>(frameLength_));
    Z80Interrupt(0xFF);
    Z80ClearInterrupt();
    RZXFrameEnd();
  } else {
    Z80SetFetchCounter(0x7FFFFFFF);
    // Taken only if interrupts are enabled at this instant; otherwise lost for this frame.
    Z80Interrupt(0xFF);
    Z80ClearInterrupt();
    Run(carry_ + static_cast<int32_t>(firstLine));
    for (int line = 0; line < DISPLAY_LINES; ++line) {
      const auto [bitmap, attributes] = lineSource(line, false);
      CaptureLine(line, bitmap, attributes);
      Run(carry_ + static_cast<int32_t>(lineLength));
    }
    Run(static_cast<int32_t>(frameLength_) - static_cast<int32_t>(executed_));
  }
  SaveContext();
  // An overrun shortens the next frame's first segment, so frames keep their length on average.
  carry_ = static_cast<int32_t>(frameLength_) - static_cast<int32_t>(executed_);
  pictureChanged_ = true;
}
