// The `.reg` text format (REGEDIT4) in memory: the keys of one file in file order, each with its
// values, comments and damaged lines, written back in the same order.
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Corvane Software\Glimmerbox]
//   "Play Time"=dword:00000078
//   "Archive Folder"="/home/me/Spectrum \"best\""
//   "Adapter ID"=hex:01,02,03,\    (long hex data goes on after a backslash)
//     04
//   @="default value"
//   "Odd type"=hex(7):41,00,00
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

// A line inside a key: a value, or text kept as it stands (a comment, or a damaged line, which is
// written back unchanged so that the program never destroys what it cannot read).
struct RegLine {
  bool verbatim = false;
  std::string text;
  RegValue value;
};

// A key, or with `verbatim` set a damaged key line and the lines under it, all kept as text.
struct RegFileKey {
  std::string path;  // as written between the brackets; the whole line when verbatim
  bool verbatim = false;
  std::vector<RegLine> lines;
};

struct RegDocument {
  std::string header = "REGEDIT4";
  std::vector<std::string> leadingLines;  // comments (and damaged lines) before the first key
  std::vector<RegFileKey> keys;
};

// Reads `text`. A damaged line, and a value under a damaged key line, is skipped, reported to
// `warn` naming `fileName` and its line number, and kept as text. A value given twice in a key
// keeps its first place and its last data.
RegDocument ParseRegFile(const std::string& text, const std::string& fileName, RegWarningSink warn);

// Writes the document back in its order. Strings that a quoted string cannot carry (line breaks,
// zero bytes, no terminator) are written as hex(1) so that they read back unchanged.
std::string FormatRegFile(const RegDocument& document);

// Key and value names compare as the registry compares them: without regard to ASCII case.
bool RegNamesEqual(std::string_view a, std::string_view b);
