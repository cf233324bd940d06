// The AY-3-8912 sound chip: three square-wave tone channels, one noise generator and one
// envelope generator, synthesised into a machine's 882-sample frame block at 44100 Hz.
//
// Usage, as a machine does it:
//   CAYChip* ay = new CAYChip(frameLength, AY_CHIP_CLOCK, volume);   // reset, levels built
//   each frame:   ay->StartFrame();                                        // empties the write log
//   OUT select:   ay->SelectRegister(value);
//   OUT data:     ay->WriteData(value, executedTStates + Z80ElapsedTStates());
//   IN:           ay->Read();
//   after frame:  ay->Render(beeperSampleBlock);     // adds this chip's samples
//   SetVolume:    ay->BuildOutputLevels(volume);
//   snapshots:    ay->WriteRegister(r, v);           // immediate, not time-stamped
//
// Data writes only append to a per-frame log; the generators take them in when the frame is
// rendered, at the sample their T-state position maps to, so a register change inside a frame
// is heard where it happened. All arithmetic is integer.
#pragma once

#include <cstdint>

constexpr uint32_t AY_SAMPLE_RATE = 44100;
constexpr uint32_t AY_SAMPLES_PER_FRAME = 882;
constexpr uint32_t AY_CHIP_CLOCK = 1773280;
constexpr uint32_t AY_LOG_SIZE = 1536;

// Bits that each register keeps; reads see the same widths.
extern const uint8_t AY_REGISTER_MASKS[16];
// Chip output for amplitudes 0-15, full scale 65535.
extern const uint16_t AY_LEVEL_TABLE[16];

class CAYChip {
 public:
  // A reset chip with output levels for `volume` (percent, 0-100).
  CAYChip(uint32_t frameLength, uint32_t chipClock, uint16_t volume);

  void SelectRegister(uint8_t value) { selectedRegister = value & 15; }
  // A data write to the selected register at `tstate` T-states into the frame: the register
  // file changes at once; the sound changes at the matching sample of this frame's render.
  void WriteData(uint8_t value, uint32_t tstate);
  // Immediate write of register r (AND 15): register file and generators.
  void WriteRegister(uint8_t r, uint8_t value);
  void Reset();
  void BuildOutputLevels(uint16_t volume);
  // Empties the write log; called before each emulated frame.
  void StartFrame();
  // Adds the frame's AY_SAMPLES_PER_FRAME samples to `block`.
  void Render(int16_t* block);
  // The selected register as the data bus reads it.
  uint8_t Read() const;

  struct LogEntry {
    uint16_t position;  // sample of the frame
    uint8_t reg;
    uint8_t value;
  };

  uint32_t frameLength;
  uint32_t sampleRate = AY_SAMPLE_RATE;
  uint32_t samplesPerFrame = AY_SAMPLES_PER_FRAME;
  uint32_t chipClock;
  uint8_t selectedRegister = 0;
  // 0x100000 is one chip tick: 2.5 ticks per sample, a chip clock of 1764000 Hz / 16.
  uint32_t stepPerSample = 0x280000;
  int32_t volumeScale = 6144;  // loudest channel at volume 100
  uint8_t registers[16] = {};      // as reads see them: every write lands at once
  uint8_t soundRegisters[16] = {};  // as the generators hear them at the sample being rendered
  uint16_t outputLevels[16] = {};

  uint32_t envelopePeriod = 0;
  uint32_t envelopeCycleCount = 0;
  uint32_t envelopeStep = 0;
  uint32_t envelopeVolume = 0;
  uint32_t envelopeCounter = 0;
  uint32_t tickPhase = 0;
  uint8_t envelopeShape = 0;

  uint32_t toneCounters[3] = {};
  uint32_t tonePeriods[3] = {};
  uint32_t tonePhase = 0;
  uint8_t toneOutputs[3] = {};

  uint32_t noiseCounter = 0;
  uint8_t noiseOutput = 0;
  uint32_t noiseShift = 1;  // any non-zero start; a zero register would never sound

  LogEntry log[AY_LOG_SIZE] = {};
  uint32_t logCount = 0;

 private:
  void EnvelopeStep();
  // The generators' side of a register write.
  void ApplyToGenerators(uint8_t r, uint8_t value);
};
