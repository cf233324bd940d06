// The 48K Spectrum, and with the variant SPECTRUM_16 the 16K one (same layout and timing under
// another model number): 16K ROM at 0x0000, 48K RAM at 0x4000, 69888 T-states a frame.
#pragma once

#include "emulation/machine.h"

class CMachine48 : public CMachine {
 public:
  // A machine just reset, its RAM all zero until RandomizeMemory or a load fills it.
  explicit CMachine48(MachineSetup setup);
  ~CMachine48() override;

  uint8_t* MemoryPointer(uint16_t address) override;
  bool Supports(int32_t model) const override;
  bool SetVariant(int32_t model) override;
  void RandomizeMemory() override;
  void RunFrame() override;
  void Load48KImage(const uint8_t* image) override;
  uint8_t* SnapshotPagePointer(int32_t page) override;
  void LoadScreenImage(const uint8_t* image) override;
  uint8_t* RamBankPointer(int32_t bank) override;
  void MapModelROM() override;

 private:
  uint8_t* displayLines_[192];
};
