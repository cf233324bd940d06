// The 48K model's fixed memory map and frame timing.
#include "emulation/machine48.h"

#include <cstring>
#include <utility>

#include "emulation/display.h"

namespace {

constexpr uint32_t RAM_SIZE = 49152;
constexpr uint32_t FRAME_LENGTH = 69888;  // 312 lines of 224 T-states
constexpr uint32_t FIRST_LINE = 14336;    // 64 lines from the interrupt to the picture
constexpr uint32_t LINE_LENGTH = 224;

}  // namespace

CMachine48::CMachine48(MachineSetup setup) : CMachine(std::move(setup)) {
  ram_.reset(new uint8_t[RAM_SIZE]());
  frameLength_ = FRAME_LENGTH;
  model_ = SPECTRUM_48;

  Z80InitMemoryMaps();
  rom_ = RomImage(ROM_48);
  // 0x0000: ROM, fetched and read but never written.
  Z80MapFetch(0x0000, 0x3FFF, rom_);
  Z80MapRead(0x0000, 0x3FFF, rom_);
  // 0x4000: 48K of RAM.
  Z80MapFetch(0x4000, 0xFFFF, ram_.get());
  Z80AddReadRange(0x4000, 0xFFFF, ram_.get());
  Z80AddWriteRange(0x4000, 0xFFFF, ram_.get());
  Z80CloseRangeLists();
  SaveContext();  // the reset below starts by making the machine's own context current

  for (int line = 0; line < DISPLAY_LINES; ++line)
    displayLines_[line] = ram_.get() + DisplayLineOffset(line);

  CMachine::Reset();
  InstallPortHandlers();
  SaveContext();
}

CMachine48::~CMachine48() = default;

uint8_t* CMachine48::MemoryPointer(uint16_t address) {
  return address >= 0x4000 ? ram_.get() + (address - 0x4000) : rom_ + address;
}

bool CMachine48::Supports(int32_t model) const { return model == SPECTRUM_16 || model == SPECTRUM_48; }

bool CMachine48::SetVariant(int32_t model) {
  if (!Supports(model)) return false;
  model_ = model;
  frameLength_ = FRAME_LENGTH;
  return true;
}

void CMachine48::MapModelROM() { MapROM(RomImage(ROM_48)); }

void CMachine48::RandomizeMemory() { FillRandom(ram_.get(), RAM_SIZE, Random()); }

void CMachine48::RunFrame() {
  RunFrameWith(FIRST_LINE, LINE_LENGTH, [this](int line) {
    return DisplayLineSource{displayLines_[line], ram_.get() + AttributeOffset(line)};
  });
}

void CMachine48::Load48KImage(const uint8_t* image) { std::memcpy(ram_.get(), image, RAM_SIZE); }

uint8_t* CMachine48::SnapshotPagePointer(int32_t page) {
  switch (page) {
    case 4: return ram_.get() + 0x4000;  // 0x8000
    case 5: return ram_.get() + 0x8000;  // 0xC000
    default: return ram_.get();          // 0x4000 (page 8, and any other)
  }
}

uint8_t* CMachine48::RamBankPointer(int32_t bank) {
  switch (bank) {
    case 5: return ram_.get();           // 0x4000
    case 2: return ram_.get() + 0x4000;  // 0x8000
    case 0: return ram_.get() + 0x8000;  // 0xC000
    default: return nullptr;
  }
}

void CMachine48::LoadScreenImage(const uint8_t* image) {
  std::memcpy(ram_.get(), image, SCREEN_IMAGE_SIZE);
  for (int line = 0; line < DISPLAY_LINES; ++line)
    CaptureLine(line, displayLines_[line], ram_.get() + AttributeOffset(line));
  pictureChanged_ = true;
}
