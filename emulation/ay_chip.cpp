// AY-3-8912 synthesis: fixed-point tick and tone accumulators, a 17-bit noise shift register and
// the 16 envelope shapes, one sample at a time.
#include "emulation/ay_chip.h"

#include <algorithm>
#include <iterator>

#include "emulation/beeper.h"
#include "emulation/sound_stream.h"

static_assert(AY_SAMPLES_PER_FRAME == BEEPER_SAMPLES_PER_FRAME && AY_SAMPLES_PER_FRAME == SAMPLES_PER_FRAME,
              "the chips render into the beeper block that the sound stream plays");

const uint8_t AY_REGISTER_MASKS[16] = {0xFF, 0x0F, 0xFF, 0x0F, 0xFF, 0x0F, 0x1F, 0xFF,
                                       0x1F, 0x1F, 0x1F, 0xFF, 0xFF, 0x0F, 0xFF, 0xFF};

// Measured output of the chip's DAC, logarithmic in amplitude.
const uint16_t AY_LEVEL_TABLE[16] = {0,     901,   1341,  1904,  2775,  4053,  5552,  8972,
                                     11084, 17345, 23115, 29487, 37380, 45041, 55585, 65535};

namespace {

constexpr uint32_t TICK = 0x100000;
constexpr uint32_t TONE_UNIT_SHIFT = 19;
constexpr uint32_t TONE_PHASE_MASK = (1u << TONE_UNIT_SHIFT) - 1;

// Envelope shape bits (register 13).
constexpr uint8_t ENV_HOLD = 1;
constexpr uint8_t ENV_ALTERNATE = 2;
constexpr uint8_t ENV_ATTACK = 4;
constexpr uint8_t ENV_CONTINUE = 8;

}  // namespace

CAYChip::CAYChip(uint32_t frameLength, uint32_t chipClock, uint16_t volume)
    : frameLength(frameLength), chipClock(chipClock) {
  BuildOutputLevels(volume);
  Reset();
}

void CAYChip::WriteData(uint8_t value, uint32_t tstate) {
  registers[selectedRegister] = value & AY_REGISTER_MASKS[selectedRegister];
  if (logCount >= AY_LOG_SIZE) return;  // a full log only changes the register file
  uint64_t position = frameLength ? uint64_t{tstate} * samplesPerFrame / frameLength : 0;
  log[logCount++] = {static_cast<uint16_t>(std::min<uint64_t>(position, 0xFFFF)), selectedRegister,
                     value};
}

void CAYChip::WriteRegister(uint8_t r, uint8_t value) {
  r &= 15;
  registers[r] = value & AY_REGISTER_MASKS[r];
  ApplyToGenerators(r, value);
}

void CAYChip::StartFrame() {
  logCount = 0;
  // The frame is heard from the register file as it stands when the frame begins; its logged
  // writes then take effect at their own samples.
  std::copy(std::begin(registers), std::end(registers), soundRegisters);
}

void CAYChip::ApplyToGenerators(uint8_t r, uint8_t value) {
  r &= 15;
  soundRegisters[r] = value & AY_REGISTER_MASKS[r];
  switch (r) {
    case 0: case 1: case 2: case 3: case 4: case 5: {
      uint32_t channel = r / 2;
      uint32_t period = soundRegisters[r & 0xFE] + 256u * soundRegisters[r | 1];
      tonePeriods[channel] = period ? period : 1;
      break;
    }
    case 6:
      noiseCounter = 0;
      break;
    case 11: case 12:
      envelopePeriod = soundRegisters[11] + 256u * soundRegisters[12];
      break;
    case 13:
      // The volume stays until the next envelope step sets the shape's start value.
      envelopeCycleCount = 0;
      envelopeStep = 0;
      envelopeCounter = 0;
      envelopeShape = soundRegisters[13];
      break;
    default:
      break;
  }
}

void CAYChip::Reset() {
  selectedRegister = 0;
  std::fill(std::begin(registers), std::end(registers), 0);
  std::fill(std::begin(soundRegisters), std::end(soundRegisters), 0);
  logCount = 0;
  tonePhase = 0;
  std::fill(std::begin(toneCounters), std::end(toneCounters), 0);
  std::fill(std::begin(tonePeriods), std::end(tonePeriods), 0);
  std::fill(std::begin(toneOutputs), std::end(toneOutputs), 0);
  noiseCounter = 0;
  noiseOutput = 0;
  envelopePeriod = 0;
  tickPhase = 0;
  envelopeCycleCount = 0;
  envelopeStep = 0;
  envelopeVolume = 0;
  envelopeCounter = 0;
  for (uint8_t r = 0; r < 16; ++r) WriteRegister(r, 0);
}

void CAYChip::BuildOutputLevels(uint16_t volume) {
  uint32_t scale = std::min<uint32_t>(volume, 100) * static_cast<uint32_t>(volumeScale) / 100;
  for (int i = 0; i < 16; ++i)
    outputLevels[i] = static_cast<uint16_t>((AY_LEVEL_TABLE[i] * scale + 32768) / 65535);
}

uint8_t CAYChip::Read() const {
  // The 8912 has no port B pins: register 15 floats high unless the port is set to output.
  if (selectedRegister == 15 && !(registers[7] & 0x80)) return 255;
  return registers[selectedRegister] & AY_REGISTER_MASKS[selectedRegister];
}

void CAYChip::EnvelopeStep() {
  const bool hold = envelopeShape & ENV_HOLD;
  const bool alternate = envelopeShape & ENV_ALTERNATE;
  const bool attack = envelopeShape & ENV_ATTACK;
  const bool continues = envelopeShape & ENV_CONTINUE;
  const bool writtenAttack = soundRegisters[13] & ENV_ATTACK;

  if (envelopeStep == 0) {
    if (envelopeCycleCount > 0 && !continues) {
      envelopeVolume = 0;
    } else if (hold && envelopeCycleCount > 0) {
      if (alternate)
        envelopeVolume = writtenAttack ? 0 : 15;
      else
        envelopeVolume = writtenAttack ? 15 : 0;
    } else {
      envelopeVolume = attack ? 0 : 15;
    }
  } else if (!(envelopeCycleCount > 0 && (!continues || hold))) {
    if (attack) {
      if (envelopeVolume < 15) ++envelopeVolume;
    } else {
      if (envelopeVolume > 0) --envelopeVolume;
    }
  }

  if (++envelopeStep > 15) {
    ++envelopeCycleCount;
    envelopeStep = 0;
    if (alternate) envelopeShape ^= ENV_ATTACK;
  }
}

void CAYChip::Render(int16_t* block) {
  uint32_t next = 0;  // next log entry to apply
  for (uint32_t i = 0; i < AY_SAMPLES_PER_FRAME; ++i) {
    for (; next < logCount && log[next].position <= i; ++next) ApplyToGenerators(log[next].reg, log[next].value);

    uint32_t ticks = 0;
    tickPhase += stepPerSample;
    while (tickPhase >= TICK) {
      tickPhase -= TICK;
      ++ticks;
      ++envelopeCounter;
      if (envelopePeriod == 0) {
        envelopeCounter = 0;
        EnvelopeStep();
      } else {
        while (envelopeCounter >= envelopePeriod) {
          envelopeCounter -= envelopePeriod;
          EnvelopeStep();
        }
      }
    }

    const uint32_t noisePeriod = soundRegisters[6];
    noiseCounter += ticks;
    auto shiftNoise = [this] {
      noiseOutput = noiseShift & 1;
      if (noiseShift & 1) noiseShift ^= 0x24000;
      noiseShift >>= 1;
    };
    if (noisePeriod == 0) {
      // Nothing counts towards a later period: minutes at 0 would otherwise cost millions of
      // shifts in one sample once the period is set.
      noiseCounter = 0;
      shiftNoise();
    } else {
      while (noiseCounter >= noisePeriod) {
        noiseCounter -= noisePeriod;
        shiftNoise();
      }
    }

    tonePhase += stepPerSample;
    const uint32_t units = tonePhase >> TONE_UNIT_SHIFT;
    tonePhase &= TONE_PHASE_MASK;
    for (int c = 0; c < 3; ++c) {
      toneCounters[c] += units;
      if (toneCounters[c] >= tonePeriods[c]) {
        toneCounters[c] -= tonePeriods[c];
        toneOutputs[c] ^= 1;
        // Periods below 5 units cannot flip more than once a sample; without this the surplus
        // would pile up and later make a longer period buzz at 22 kHz until it drained.
        if (toneCounters[c] >= tonePeriods[c]) toneCounters[c] %= tonePeriods[c];
      }
    }

    const uint8_t mixer = soundRegisters[7];
    int32_t sum = 0;
    for (int c = 0; c < 3; ++c) {
      const bool toneBit = toneOutputs[c] | ((mixer >> c) & 1);
      const bool noiseBit = noiseOutput | ((mixer >> (c + 3)) & 1);
      if (!(toneBit && noiseBit)) continue;
      const uint8_t amplitudeRegister = soundRegisters[8 + c];
      const uint32_t amplitude = (amplitudeRegister & 0x10) ? envelopeVolume : (amplitudeRegister & 0x0F);
      sum += outputLevels[amplitude];
    }
    // Two chips and the beeper together can pass the 16-bit range: clip rather than wrap.
    block[i] = static_cast<int16_t>(std::clamp<int32_t>(block[i] + sum, INT16_MIN, INT16_MAX));
  }
  // Writes stamped past the last sample (an overlong recorded frame) still reach the generators.
  for (; next < logCount; ++next) ApplyToGenerators(log[next].reg, log[next].value);
  // Writes past a full log are never heard: a register the log touched ends the frame with its
  // last logged value, as if the logged writes had been replayed over the register file.
  if (logCount >= AY_LOG_SIZE) {
    uint16_t logged = 0;
    for (uint32_t k = 0; k < logCount; ++k) logged |= static_cast<uint16_t>(1u << (log[k].reg & 15));
    for (int r = 0; r < 16; ++r)
      if (logged & (1u << r)) registers[r] = soundRegisters[r];
  }
}
