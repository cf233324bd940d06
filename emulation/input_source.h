// Where a machine's frame takes its length and its port inputs from while a recording plays
// (formats/rzx.h implements it). The machine asks once before each frame, for every port read
// during it, and once after its interrupt.
#pragma once

#include <cstdint>

class CInputSource {
 public:
  virtual ~CInputSource() = default;
  // Whether this frame is played from the recording, and its number of instruction fetches.
  // May stop the playback (the machine's source becomes null) or load the next part's snapshot.
  virtual bool FrameStart(int32_t& fetchCount) = 0;
  virtual uint8_t ReadPort(uint16_t port) = 0;
  // Whether synchronisation was lost.
  virtual bool FrameEnd() = 0;
};
