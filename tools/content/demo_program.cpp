// The bundled programs and the way from pasmo's output to a memory image and into a machine.
#include "tools/content/demo_program.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "emulation/machine.h"
#include "emulation/machine128.h"
#include "emulation/z80.h"
#include "tools/content/demo_screens.h"

namespace {

// The drawing the recording keeps: a square spiral out from the middle of the pad, each side in
// the next colour (black, which rubs out, passed over).
std::vector<std::pair<int, std::string>> SpiralStrokes() {
  std::vector<std::pair<int, std::string>> strokes = {{25, ""}};
  const char* ways[] = {"P", "A", "O", "Q"};  // right, down, left, up
  int colour = 2;                             // the pen starts red
  for (int side = 0; side < 20; ++side) {
    strokes.emplace_back(3 * 2 * (side / 2 + 1), ways[side % 4]);  // a step every third frame
    do {
      strokes.emplace_back(2, " ");
      strokes.emplace_back(2, "");
      colour = (colour + 1) % 8;
    } while (colour == 0);
  }
  return strokes;
}

std::vector<DemoProgram> Manifest() {
  auto program = [](const char* file, const char* source, DemoFormat format,
                    const char* description) {
    DemoProgram p;
    p.file = file;
    p.source = source;
    p.format = format;
    p.description = description;
    return p;
  };
  DemoProgram marquee =
      program("marquee.sna", "marquee", DemoFormat::SNA,
              "a scrolling message on a wall of attribute LEDs between waving colour ribbons");
  DemoProgram plasma = program("plasma.z80", "plasma", DemoFormat::Z80_V1,
                               "an attribute plasma of sine waves in 16 shades");
  DemoProgram starfield = program("starfield.z80", "starfield", DemoFormat::Z80_V3,
                                  "a starfield in four layers behind the title, and a beeper tune");
  DemoProgram balls = program("bouncing_balls.z80", "bouncing_balls", DemoFormat::Z80_V3,
                              "bouncing balls drawn on two screens in turn, AY music and drums");
  balls.is128K = true;
  balls.paging = 0x07;  // bank 7, the second screen, at 0C000h
  DemoProgram rom =
      program("glimmer.rom", "glimmer_rom", DemoFormat::ROM,
              "a ROM of our own: it prints with its own font and animates colours, no BASIC");
  DemoProgram scroller = program("scroller.szx", "scroller", DemoFormat::SZX_STORED,
                                 "a message in letters sixteen pixels square glides over running "
                                 "colours above its reflection");
  scroller.tape = true;
  DemoProgram beatBox = program(
      "beat_box.szx", "beat_box", DemoFormat::SZX,
      "a beeper drum machine: kick, snare, hi-hat and bass, the border flashing on the beat, "
      "columns of LEDs and the bar's steps lit in turn");
  DemoProgram ayMusic = program(
      "ay_music.szx", "ay_music", DemoFormat::SZX,
      "a tune on the AY: melody, arpeggiated chords, bass and drums, with volume meters and a "
      "piano roll of the notes");
  ayMusic.is128K = true;
  DemoProgram slideshow = program(
      "slideshow.szx", "slideshow", DemoFormat::SZX_STORED,
      "the four screens kept in RAM banks 1, 3, 4 and 6, paged in and wiped on in turn to an "
      "AY chime, a glint running across each");
  slideshow.is128K = true;
  slideshow.bankScreens = {
      {1, "glimmerbox_title.scr"}, {3, "test_card.scr"}, {4, "sunset.scr"}, {6, "spheres.scr"}};
  DemoProgram kaleidoscope =
      program("kaleidoscope.sna", "kaleidoscope", DemoFormat::SNA,
              "two pens wander at random, every cell they paint mirrored into all four quarters");
  kaleidoscope.zip = "demo_pack.zip";
  DemoProgram sketch = program("sketch_pad.rzx", "sketch", DemoFormat::RZX,
                               "a square spiral drawn with the keys on our sketch pad program, "
                               "recorded as it was drawn");
  sketch.keyStrokes = SpiralStrokes();
  return {marquee,  plasma,  starfield, balls,        rom,
          scroller, beatBox, ayMusic,   slideshow, kaleidoscope, sketch};
}

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int HexByte(const std::string& line, size_t at) {
  if (at + 2 > line.size()) return -1;
  int value = 0;
  for (size_t k = at; k < at + 2; ++k) {
    const char c = line[k];
    const int digit = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                             : -1;
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

// Fills the program's memory from the assembled bytes and checks that they lie where its kind
// of program can have them.
void Place(DemoProgram& program, const std::vector<int>& image) {
  const bool rom = program.format == DemoFormat::ROM;
  if (rom)
    program.memory.assign(16384, 0xFF);  // unprogrammed EPROM
  else
    program.memory.assign(program.is128K ? 8 * 16384 : 49152, 0);
  for (uint32_t address = 0; address < 0x10000; ++address) {
    if (image[address] < 0) continue;
    if (rom != (address < 0x4000)) {
      program.errors.push_back(program.source + ": byte at " + std::to_string(address) +
                               (rom ? " is outside the ROM" : " is in the ROM"));
      return;
    }
    program.At(static_cast<uint16_t>(address)) = static_cast<uint8_t>(image[address]);
  }
  for (const auto& [bank, name] : program.bankScreens) {
    for (const DemoScreen& screen : DemoScreens())
      if (screen.file == name)
        std::copy(screen.bytes.begin(), screen.bytes.end(), &program.memory[bank * 16384]);
  }
}

void Read(DemoProgram& program, const std::filesystem::path& assembled) {
  const std::filesystem::path stem = assembled / program.source;
  const std::string hex = ReadText(stem.string() + ".hex");
  std::vector<int> image;
  std::string error;
  if (hex.empty() || !ReadIntelHex(hex, image, error)) {
    program.errors.push_back(program.source + ".hex: " + (hex.empty() ? "missing" : error));
    return;
  }
  program.symbols = ReadSymbols(ReadText(stem.string() + ".sym"));
  for (const char* needed : {"start", "code_end"})
    if (!program.HasSymbol(needed))
      program.errors.push_back(program.source + ": no label " + needed);
  if (!program.errors.empty()) return;
  Place(program, image);

  program.pc = program.Symbol("start");
  program.codeRanges.emplace_back(program.pc,
                                  static_cast<uint16_t>(program.Symbol("code_end") - 1));
  if (program.format == DemoFormat::ROM) {
    program.im = 0;
    return;
  }
  program.sp = program.Symbol("STACK_TOP");
  program.i = static_cast<uint8_t>(program.Symbol("VECTOR_TABLE") >> 8);
  program.im = 2;
  const uint16_t jump = program.Symbol("IM2_JUMP");
  program.codeRanges.emplace_back(jump, static_cast<uint16_t>(jump + 2));
}

}  // namespace

size_t DemoProgram::Index(uint16_t address) const {
  if (format == DemoFormat::ROM) return address & 0x3FFF;
  if (!is128K) return static_cast<uint16_t>(address - 0x4000);
  // 4000h is bank 5 and 8000h bank 2 on every 128K machine; 0C000h is the paged bank.
  const int bank = address < 0x8000 ? 5 : address < 0xC000 ? 2 : (paging & 7);
  return bank * 16384 + (address & 0x3FFF);
}

uint16_t DemoProgram::Symbol(const std::string& name) const {
  const auto found = symbols.find(name);
  return found == symbols.end() ? 0 : found->second;
}

bool ReadIntelHex(const std::string& text, std::vector<int>& image, std::string& error) {
  image.assign(0x10000, -1);
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const int count = HexByte(line, 1);
    if (line[0] != ':' || count < 0 || line.size() != 11 + 2 * static_cast<size_t>(count)) {
      error = "line " + std::to_string(number) + " is not a record";
      return false;
    }
    std::vector<int> bytes;
    int sum = 0;
    for (size_t at = 1; at < line.size(); at += 2) {
      bytes.push_back(HexByte(line, at));
      if (bytes.back() < 0) {
        error = "line " + std::to_string(number) + " has a bad digit";
        return false;
      }
      sum += bytes.back();
    }
    if ((sum & 0xFF) != 0) {
      error = "line " + std::to_string(number) + " fails its checksum";
      return false;
    }
    const int address = bytes[1] << 8 | bytes[2], type = bytes[3];
    if (type == 1) return true;  // end of file
    if (type != 0) continue;
    for (int k = 0; k < count; ++k) image[(address + k) & 0xFFFF] = bytes[4 + k];
  }
  error = "no end record";
  return false;
}

std::map<std::string, uint16_t> ReadSymbols(const std::string& text) {
  std::map<std::string, uint16_t> symbols;
  std::istringstream lines(text);
  std::string name, equ, value;
  while (lines >> name >> equ >> value) {
    if (equ != "EQU" || value.empty()) continue;
    const bool hex = value.back() == 'H' || value.back() == 'h';
    if (hex) value.pop_back();
    symbols[name] = static_cast<uint16_t>(std::stoul(value, nullptr, hex ? 16 : 10));
  }
  return symbols;
}

std::vector<DemoProgram> DemoPrograms(const std::filesystem::path& assembled) {
  std::vector<DemoProgram> programs = Manifest();
  for (DemoProgram& program : programs) Read(program, assembled);
  return programs;
}

void PokeProgram(CMachine& machine, const DemoProgram& program) {
  machine.Reset();
  if (program.format == DemoFormat::ROM) {
    machine.SetVariant(SPECTRUM_48);  // a ROM image runs as a 48K machine
    uint8_t* rom = machine.CustomROM();
    std::memcpy(rom, program.memory.data(), std::min<size_t>(program.memory.size(), 16384));
    machine.MapROM(rom);
    return;  // the reset left the processor at 0000h
  }
  if (program.is128K) {
    auto& machine128 = static_cast<CMachine128&>(machine);
    machine.MakeContextCurrent();
    machine.PortWrite(0x7FFD, program.paging);
    machine.SaveContext();
    for (int bank = 0; bank < 8; ++bank)
      std::memcpy(machine128.Bank(bank), &program.memory[bank * 16384], 16384);
  } else {
    machine.SetVariant(SPECTRUM_48);
    for (uint32_t address = 0x4000; address <= 0xFFFF; ++address)
      *machine.MemoryPointer(static_cast<uint16_t>(address)) = program.memory[address - 0x4000];
  }
  machine.MakeContextCurrent();
  Z80SetRegister(REG_PC, program.pc);
  Z80SetRegister(REG_SP, program.sp);
  Z80SetRegister(REG_IR, static_cast<uint16_t>(program.i << 8));
  Z80SetRegister(REG_IM, program.im);
  Z80SetRegister(REG_IFF1, program.iff);
  Z80SetRegister(REG_IFF2, program.iff);
  Z80SetRegister(REG_HALT, 0);
  machine.SaveContext();
  machine.SetPortFE(static_cast<uint8_t>((machine.PortFE() & ~7) | (program.border & 7)));
}
