// CP/M-80 harness for the Z80 core: the exercisers call BDOS 2 (print E) and 9 (print the string
// at DE up to '$'), read the top of memory from 0x0006 and end with a jump to 0x0000.
#include "tools/cpm_shim.h"

#include <algorithm>

#include "emulation/z80.h"

namespace {

CCpmShim* current = nullptr;
constexpr uint8_t kExitPort = 0x01;

// At kBdos: BDOS 2 and 9, characters go out through OUT (0),A; other functions just return.
const uint8_t kBdosRoutine[] = {
    0x79,              //        LD A,C
    0xFE, 0x02,        //        CP 2
    0x20, 0x04,        //        JR NZ,not2
    0x7B,              //        LD A,E
    0xD3, 0x00,        //        OUT (0),A
    0xC9,              //        RET
    0xFE, 0x09,        // not2:  CP 9
    0xC0,              //        RET NZ
    0x1A,              // next:  LD A,(DE)
    0xFE, 0x24,        //        CP '$'
    0xC8,              //        RET Z
    0xD3, 0x00,        //        OUT (0),A
    0x13,              //        INC DE
    0x18, 0xF7,        //        JR next
};

}  // namespace

CCpmShim::CCpmShim() : memory_(0x10000, 0), context_(Z80ContextSize(), 0) {}

CCpmShim::~CCpmShim() {
  if (current == this) current = nullptr;
}

void CCpmShim::PortWrite(uint16_t port, uint8_t value) {
  if (!current) return;
  if ((port & 0xFF) == kExitPort) {
    current->finished_ = true;
    current->tstates_ += Z80ElapsedTStates();
    return;
  }
  const char c = static_cast<char>(value);
  current->output_ += c;
  if (current->printer_) current->printer_(c);
}

bool CCpmShim::Load(const std::vector<uint8_t>& program) {
  finished_ = true;
  if (program.empty() || program.size() > kMaxProgram) return false;
  std::fill(memory_.begin(), memory_.end(), 0);
  std::copy(program.begin(), program.end(), memory_.begin() + 0x0100);
  memory_[0x0000] = 0xD3;  // warm boot: OUT (kExitPort),A marks the end, then HALT
  memory_[0x0001] = kExitPort;
  memory_[0x0002] = 0x76;
  memory_[0x0005] = 0xC3;  // JP kBdos; its operand doubles as CP/M's top-of-memory word
  memory_[0x0006] = kBdos & 0xFF;
  memory_[0x0007] = kBdos >> 8;
  std::copy(std::begin(kBdosRoutine), std::end(kBdosRoutine), memory_.begin() + kBdos);

  std::fill(context_.begin(), context_.end(), 0);
  Z80LoadContext(context_.data());
  Z80InitMemoryMaps();
  Z80MapFetch(0x0000, 0xFFFF, memory_.data());
  Z80MapRead(0x0000, 0xFFFF, memory_.data());
  Z80MapWrite(0x0000, 0xFFFF, memory_.data());
  Z80CloseRangeLists();
  Z80Reset();
  Z80SetRegister(REG_PC, 0x0100);
  Z80SetRegister(REG_SP, kBdos);
  Z80SetPortWriteHandler(PortWrite);
  Z80SaveContext(context_.data());
  output_.clear();
  tstates_ = 0;
  finished_ = false;
  return true;
}

bool CCpmShim::Run(uint64_t tstates) {
  if (finished_) return false;
  current = this;
  Z80LoadContext(context_.data());
  // Runs stay well inside the core's signed 32-bit budget.
  constexpr uint64_t kChunk = 1u << 30;
  while (tstates > 0 && !finished_) {
    const uint32_t budget = static_cast<uint32_t>(std::min(tstates, kChunk));
    Z80SetFetchCounter(0x7FFFFFFF);
    const uint32_t done = Z80Execute(budget);
    if (!finished_) tstates_ += done;  // at the end the exit port has counted up to the jump
    tstates -= std::min<uint64_t>(tstates, done);
  }
  Z80SaveContext(context_.data());
  return !finished_;
}

ExerciserVerdict JudgeExerciserOutput(const std::string& output) {
  ExerciserVerdict verdict;
  size_t start = 0;
  while (start < output.size()) {
    size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    std::string line = output.substr(start, end - start);
    line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
    if (line.find("ERROR") != std::string::npos) {
      verdict.failed++;
    } else if (line.size() >= 4 && line.compare(line.size() - 4, 4, "  OK") == 0) {
      verdict.ok++;
    }
    if (line.find("Tests complete") != std::string::npos) verdict.complete = true;
    start = end + 1;
  }
  return verdict;
}
