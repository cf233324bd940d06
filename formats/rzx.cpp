// Input recordings (RZX): the block walk, the embedded snapshots, and the frame-by-frame replay
// of fetch counts and port inputs, with the checks that catch a replay that lost its way.
#include "formats/rzx.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "base/inflate.h"
#include "base/log.h"
#include "emulation/machine_loader.h"
#include "emulation/z80.h"
#include "formats/little_endian.h"
#include "formats/readers.h"
#include "formats/result_code.h"
#include "formats/snapshot.h"

namespace {

constexpr uint32_t HEADER_SIZE = 10;
constexpr uint32_t BLOCK_HEADER = 5;
constexpr uint8_t BLOCK_CREATOR = 0x10;
constexpr uint8_t BLOCK_SECURITY = 0x20;
constexpr uint8_t BLOCK_SNAPSHOT = 0x30;
constexpr uint8_t BLOCK_INPUT = 0x80;
// Smallest length of each block kind that holds the fields read.
constexpr uint32_t CREATOR_SIZE = 29;
constexpr uint32_t SECURITY_SIZE = 13;
constexpr uint32_t SNAPSHOT_SIZE = 17;
constexpr uint32_t INPUT_SIZE = 18;
constexpr uint16_t REPEAT_INPUTS = 0xFFFF;
// The largest snapshot a recording may embed: a 128K snapshot with every page stored is about
// 135 KB, so a block claiming more is damaged or hostile and is not inflated.
constexpr uint32_t MAX_EMBEDDED_SNAPSHOT = 1u << 20;

// Why an embedded snapshot block cannot be read, logged; GX_NONE when it can.
int32_t SnapshotBlockProblem(const ByteView& block) {
  if (block.Size() < SNAPSHOT_SIZE) return GX_BAD_SNAPSHOT;
  if (block.U32(5) & 1) {
    WriteLog("External snapshot descriptor found in RZX file - these are not supported");
    return GX_NOT_SUPPORTED;
  }
  char type[5] = {};
  std::memcpy(type, block.Data() + 9, 4);
  if (SnapshotTypeOf(type) == SNAPSHOT_RZX) return GX_NESTED_RZX;
  if (IsTapeType(SnapshotTypeOf(type))) return GX_NOT_SUPPORTED;  // a recording starts from a snapshot
  if ((block.U32(5) & 2) && block.U32(13) > MAX_EMBEDDED_SNAPSHOT) {
    WriteLogFormat("RZX: embedded snapshot claims %u bytes; refused", block.U32(13));
    return GX_BAD_SNAPSHOT;
  }
  return GX_NONE;
}

// The blocks up to the first input block, checked before the first snapshot goes into the
// machine: a recording refused for what comes before its first frame leaves the machine alone.
int32_t CheckFirstPart(const ByteView& file) {
  bool snapshotSeen = false;
  for (uint64_t offset = HEADER_SIZE; offset + BLOCK_HEADER < file.Size();) {
    const uint8_t id = file.U8(offset);
    const uint32_t length = file.U32(offset + 1);
    if (length < BLOCK_HEADER || !file.Fits(offset, length)) return GX_BAD_SNAPSHOT;
    if ((id == BLOCK_CREATOR && length < CREATOR_SIZE) || (id == BLOCK_SECURITY && length < SECURITY_SIZE))
      return GX_BAD_SNAPSHOT;
    if (id == BLOCK_SNAPSHOT) {
      if (const int32_t problem = SnapshotBlockProblem(file.Sub(offset, length)); problem != GX_NONE) return problem;
      snapshotSeen = true;
    } else if (id == BLOCK_INPUT) {
      if (!snapshotSeen) {
        WriteLog("RZX: Error - RZX file appears to be missing a snapshot block.");
        return GX_INCOMPLETE_RZX;
      }
      return length < INPUT_SIZE ? GX_BAD_SNAPSHOT : GX_NONE;
    }
    offset += length;
  }
  return GX_NONE;
}

}  // namespace

CRZXPlayback::~CRZXPlayback() { DiscardFrameReader(); }

void CRZXPlayback::Release() {
  file_.reset();
  size_ = 0;
  DiscardFrameReader();
  std::vector<uint8_t>().swap(inputs_);
  inputIndex_ = inputCount_ = fetchCount_ = 0;
}

bool CRZXPlayback::Playing() const { return machine_.InputSource() == this; }

int32_t CRZXPlayback::Load(uint8_t* data, uint32_t size, bool& ownership) {
  blockId_ = 0;
  blockLength_ = 0;
  partCount_ = 0;
  stopRequested_ = false;
  snapshotSeen_ = false;
  std::memset(creator_, 0, sizeof creator_);
  if (size < 12 || std::memcmp(data, "RZX!", 4) != 0) return GX_BAD_SNAPSHOT;
  const ByteView file(data, size);
  WriteLogFormat("RZX: version %d.%d. Flags = %0x", file.U8(4), file.U8(5), file.U32(6));
  if (const int32_t problem = CheckFirstPart(file); problem != GX_NONE) return problem;

  file_.reset(data);
  size_ = size;
  ownership = false;
  blockOffset_ = HEADER_SIZE;
  frameNumber_ = -1;
  return WalkBlocks();
}

int32_t CRZXPlayback::WalkBlocks() {
  snapshotSeen_ = false;
  int32_t result = GX_NONE;
  const ByteView file(file_.get(), size_);
  for (;;) {
    blockOffset_ += blockLength_;
    blockId_ = 0;
    blockLength_ = 0;
    if (uint64_t{blockOffset_} + BLOCK_HEADER >= size_) break;  // the file has ended
    const uint8_t id = file.U8(blockOffset_);
    const uint32_t length = file.U32(blockOffset_ + 1);
    // A length below its own header would stand still; one past the end would read beyond it.
    if (length < BLOCK_HEADER || !file.Fits(blockOffset_, length)) {
      result = GX_BAD_SNAPSHOT;
      break;
    }
    blockId_ = id;
    blockLength_ = length;
    const ByteView block = file.Sub(blockOffset_, length);

    if (id == BLOCK_CREATOR) {
      if (length < CREATOR_SIZE) {
        result = GX_BAD_SNAPSHOT;
        break;
      }
      std::memset(creator_, 0, sizeof creator_);
      std::memcpy(creator_, block.Data() + 5, sizeof creator_ - 1);
      WriteLogFormat("RZX: playback file created by \"%s\" version %02d.%02d", creator_, block.U16(25), block.U16(27));
    } else if (id == BLOCK_SECURITY) {
      if (length < SECURITY_SIZE) {
        result = GX_BAD_SNAPSHOT;
        break;
      }
      WriteLogFormat("RZX: Security Information: Key ID = %08x, Week %d", block.U32(5), block.U32(9));
    } else if (id == BLOCK_SNAPSHOT) {
      result = ReadSnapshotBlock(blockOffset_, length);
      if (result != GX_NONE) break;
    } else if (id == BLOCK_INPUT) {
      DiscardFrameReader();
      if (!snapshotSeen_) {
        WriteLog("RZX: Error - RZX file appears to be missing a snapshot block.");
        result = GX_INCOMPLETE_RZX;
        break;
      }
      if (length < INPUT_SIZE) {
        result = GX_BAD_SNAPSHOT;
        break;
      }
      inputIndex_ = fetchCount_ = inputCount_ = 0;
      if (!StartFrameReader(blockOffset_, length)) {
        result = GX_OUT_OF_MEMORY;
        break;
      }
      machine_.SetInputSource(this);
      machine_.SetSnapshotCreator(creator_);
      return GX_NONE;  // positioned on this block until its frames are used up
    } else {
      WriteLogFormat("RZX: Warning! Skipping unhandled block type of 0x%0x", id);
    }
  }
  loader_.rzxCompleted_ = result == GX_NONE;
  if (result == GX_NONE) WriteLog("RZX: End of file");
  loader_.StopRZXPlayback();
  return result;
}

int32_t CRZXPlayback::ReadSnapshotBlock(uint32_t offset, uint32_t length) {
  ++partCount_;
  snapshotSeen_ = true;
  if (partCount_ >= 2) WriteLogFormat("RZX: Loading snapshot #%d", partCount_);
  const ByteView block(file_.get() + offset, length);
  if (const int32_t problem = SnapshotBlockProblem(block); problem != GX_NONE) return problem;
  char type[5] = {};
  std::memcpy(type, block.Data() + 9, 4);

  uint8_t* snapshot = file_.get() + offset + SNAPSHOT_SIZE;
  uint32_t snapshotSize = length - SNAPSHOT_SIZE;
  std::vector<uint8_t> inflated;
  if (block.U32(5) & 2) {
    if (!InflateAll(snapshot, snapshotSize, block.U32(13), inflated)) return GX_BAD_SNAPSHOT;
    snapshot = inflated.data();
    snapshotSize = static_cast<uint32_t>(inflated.size());
  }
  // The recording stays: the embedded snapshot must not stop it, nor is its buffer handed over.
  bool ownership = false;
  return loader_.LoadData(snapshot, snapshotSize, type, true, ownership);
}

bool CRZXPlayback::StartFrameReader(uint32_t offset, uint32_t length) {
  const ByteView block(file_.get() + offset, length);
  reader_ = FrameReader{};
  reader_.data = block.Data() + INPUT_SIZE;
  reader_.length = length - INPUT_SIZE;
  reader_.compressed = (block.U32(14) & 2) != 0;
  reader_.framesLeft = block.U32(5);
  if (reader_.compressed) {
    reader_.inflater = std::make_unique<CInflater>();
    if (!reader_.inflater->Ready()) return false;
    reader_.inflater->Feed(reader_.data, reader_.length);
  }
  reader_.active = true;
  return true;
}

void CRZXPlayback::DiscardFrameReader() { reader_ = FrameReader{}; }

uint32_t CRZXPlayback::ReadFrameBytes(uint8_t* out, uint32_t count) {
  if (!reader_.active || reader_.end) return 0;
  if (!reader_.compressed) {
    // Frames stored as they are: read straight from the block.
    const uint32_t available = std::min(count, reader_.length - reader_.position);
    std::memcpy(out, reader_.data + reader_.position, available);
    reader_.position += available;
    if (reader_.position == reader_.length) reader_.end = true;
    return available;
  }
  // Damaged data, or data that stop short, give what came before.
  size_t written = 0;
  if (reader_.inflater->Read(out, count, written) == CInflater::Result::End) reader_.end = true;
  return static_cast<uint32_t>(written);
}

bool CRZXPlayback::ReadFrame(bool& failed) {
  failed = false;
  const uint32_t previousCount = inputCount_;
  inputIndex_ = 0;
  if (reader_.framesLeft == 0) return false;
  --reader_.framesLeft;
  uint8_t header[4];
  // A frame record cut short is as good as none.
  if (ReadFrameBytes(header, sizeof header) != sizeof header) return false;
  fetchCount_ = static_cast<uint32_t>(header[0] | header[1] << 8);
  const uint16_t count = static_cast<uint16_t>(header[2] | header[3] << 8);
  // The input buffer still holds the previous frame's inputs.
  inputCount_ = count == REPEAT_INPUTS ? previousCount : count;
  if (count == REPEAT_INPUTS || count == 0) return true;

  try {
    inputs_.resize(count);
  } catch (const std::bad_alloc&) {
    WriteLogFormat("RZX: Frame %05d : failed to allocate buffer for %d port results.", frameNumber_, count);
    failed = true;
    return true;
  }
  if (ReadFrameBytes(inputs_.data(), count) == 0) {
    WriteLogFormat("RZX: Frame %05d : failed to stream in the %d ports expected.", frameNumber_, count);
    failed = true;
  }
  return true;
}

bool CRZXPlayback::FrameStart(int32_t& fetchCount) {
  if (stopRequested_) {
    stopRequested_ = false;
    loader_.StopRZXPlayback();
  }
  if (!Playing()) return false;
  ++frameNumber_;
  bool failed = false;
  if (!ReadFrame(failed)) {
    WriteLog("RZX: End of frame data.");
    // The next part's snapshot loads here, outside LoadData's guard.
    try {
      WalkBlocks();
    } catch (const std::bad_alloc&) {
      WriteLog("RZX: out of memory for the next part; playback stopped");
      loader_.StopRZXPlayback();
    }
    if (!Playing()) return false;
    // A new part: its snapshot ends this frame, which runs no instruction and closes with the
    // interrupt; the part's first recorded frame plays in the next one. A part without frames
    // walks on at the next frame.
    fetchCount_ = inputCount_ = inputIndex_ = 0;
  }
  if (failed) {
    loader_.StopRZXPlayback();
    return false;
  }
  fetchCount = static_cast<int32_t>(fetchCount_);
  return true;
}

uint8_t CRZXPlayback::ReadPort(uint16_t port) {
  if (inputIndex_ < inputCount_ && inputIndex_ < inputs_.size()) return inputs_[inputIndex_++];
  if (stopRequested_) return 0xFF;
  stopRequested_ = true;
  WriteLogFormat("RZX: Lost sync in frame %d (%d%%) at port read #%d (only expected %d)", frameNumber_,
      loader_.GetRZXProgress(), inputIndex_ + 1, inputCount_);
  WriteLogFormat("     Port being read: %04x. Elapsed T-States since start of frame: %d", port,
      machine_.ExecutedTStates() + Z80ElapsedTStates());
  LogRegisters();
  return 0xFF;
}

bool CRZXPlayback::FrameEnd() {
  if (inputIndex_ == inputCount_) return stopRequested_;
  stopRequested_ = true;
  WriteLogFormat("RZX: Lost sync in frame %d (%d%%)\nThere were %d unread inputs (only %d out of %d were read).",
      frameNumber_, loader_.GetRZXProgress(), inputCount_ - inputIndex_, inputIndex_, inputCount_);
  WriteLogFormat("     Elapsed T-States since start of frame: %d", machine_.ExecutedTStates());
  LogRegisters();
  return true;
}

void CRZXPlayback::LogRegisters() const {
  WriteLogFormat("     PC = %04x, IM = %04x, IFF1 = %04x, IFF2=%04x", Z80GetRegister(REG_PC), Z80GetRegister(REG_IM),
      Z80GetRegister(REG_IFF1), Z80GetRegister(REG_IFF2));
  WriteLogFormat("     AF = %04x, BC = %04x, DE = %04x, HL=%04x", Z80GetRegister(REG_AF), Z80GetRegister(REG_BC),
      Z80GetRegister(REG_DE), Z80GetRegister(REG_HL));
  WriteLogFormat("     IX = %04x, IY = %04x, SP = %04x, IR=%04x", Z80GetRegister(REG_IX), Z80GetRegister(REG_IY),
      Z80GetRegister(REG_SP), Z80GetRegister(REG_IR));
}

uint32_t CRZXPlayback::Progress() const {
  if (reader_.end || !reader_.compressed || reader_.length == 0) return 100;
  // 64-bit: a block of more than 42 MB would overflow the product in 32 bits.
  return static_cast<uint32_t>(reader_.inflater->TotalIn() * 100 / reader_.length);
}
