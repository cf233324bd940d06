// What every Spectrum model shares: the frame driver and its wall-clock throttle, ULA, Kempston
// and Fuller Box port decoding, the beeper, FLASH, reset and the script-facing switches.
#include "emulation/machine.h"

#include <cstring>
#include <new>
#include <utility>

#include "emulation/ay_chip.h"
#include "emulation/z80.h"

namespace {

CMachine* g_current = nullptr;
// The machine whose context the core holds. The core's copy is always the newest state of that
// machine, so making it current again must not reload the saved block: a loader may have set
// registers that are not saved yet.
CMachine* g_contextOwner = nullptr;

uint8_t ForwardPortRead(uint16_t port) { return g_current ? g_current->PortRead(port) : 0xFF; }

void ForwardPortWrite(uint16_t port, uint8_t value) {
  if (g_current) g_current->PortWrite(port, value);
}

// The Fuller Box chip sits on ports 0x3F (register select) and 0x5F (data).
constexpr uint8_t FULLER_SELECT = 0x3F;
constexpr uint8_t FULLER_DATA = 0x5F;

}  // namespace

CMachine::CMachine(MachineSetup setup)
    : stream_(std::move(setup.sound)),
      keyMatrix_(setup.keyMatrix),
      emulateAY_(setup.ay),
      roms_(setup.roms),
      random_(setup.random),
      log_(std::move(setup.log)) {
  const uint32_t size = Z80ContextSize();
  context_.reset(new uint8_t[size]());
  Z80LoadContext(context_.get());
  g_contextOwner = this;
  beeper_.enabled = setup.beeper;
  lineBuffer_.reset(new uint8_t[DISPLAY_LINE_BUFFER_SIZE]());
  borderBuffer_.reset(new uint8_t[BORDER_BUFFER_SIZE]());
  borderLog_.reset(new BorderChange[BORDER_LOG_SIZE]);
  FillBorder(portFE_ & 7);
}

CMachine::~CMachine() {
  muted_ = true;
  if (stream_) stream_->Stop();
  delete fullerChip_;
  stream_.reset();
  if (g_current == this) g_current = nullptr;
  if (g_contextOwner == this) g_contextOwner = nullptr;
}

uint8_t* CMachine::RomImage(int32_t id) { return roms_ ? roms_->RomImage(id, log_) : BlankROM(); }

void CMachine::InstallPortHandlers() {
  Z80SetPortReadHandler(ForwardPortRead);
  Z80SetPortWriteHandler(ForwardPortWrite);
}

void CMachine::MakeContextCurrent() {
  if (g_contextOwner == this) return;
  Z80LoadContext(context_.get());
  g_contextOwner = this;
}

void CMachine::SaveContext() { Z80SaveContext(context_.get()); }

bool CMachine::UpdateFrame(float time) {
  g_current = this;
  executed_ = 0;  // an update that runs no frame reports none
  if (lastTime_ != 0 && throttled_ && timeCredit_ >= -0.02f)
    timeCredit_ -= time - lastTime_;
  else
    timeCredit_ = 0;

  if (timeCredit_ <= 0) {
    timeCredit_ += 0.02f;
    // A tape loading fast runs several frames now; the picture is the last one's.
    const int frames = tape_ && !paused_ ? tape_->FramesPerUpdate() : 1;
    for (int frame = 0; frame < frames; ++frame) RunOneFrame();

    if (!muted_ && stream_) {
      beeper_.FinishFrame(portFE_, volume_);
      if (attached_[HARDWARE_FULLER] && fullerChip_) fullerChip_->Render(beeper_.sampleBlock);
      FinishSoundFrame();
      // Sound played fast is noise: silence until the tape is back to normal speed.
      if (frames > 1) std::memset(beeper_.sampleBlock, 0, sizeof beeper_.sampleBlock);
      stream_->WriteFrame(beeper_.sampleBlock);
    }
  }
  lastTime_ = time;
  return pictureChanged_;
}

void CMachine::RunOneFrame() {
  executed_ = 0;
  rowsRead_ = 0;
  beeper_.StartFrame(portFE_);
  if (attached_[HARDWARE_FULLER] && fullerChip_) fullerChip_->StartFrame();
  if (paused_)
    pictureChanged_ = true;
  else
    RunFrame();

  // FLASH swaps ink and paper every 16 frames.
  flashPhase_ = flashCounter_ >= 16 ? 1 : 0;
  if (++flashCounter_ == 32) flashCounter_ = 0;
  if (tape_ && !paused_) tape_->FrameEnd(executed_, rowsRead_);
}

void CMachine::Run(int32_t tstates) {
  if (tstates > 0) executed_ += Z80Execute(static_cast<uint32_t>(tstates));
  carry_ = 0;
}

void CMachine::CaptureLine(int line, const uint8_t* bitmap, const uint8_t* attributes) {
  uint8_t* entry = lineBuffer_.get() + line * DISPLAY_LINE_BYTES;
  std::memcpy(entry, bitmap, 32);
  std::memcpy(entry + 32, attributes, 32);
}

void CMachine::FillBorder(uint8_t colour) {
  uniformBorder_ = colour;
  if (filledBorder_ != colour) std::memset(borderBuffer_.get(), colour, BORDER_BUFFER_SIZE);
  filledBorder_ = colour;
}

void CMachine::BeginBorderFrame() {
  frameBorder_ = portFE_ & 7;
  borderChanges_ = 0;
  frameOrigin_ = carry_;
}

void CMachine::EndBorderFrame(uint32_t firstLine, uint32_t lineLength) {
  if (borderChanges_ == 0) {
    FillBorder(frameBorder_);
    return;
  }
  // A frame that began late (an overrun) has its beam times shifted by as much. A write shows
  // from the first 8-pixel chunk at or after its stamp + 5: on the 48K an OUT (n),A ending at
  // T-states 14339-14342 colours the chunk of the first display pixel (14336).
  constexpr int64_t WRITE_DELAY = 5;
  const int64_t top = static_cast<int64_t>(frameOrigin_) + firstLine -
                      static_cast<int64_t>(BORDER_TOP) * lineLength - BORDER_LEFT / 2;
  uint8_t colour = frameBorder_;
  int32_t next = 0;
  uint8_t* cell = borderBuffer_.get();
  for (int line = 0; line < BORDER_LINES; ++line) {
    int64_t t = top + static_cast<int64_t>(line) * lineLength;
    for (int c = 0; c < BORDER_CELLS; ++c, t += BORDER_CELL_PIXELS / 2) {
      while (next < borderChanges_ && borderLog_[next].tstate + WRITE_DELAY <= t)
        colour = borderLog_[next++].colour;
      *cell++ = colour;
    }
  }
  uniformBorder_ = -1;
  filledBorder_ = -1;
}

void CMachine::SetPortFE(uint8_t value) {
  portFE_ = value;
  borderChanges_ = 0;
  FillBorder(value & 7);
}

void CMachine::Reset() {
  MakeContextCurrent();
  Z80Reset();
  Z80SetRegister(REG_IFF1, 0);
  Z80SetRegister(REG_IFF2, 0);
  Z80SetRegister(REG_IM, 0);
  Z80SetRegister(REG_IR, 0);
  Z80SetRegister(REG_PC, 0);
  Z80SetRegister(REG_AF, 0xFFFF);
  Z80SetRegister(REG_SP, 0xFFFF);
  SaveContext();
  flashCounter_ = 0;
  flashPhase_ = 0;
  SetPortFE(0x18);
  if (attached_[HARDWARE_FULLER] && fullerChip_) fullerChip_->Reset();
  ResetSound();
  carry_ = 0;
  tape_ = nullptr;
}

bool CMachine::AttachHardware(int32_t kind, bool on) {
  if (kind != HARDWARE_KEMPSTON && kind != HARDWARE_FULLER) return false;
  attached_[kind] = on;
  // The chip is made once and kept: detaching only hides it.
  if (on && kind == HARDWARE_FULLER && !fullerChip_) {
    fullerChip_ = new (std::nothrow) CAYChip(frameLength_, AY_CHIP_CLOCK, volume_);
    if (!fullerChip_) attached_[kind] = false;  // no chip, no Fuller Box
  }
  return true;
}

bool CMachine::IsHardwareAttached(int32_t kind) const {
  return (kind == HARDWARE_KEMPSTON || kind == HARDWARE_FULLER) && attached_[kind];
}

void CMachine::DetachAllHardware() {
  AttachHardware(HARDWARE_KEMPSTON, false);
  AttachHardware(HARDWARE_FULLER, false);
}

bool CMachine::Supports(int32_t) const { return false; }
bool CMachine::SetVariant(int32_t) { return false; }

void CMachine::PortWrite(uint16_t port, uint8_t value) {
  if (attached_[HARDWARE_FULLER] && fullerChip_) {
    if ((port & 0xFF) == FULLER_SELECT)
      fullerChip_->SelectRegister(value);
    else if ((port & 0xFF) == FULLER_DATA)
      fullerChip_->WriteData(value, FrameTState());
  }
  // The ULA answers every even port.
  if ((port & 1) == 0) {
    if ((value ^ portFE_) & 7) {
      // Past the log's end only the newest colour is kept, in its last entry.
      if (borderChanges_ < BORDER_LOG_SIZE) ++borderChanges_;
      borderLog_[borderChanges_ - 1] = {FrameTState(), static_cast<uint8_t>(value & 7)};
    }
    portFE_ = value;
    beeper_.Update(portFE_, FrameTState(), frameLength_, volume_);
  }
}

uint8_t CMachine::PortRead(uint16_t port) {
  if (input_) return input_->ReadPort(port);
  uint8_t result = 0xFF;
  if (attached_[HARDWARE_FULLER] && fullerChip_ && port == FULLER_SELECT) result = fullerChip_->Read();
  // Kempston: no direction, no fire button.
  if ((port & 0xE0) == 0 && attached_[HARDWARE_KEMPSTON]) result = 0;
  if (port & 1) return result;

  // Each half-row whose address line is low pulls its held keys' bits to 0 (the keyboard's and
  // the tape typist's); bit 6 is the EAR input, high without a tape.
  result = 0xFF;
  const uint8_t rows = static_cast<uint8_t>(~(port >> 8));
  rowsRead_ |= rows;
  for (int row = 0; row < 8; ++row) {
    if (!(rows & (1 << row))) continue;
    const uint8_t held = (keyMatrix_ ? keyMatrix_[row] : 0) | (tape_ ? tape_->TypedKeys(row) : 0);
    result &= static_cast<uint8_t>(~held);
  }
  if (tape_ && !tape_->EarLevel(FrameTState())) result &= 0xBF;
  return result;
}

void CMachine::RandomizeMemory() {}
void CMachine::ResetSound() {}
void CMachine::ApplyVolume() {}
void CMachine::FinishSoundFrame() {}
void CMachine::Spread48KImage() {}
void CMachine::MapModelROM() {}
void CMachine::SetPagingLatch(uint8_t) {}
void CMachine::ApplyZ80HardwareState(const uint8_t*) {}
void CMachine::ApplyPagingBlock(const uint8_t*) {}
void CMachine::ApplyAYBlock(const uint8_t*) {}

void CMachine::Pause(bool paused) {
  paused_ = paused;
  if (!stream_) return;
  if (paused)
    stream_->Stop();
  else if (!muted_)
    stream_->SilenceAndRestart();
}

void CMachine::Mute(bool muted) {
  muted_ = muted;
  if (!stream_) return;
  if (muted)
    stream_->Stop();
  else
    stream_->SilenceAndRestart();
}

uint8_t CMachine::Peek(uint16_t address) { return *MemoryPointer(address); }

uint8_t CMachine::Poke(uint16_t address, uint8_t value) {
  uint8_t* byte = MemoryPointer(address);
  const uint8_t old = *byte;
  if (address >= 0x4000) *byte = value;
  return old;
}

void CMachine::SetVolume(int32_t percent) {
  volume_ = static_cast<uint32_t>(percent) >= 101 ? 100 : static_cast<uint16_t>(percent);
  ApplyVolume();
}

void CMachine::PrepareForLoad() {
  AttachHardware(HARDWARE_FULLER, false);
  SetSnapshotCreator(nullptr);
  Reset();
  MapModelROM();
  paused_ = false;
  if (!muted_ && stream_) stream_->SilenceAndRestart();
}

void CMachine::SetSnapshotCreator(const char* name) {
  std::memset(creator_, 0, sizeof creator_);
  if (name) std::strncpy(creator_, name, sizeof creator_ - 1);
  // Fixed-width fields pad the name with spaces.
  for (size_t end = std::strlen(creator_); end > 0 && creator_[end - 1] == ' '; --end) creator_[end - 1] = 0;
}

uint8_t* CMachine::CustomROM() {
  if (!customROM_) customROM_.reset(new uint8_t[ROM_SIZE]);
  return customROM_.get();
}

void CMachine::MapROM(uint8_t* image) {
  MakeContextCurrent();
  rom_ = image;
  Z80MapFetch(0x0000, 0x3FFF, rom_);
  Z80MapRead(0x0000, 0x3FFF, rom_);
  SaveContext();
}
