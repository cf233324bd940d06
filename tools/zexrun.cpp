// zexrun: runs a CP/M Z80 exerciser (zexdoc.com, zexall.com) on the Z80 core, printing its
// output as it goes, then the wall time and the effective emulated clock. Exits 0 only when
// every test line says OK.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "tools/cpm_shim.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zexrun PROGRAM.com\n");
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "zexrun: cannot open %s\n", argv[1]);
    return 2;
  }
  const std::vector<uint8_t> program((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
  CCpmShim shim;
  if (!shim.Load(program)) {
    std::fprintf(stderr, "zexrun: %s is empty or too large for CP/M memory\n", argv[1]);
    return 2;
  }
  shim.SetPrinter([](char c) {
    if (c == '\r') return;  // the exercisers end lines with LF CR
    std::fputc(c, stdout);
    if (c == '\n') std::fflush(stdout);
  });

  const auto start = std::chrono::steady_clock::now();
  while (shim.Run(500000000)) {
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  const ExerciserVerdict verdict = JudgeExerciserOutput(shim.Output());
  std::printf("\n%.2f s, %llu T-states, %.1f MHz\n", seconds,
              static_cast<unsigned long long>(shim.TStates()),
              seconds > 0 ? shim.TStates() / seconds / 1e6 : 0.0);
  std::printf("%d OK, %d failed%s\n", verdict.ok, verdict.failed,
              verdict.complete ? "" : ", incomplete");
  return verdict.AllOk() ? 0 : 1;
}
