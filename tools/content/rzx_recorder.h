// Records a demo program into an input recording (.rzx, the published layout version 0.13): a
// creator block, a snapshot block holding the program's starting state as a zlib-compressed .z80
// version 3, and one zlib-compressed input recording block with, for every frame, the number of
// instruction fetches up to its interrupt and the value of each port read. The program runs on
// an emulated machine while the recorder holds the keys its strokes name, so the recording keeps
// what was pressed and a replay shows it again.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/content/demo_program.h"

struct RecordedInput {
  uint16_t fetches = 0;
  std::vector<uint8_t> ports;  // in the order the program read them
};

// The frames of `program` run from its snapshot for its key strokes (DemoProgram::keyStrokes),
// and a second after them, as a replay must play them back: the first ends at once with the
// interrupt that starts the machine's first frame.
std::vector<RecordedInput> RecordFrames(const DemoProgram& program);

// The recording's file.
std::vector<uint8_t> WriteRZX(const DemoProgram& program, const std::vector<RecordedInput>& frames);
