// CRZXPlayback: replay of an input recording (RZX). The recording holds snapshots and, for every
// frame after each, the number of instruction fetches the frame lasted and the values the
// processor read from its ports. The machine (CSpeccy) owns one player and calls it from its
// frame: FrameStart before, ReadPort for every port read, FrameEnd after the interrupt.
//
// The frame data are inflated as the frames are played (4 bytes of frame header, then exactly
// that frame's inputs), so a long recording is never expanded in memory.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/inflate.h"

class CSpeccy;

class CRZXPlayback {
 public:
  explicit CRZXPlayback(CSpeccy& machine) : machine_(machine) {}
  ~CRZXPlayback();
  CRZXPlayback(const CRZXPlayback&) = delete;
  CRZXPlayback& operator=(const CRZXPlayback&) = delete;

  // The recording reader for `machine` (ReadRZX): `data` (from new[]) is kept once the signature
  // is accepted, and ownership becomes false. Returns a ResultCode.
  static int32_t Read(CSpeccy& machine, uint8_t* data, uint32_t size, bool& ownership);
  // Frees the file, the frame reader and the input buffer; the part count stays.
  void Release();

  // Whether this frame is played from the recording, and its fetch count.
  bool FrameStart(int32_t& fetchCount);
  uint8_t ReadPort(uint16_t port);
  // Whether synchronisation was lost.
  bool FrameEnd();

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
    std::unique_ptr<CInflater> inflater;  // compressed frames only
  };

  int32_t Load(uint8_t* data, uint32_t size, bool& ownership);
  int32_t WalkBlocks();
  int32_t ReadSnapshotBlock(uint32_t offset, uint32_t length);
  bool StartFrameReader(uint32_t offset, uint32_t length);
  void DiscardFrameReader();
  // Up to `count` bytes of frame data; fewer at the end of the block or on damaged data.
  uint32_t ReadFrameBytes(uint8_t* out, uint32_t count);
  // Reads the next frame record: false at the end of the block's frame data.
  bool ReadFrame(bool& failed);
  void LogRegisters() const;

  CSpeccy& machine_;
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
