// The 128K and +2 models: paging, the shadow screen, the built-in AY chip and the 48K mode.
#include "emulation/machine128.h"

#include <cstring>
#include <new>
#include <utility>

#include "emulation/ay_chip.h"
#include "emulation/display.h"

namespace {

constexpr uint32_t BANK_SIZE = 16384;
constexpr uint32_t RAM_SIZE = 8 * BANK_SIZE;
constexpr uint32_t FRAME_LENGTH = 70908;  // 311 lines of 228 T-states
constexpr uint32_t FIRST_LINE = 14364;    // 63 lines from the interrupt to the picture
constexpr uint32_t LINE_LENGTH = 228;
// The Pentagon: 320 lines of 224 T-states, the interrupt at the start of the frame-sync lines,
// so 80 lines (16 sync, 64 border) before the picture, whose line starts 68 T-states in.
constexpr uint32_t PENTAGON_FRAME_LENGTH = 71680;
constexpr uint32_t PENTAGON_FIRST_LINE = 80 * 224 + 68;
constexpr uint32_t PENTAGON_LINE_LENGTH = 224;

// Paging latch bits.
constexpr uint8_t LATCH_BANK = 0x07;
constexpr uint8_t LATCH_SCREEN = 0x08;  // 0 = bank 5, 1 = bank 7
constexpr uint8_t LATCH_ROM = 0x10;     // 0 = first ROM, 1 = second
constexpr uint8_t LATCH_LOCK = 0x20;    // paging frozen until reset

}  // namespace

CMachine128::CMachine128(MachineSetup setup)
    : CMachine(std::move(setup)), firstRomId_(ROM_128_0), secondRomId_(ROM_128_1) {
  ram_.reset(new uint8_t[RAM_SIZE]());
  SetTiming(FRAME_LENGTH, FIRST_LINE, LINE_LENGTH);
  model_ = SPECTRUM_128;
  FindROMs();

  Z80InitMemoryMaps();
  rom_ = roms_[0];
  Z80MapFetch(0x0000, 0x3FFF, rom_);  // ROM: no write mapping
  Z80MapRead(0x0000, 0x3FFF, rom_);
  Z80MapFetch(0x4000, 0x7FFF, Bank(5));
  Z80MapFetch(0x8000, 0xBFFF, Bank(2));
  Z80MapFetch(0xC000, 0xFFFF, Bank(0));
  Z80AddReadRange(0x4000, 0x7FFF, Bank(5));
  Z80AddReadRange(0x8000, 0xBFFF, Bank(2));
  Z80MapRead(0xC000, 0xFFFF, Bank(0));
  Z80AddWriteRange(0x4000, 0x7FFF, Bank(5));
  Z80AddWriteRange(0x8000, 0xBFFF, Bank(2));
  Z80MapWrite(0xC000, 0xFFFF, Bank(0));
  Z80CloseRangeLists();
  SaveContext();

  for (int line = 0; line < DISPLAY_LINES; ++line) {
    displayLines_[0][line] = Bank(5) + DisplayLineOffset(line);
    displayLines_[1][line] = Bank(7) + DisplayLineOffset(line);
  }

  if (emulateAY_) {
    // Without memory for the chip the machine runs on without AY sound.
    ay_ = new (std::nothrow) CAYChip(FRAME_LENGTH, AY_CHIP_CLOCK, volume_);
    if (ay_) {
      ay_->BuildOutputLevels(volume_);
      ay_->Reset();
    }
  }

  Reset();
  InstallPortHandlers();
  SaveContext();
}

CMachine128::~CMachine128() {
  delete ay_;
  ay_ = nullptr;
}

void CMachine128::FindROMs() {
  roms_[0] = RomImage(firstRomId_);
  roms_[1] = RomImage(secondRomId_);
}

void CMachine128::Reset() {
  CMachine::Reset();
  MakeContextCurrent();
  latch_ = 0;
  MapFromLatch();
  SaveContext();
}

void CMachine128::MapFromLatch() {
  uint8_t* bank = Bank(latch_ & LATCH_BANK);
  Z80MapFetch(0xC000, 0xFFFF, bank);
  Z80MapRead(0xC000, 0xFFFF, bank);
  Z80MapWrite(0xC000, 0xFFFF, bank);
  rom_ = roms_[(latch_ & LATCH_ROM) ? 1 : 0];
  Z80MapFetch(0x0000, 0x3FFF, rom_);
  Z80MapRead(0x0000, 0x3FFF, rom_);
}

uint8_t* CMachine128::MemoryPointer(uint16_t address) {
  const uint16_t offset = address & 0x3FFF;
  switch (address >> 14) {
    case 0: return rom_ + offset;
    case 1: return Bank(5) + offset;
    case 2: return Bank(2) + offset;
    default: return Bank(latch_ & LATCH_BANK) + offset;
  }
}

void CMachine128::SetTiming(uint32_t frameLength, uint32_t firstLine, uint32_t lineLength) {
  frameLength_ = frameLength;
  firstLine_ = firstLine;
  lineLength_ = lineLength;
  if (ay_) ay_->frameLength = frameLength;
  if (fullerChip_) fullerChip_->frameLength = frameLength;
}

bool CMachine128::Supports(int32_t model) const {
  return (model >= SPECTRUM_16 && model <= SPECTRUM_PLUS2) || model == SPECTRUM_PENTAGON;
}

bool CMachine128::SetVariant(int32_t model) {
  if (!Supports(model)) return false;
  MakeContextCurrent();
  switch (model) {
    case SPECTRUM_128:
    case SPECTRUM_PENTAGON:  // its own ROMs are 128K ones with TR-DOS added; ours serve
      firstRomId_ = ROM_128_0;
      secondRomId_ = ROM_128_1;
      FindROMs();  // mapped at the next paging write or reset
      break;
    case SPECTRUM_PLUS2:
      firstRomId_ = ROM_PLUS2_0;
      secondRomId_ = ROM_PLUS2_1;
      FindROMs();
      break;
    default:
      // 48K mode: bank 3 at 0xC000, paging locked, and the 48K ROM in place of either ROM.
      latch_ = 0;
      PortWrite(0x7FFD, 0x33);
      rom_ = RomImage(ROM_48);
      Z80MapFetch(0x0000, 0x3FFF, rom_);
      Z80MapRead(0x0000, 0x3FFF, rom_);
      break;
  }
  SaveContext();
  if (model == SPECTRUM_PENTAGON)
    SetTiming(PENTAGON_FRAME_LENGTH, PENTAGON_FIRST_LINE, PENTAGON_LINE_LENGTH);
  else
    SetTiming(FRAME_LENGTH, FIRST_LINE, LINE_LENGTH);
  model_ = model;
  return true;
}

void CMachine128::PortWrite(uint16_t port, uint8_t value) {
  CMachine::PortWrite(port, value);
  if ((port & 0x8002) == 0 && !(latch_ & LATCH_LOCK)) {
    latch_ = value;
    MapFromLatch();
  }
  if (!ay_) return;
  if ((port & 0xC002) == 0xC000)
    ay_->SelectRegister(value);
  else if ((port & 0xC002) == 0x8000)
    ay_->WriteData(value, executed_ + Z80ElapsedTStates());
}

uint8_t CMachine128::PortRead(uint16_t port) {
  if (!input_ && (port & 0xC002) == 0xC000) return ay_ ? ay_->Read() : 0xFF;
  return CMachine::PortRead(port);
}

void CMachine128::RandomizeMemory() { FillRandom(ram_.get(), RAM_SIZE, Random()); }

void CMachine128::ResetSound() {
  if (ay_) ay_->Reset();
}

void CMachine128::ApplyVolume() {
  if (ay_) ay_->BuildOutputLevels(volume_);
}

void CMachine128::FinishSoundFrame() {
  if (ay_) ay_->Render(beeper_.sampleBlock);
}

const uint8_t* CMachine128::ScreenBank() { return Bank((latch_ & LATCH_SCREEN) ? 7 : 5); }

void CMachine128::RunFrame() {
  if (ay_) ay_->StartFrame();
  RunFrameWith(firstLine_, lineLength_, [this](int line) {
    // The screen bank is read at each capture: flipping it mid-frame shows parts of both.
    const uint8_t* bank = ScreenBank();
    const int table = bank == Bank(7) ? 1 : 0;
    return DisplayLineSource{displayLines_[table][line], bank + AttributeOffset(line)};
  });
}

void CMachine128::Spread48KImage() {
  // Banks 0, 1, 2 hold the image in address order; this order never overwrites a source early.
  std::memcpy(Bank(3), Bank(2), BANK_SIZE);
  std::memcpy(Bank(2), Bank(1), BANK_SIZE);
  std::memcpy(Bank(5), Bank(0), BANK_SIZE);
}

void CMachine128::SetPagingLatch(uint8_t latch) {
  if (In48KMode()) return;  // 48K mode keeps its layout
  latch_ = latch;  // the lock bit is stored but does not stop a snapshot
  MapFromLatch();
}

void CMachine128::ApplyZ80HardwareState(const uint8_t* header) {
  SetPagingLatch(header[35]);
  if (ay_) {
    ay_->SelectRegister(header[38]);
    for (int r = 0; r < 16; ++r) ay_->WriteRegister(static_cast<uint8_t>(r), header[39 + r]);
  }
}

void CMachine128::ApplyPagingBlock(const uint8_t* block) { SetPagingLatch(block[9]); }

void CMachine128::ApplyAYBlock(const uint8_t* block) {
  if (!ay_) return;
  ay_->SelectRegister(block[9]);
  for (int r = 0; r < 16; ++r) ay_->WriteRegister(static_cast<uint8_t>(r), block[10 + r]);
}

void CMachine128::Load48KImage(const uint8_t* image) {
  std::memcpy(Bank(5), image, BANK_SIZE);
  std::memcpy(Bank(2), image + BANK_SIZE, BANK_SIZE);
  std::memcpy(Bank(3), image + 2 * BANK_SIZE, BANK_SIZE);
}

uint8_t* CMachine128::SnapshotPagePointer(int32_t page) {
  if (In48KMode()) {
    switch (page) {
      case 4: return Bank(2);
      case 5: return Bank(3);
      case 8: return Bank(5);
      default: return Bank(0);
    }
  }
  return page >= 3 ? Bank(page - 3) : Bank(0);
}

uint8_t* CMachine128::RamBankPointer(int32_t bank) {
  // In 48K mode the RAM at 0xC000 is bank 3, so a 48K snapshot's page 0 belongs there.
  if (In48KMode() && (bank & 7) == 0) return Bank(3);
  return Bank(bank & 7);
}

void CMachine128::LoadScreenImage(const uint8_t* image) {
  const bool shadow = !(latch_ & LATCH_LOCK) && (latch_ & LATCH_SCREEN);
  uint8_t* bank = Bank(shadow ? 7 : 5);
  std::memcpy(bank, image, SCREEN_IMAGE_SIZE);
  for (int line = 0; line < DISPLAY_LINES; ++line)
    CaptureLine(line, displayLines_[shadow ? 1 : 0][line], bank + AttributeOffset(line));
  pictureChanged_ = true;
}
