// The emulated Spectrum: what every model shares. A machine owns a processor context for the
// shared Z80 core, its RAM, the display line buffer captured during the frame, the frame's sound
// block and the optional Kempston interface and Fuller Box. The models (CMachine48, CMachine128)
// supply memory layout and frame timing. Everything from outside comes in its MachineSetup; the
// snapshot and recording readers reach it through the loader interface.
//
// A frame: UpdateFrame(clock) decides from the wall clock whether a 50 Hz frame is due, runs it
// (RunFrame: the interrupt, then 194 runs of the core so that each display line is captured at
// its own time), steps FLASH and hands the frame's 882 samples to the sound stream. What it
// produced: DisplayLineBuffer() and BorderBuffer() (see display.h), FlashPhase(), SampleBlock(),
// PictureChanged().
#pragma once

#include <cstdint>
#include <memory>
#include <random>

#include "emulation/beeper.h"
#include "emulation/display.h"
#include "emulation/input_source.h"
#include "emulation/machine_loader.h"
#include "emulation/machine_setup.h"
#include "emulation/tape_source.h"
#include "emulation/z80.h"

class CAYChip;

class CMachine : public CMachineLoader {
 public:
  ~CMachine() override;
  CMachine(const CMachine&) = delete;
  CMachine& operator=(const CMachine&) = delete;

  // Runs a frame when the clock (seconds) calls for one; true when the picture changed.
  bool UpdateFrame(float time);

  // Operations the models extend or supply.
  virtual void Reset();
  bool AttachHardware(int32_t kind, bool on) override;
  bool Supports(int32_t model) const override;
  bool SetVariant(int32_t model) override;
  virtual void PortWrite(uint16_t port, uint8_t value);
  virtual uint8_t PortRead(uint16_t port);
  virtual void RandomizeMemory();
  virtual void ResetSound();
  virtual void ApplyVolume();
  virtual void RunFrame() = 0;
  virtual void FinishSoundFrame();
  // A 48K image loaded into banks 0-2 moved to where the 48K mode maps it.
  virtual void Spread48KImage();
  // Maps the model's own ROM again, in place of a custom one (a reset keeps a custom ROM).
  virtual void MapModelROM();
  void SetPagingLatch(uint8_t latch) override;
  void ApplyZ80HardwareState(const uint8_t* header) override;
  void ApplyPagingBlock(const uint8_t* block) override;
  void ApplyAYBlock(const uint8_t* block) override;

  // What scripts call.
  void Pause(bool paused) final;
  bool IsPaused() const { return paused_; }
  void Throttle(bool on) { throttled_ = on; }
  bool IsThrottled() const { return throttled_; }
  uint8_t Peek(uint16_t address);
  // Writes only at 0x4000 and above, straight to memory; returns the byte that was there.
  uint8_t Poke(uint16_t address, uint8_t value);
  uint8_t GetBorder() const { return portFE_ & 7; }
  void SetVolume(int32_t percent);
  uint16_t GetVolume() const { return volume_; }
  void Mute(bool muted);
  bool IsMuted() const { return muted_; }
  int32_t GetModel() const final { return model_; }
  bool IsHardwareAttached(int32_t kind) const;
  void DetachAllHardware();
  const char* GetSnapshotCreator() const { return creator_; }
  void SetSnapshotCreator(const char* name) final;

  // The loader's side.
  void PrepareForLoad() final;
  void MakeContextCurrent() final;
  void SaveContext() final;
  uint8_t PortFE() const final { return portFE_; }
  // A loaded border shows at once, all round.
  void SetPortFE(uint8_t value) final;
  CAYChip* FullerChip() const final { return fullerChip_; }
  uint8_t* CustomROM() final;
  void MapROM(uint8_t* image) final;
  void MarkPictureChanged() final { pictureChanged_ = true; }
  uint32_t ExecutedTStates() const final { return executed_; }
  void SetInputSource(CInputSource* source) final { input_ = source; }
  CInputSource* InputSource() const final { return input_; }
  void SetTapeSource(CTapeSource* source) final { tape_ = source; }
  CTapeSource* TapeSource() const final { return tape_; }

  // The machine's plain outputs.
  const uint8_t* DisplayLineBuffer() const { return lineBuffer_.get(); }
  // The border of the last frame, and its one colour when it did not change during the frame
  // (-1 when it did: then only the buffer tells).
  const uint8_t* BorderBuffer() const { return borderBuffer_.get(); }
  int32_t UniformBorder() const { return uniformBorder_; }
  int32_t FlashPhase() const { return flashPhase_; }
  const int16_t* SampleBlock() const { return beeper_.sampleBlock; }
  bool PictureChanged() const { return pictureChanged_; }
  // The picture was taken: PictureChanged stays false until the next frame or load.
  void ClearPictureChanged() { pictureChanged_ = false; }

  uint32_t FrameLength() const { return frameLength_; }
  CSoundStream* SoundStream() const { return stream_.get(); }

 protected:
  explicit CMachine(MachineSetup setup);

  // Installs the forwarding port handlers in the current context.
  static void InstallPortHandlers();
  // Where the core is in the current frame, in T-states after its interrupt: the time stamp of
  // a port access (the beeper's and AY's writes, the tape's EAR reads; a border log would take
  // the same).
  uint32_t FrameTState() const { return executed_ + Z80ElapsedTStates(); }
  // One machine frame with its beeper, Fuller Box, FLASH and tape bookkeeping.
  void RunOneFrame();
  // One run of the core: executed += Z80Execute(t) for t > 0; the carry is spent either way.
  void Run(int32_t tstates);
  // The frame skeleton shared by the models: `lineSource(n)` gives display line n's bitmap and
  // attribute bytes at the moment of capture.
  template <typename LineSource>
  void RunFrameWith(uint32_t firstLine, uint32_t lineLength, LineSource lineSource);
  void CaptureLine(int line, const uint8_t* bitmap, const uint8_t* attributes);
  // The border log of a frame: started with the colour the frame begins with, and drawn into
  // the border buffer at its end from the model's timing.
  void BeginBorderFrame();
  void EndBorderFrame(uint32_t firstLine, uint32_t lineLength);
  // The ROM image of `id` from the setup's source; the blank block without one.
  uint8_t* RomImage(int32_t id);
  std::mt19937& Random() { return random_ ? *random_ : ownRandom_; }

  std::unique_ptr<uint8_t[]> context_;
  std::unique_ptr<uint8_t[]> ram_;
  uint8_t* rom_ = nullptr;  // the ROM source's, never freed here
  std::unique_ptr<uint8_t[]> customROM_;
  std::unique_ptr<uint8_t[]> lineBuffer_;
  std::unique_ptr<uint8_t[]> borderBuffer_;
  CBeeper beeper_;
  uint8_t portFE_ = 0x18;
  int32_t flashPhase_ = 0;
  int32_t flashCounter_ = 0;
  uint32_t frameLength_ = 0;
  CAYChip* fullerChip_ = nullptr;
  std::unique_ptr<CSoundStream> stream_;
  CInputSource* input_ = nullptr;
  CTapeSource* tape_ = nullptr;
  uint8_t rowsRead_ = 0;  // keyboard half-rows read in this frame
  bool muted_ = false;
  uint16_t volume_ = 100;
  bool attached_[HARDWARE_TOTAL] = {};
  char creator_[64] = {};
  uint32_t executed_ = 0;
  int32_t carry_ = 0;
  bool paused_ = false;
  bool throttled_ = true;
  const uint8_t* keyMatrix_ = nullptr;
  bool pictureChanged_ = true;
  float lastTime_ = 0;
  float timeCredit_ = 0;
  int32_t model_ = SPECTRUM_UNKNOWN;
  bool emulateAY_ = false;

 private:
  CRomSource* roms_ = nullptr;
  std::mt19937* random_ = nullptr;
  std::mt19937 ownRandom_;
  LogSink log_;

  // A border write: its frame T-state and the new colour.
  struct BorderChange {
    uint32_t tstate;
    uint8_t colour;
  };
  // An OUT takes at least 11 T-states, so a frame holds fewer changes than this.
  static constexpr int32_t BORDER_LOG_SIZE = 8192;
  void FillBorder(uint8_t colour);
  std::unique_ptr<BorderChange[]> borderLog_;
  int32_t borderChanges_ = 0;
  uint8_t frameBorder_ = 0;    // the colour when the frame began
  int32_t frameOrigin_ = 0;    // the overrun the frame started with (0 or less)
  int32_t uniformBorder_ = 0;  // see UniformBorder()
  int32_t filledBorder_ = -1;  // the colour filling the whole buffer, -1 when it is mixed
};

template <typename LineSource>
void CMachine::RunFrameWith(uint32_t firstLine, uint32_t lineLength, LineSource lineSource) {
  MakeContextCurrent();
  BeginBorderFrame();
  int32_t fetchCount = 0;
  if (input_ && input_->FrameStart(fetchCount)) {
    // A recorded frame lasts exactly its recorded number of instruction fetches.
    Z80SetFetchCounter(fetchCount);
    Run(carry_ + static_cast<int32_t>(firstLine));
    for (int line = 0; line < DISPLAY_LINES; ++line) {
      Run(carry_ + static_cast<int32_t>(lineLength));
      const auto [bitmap, attributes] = lineSource(line);
      CaptureLine(line, bitmap, attributes);
    }
    Run(carry_ + 10 * static_cast<int32_t>(frameLength_));
    Z80Interrupt(0xFF);
    Z80ClearInterrupt();
    if (input_) input_->FrameEnd();
  } else {
    Z80SetFetchCounter(0x7FFFFFFF);
    // Taken only if interrupts are enabled at this instant; otherwise lost for this frame.
    Z80Interrupt(0xFF);
    Z80ClearInterrupt();
    Run(carry_ + static_cast<int32_t>(firstLine));
    for (int line = 0; line < DISPLAY_LINES; ++line) {
      const auto [bitmap, attributes] = lineSource(line);
      CaptureLine(line, bitmap, attributes);
      Run(carry_ + static_cast<int32_t>(lineLength));
    }
    Run(static_cast<int32_t>(frameLength_) - static_cast<int32_t>(executed_));
  }
  SaveContext();
  EndBorderFrame(firstLine, lineLength);
  // An overrun shortens the next frame's first segment, so frames keep their length on average.
  carry_ = static_cast<int32_t>(frameLength_) - static_cast<int32_t>(executed_);
  pictureChanged_ = true;
}
