// Snapshot loading: every snapshot, recording, screen image and ROM image enters a machine here.
// The machine is reset first, then the reader for the file's type fills it.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "emulation/rom_cache.h"
#include "emulation/speccy.h"
#include "emulation/z80.h"
#include "formats/readers.h"
#include "formats/result_code.h"
#include "presentation/sound_output.h"
#include "shell/log.h"

const char* const SNAPSHOT_EXTENSIONS[SNAPSHOT_TYPE_COUNT] = {"sna", "z80", "rzx", "scr", "szx", "rom"};

namespace {

bool EqualNoCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
      return false;
  return *a == *b;
}

constexpr uint32_t SCREEN_SIZE = 6912;
constexpr uint32_t SNA_SIZE = 49179;

}  // namespace

int SnapshotTypeOf(const char* extension) {
  if (!extension) return -1;
  for (int type = 0; type < SNAPSHOT_TYPE_COUNT; ++type)
    if (EqualNoCase(extension, SNAPSHOT_EXTENSIONS[type])) return type;
  return -1;
}

int32_t CSpeccy::LoadSnapshotData(uint8_t* data, uint32_t size, const char* name, bool nameIsType,
                                  bool& ownership) {
  AttachHardware(HARDWARE_FULLER, false);
  SetSnapshotCreator(nullptr);
  rzxCompleted_ = false;
  if (ownership) StopRZXPlayback();
  ownership = true;

  Reset();
  paused_ = false;
  if (!muted_ && stream_) stream_->SilenceAndRestart();

  const char* extension = nullptr;
  if (nameIsType) {
    extension = name;
  } else if (name) {
    if (const char* dot = std::strrchr(name, '.')) extension = dot + 1;
  }
  int type = SnapshotTypeOf(extension);
  if (type < 0) {
    // Without a known extension only the two fixed sizes tell the type.
    if (size == SCREEN_SIZE)
      type = SNAPSHOT_SCR;
    else if (size == SNA_SIZE)
      type = SNAPSHOT_SNA;
  }

  int32_t result = GX_UNKNOWN_SNAPSHOT;
  switch (type) {
    case SNAPSHOT_SNA: result = ReadSNA(*this, data, size); break;
    case SNAPSHOT_Z80: result = ReadZ80(*this, data, size); break;
    case SNAPSHOT_RZX: result = ReadRZX(*this, data, size, ownership); break;
    case SNAPSHOT_SCR: result = ReadScreenImage(*this, data, size); break;
    case SNAPSHOT_SZX: result = ReadSZX(*this, data, size); break;
    case SNAPSHOT_ROM: result = ReadROMImage(*this, data, size); break;
    default: break;
  }
  if (result == GX_NONE) {
    pictureChanged_ = true;
    return GX_NONE;
  }
  WriteLog(std::string("Couldn't load snapshot: ") + ResultText(result) + " \"" +
           (nameIsType ? "<embedded snapshot>" : (name ? name : "")) + "\".");
  return result;
}

int32_t ReadScreenImage(CSpeccy& machine, const uint8_t* data, uint32_t size) {
  if (size != SCREEN_SIZE) return GX_SNAPSHOT_BAD_SIZE;
  machine.LoadScreenImage(data);
  machine.SaveContext();
  // A picture, not a program: black border, the machine paused and silent.
  machine.SetPortFE(machine.PortFE() & ~7);
  machine.SetPaused(true);
  if (CSoundStream* stream = machine.SoundStream()) stream->Stop();
  return GX_NONE;
}

int32_t ReadROMImage(CSpeccy& machine, const uint8_t* data, uint32_t size) {
  if (!machine.SetVariant(SPECTRUM_48)) return GX_UNSUPPORTED_HARDWARE;
  uint8_t* rom = machine.CustomROM();
  std::memset(rom, 0xFF, ROM_SIZE);
  std::memcpy(rom, data, std::min<uint32_t>(size, ROM_SIZE));
  // The reset before the load left PC at 0, so the new ROM starts from its beginning.
  machine.MapROM(rom);
  return GX_NONE;
}

// (Interim: files and zip archives arrive with the formats work.)
int32_t CSpeccy::LoadSnapshot(const char* name) {
  if (!name) {
    WriteLog("CSpeccy:LoadSnapshot attempted to load a snapshot of nil");
    return GX_COULD_NOT_OPEN_FILE;
  }
  WriteLog(std::string("CSpeccy:LoadSnapshot loading: ") + name);
  WriteLog("CSpeccy:LoadSnapshot failed to load snapshot.");
  return GX_COULD_NOT_OPEN_FILE;
}

int32_t CSpeccy::LoadSnapshotFromZip(CZip&, const char*) { return -100; }
