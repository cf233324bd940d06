// Everything in the bundled Snapshots folder, as the build writes it: the screens, the programs
// in their snapshot formats, the tapes pasmo writes, the zip, and the folder's README.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tools/content/demo_program.h"

struct DemoFile {
  std::string name;
  std::string what;  // the README's line: the kind of file and what it shows
  std::vector<uint8_t> bytes;
  // A zip's members in order (its `bytes` are then empty).
  std::vector<std::pair<std::string, std::vector<uint8_t>>> members;
  bool loads = true;    // a file the snapshot loader takes
  bool is128K = false;  // loading it asks for a 128K machine
};

// The folder's files (README.md not included). `assembled` holds pasmo's output.
std::vector<DemoFile> DemoFiles(const std::vector<DemoProgram>& programs,
                                const std::filesystem::path& assembled);

// Writes a file into `folder` (a zip with fixed dates, so the same members give the same bytes).
bool WriteDemoFile(const std::filesystem::path& folder, const DemoFile& file);

std::string DemoReadme(const std::vector<DemoFile>& files);
