// Writes Glimmerbox's own demo content (screens, programs and a README) into data/Snapshots or
// the folder given. With --preview DIR it also writes a PNG of each as a machine shows it: the
// screens as they are, the programs after running for a while (twice, some frames apart, to
// show that they move).
//
//   make_demo_content [FOLDER] [--preview DIR] [--frames N]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "emulation/machine.h"
#include "emulation/machine128.h"
#include "emulation/machine48.h"
#include "shell/app_state.h"
#include "tools/content/demo_program.h"
#include "tools/content/demo_screens.h"
#include "tools/content/png_writer.h"
#include "tools/content/screen_image.h"
#include "tools/content/snapshot_writer.h"

namespace {

bool WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  return static_cast<bool>(out);
}

bool WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  return WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

std::string Stem(const std::string& file) { return std::filesystem::path(file).stem().string(); }

// Runs the program unthrottled and writes what the machine shows after `frames` frames and
// again 7 frames later.
bool Preview(const DemoProgram& program, const std::filesystem::path& folder, int frames) {
  std::unique_ptr<CSpeccy> machine;
  if (program.is128K)
    machine = std::make_unique<CSpeccy128>();
  else
    machine = std::make_unique<CSpeccy48>();
  PokeProgram(*machine, program);
  machine->Throttle(false);
  int frame = 0;
  for (const int until : {frames, frames + 7}) {
    while (frame < until) machine->UpdateFrame(static_cast<float>(++frame) * 0.02f);
    const std::string name = Stem(program.file) + "_" + std::to_string(frame) + ".png";
    if (!WritePNG(folder / name, LinesToRGB(machine->DisplayLineBuffer(), machine->FlashPhase()),
                  256, 192, 2))
      return false;
  }
  return true;
}

std::string Readme(const std::vector<DemoScreen>& screens,
                   const std::vector<DemoProgram>& programs) {
  std::string text =
      "# Demo content\n\n"
      "Glimmerbox's own snapshots. Nothing here is third-party software: the pictures are drawn\n"
      "by the generator, and the programs are its own Z80 code with its own font; they call no\n"
      "ROM routine, so they run with the original ROMs and with OpenSE BASIC alike.\n\n"
      "All of them are written by `tools/make_demo_content` (built with the project, never run by\n"
      "the build). After changing the generator, write them again from the source folder:\n\n"
      "    build/tools/make_demo_content data/Snapshots --preview /tmp/previews\n\n"
      "(`--preview` also writes a PNG of each as a machine shows it). The content tests fail\n"
      "while the files here differ from what the generator writes.\n\n"
      "The ROM image demo is not kept here, so that no ROM image is ever part of the repository;\n"
      "`--with-rom` writes it too, for trying .rom loading.\n\n"
      "| File | What it is |\n|---|---|\n";
  for (const DemoScreen& screen : screens)
    text += "| `" + screen.file + "` | screen image: " + screen.description + " |\n";
  for (const DemoProgram& program : programs) {
    if (program.format == DemoFormat::ROM) continue;
    const char* kind = program.format == DemoFormat::SNA ? "48K snapshot (.sna)"
                       : program.format == DemoFormat::Z80_V1
                           ? "48K snapshot (.z80 version 1, compressed)"
                       : program.format == DemoFormat::Z80_V3 ? "128K snapshot (.z80 version 3)"
                                                              : "16K ROM image, runs from 0x0000";
    text += "| `" + program.file + "` | " + kind + ": " + program.description + " |\n";
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path folder = "data/Snapshots";
  std::filesystem::path preview;
  int frames = 100;
  bool withROM = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--with-rom") == 0)
      withROM = true;
    else if (std::strcmp(argv[i], "--preview") == 0 && i + 1 < argc)
      preview = argv[++i];
    else if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc)
      frames = std::max(1, std::atoi(argv[++i]));
    else
      folder = argv[i];
  }
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!preview.empty()) std::filesystem::create_directories(preview, error);

  const std::vector<DemoScreen> screens = DemoScreens();
  const std::vector<DemoProgram> programs = DemoPrograms();
  bool ok = true;
  for (const DemoProgram& program : programs) {
    for (const std::string& message : program.errors) std::fprintf(stderr, "%s\n", message.c_str());
    if (!program.errors.empty()) ok = false;
  }
  if (!ok) return 1;

  for (const DemoScreen& screen : screens) {
    ok = WriteFile(folder / screen.file, screen.bytes) && ok;
    if (!preview.empty()) {
      const std::vector<uint8_t> lines = ScreenToLines(screen.bytes);
      ok = WritePNG(preview / (Stem(screen.file) + ".png"), LinesToRGB(lines.data(), 0), 256, 192,
                    2) &&
           ok;
    }
  }
  for (const DemoProgram& program : programs) {
    if (program.format == DemoFormat::ROM && !withROM) continue;
    ok = WriteFile(folder / program.file, ProgramFile(program)) && ok;
    if (!preview.empty()) ok = Preview(program, preview, frames) && ok;
  }
  ok = WriteFile(folder / "README.md", Readme(screens, programs)) && ok;
  if (!ok) {
    std::fprintf(stderr, "make_demo_content: could not write everything into %s\n", folder.c_str());
    return 1;
  }
  std::printf("make_demo_content: %zu screens and %zu programs in %s\n", screens.size(),
              programs.size(), folder.c_str());
  return 0;
}
