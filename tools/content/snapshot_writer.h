// Writes the demo programs in the published snapshot layouts: 48K .sna (27-byte header, PC on
// the stack), .z80 version 1 (one compressed 48K stream) and version 3 (a 54-byte additional
// header and one compressed block per 16K page), .szx (an 8-byte header and self-describing
// blocks, RAM pages stored or zlib-compressed), and .rom images.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/content/demo_program.h"

// The .z80 run-length code: ED ED n b for runs of five or more bytes and for any run of EDs;
// the byte after a single ED is always written as itself.
std::vector<uint8_t> CompressZ80(const uint8_t* data, size_t size);

std::vector<uint8_t> WriteSNA(const DemoProgram& program);
std::vector<uint8_t> WriteZ80Version1(const DemoProgram& program);
std::vector<uint8_t> WriteZ80Version3(const DemoProgram& program);
std::vector<uint8_t> WriteSZX(const DemoProgram& program, bool compressed);

// The file of a program in its own format.
std::vector<uint8_t> ProgramFile(const DemoProgram& program);
