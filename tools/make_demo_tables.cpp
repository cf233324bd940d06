// Writes what the demo programs INCBIN (tools/content/demo_tables.cpp) into a folder; the build
// runs it before pasmo assembles the programs.
//
//   make_demo_tables FOLDER
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tools/content/demo_tables.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_demo_tables FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  for (const DemoTable& table : DemoTables()) {
    std::ofstream out(folder / table.file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(table.bytes.data()),
              static_cast<std::streamsize>(table.bytes.size()));
    if (!out) {
      std::fprintf(stderr, "make_demo_tables: could not write %s\n", (folder / table.file).c_str());
      return 1;
    }
  }
  return 0;
}
