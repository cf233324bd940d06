// What a machine asks of the tape in its deck (formats/tape.h plays one). Every read of the ULA
// port asks for the EAR level at that T-state of the frame; the tape may also hold keys down
// (a typist starting the load) and ask for several machine frames per displayed frame while it
// loads. The machine reports each frame's end, with its real length and the keyboard half-rows
// read during it.
#pragma once

#include <cstdint>

class CTapeSource {
 public:
  virtual ~CTapeSource() = default;
  // The EAR input (bit 6 of the ULA port) `tstate` T-states after this frame's interrupt.
  virtual bool EarLevel(uint32_t tstate) = 0;
  // Keys held in half-row `row` (0-7, a set bit is a held key) during this frame.
  virtual uint8_t TypedKeys(int row) const = 0;
  // A frame of `length` T-states has ended; `rowsRead` has bit n set when half-row n was read.
  virtual void FrameEnd(uint32_t length, uint8_t rowsRead) = 0;
  // Machine frames to run for each displayed frame: more than 1 while loading goes fast.
  virtual int FramesPerUpdate() const = 0;
};
