// What the snapshot and recording readers may do to a machine (formats/ reads files through
// it; the machine classes implement it). Register values go through the processor core between
// MakeContextCurrent and SaveContext.
#pragma once

#include <cstdint>

class CAYChip;
class CInputSource;
class CTapeSource;

// Models, as SetVariant and GetModel name them, and the attachable hardware. The Pentagon 128
// came after the others, so its number follows SPECTRUM_UNKNOWN's.
enum {
  SPECTRUM_16 = 0,
  SPECTRUM_48 = 1,
  SPECTRUM_128 = 2,
  SPECTRUM_PLUS2 = 3,
  SPECTRUM_UNKNOWN = 4,
  SPECTRUM_PENTAGON = 5
};
enum { HARDWARE_KEMPSTON = 0, HARDWARE_FULLER = 1, HARDWARE_TOTAL = 2 };

class CMachineLoader {
 public:
  virtual ~CMachineLoader() = default;

  virtual int32_t GetModel() const = 0;
  // Whether SetVariant(model) would succeed; changes nothing.
  virtual bool Supports(int32_t model) const = 0;
  // Switches to a model of the same family; false when this machine cannot be it.
  virtual bool SetVariant(int32_t model) = 0;
  virtual bool AttachHardware(int32_t kind, bool on) = 0;
  // The Fuller Box's chip, once attached.
  virtual CAYChip* FullerChip() const = 0;
  // Before a load: Fuller Box off, creator cleared, reset on the model's own ROM (a custom .rom
  // goes), running and its sound restarted.
  virtual void PrepareForLoad() = 0;

  virtual void MakeContextCurrent() = 0;
  virtual void SaveContext() = 0;

  // Host byte behind a 16-bit address in the current memory map (ROM included).
  virtual uint8_t* MemoryPointer(uint16_t address) = 0;
  // The 49152 bytes of addresses 0x4000-0xFFFF, in order.
  virtual void Load48KImage(const uint8_t* image) = 0;
  // Where a .z80 page goes; SZX/128K bank numbers go through RamBankPointer (null: no such bank).
  virtual uint8_t* SnapshotPagePointer(int32_t page) = 0;
  virtual uint8_t* RamBankPointer(int32_t bank) = 0;
  // 6912 bytes of bitmap and attributes; refills the display line buffer.
  virtual void LoadScreenImage(const uint8_t* image) = 0;
  // The custom ROM image of a .rom load, allocated on first use.
  virtual uint8_t* CustomROM() = 0;
  // Makes `image` the ROM at 0x0000-0x3FFF for fetch and read, in the machine's own context.
  virtual void MapROM(uint8_t* image) = 0;
  // The 128K paging latch (port 0x7FFD) as a snapshot left it, lock bit or not; nothing on a
  // machine or in a mode without paging.
  virtual void SetPagingLatch(uint8_t latch) = 0;
  // The model's part of a .z80 header, an SZX paging block and an SZX AY block.
  virtual void ApplyZ80HardwareState(const uint8_t* header) = 0;
  virtual void ApplyPagingBlock(const uint8_t* block) = 0;
  virtual void ApplyAYBlock(const uint8_t* block) = 0;

  virtual uint8_t PortFE() const = 0;
  virtual void SetPortFE(uint8_t value) = 0;
  virtual void SetSnapshotCreator(const char* name) = 0;
  virtual void MarkPictureChanged() = 0;
  virtual void Pause(bool paused) = 0;
  // T-states run so far in this frame, up to the current run.
  virtual uint32_t ExecutedTStates() const = 0;

  // The recording being played, null for none.
  virtual void SetInputSource(CInputSource* source) = 0;
  virtual CInputSource* InputSource() const = 0;
  // The tape in the deck, null for none; a reset takes it out.
  virtual void SetTapeSource(CTapeSource* source) = 0;
  virtual CTapeSource* TapeSource() const = 0;
};
