// CRZXPlayback: replay of an input recording (RZX). The recording holds snapshots and, for every
// frame after each, the number of instruction fetches the frame lasted and the values the
// processor read from its ports. A snapshot loader owns one player; while it plays it is the
// machine's input source, called from the machine's frame: FrameStart before, ReadPort for every
// port read, FrameEnd after the interrupt.
//
// The frame data are inflated as the frames are played (4 bytes of frame header, then exactly
// that frame's inputs), so a long recording is never expanded in memory, and no more frames are
// read from a block than it says it holds.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/inflate.h"
#include "emulation/input_source.h"

class CMachineLoader;
class CSnapshotLoader;

class CRZXPlayback : public CInputSource {
 public:
  // Plays into `machine`, loading the recording's snapshots through `loader`.
  CRZXPlayback(CMachineLoader& machine, CSnapshotLoader& loader) : machine_(machine), loader_(loader) {}
  ~CRZXPlayback() override;
  CRZXPlayback(const CRZXPlayback&) = delete;
  CRZXPlayback& operator=(const CRZXPlayback&) = delete;

  // Reads a recording: `data` (from new[]) is kept once the signature is accepted, and ownership
  // becomes false. Returns a ResultCode; playing, the player is the machine's input source.
  int32_t Load(uint8_t* data, uint32_t size, bool& ownership);
  // Frees the file, the frame reader and the input buffer; the part count stays.
  void Release();

  bool FrameStart(int32_t& fetchCount) override;
  uint8_t ReadPort(uint16_t port) override;
  bool FrameEnd() override;

  uint32_t Part() const { return partCount_; }
  bool HasFrameReader() const { return reader_.active; }
  // Percentage of the input block's stored frame data consumed so far.
  uint32_t Progress() const;

 private:
  struct FrameReader {
    bool active = false;
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    uint32_t position = 0;  // frames stored without compression
    bool compressed = false;
    bool end = false;
    uint32_t framesLeft = 0;  // the block's frame count bounds what is read from it
    std::unique_ptr<CInflater> inflater;  // compressed frames only
  };

  bool Playing() const;
  int32_t WalkBlocks();
  int32_t ReadSnapshotBlock(uint32_t offset, uint32_t length);
  bool StartFrameReader(uint32_t offset, uint32_t length);
  void DiscardFrameReader();
  // Up to `count` bytes of frame data; fewer at the end of the block or on damaged data.
  uint32_t ReadFrameBytes(uint8_t* out, uint32_t count);
  // Reads the next frame record: false at the end of the block's frame data.
  bool ReadFrame(bool& failed);
  void LogRegisters() const;

  CMachineLoader& machine_;
  CSnapshotLoader& loader_;
  uint8_t blockId_ = 0;
  uint32_t blockLength_ = 0;
  FrameReader reader_;
  uint32_t fetchCount_ = 0;
  uint32_t inputIndex_ = 0;
  uint32_t inputCount_ = 0;
  std::vector<uint8_t> inputs_;
  char creator_[20] = {};
  std::unique_ptr<uint8_t[]> file_;
  uint32_t size_ = 0;
  uint32_t blockOffset_ = 0;
  int32_t frameNumber_ = -1;
  uint32_t partCount_ = 0;
  bool stopRequested_ = false;
  bool snapshotSeen_ = false;
};
