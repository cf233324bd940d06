// Beeper edges cost one fill of the samples since the previous edge; nothing runs per instruction.
#include "emulation/beeper.h"

#include <algorithm>

int16_t BeeperLevel(uint8_t portFE, uint16_t volume) {
  if (!(portFE & 0x10)) return 0;
  return static_cast<int16_t>(static_cast<int32_t>(std::min<uint16_t>(volume, 100)) *
                              BEEPER_FULL_LEVEL / 100);
}

void CBeeper::Update(uint8_t portFE, uint32_t tstate, uint32_t frameLength, uint16_t volume) {
  if (!enabled || frameLength == 0) return;
  if (position < BEEPER_SAMPLES_PER_FRAME) {
    // The last sample is left to the frame's end, so it always has the final latch.
    uint32_t end = static_cast<uint32_t>(
        std::min<uint64_t>(uint64_t{tstate} * BEEPER_SAMPLES_PER_FRAME / frameLength,
                           BEEPER_SAMPLES_PER_FRAME - 1));
    if (end > position) {
      std::fill(sampleBlock + position, sampleBlock + end, BeeperLevel(levelByte, volume));
      position = end;
    }
  }
  levelByte = portFE;
}

void CBeeper::FinishFrame(uint8_t portFE, uint16_t volume) {
  if (position < BEEPER_SAMPLES_PER_FRAME)
    std::fill(sampleBlock + position, sampleBlock + BEEPER_SAMPLES_PER_FRAME,
              BeeperLevel(portFE, volume));
  position = BEEPER_SAMPLES_PER_FRAME;
}
