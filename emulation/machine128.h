// The 128K Spectrum, and with the variant SPECTRUM_PLUS2 the +2: eight 16K RAM banks, two ROMs,
// the paging port 0x7FFD with its lock, the shadow screen in bank 7, its own AY-3-8912 on ports
// 0xFFFD/0xBFFD and 70908 T-states a frame. SetVariant with SPECTRUM_16 or SPECTRUM_48 puts it
// into a locked 48K mode: banks 5, 2, 3 at 0x4000-0xFFFF and the 48K ROM, 128K timing kept.
// SPECTRUM_PENTAGON is the Pentagon 128: the same paging on the 128K ROM pair, and its own frame
// of 320 lines of 224 T-states.
#pragma once

#include "emulation/machine.h"

class CMachine128 : public CMachine {
 public:
  // A machine just reset, its RAM all zero until RandomizeMemory or a load fills it. It has its
  // AY chip when the setup asks for one.
  explicit CMachine128(MachineSetup setup);
  ~CMachine128() override;

  void Reset() override;
  uint8_t* MemoryPointer(uint16_t address) override;
  bool Supports(int32_t model) const override;
  bool SetVariant(int32_t model) override;
  void PortWrite(uint16_t port, uint8_t value) override;
  uint8_t PortRead(uint16_t port) override;
  void RandomizeMemory() override;
  void ResetSound() override;
  void ApplyVolume() override;
  void RunFrame() override;
  void FinishSoundFrame() override;

  // The snapshot hooks work on the core's current context (the loader saves it at the end).
  void Spread48KImage() override;
  void SetPagingLatch(uint8_t latch) override;
  void ApplyZ80HardwareState(const uint8_t* header) override;
  void ApplyPagingBlock(const uint8_t* block) override;
  void ApplyAYBlock(const uint8_t* block) override;
  void Load48KImage(const uint8_t* image) override;
  uint8_t* SnapshotPagePointer(int32_t page) override;
  void LoadScreenImage(const uint8_t* image) override;
  uint8_t* RamBankPointer(int32_t bank) override;

  uint8_t PagingLatch() const { return latch_; }
  CAYChip* AYChip() const { return ay_; }
  uint8_t* Bank(int bank) { return ram_.get() + (bank & 7) * 16384; }

 private:
  bool In48KMode() const { return model_ == SPECTRUM_16 || model_ == SPECTRUM_48; }
  // Maps the bank and ROM the latch selects, on the current context.
  void MapFromLatch();
  // Looks the model's two ROMs up once, so paging never goes back to the files.
  void FindROMs();
  const uint8_t* ScreenBank();
  // The frame of the model: its length, where the picture's first line starts, a line's length.
  void SetTiming(uint32_t frameLength, uint32_t firstLine, uint32_t lineLength);

  uint8_t latch_ = 0;
  uint32_t firstLine_ = 0;
  uint32_t lineLength_ = 0;
  int32_t firstRomId_;
  int32_t secondRomId_;
  uint8_t* roms_[2] = {};
  const uint8_t* displayLines_[2][192] = {};  // into bank 5 and bank 7
  CAYChip* ay_ = nullptr;
};
