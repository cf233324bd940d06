// Z80 core: instruction timing on every page, run budget and fetch counter, R, interrupts, the
// page maps and range lists, contexts and the register interface.
#include "emulation/z80.h"

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <vector>

namespace {

constexpr uint16_t kCode = 0x8000;
constexpr uint8_t SF = 0x80, ZF = 0x40, VF = 0x04, CF = 0x01;

// 64K of RAM behind every map; each test starts from the same registers.
class Z80Test : public ::testing::Test {
 protected:
  void SetUp() override {
    memory_.assign(0x10000, 0);
    context_.assign(Z80ContextSize(), 0);
    Z80LoadContext(context_.data());
    Z80InitMemoryMaps();
    Z80MapFetch(0x0000, 0xFFFF, memory_.data());
    Z80MapRead(0x0000, 0xFFFF, memory_.data());
    Z80MapWrite(0x0000, 0xFFFF, memory_.data());
    Z80CloseRangeLists();
    StandardRegisters();
  }

  static void StandardRegisters() {
    Z80Reset();
    Z80SetRegister(REG_PC, kCode);
    Z80SetRegister(REG_SP, 0xC000);
    Z80SetRegister(REG_AF, 0x0000);
    Z80SetRegister(REG_BC, 0x0101);
    Z80SetRegister(REG_DE, 0x9100);
    Z80SetRegister(REG_HL, 0x9000);
    Z80SetRegister(REG_IX, 0x9000);
    Z80SetRegister(REG_IY, 0x9000);
  }

  void Put(uint16_t address, std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) memory_[address++] = b;
  }
  void Code(std::initializer_list<uint8_t> bytes) { Put(kCode, bytes); }

  static uint32_t Run(uint32_t budget, int32_t fetches = 0x7FFFFFFF) {
    Z80SetFetchCounter(fetches);
    return Z80Execute(budget);
  }
  static uint8_t R() { return Z80GetRegister(REG_IR) & 0xFF; }
  static uint16_t Reg(int index) { return Z80GetRegister(index); }

  std::vector<uint8_t> memory_;
  std::vector<uint8_t> context_;
};

// ---- timing ------------------------------------------------------------------------------------

// Published Zilog counts, conditional instructions not taken; 0 marks a prefix.
constexpr std::array<uint8_t, 256> kMainT = {
    4, 10, 7, 6, 4, 4, 7, 4, 4, 11, 7, 6, 4, 4, 7, 4,      // 0x
    8, 10, 7, 6, 4, 4, 7, 4, 12, 11, 7, 6, 4, 4, 7, 4,     // 1x
    7, 10, 16, 6, 4, 4, 7, 4, 7, 11, 16, 6, 4, 4, 7, 4,    // 2x
    7, 10, 13, 6, 11, 11, 10, 4, 7, 11, 13, 6, 4, 4, 7, 4, // 3x
    4, 4, 4, 4, 4, 4, 7, 4, 4, 4, 4, 4, 4, 4, 7, 4,        // 4x
    4, 4, 4, 4, 4, 4, 7, 4, 4, 4, 4, 4, 4, 4, 7, 4,        // 5x
    4, 4, 4, 4, 4, 4, 7, 4, 4, 4, 4, 4, 4, 4, 7, 4,        // 6x
    7, 7, 7, 7, 7, 7, 4, 7, 4, 4, 4, 4, 4, 4, 7, 4,        // 7x
    4, 4, 4, 4, 4, 4, 7, 4, 4, 4, 4, 4, 4, 4, 7, 4,        // 8x
    4, 4, 4, 4, 4, 4, 7, 4, 4, 4, 4, 4, 4, 4, 7, 4,        // 9x
    4, 4, 4, 4, 4, 4, 7, 4, 4, 4, 4, 4, 4, 4, 7, 4,        // Ax
    4, 4, 4, 4, 4, 4, 7, 4, 4, 4, 4, 4, 4, 4, 7, 4,        // Bx
    5, 10, 10, 10, 10, 11, 7, 11, 5, 10, 10, 0, 10, 17, 7, 11,  // Cx
    5, 10, 10, 11, 10, 11, 7, 11, 5, 4, 10, 11, 10, 0, 7, 11,   // Dx
    5, 10, 10, 19, 10, 11, 7, 11, 5, 4, 10, 4, 10, 0, 7, 11,    // Ex
    5, 10, 10, 4, 10, 11, 7, 11, 5, 6, 10, 4, 10, 0, 7, 11,     // Fx
};

// ED page, block instructions on their last (or only) pass; holes are 8.
constexpr std::array<uint8_t, 64> kEd40T = {
    12, 12, 15, 20, 8, 14, 8, 9, 12, 12, 15, 20, 8, 14, 8, 9,   // 4x
    12, 12, 15, 20, 8, 14, 8, 9, 12, 12, 15, 20, 8, 14, 8, 9,   // 5x
    12, 12, 15, 20, 8, 14, 8, 18, 12, 12, 15, 20, 8, 14, 8, 18, // 6x
    12, 12, 15, 20, 8, 14, 8, 8, 12, 12, 15, 20, 8, 14, 8, 8,   // 7x
};

// DD/FD forms; every other byte leaves the prefix a 4 T-state no-operation.
struct IndexTiming {
  uint8_t op;
  uint8_t t;
};
constexpr IndexTiming kIndexT[] = {
    {0x09, 15}, {0x19, 15}, {0x21, 14}, {0x22, 20}, {0x23, 10}, {0x24, 8},  {0x25, 8},
    {0x26, 11}, {0x29, 15}, {0x2A, 20}, {0x2B, 10}, {0x2C, 8},  {0x2D, 8},  {0x2E, 11},
    {0x34, 23}, {0x35, 23}, {0x36, 19}, {0x39, 15}, {0x44, 8},  {0x45, 8},  {0x46, 19},
    {0x4C, 8},  {0x4D, 8},  {0x4E, 19}, {0x54, 8},  {0x55, 8},  {0x56, 19}, {0x5C, 8},
    {0x5D, 8},  {0x5E, 19}, {0x60, 8},  {0x61, 8},  {0x62, 8},  {0x63, 8},  {0x65, 8},
    {0x66, 19}, {0x67, 8},  {0x68, 8},  {0x69, 8},  {0x6A, 8},  {0x6B, 8},  {0x6C, 8},
    {0x6E, 19}, {0x6F, 8},  {0x70, 19}, {0x71, 19}, {0x72, 19}, {0x73, 19}, {0x74, 19},
    {0x75, 19}, {0x77, 19}, {0x7C, 8},  {0x7D, 8},  {0x7E, 19}, {0x84, 8},  {0x85, 8},
    {0x86, 19}, {0x8C, 8},  {0x8D, 8},  {0x8E, 19}, {0x94, 8},  {0x95, 8},  {0x96, 19},
    {0x9C, 8},  {0x9D, 8},  {0x9E, 19}, {0xA4, 8},  {0xA5, 8},  {0xA6, 19}, {0xAC, 8},
    {0xAD, 8},  {0xAE, 19}, {0xB4, 8},  {0xB5, 8},  {0xB6, 19}, {0xBC, 8},  {0xBD, 8},
    {0xBE, 19}, {0xE1, 14}, {0xE3, 23}, {0xE5, 15}, {0xE9, 8},  {0xF9, 10},
};

// Condition of a conditional main-page opcode (NZ Z NC C PO PE P M), or -1.
int Condition(uint8_t op) {
  if (op == 0x20 || op == 0x28 || op == 0x30 || op == 0x38) return ((op >> 3) & 7) - 4;
  const uint8_t group = op & 0xC7;
  if (group == 0xC0 || group == 0xC2 || group == 0xC4) return (op >> 3) & 7;
  return -1;
}

void SetCondition(int cc, bool holds) {
  static const uint8_t flag[8] = {ZF, ZF, CF, CF, VF, VF, SF, SF};
  const bool flagSet = (cc & 1) ? holds : !holds;
  Z80SetRegister(REG_AF, flagSet ? flag[cc] : 0);
}

TEST_F(Z80Test, MainPageTStatesMatchZilog) {
  for (int op = 0; op < 256; ++op) {
    if (kMainT[op] == 0) continue;  // prefixes: their pages are timed below
    SetUp();
    Code({static_cast<uint8_t>(op), 0x00, 0x00, 0x00});
    const int cc = Condition(op);
    if (cc >= 0) SetCondition(cc, false);
    // EI always runs the next instruction (a NOP) in the same run.
    const uint32_t extra = op == 0xFB ? 4 : 0;
    EXPECT_EQ(Run(1), kMainT[op] + extra) << "opcode " << std::hex << op;
  }
}

TEST_F(Z80Test, TakenBranchesMatchZilog) {
  struct Case {
    uint8_t op;
    uint32_t taken;
  };
  std::vector<Case> cases = {{0x10, 13}, {0x18, 12}};
  for (uint8_t jr : {0x20, 0x28, 0x30, 0x38}) cases.push_back({jr, 12});
  for (int cc = 0; cc < 8; ++cc) {
    cases.push_back({static_cast<uint8_t>(0xC0 | (cc << 3)), 11});  // RET cc
    cases.push_back({static_cast<uint8_t>(0xC2 | (cc << 3)), 10});  // JP cc
    cases.push_back({static_cast<uint8_t>(0xC4 | (cc << 3)), 17});  // CALL cc
  }
  for (const Case& c : cases) {
    SetUp();
    Code({c.op, 0x34, 0x12});
    const int cc = Condition(c.op);
    if (cc >= 0) SetCondition(cc, true);
    if (c.op == 0x10) Z80SetRegister(REG_BC, 0x0200);  // DJNZ with B = 2 jumps
    EXPECT_EQ(Run(1), c.taken) << "opcode " << std::hex << int(c.op);
  }
}

TEST_F(Z80Test, CbPageTStatesMatchZilog) {
  for (int op = 0; op < 256; ++op) {
    SetUp();
    Code({0xCB, static_cast<uint8_t>(op)});
    const bool memory = (op & 7) == 6;
    const bool bit = op >= 0x40 && op < 0x80;
    const uint32_t expected = !memory ? 8 : bit ? 12 : 15;
    EXPECT_EQ(Run(1), expected) << "CB " << std::hex << op;
  }
}

TEST_F(Z80Test, EdPageTStatesMatchZilog) {
  for (int op = 0; op < 256; ++op) {
    SetUp();
    Code({0xED, static_cast<uint8_t>(op), 0x00, 0x00});
    uint32_t expected = 8;  // holes
    if (op >= 0x40 && op < 0x80) expected = kEd40T[op - 0x40];
    const bool block = (op & 0xE4) == 0xA0;  // A0-A3, A8-AB, B0-B3, B8-BB
    if (block) {
      expected = 16;  // a repeat ends after this pass: BC = 1 (LD, CP) or B = 1 (IN, OUT)
      if ((op & 2) == 0) Z80SetRegister(REG_BC, 0x0001);
    }
    EXPECT_EQ(Run(1), expected) << "ED " << std::hex << op;
  }
}

TEST_F(Z80Test, RepeatingBlockPassesTake21) {
  for (uint8_t op : {0xB0, 0xB1, 0xB2, 0xB3, 0xB8, 0xB9, 0xBA, 0xBB}) {
    SetUp();
    Code({0xED, op});
    Z80SetRegister(REG_BC, 0x0202);
    Z80SetRegister(REG_AF, 0x5500);  // CPIR/CPDR find no 0x55 in zeroed memory
    EXPECT_EQ(Run(1), 21u) << "ED " << std::hex << int(op);
    EXPECT_EQ(Reg(REG_PC), kCode) << "ED " << std::hex << int(op);
  }
}

TEST_F(Z80Test, IndexPagesTStatesMatchZilog) {
  for (uint8_t prefix : {0xDD, 0xFD}) {
    for (int op = 0; op < 256; ++op) {
      if (op == 0xCB) continue;  // DDCB page below
      SetUp();
      Code({prefix, static_cast<uint8_t>(op), 0x00, 0x00, 0x00});
      uint32_t expected = 0;
      for (const IndexTiming& t : kIndexT) {
        if (t.op == op) expected = t.t;
      }
      uint32_t budget = 1;
      if (expected == 0) {
        // Ignored prefix: 4, then the byte runs as an ordinary instruction (the ED/DD/FD that
        // follows is an ED hole or another ignored prefix).
        const uint32_t next = op == 0xED ? 8 : (op == 0xDD || op == 0xFD) ? 4 : kMainT[op];
        expected = 4 + next + (op == 0xFB ? 4 : 0);
        budget = 5;
        const int cc = Condition(op);
        if (cc >= 0) SetCondition(cc, false);
      }
      EXPECT_EQ(Run(budget), expected) << std::hex << int(prefix) << " " << op;
    }
  }
}

TEST_F(Z80Test, IndexBitPageTStatesMatchZilog) {
  for (uint8_t prefix : {0xDD, 0xFD}) {
    for (int op = 0; op < 256; ++op) {
      SetUp();
      Code({prefix, 0xCB, 0x05, static_cast<uint8_t>(op)});
      const uint32_t expected = (op >= 0x40 && op < 0x80) ? 20 : 23;
      EXPECT_EQ(Run(1), expected) << std::hex << int(prefix) << " CB " << op;
      EXPECT_EQ(Reg(REG_PC), kCode + 4);
    }
  }
}

// ---- R and the fetch counter -------------------------------------------------------------------

TEST_F(Z80Test, RAndFetchCounterGrowPerOpcodeFetch) {
  struct Case {
    const char* name;
    std::vector<uint8_t> code;
    uint32_t budget;
    uint32_t t;
    uint8_t r;
  };
  const Case cases[] = {
      {"NOP", {0x00}, 1, 4, 1},
      {"LD BC,nn", {0x01, 0x34, 0x12}, 1, 10, 1},
      {"CB prefix", {0xCB, 0x00}, 1, 8, 2},
      {"ED prefix", {0xED, 0x44}, 1, 8, 2},
      {"ED hole 00", {0xED, 0x00}, 1, 8, 2},
      {"ED hole 77", {0xED, 0x77}, 1, 8, 2},
      {"DD 21", {0xDD, 0x21, 0x00, 0x00}, 1, 14, 2},
      {"DD CB d op", {0xDD, 0xCB, 0x05, 0x46}, 1, 20, 2},
      {"DD 00 (ignored)", {0xDD, 0x00}, 5, 8, 2},
      {"FD 00 (ignored)", {0xFD, 0x00}, 5, 8, 2},
      {"DD DD 21", {0xDD, 0xDD, 0x21, 0x00, 0x00}, 5, 18, 3},
  };
  for (const Case& c : cases) {
    SetUp();
    for (size_t i = 0; i < c.code.size(); ++i) memory_[kCode + i] = c.code[i];
    Z80SetFetchCounter(1000);
    EXPECT_EQ(Z80Execute(c.budget), c.t) << c.name;
    EXPECT_EQ(R(), c.r) << c.name;
    EXPECT_EQ(Z80GetFetchCounter(), 1000 - c.r) << c.name;
  }
}

TEST_F(Z80Test, RKeepsWrittenBit7AndCountsLow7Bits) {
  // LD A,80h; LD R,A; 5 x NOP; LD A,R
  Code({0x3E, 0x80, 0xED, 0x4F, 0, 0, 0, 0, 0, 0xED, 0x5F});
  EXPECT_EQ(Run(4 * 1 + 7 + 9 + 5 * 4 + 1), 7u + 9 + 20 + 9);
  // LD A,R itself is fetched twice after LD R,A had set R to 0x80: 5 NOPs + 2 = 7.
  EXPECT_EQ(Reg(REG_AF) >> 8, 0x87);

  SetUp();
  Z80SetRegister(REG_IR, 0x12FF);
  Code({0x00});
  Run(1);
  EXPECT_EQ(Reg(REG_IR), 0x1280) << "the counter wraps within 7 bits, bit 7 stays";
}

TEST_F(Z80Test, BudgetAndFetchLimit) {
  Code({0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(Run(1), 4u) << "budget 1 runs exactly one instruction";
  EXPECT_EQ(Run(10), 12u) << "overshoot of the last instruction";
  EXPECT_EQ(Reg(REG_PC), kCode + 4);
  EXPECT_EQ(Run(100, 0), 0u) << "fetch counter 0 runs nothing";
  EXPECT_EQ(Reg(REG_PC), kCode + 4);
  EXPECT_EQ(Run(100, 2), 8u) << "two fetches";
  EXPECT_EQ(Z80GetFetchCounter(), -1);
  EXPECT_EQ(Z80Execute(100), 0u) << "a spent counter stays spent";
}

TEST_F(Z80Test, FetchCounterLetsAPrefixedInstructionComplete) {
  Code({0xDD, 0x21, 0x34, 0x12, 0x00});
  EXPECT_EQ(Run(100, 1), 14u);
  EXPECT_EQ(Reg(REG_IX), 0x1234);
}

TEST_F(Z80Test, ElapsedTStatesSeenFromAPortHandler) {
  static uint32_t seen;
  Z80SetPortWriteHandler([](uint16_t, uint8_t) { seen = Z80ElapsedTStates(); });
  Code({0x00, 0x3E, 0x01, 0xD3, 0xFE, 0x00});  // NOP; LD A,1; OUT (FE),A; NOP
  EXPECT_EQ(Run(100), 4u + 7 + 11 + 4 * 20);
  EXPECT_EQ(seen, 11u);
}

// ---- block instructions ------------------------------------------------------------------------

TEST_F(Z80Test, LdirPassesAndFlags) {
  Code({0xED, 0xB0});
  Put(0x9000, {1, 2, 3});
  Z80SetRegister(REG_BC, 3);
  EXPECT_EQ(Run(1), 21u);
  EXPECT_EQ(Run(1), 21u);
  EXPECT_EQ(Run(1), 16u);
  EXPECT_EQ(Reg(REG_PC), kCode + 2);
  EXPECT_EQ(Reg(REG_BC), 0);
  EXPECT_EQ(Reg(REG_AF) & VF, 0) << "P/V reset once BC reaches 0";
  EXPECT_EQ(memory_[0x9100], 1);
  EXPECT_EQ(memory_[0x9102], 3);
  EXPECT_EQ(R(), 6);
}

TEST_F(Z80Test, OtirWritesWithDecrementedB) {
  static std::vector<uint16_t> ports;
  ports.clear();
  Z80SetPortWriteHandler([](uint16_t port, uint8_t) { ports.push_back(port); });
  Code({0xED, 0xB3});
  Z80SetRegister(REG_BC, 0x0230);
  EXPECT_EQ(Run(1), 21u);
  EXPECT_EQ(Run(1), 16u);
  EXPECT_EQ(ports, (std::vector<uint16_t>{0x0130, 0x0030}));
}

TEST_F(Z80Test, RepeatsFetchTheirOpcodeAgain) {
  // LDIR copying NOPs over its own ED B0: the next pass is the NOP it wrote.
  Code({0xED, 0xB0, 0x00});
  Put(0x9000, {0x00, 0x00, 0x00});
  Z80SetRegister(REG_HL, 0x9000);
  Z80SetRegister(REG_DE, kCode);
  Z80SetRegister(REG_BC, 3);
  EXPECT_EQ(Run(1), 21u);
  EXPECT_EQ(Run(1), 4u) << "the overwritten opcode runs as a NOP";
  EXPECT_EQ(Reg(REG_BC), 2);

  // OTIR whose output maps other code under it: the next pass fetches the new bytes.
  static std::vector<uint8_t> other;
  other.assign(0x10000, 0x00);
  StandardRegisters();
  Code({0xED, 0xB3});
  Z80SetPortWriteHandler([](uint16_t, uint8_t) { Z80MapFetch(0x0000, 0xFFFF, other.data()); });
  Z80SetRegister(REG_BC, 0x0330);
  EXPECT_EQ(Run(1), 21u);
  EXPECT_EQ(Run(1), 4u) << "a NOP from the newly mapped page";
  EXPECT_EQ(Reg(REG_BC) >> 8, 2);
  Z80SetPortWriteHandler(nullptr);
}

TEST_F(Z80Test, InirStopsAtTheBudgetAndResumes) {
  Z80SetPortReadHandler([](uint16_t port) { return static_cast<uint8_t>(port >> 8); });
  Code({0xED, 0xB2, 0x00});
  Z80SetRegister(REG_BC, 0x0310);
  EXPECT_EQ(Run(30), 42u) << "two passes, then the run ends on the instruction";
  EXPECT_EQ(Reg(REG_PC), kCode);
  EXPECT_EQ(Run(1), 16u);
  EXPECT_EQ(Reg(REG_PC), kCode + 2);
  EXPECT_EQ(memory_[0x9000], 3);
  EXPECT_EQ(memory_[0x9002], 1);
  EXPECT_EQ(Reg(REG_AF) & ZF, ZF);
}

// ---- flag rules that are this core's own -------------------------------------------------------

TEST_F(Z80Test, FlagBits5And3) {
  struct Case {
    const char* name;
    std::vector<uint8_t> code;
    uint16_t af, hl, ix;
    uint8_t expected53;  // bits 5 and 3 of F afterwards
  };
  const Case cases[] = {
      {"SCF takes A", {0x37}, 0x2800, 0x9000, 0x9000, 0x28},
      {"CCF takes A", {0x3F}, 0x0801, 0x9000, 0x9000, 0x08},
      {"CP takes the operand", {0xFE, 0x28}, 0x0000, 0x9000, 0x9000, 0x28},
      {"ADD HL takes the high byte", {0x09}, 0x0000, 0x2700, 0x9000, 0x28},
      {"BIT n,r takes the register", {0xCB, 0x47}, 0x2800, 0x9000, 0x9000, 0x28},
      {"BIT n,(HL) keeps the shadow", {0x37, 0xCB, 0x46}, 0x2000, 0x9000, 0x9000, 0x20},
      {"BIT n,(IX+d) takes the address", {0xDD, 0xCB, 0x05, 0x46}, 0x0000, 0x9000, 0x27FE, 0x28},
  };
  for (const Case& c : cases) {
    SetUp();
    for (size_t i = 0; i < c.code.size(); ++i) memory_[kCode + i] = c.code[i];
    Z80SetRegister(REG_AF, c.af);
    Z80SetRegister(REG_HL, c.hl);
    Z80SetRegister(REG_IX, c.ix);
    Z80SetRegister(REG_BC, 0x0100);
    Run(c.code.size() > 2 && c.code[0] == 0x37 ? 5 : 1);
    EXPECT_EQ(Reg(REG_AF) & 0x28, c.expected53) << c.name;
  }
}

TEST_F(Z80Test, PushAfAfterScfCarriesBits5And3OfA) {
  Code({0x37, 0xF5});
  Z80SetRegister(REG_AF, 0x2800);
  Run(5);
  EXPECT_EQ(memory_[0xBFFE] & 0x28, 0x28);
  EXPECT_EQ(memory_[0xBFFF], 0x28);
}

// ---- interrupts --------------------------------------------------------------------------------

TEST_F(Z80Test, EiShadowDelaysTheInterruptByOneInstruction) {
  Code({0xFB, 0x00, 0x00});
  Z80SetRegister(REG_IM, 1);
  Z80Interrupt(0xFF);  // IFF1 off: nothing accepted, the line stays up
  EXPECT_EQ(Reg(REG_PC), kCode);
  EXPECT_EQ(Run(1), 8u) << "EI and the NOP after it are both charged";
  EXPECT_EQ(Reg(REG_PC), 0x0038);
  EXPECT_EQ(memory_[0xBFFE], 0x02) << "pushed: the address after the NOP";
  EXPECT_EQ(Reg(REG_IFF1), 0);
  Z80ClearInterrupt();
  memory_[0x0038] = 0x00;
  EXPECT_EQ(Run(1), 13u + 4) << "the acceptance is charged to the next run";
}

TEST_F(Z80Test, EiChainsNeitherHangNorLoseTStates) {
  std::fill(memory_.begin(), memory_.end(), 0xFB);
  const uint32_t done = Run(1000);
  EXPECT_GE(done, 1000u);
  EXPECT_LT(done, 1000u + 12);
  EXPECT_EQ(done % 4, 0u);
  EXPECT_EQ(Reg(REG_PC), kCode + done / 4);
}

TEST_F(Z80Test, HaltRepeatsUntilAnInterrupt) {
  Code({0x76, 0x00});
  Z80SetRegister(REG_IFF1, 1);
  Z80SetRegister(REG_IFF2, 1);
  Z80SetRegister(REG_IM, 1);
  EXPECT_EQ(Run(10), 12u);
  EXPECT_EQ(R(), 3);
  EXPECT_EQ(Reg(REG_PC), kCode);
  EXPECT_EQ(Reg(REG_HALT), 1);
  EXPECT_EQ(Run(100, 5), 20u) << "five fetches";
  EXPECT_EQ(Z80GetFetchCounter(), -1);
  EXPECT_EQ(R(), 8);
  Z80Interrupt(0xFF);
  EXPECT_EQ(Reg(REG_HALT), 0);
  EXPECT_EQ(Reg(REG_PC), 0x0038);
  EXPECT_EQ(memory_[0xBFFE] | (memory_[0xBFFF] << 8), kCode + 1);
}

TEST_F(Z80Test, InterruptModes) {
  struct Case {
    uint8_t im, i, bus;
    uint16_t pc;
    uint32_t t;
  };
  const Case cases[] = {
      {0, 0x00, 0xFF, 0x0038, 13}, {0, 0x00, 0xD7, 0x0010, 13}, {1, 0x00, 0x00, 0x0038, 13},
      {2, 0x3F, 0xFF, 0x5678, 19},  // vector read from 0x3FFF and 0x4000
  };
  for (const Case& c : cases) {
    SetUp();
    Put(0x3FFF, {0x78, 0x56});
    memory_[c.pc] = 0x00;
    Z80SetRegister(REG_IFF1, 1);
    Z80SetRegister(REG_IM, c.im);
    Z80SetRegister(REG_IR, c.i << 8);
    Z80Interrupt(c.bus);
    Z80ClearInterrupt();
    EXPECT_EQ(Reg(REG_PC), c.pc) << "IM " << int(c.im);
    EXPECT_EQ(R(), 1);
    EXPECT_EQ(Reg(REG_SP), 0xBFFE);
    EXPECT_EQ(Run(1), c.t + 4) << "IM " << int(c.im);
  }
}

TEST_F(Z80Test, InterruptTStatesAreDroppedUnderAFetchLimit) {
  Code({0x00});
  Z80SetRegister(REG_IFF1, 1);
  Z80SetRegister(REG_IM, 1);
  Z80Interrupt(0xFF);
  EXPECT_EQ(Run(1, 1), 4u);
  EXPECT_EQ(Run(1), 4u) << "and not carried over";
}

TEST_F(Z80Test, Nmi) {
  Z80SetRegister(REG_IFF1, 1);
  Z80SetRegister(REG_IFF2, 1);
  Z80Nmi();
  EXPECT_EQ(Reg(REG_PC), 0x0066);
  EXPECT_EQ(Reg(REG_IFF1), 0);
  EXPECT_EQ(Reg(REG_IFF2), 1);
  EXPECT_EQ(R(), 1);
  EXPECT_EQ(Run(1), 11u + 4);
  // RETN restores IFF1 from IFF2.
  Put(0x0067, {0xED, 0x45});
  Run(1);
  EXPECT_EQ(Reg(REG_PC), kCode);
  EXPECT_EQ(Reg(REG_IFF1), 1);
}

// ---- memory maps and range lists ---------------------------------------------------------------

uint8_t ReadPort42(uint16_t address) { return static_cast<uint8_t>(0x40 + (address & 0x0F)); }
uint16_t lastWriteAddress;
uint8_t lastWriteValue;
void RecordWrite(uint16_t address, uint8_t value) {
  lastWriteAddress = address;
  lastWriteValue = value;
}

TEST_F(Z80Test, RangeListsAreBytePreciseInsideAPage) {
  std::vector<uint8_t> rom(0x4000, 0xAA), ram(0x100, 0);
  Z80InitMemoryMaps();
  Z80MapFetch(0x0000, 0xFFFF, memory_.data());
  Z80MapRead(0x0000, 0x3FFF, rom.data());
  Z80AddReadRange(0x4010, 0x401F, ram.data());
  Z80AddWriteRange(0x4010, 0x401F, ram.data());
  Z80AddReadRange(0x4020, 0x402F, ReadPort42);
  Z80AddWriteRange(0x4020, 0x402F, RecordWrite);
  Z80CloseRangeLists();
  ram[0x05] = 0x77;

  struct Case {
    uint16_t address;
    uint8_t expected;
  };
  // LD A,(nn) through the read map.
  const Case reads[] = {{0x0000, 0xAA}, {0x3FFF, 0xAA}, {0x4015, 0x77}, {0x4023, 0x43},
                        {0x400F, 0xFF}, {0x4030, 0xFF}, {0x8000, 0xFF}};
  for (const Case& c : reads) {
    StandardRegisters();
    Code({0x3A, static_cast<uint8_t>(c.address), static_cast<uint8_t>(c.address >> 8)});
    Run(1);
    EXPECT_EQ(Reg(REG_AF) >> 8, c.expected) << std::hex << c.address;
  }

  // LD (nn),A through the write map.
  StandardRegisters();
  Z80SetRegister(REG_AF, 0x5500);
  Code({0x32, 0x1F, 0x40, 0x32, 0x2A, 0x40, 0x32, 0x00, 0x10, 0x32, 0x30, 0x40});
  Run(13 * 4);
  EXPECT_EQ(ram[0x0F], 0x55);
  EXPECT_EQ(lastWriteAddress, 0x402A);
  EXPECT_EQ(lastWriteValue, 0x55);
  EXPECT_EQ(rom[0x1000], 0xAA) << "no write map: ignored";
}

TEST_F(Z80Test, WholePagesOfARangeAreMappedDirectly) {
  std::vector<uint8_t> ram(0xC000, 0);
  Z80InitMemoryMaps();
  Z80MapFetch(0x0000, 0xFFFF, memory_.data());
  Z80AddReadRange(0x4000, 0xFFFF, ram.data());
  Z80AddWriteRange(0x4000, 0xFFFF, ram.data());
  Z80CloseRangeLists();
  Code({0x21, 0x34, 0x12, 0x22, 0xFF, 0xBF});  // LD HL,1234h; LD (BFFFh),HL
  Run(26);
  EXPECT_EQ(ram[0x7FFF], 0x34);
  EXPECT_EQ(ram[0x8000], 0x12);
}

TEST_F(Z80Test, UnmappedFetchReadsFF) {
  std::vector<uint8_t> fresh(Z80ContextSize(), 0);
  Z80LoadContext(fresh.data());
  Z80InitMemoryMaps();
  Z80Reset();
  Z80SetRegister(REG_SP, 0x8000);
  EXPECT_EQ(Run(1), 11u) << "0xFF is RST 38h";
  EXPECT_EQ(Reg(REG_PC), 0x0038);
}

// ---- contexts and registers --------------------------------------------------------------------

TEST_F(Z80Test, ContextsKeepMachinesApart) {
  std::vector<uint8_t> other(0x10000, 0);
  std::vector<uint8_t> second(Z80ContextSize(), 0);
  Code({0x3C, 0x3C, 0x3C, 0x3C});  // INC A
  Z80SaveContext(context_.data());

  Z80LoadContext(second.data());
  Z80InitMemoryMaps();
  Z80MapFetch(0x0000, 0xFFFF, other.data());
  Z80MapRead(0x0000, 0xFFFF, other.data());
  Z80CloseRangeLists();
  Z80Reset();
  Z80SetRegister(REG_PC, kCode);
  other[kCode] = 0x05;  // DEC B
  Z80SaveContext(second.data());

  Z80LoadContext(context_.data());
  Run(8);
  Z80SaveContext(context_.data());
  Z80LoadContext(second.data());
  Run(1);
  EXPECT_EQ(Reg(REG_BC), 0xFF00);
  EXPECT_EQ(Reg(REG_AF) >> 8, 0);
  Z80SaveContext(second.data());
  Z80LoadContext(context_.data());
  EXPECT_EQ(Reg(REG_AF) >> 8, 2);
  EXPECT_EQ(Reg(REG_PC), kCode + 2);
}

TEST_F(Z80Test, RegisterIndexRules) {
  Z80Reset();
  EXPECT_EQ(Reg(REG_AF), 0x0040);
  EXPECT_EQ(Reg(REG_IX), 0xFFFF);
  EXPECT_EQ(Reg(REG_IY), 0xFFFF);
  EXPECT_EQ(Reg(REG_SP), 0);

  Z80SetRegister(REG_IR, 0x3F85);
  EXPECT_EQ(Reg(REG_IR), 0x3F85);
  EXPECT_EQ(Reg(19), 0x3F85) << "indexes past 18 are REG_IR";
  Z80SetRegister(25, 0x1201);
  EXPECT_EQ(Reg(REG_IR), 0x1201);

  for (int flag : {REG_IFF1, REG_IFF2, REG_INT, REG_HALT}) {
    Z80SetRegister(flag, 0x0100);
    EXPECT_EQ(Reg(flag), 1) << flag;
    Z80SetRegister(flag, 0);
    EXPECT_EQ(Reg(flag), 0) << flag;
  }
  Z80SetRegister(REG_IM, 0x0102);
  EXPECT_EQ(Reg(REG_IM), 2);
  Z80SetRegister(REG_BUS, 0xABCD);
  EXPECT_EQ(Reg(REG_BUS), 0xCD);

  // LD A,I copies IFF2 into P/V.
  Z80SetRegister(REG_PC, kCode);
  Z80SetRegister(REG_IFF2, 1);
  Code({0xED, 0x57});
  Run(1);
  EXPECT_EQ(Reg(REG_AF), 0x1200 | VF);
}

}  // namespace
