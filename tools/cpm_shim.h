// Runs CP/M-80 .com programs (the Z80 instruction exercisers) on the Z80 core through its public
// interface only: BDOS calls reach a small Z80 routine that hands characters to a port, and the
// warm boot at 0x0000 writes to another port and halts.
//
//   CCpmShim shim;
//   shim.Load(bytes);                      // program at 0x0100
//   while (shim.Run(100000000)) {}        // false once the program has jumped to 0x0000
//   shim.Output();                         // everything printed through BDOS 2 and 9
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CCpmShim {
 public:
  CCpmShim();
  ~CCpmShim();
  CCpmShim(const CCpmShim&) = delete;
  CCpmShim& operator=(const CCpmShim&) = delete;

  // Puts the program at 0x0100 in zeroed memory and resets the processor there. Fails when the
  // program is empty or would reach into the BDOS routine at the top of memory.
  bool Load(const std::vector<uint8_t>& program);
  // Runs about `tstates` T-states (in whole instructions); false once the program has ended.
  bool Run(uint64_t tstates);
  bool Finished() const { return finished_; }

  // Called with every character the program prints, as it prints it.
  void SetPrinter(std::function<void(char)> printer) { printer_ = std::move(printer); }
  const std::string& Output() const { return output_; }
  // T-states run so far; once finished, exactly those up to the jump to 0x0000.
  uint64_t TStates() const { return tstates_; }

  // Where the BDOS routine lives; the word at 0x0006 (CP/M's top of memory) points here.
  static constexpr uint16_t kBdos = 0xFF00;
  static constexpr size_t kMaxProgram = kBdos - 0x0100;

 private:
  static void PortWrite(uint16_t port, uint8_t value);

  std::vector<uint8_t> memory_;
  std::vector<uint8_t> context_;
  std::string output_;
  std::function<void(char)> printer_;
  uint64_t tstates_ = 0;
  bool finished_ = true;
};

// What an exerciser's output says: test lines ending in "OK", lines reporting "ERROR", and
// whether the closing "Tests complete" was printed.
struct ExerciserVerdict {
  int ok = 0;
  int failed = 0;
  bool complete = false;
  bool AllOk() const { return complete && failed == 0 && ok > 0; }
};
ExerciserVerdict JudgeExerciserOutput(const std::string& output);
