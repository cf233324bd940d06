// Writes Glimmerbox's demo content (data/Snapshots as the build makes it) from the programs pasmo
// assembled: the screens, the programs in their snapshot formats, the tapes, the zip and a
// README. With --preview DIR it also writes a PNG of each screen, and of each program after
// running for a while (twice, some frames apart, to show that they move).
//
//   make_demo_content --assembled DIR --out DIR [--preview DIR] [--frames N]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>

#include "emulation/machine.h"
#include "emulation/machine128.h"
#include "emulation/machine48.h"
#include "tools/content/demo_content.h"
#include "tools/content/demo_program.h"
#include "tools/content/demo_screens.h"
#include "tools/content/png_writer.h"
#include "tools/content/screen_image.h"

namespace {

std::string Stem(const std::string& file) { return std::filesystem::path(file).stem().string(); }

// Runs the program unthrottled and writes what the machine shows after `frames` frames and
// again 7 frames later.
bool Preview(const DemoProgram& program, const std::filesystem::path& folder, int frames) {
  // No ROM images: the programs never call the ROM.
  std::unique_ptr<CMachine> machine;
  if (program.is128K)
    machine = std::make_unique<CMachine128>(MachineSetup{});
  else
    machine = std::make_unique<CMachine48>(MachineSetup{});
  machine->RandomizeMemory();
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

// Files of the kinds written here that are no longer written (a program renamed or moved to
// another format), so that the folder holds exactly the content.
void RemoveLeftovers(const std::filesystem::path& folder, const std::vector<DemoFile>& files) {
  std::set<std::string> written = {"README.md"};
  for (const DemoFile& file : files) written.insert(file.name);
  const std::set<std::string> kinds = {".sna", ".z80", ".szx", ".scr", ".rom",
                                       ".rzx", ".zip", ".tap", ".tzx"};
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file() && kinds.count(entry.path().extension().string()) &&
        !written.count(name))
      std::filesystem::remove(entry.path(), error);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path assembled, folder, preview;
  int frames = 100;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--assembled") == 0)
      assembled = argv[i + 1];
    else if (std::strcmp(argv[i], "--out") == 0)
      folder = argv[i + 1];
    else if (std::strcmp(argv[i], "--preview") == 0)
      preview = argv[i + 1];
    else if (std::strcmp(argv[i], "--frames") == 0)
      frames = std::max(1, std::atoi(argv[i + 1]));
  }
  if (assembled.empty() || folder.empty()) {
    std::fprintf(
        stderr,
        "usage: make_demo_content --assembled DIR --out DIR [--preview DIR] [--frames N]\n");
    return 2;
  }

  const std::vector<DemoProgram> programs = DemoPrograms(assembled);
  bool ok = true;
  for (const DemoProgram& program : programs)
    for (const std::string& message : program.errors) {
      std::fprintf(stderr, "make_demo_content: %s\n", message.c_str());
      ok = false;
    }
  if (!ok) return 1;

  std::error_code error;
  std::filesystem::create_directories(folder, error);
  const std::vector<DemoFile> files = DemoFiles(programs, assembled);
  RemoveLeftovers(folder, files);
  for (const DemoFile& file : files) {
    if (file.bytes.empty() && file.members.empty()) {
      std::fprintf(stderr, "make_demo_content: nothing to write for %s\n", file.name.c_str());
      ok = false;
    }
    ok = ok && WriteDemoFile(folder, file);
  }
  {
    std::ofstream readme(folder / "README.md", std::ios::binary);
    readme << DemoReadme(files);
    ok = ok && static_cast<bool>(readme);
  }
  if (!ok) {
    std::fprintf(stderr, "make_demo_content: could not write everything into %s\n", folder.c_str());
    return 1;
  }

  if (!preview.empty()) {
    std::filesystem::create_directories(preview, error);
    for (const DemoScreen& screen : DemoScreens()) {
      const std::vector<uint8_t> lines = ScreenToLines(screen.bytes);
      ok = WritePNG(preview / (Stem(screen.file) + ".png"), LinesToRGB(lines.data(), 0), 256, 192,
                    2) &&
           ok;
    }
    for (const DemoProgram& program : programs) ok = Preview(program, preview, frames) && ok;
  }
  return ok ? 0 : 1;
}
