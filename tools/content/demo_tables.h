// The data the demo programs include (INCBIN) that is drawn or computed rather than written out
// in their sources: our own font, the pictures the programs start from and the tables that
// belong with them. Written into a folder before the programs are assembled.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DemoTable {
  std::string file;  // the name the sources INCBIN
  std::vector<uint8_t> bytes;
};

std::vector<DemoTable> DemoTables();
