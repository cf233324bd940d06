// Snapshot loading: every snapshot, recording, tape, screen image and ROM image enters a machine
// here, through the reader for the file's type.
#include "formats/snapshot.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <string>

#include "base/log.h"
#include "emulation/machine_loader.h"
#include "emulation/rom_source.h"
#include "formats/readers.h"
#include "formats/result_code.h"
#include "formats/rzx.h"
#include "formats/tape.h"
#include "formats/zip.h"

const char* const SNAPSHOT_EXTENSIONS[SNAPSHOT_TYPE_COUNT] = {"sna", "z80", "rzx", "scr", "szx",
                                                              "rom", "tap", "tzx", "pzx", "csw"};

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

CSnapshotLoader::CSnapshotLoader(CMachineLoader& machine) : machine_(machine) {}

CSnapshotLoader::~CSnapshotLoader() { StopRZXPlayback(); }

int32_t CSnapshotLoader::LoadData(uint8_t* data, uint32_t size, const char* name, bool nameIsType,
                                  bool& ownership) {
  rzxCompleted_ = false;
  if (ownership) StopRZXPlayback();
  ownership = true;

  const char* extension = nullptr;
  if (nameIsType) {
    extension = name;
  } else if (name) {
    if (const char* dot = std::strrchr(name, '.')) extension = dot + 1;
  }
  int type = SnapshotTypeOf(extension);
  if (type < 0) {
    // Without a known extension the two fixed sizes and the tape signatures tell the type.
    if (size == SCREEN_SIZE)
      type = SNAPSHOT_SCR;
    else if (size == SNA_SIZE)
      type = SNAPSHOT_SNA;
    else if (size >= 8 && std::memcmp(data, "ZXTape!\x1A", 8) == 0)
      type = SNAPSHOT_TZX;
    else if (size >= 4 && std::memcmp(data, "PZXT", 4) == 0)
      type = SNAPSHOT_PZX;
    else if (size >= 22 && std::memcmp(data, "Compressed Square Wave", 22) == 0)
      type = SNAPSHOT_CSW;
  }

  int32_t result = GX_UNKNOWN_SNAPSHOT;
  // Loads run under scripts' C frames: no allocation failure may leave this function.
  try {
    switch (type) {
      case SNAPSHOT_SNA: result = ReadSNA(machine_, data, size); break;
      case SNAPSHOT_Z80: result = ReadZ80(machine_, data, size); break;
      case SNAPSHOT_RZX: result = ReadRZX(data, size, ownership); break;
      case SNAPSHOT_SCR: result = ReadScreenImage(machine_, data, size); break;
      case SNAPSHOT_SZX: result = ReadSZX(machine_, data, size); break;
      case SNAPSHOT_ROM: result = ReadROMImage(machine_, data, size); break;
      case SNAPSHOT_TAP:
      case SNAPSHOT_TZX:
      case SNAPSHOT_PZX:
      case SNAPSHOT_CSW:
        if (!tape_) tape_ = std::make_unique<CTapeDeck>(machine_);
        result = tape_->Load(data, size, static_cast<TapeFormat>(type - SNAPSHOT_TAP));
        break;
      default: break;
    }
  } catch (const std::bad_alloc&) {
    result = GX_OUT_OF_MEMORY;
  }
  if (result == GX_NONE) {
    machine_.MarkPictureChanged();
    return GX_NONE;
  }
  if (IsLoadingTape()) WriteLog("Tape: the blocks before the damage play");
  WriteLog(std::string("Couldn't load snapshot: ") + ResultText(result) + " \"" +
           (nameIsType ? "<embedded snapshot>" : (name ? name : "")) + "\".");
  return result;
}

int32_t ReadScreenImage(CMachineLoader& machine, const uint8_t* data, uint32_t size) {
  if (size != SCREEN_SIZE) return GX_SNAPSHOT_BAD_SIZE;
  machine.PrepareForLoad();
  machine.LoadScreenImage(data);
  machine.SaveContext();
  // A picture, not a program: black border, the machine paused and silent.
  machine.SetPortFE(machine.PortFE() & ~7);
  machine.Pause(true);
  return GX_NONE;
}

int32_t ReadROMImage(CMachineLoader& machine, const uint8_t* data, uint32_t size) {
  if (!machine.Supports(SPECTRUM_48)) return GX_UNSUPPORTED_HARDWARE;
  machine.PrepareForLoad();
  machine.SetVariant(SPECTRUM_48);
  uint8_t* rom = machine.CustomROM();
  std::memset(rom, 0xFF, ROM_SIZE);
  std::memcpy(rom, data, std::min<uint32_t>(size, ROM_SIZE));
  // The reset before the load left PC at 0, so the new ROM starts from its beginning.
  machine.MapROM(rom);
  return GX_NONE;
}

namespace {

// No snapshot or recording comes near this; a zip member that claims more is not read.
constexpr uLong MAX_MEMBER_SIZE = 64u << 20;

bool HasSnapshotExtension(const char* name) {
  const char* dot = std::strrchr(name, '.');
  return dot && SnapshotTypeOf(dot + 1) >= 0;
}

// The first member with a snapshot extension, loaded; UnknownSnapshot whatever went wrong.
int32_t LoadFirstZipMember(CSnapshotLoader& loader, const std::string& path) {
  CZip zip;
  if (zip.Open(path.c_str()) != UNZ_OK) return GX_UNKNOWN_SNAPSHOT;
  int32_t status = unzGoToFirstFile(zip.Handle());
  while (status == UNZ_OK) {
    status = zip.ReadCurrentInfo();
    if (status != UNZ_OK) break;
    if (HasSnapshotExtension(zip.MemberName())) {
      // The lookup walks from the first member again, so copy the name it overwrites.
      const std::string member = zip.MemberName();
      const int32_t result = loader.LoadFromZip(zip, member.c_str());
      return result == GX_NONE ? GX_NONE : GX_UNKNOWN_SNAPSHOT;
    }
    status = unzGoToNextFile(zip.Handle());
  }
  return GX_UNKNOWN_SNAPSHOT;
}

// Reading a whole file into a new[] buffer: an open failure leaves errno telling why; an empty
// or unreadable file fails too.
enum class FileRead { Ok, OpenFailed, Failed };

FileRead ReadWholeFile(const std::string& path, std::unique_ptr<uint8_t[]>& buffer, uint32_t& size) {
  std::error_code error;
  // Only a regular file (or a link to one) is read: a folder opens for reading here but not where
  // files are opened by handle, and opening a named pipe or a device blocks or never ends.
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (!error && !std::filesystem::is_regular_file(status)) {
    errno = std::filesystem::is_directory(status) ? EISDIR : EINVAL;
    return FileRead::OpenFailed;
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return FileRead::OpenFailed;
  const std::uintmax_t length = std::filesystem::file_size(path, error);
  FileRead result = FileRead::Failed;
  if (!error && length > 0 && length <= UINT32_MAX) {
    size = static_cast<uint32_t>(length);
    buffer.reset(new (std::nothrow) uint8_t[size]);
    if (buffer && std::fread(buffer.get(), 1, size, file) == size) result = FileRead::Ok;
  }
  std::fclose(file);
  return result;
}

}  // namespace

int32_t CSnapshotLoader::LoadFile(const char* name, const SnapshotLookup& lookup) {
  if (!name) {
    WriteLog("CSpeccy:LoadSnapshot attempted to load a snapshot of nil");
    return GX_COULD_NOT_OPEN_FILE;
  }
  WriteLog(std::string("CSpeccy:LoadSnapshot loading: ") + name);

  std::string path = name;
  if (!std::strchr(name, '\\') && !std::strchr(name, '/')) {
    // A bare name belongs beside the script: in its zip, or in the Scripts folder.
    if (lookup.scriptZip) return LoadFromZip(*lookup.scriptZip, name);
    path = lookup.scriptsFolder + "/" + name;
  }

  const size_t dot = path.rfind('.');
  if (dot != std::string::npos && EqualNoCase(path.c_str() + dot + 1, "zip"))
    return LoadFirstZipMember(*this, path);

  std::unique_ptr<uint8_t[]> buffer;
  uint32_t size = 0;
  const FileRead read = ReadWholeFile(path, buffer, size);
  if (read != FileRead::Ok) {
    if (read == FileRead::OpenFailed) {
      char line[64 + 4096];
      std::snprintf(line, sizeof line, "Windows error #%d opening \"%s\"", errno, path.c_str());
      WriteLog(line);
    }
    WriteLog("CSpeccy:LoadSnapshot failed to load snapshot.");
    return GX_COULD_NOT_OPEN_FILE;
  }

  bool ownership = true;
  const int32_t result = LoadData(buffer.get(), size, path.c_str(), false, ownership);
  // A recording keeps the file it was given.
  if (!ownership) buffer.release();
  if (result == GX_NONE) return GX_NONE;
  WriteLog("CSpeccy:LoadSnapshot failed to load snapshot.");
  return result;
}

int32_t CSnapshotLoader::LoadFromZip(CZip& zip, const char* member) {
  WriteLog(std::string("  opening \"") + (member ? member : "") + "\"" + " within compressed file \"" +
           zip.Path() + "\"");
  if (!member || !zip.Handle()) return UNZ_PARAMERROR;
  int32_t status = unzGoToFirstFile(zip.Handle());
  if (status != UNZ_OK) return status;

  for (; status == UNZ_OK; status = unzGoToNextFile(zip.Handle())) {
    if (zip.ReadCurrentInfo() != UNZ_OK) continue;
    if (!EqualNoCase(zip.MemberName(), member)) continue;
    if (unzOpenCurrentFile(zip.Handle()) != UNZ_OK) continue;  // passed over; the search goes on

    const uLong length = zip.Info().uncompressed_size;
    std::unique_ptr<uint8_t[]> buffer;
    if (length <= MAX_MEMBER_SIZE) buffer.reset(new (std::nothrow) uint8_t[length]);
    if (!buffer) {
      unzCloseCurrentFile(zip.Handle());
      return GX_OUT_OF_MEMORY;
    }
    const uint32_t size = static_cast<uint32_t>(length);
    const int read = size ? unzReadCurrentFile(zip.Handle(), buffer.get(), size) : 0;
    unzCloseCurrentFile(zip.Handle());
    // A damaged member gives fewer bytes than it claims; the rest would be stale memory.
    if (read < 0 || static_cast<uint32_t>(read) != size) return GX_INCOMPLETE_FILE;

    bool ownership = true;
    const std::string name = zip.MemberName();
    const int32_t result = LoadData(buffer.get(), size, name.c_str(), false, ownership);
    if (!ownership) buffer.release();
    return result;
  }
  return status;
}

int32_t CSnapshotLoader::ReadRZX(uint8_t* data, uint32_t size, bool& ownership) {
  StopRZXPlayback();
  if (!rzx_) rzx_ = std::make_unique<CRZXPlayback>(machine_, *this);
  return rzx_->Load(data, size, ownership);
}

void CSnapshotLoader::StopRZXPlayback() {
  if (rzx_ && machine_.InputSource() == rzx_.get()) machine_.SetInputSource(nullptr);
  if (rzx_) rzx_->Release();
}

bool CSnapshotLoader::IsLoadingTape() const {
  return tape_ && machine_.TapeSource() == tape_.get() && tape_->Loading();
}

bool CSnapshotLoader::IsPlayingRZX() const { return rzx_ && machine_.InputSource() == rzx_.get(); }

uint32_t CSnapshotLoader::GetRZXPart() const { return rzx_ ? rzx_->Part() : 0; }

uint32_t CSnapshotLoader::GetRZXProgress() const {
  if (!IsPlayingRZX() || !rzx_->HasFrameReader()) return 0xFFFFFFFF;
  return rzx_->Progress();
}
