// The bundled Snapshots folder, file by file.
#include "tools/content/demo_content.h"

#include <minizip/zip.h>

#include <fstream>
#include <iterator>

#include "tools/content/demo_screens.h"
#include "tools/content/snapshot_writer.h"

namespace {

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Kind(const DemoProgram& program) {
  const std::string model = program.is128K ? "128K" : "48K";
  switch (program.format) {
    case DemoFormat::SNA:
      return model + " snapshot (.sna)";
    case DemoFormat::Z80_V1:
      return model + " snapshot (.z80 version 1, compressed)";
    case DemoFormat::Z80_V3:
      return model + " snapshot (.z80 version 3, compressed pages)";
    case DemoFormat::SZX:
      return model + " snapshot (.szx, zlib-compressed RAM pages)";
    case DemoFormat::SZX_STORED:
      return model + " snapshot (.szx, RAM pages stored)";
    case DemoFormat::RZX:
      return model + " input recording (.rzx: a compressed .z80 snapshot, then every frame's "
                     "instruction fetches and port inputs, compressed)";
    case DemoFormat::ROM:
      return "16K ROM image (.rom), runs from 0000h in place of the Spectrum's ROM";
  }
  return model;
}

// The zip's first member: a read-me in the line ends such archives carry, which the loader
// passes by on its way to the first snapshot.
std::vector<uint8_t> ZipReadMe(const DemoProgram& program, const std::string& screen) {
  const std::string text = "Glimmerbox demo pack\r\n\r\n" + program.file + ": " +
                           program.description + ".\r\n" + screen +
                           ": the Glimmerbox title screen.\r\n\r\nLoading the zip loads " +
                           program.file + ".\r\n";
  return std::vector<uint8_t>(text.begin(), text.end());
}

}  // namespace

std::vector<DemoFile> DemoFiles(const std::vector<DemoProgram>& programs,
                                const std::filesystem::path& assembled) {
  std::vector<DemoFile> files;
  const std::vector<DemoScreen> screens = DemoScreens();
  for (const DemoScreen& screen : screens)
    files.push_back(
        {screen.file, "screen image (.scr): " + screen.description, screen.bytes, {}, true, false});

  DemoFile zip;
  for (const DemoProgram& program : programs) {
    const std::vector<uint8_t> bytes = ProgramFile(program);
    if (!program.zip.empty()) {
      zip.name = program.zip;
      zip.is128K = program.is128K;
      const DemoScreen& title = screens.front();
      zip.members = {{"read_me.txt", ZipReadMe(program, title.file)},
                     {program.file, bytes},
                     {title.file, title.bytes}};
      zip.what = "zip archive: a read-me, `" + program.file + "` (" + Kind(program) + ": " +
                 program.description + ") and the title screen; loading the zip loads `" +
                 program.file + "`";
      continue;
    }
    files.push_back({program.file,
                     Kind(program) + ": " + program.description,
                     bytes,
                     {},
                     true,
                     program.is128K});
    if (program.tape) {
      const std::string stem = std::filesystem::path(program.file).stem().string();
      for (const char* kind : {"tap", "tzx"})
        files.push_back(
            {stem + "." + kind,
             std::string("tape (.") + kind + ") of `" + program.file +
                 "`'s program behind a BASIC loader (LOAD \"\" then RUN); a machine loads it "
                 "as a tape",
             ReadBytes(assembled / (program.source + "." + kind)),
             {},
             true,
             false});
    }
  }
  if (!zip.name.empty()) files.push_back(zip);
  return files;
}

bool WriteDemoFile(const std::filesystem::path& folder, const DemoFile& file) {
  const std::string path = (folder / file.name).string();
  if (file.members.empty()) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.bytes.data()),
              static_cast<std::streamsize>(file.bytes.size()));
    return static_cast<bool>(out);
  }
  zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
  if (!zip) return false;
  bool ok = true;
  for (const auto& [name, bytes] : file.members) {
    zip_fileinfo info{};
    info.tmz_date.tm_mday = 1;  // 1 January 1980, the first date a zip can hold
    info.tmz_date.tm_year = 1980;
    ok = ok &&
         zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                             Z_BEST_COMPRESSION) == ZIP_OK &&
         zipWriteInFileInZip(zip, bytes.data(), static_cast<unsigned>(bytes.size())) == ZIP_OK &&
         zipCloseFileInZip(zip) == ZIP_OK;
  }
  return zipClose(zip, nullptr) == ZIP_OK && ok;
}

std::string DemoReadme(const std::vector<DemoFile>& files) {
  std::string text =
      "# Demo content\n\n"
      "Glimmerbox's own snapshots. Nothing here is third-party software: the programs are our own\n"
      "Z80 assembly with our own font, and the pictures are drawn by our own generator. The\n"
      "programs call no ROM routine (the ROM image is its own ROM), so they run with the original\n"
      "ROMs and with OpenSE BASIC alike.\n\n"
      "## How they are made\n\n"
      "- `tools/content/asm/*.asm` are the programs, assembled by Debian's `pasmo` at build time.\n"
      "  `zx_hardware.inc` holds the hardware facts and the way every program takes the machine\n"
      "  over (its own stack, IM 2 through its own table); `print.inc`, `screen.inc`, `ay.inc`\n"
      "  and `ay_notes.inc` are routines and tables some of them share.\n"
      "- `tools/make_demo_tables` draws what the programs `INCBIN`: the font, the pictures they\n"
      "  start from, the ball sprites and the star table (`tools/content/demo_tables.cpp`).\n"
      "- `tools/make_demo_content` wraps the assembled programs into .sna, .z80 and .szx files\n"
      "  (`tools/content/snapshot_writer.cpp`), draws the screens (`demo_screens.cpp`), packs the\n"
      "  zip and writes this README; pasmo's `--tapbas` and `--tzxbas` write the tapes.\n"
      "- `tools/content/rzx_recorder.cpp` records the .rzx: it runs the sketch pad program on an\n"
      "  emulated 48K, holding the keys that draw a spiral, and writes the program's snapshot with\n"
      "  every frame's instruction fetches and port inputs.\n\n"
      "The build writes the folder into `build/content/Snapshots`. After changing a source, copy\n"
      "it here with\n\n"
      "    cmake --build build --target update_demo_content\n\n"
      "The content tests fail while the files here differ from what the build makes, so they\n"
      "cannot go stale. `build/tools/make_demo_content --assembled build/content/asm --out DIR\n"
      "--preview PNGS` also writes a PNG of each program as a machine shows it.\n\n"
      "Every file is deterministic: the zip's members carry a fixed date and the .szx files no\n"
      "time at all. Zip files are not part of the snapshot archive that scripts pick from: a\n"
      "script loads the zip by its name. The tapes are: a machine loads them by typing LOAD \"\".\n\n"
      "| File | What it is |\n|---|---|\n";
  for (const DemoFile& file : files) text += "| `" + file.name + "` | " + file.what + " |\n";
  return text;
}
