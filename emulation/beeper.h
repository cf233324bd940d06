// The Spectrum's one-bit beeper (bit 4 of the ULA port, the EAR line): a unipolar square wave
// placed with sample accuracy in the machine's 882-sample frame block.
//
// Usage, as a machine does it:
//   frame start:   beeper.StartFrame(portFE);
//   OUT to 0xFE:   portFE = value; beeper.Update(portFE, executedTStates + Z80ElapsedTStates(),
//                                                frameLength, volume);
//   after frame:   beeper.FinishFrame(portFE, volume);   // then the AY chips add to sampleBlock
//
// Update does nothing unless `enabled` (the machine's owner decides once, from the settings and
// the saver mode) and the frame length is other than 0: each frame is then one constant level,
// the level of the latch at the frame's end.
#pragma once

#include <cstdint>

constexpr uint32_t BEEPER_SAMPLES_PER_FRAME = 882;
// Level of a set EAR bit at volume 100.
constexpr int32_t BEEPER_FULL_LEVEL = 7936;

// Level of a port-FE value at `volume` percent: 0 unless bit 4 (EAR) is set; MIC is not heard.
int16_t BeeperLevel(uint8_t portFE, uint16_t volume);

class CBeeper {
 public:
  void StartFrame(uint8_t portFE) {
    position = 0;
    levelByte = portFE;
  }
  // A write to the ULA port has just set the latch to `portFE`, `tstate` T-states into a frame
  // of `frameLength`: the level in force until now fills the block up to this moment.
  void Update(uint8_t portFE, uint32_t tstate, uint32_t frameLength, uint16_t volume);
  // Fills the rest of the block with the level of the latch at the frame's end.
  void FinishFrame(uint8_t portFE, uint16_t volume);

  bool enabled = false;
  int16_t sampleBlock[BEEPER_SAMPLES_PER_FRAME] = {};
  uint32_t position = 0;  // first sample not yet filled, 0..882
  uint8_t levelByte = 0;  // the latch in force since `position`
};
