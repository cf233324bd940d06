#include "tools/content/z80_assembler.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

using enum R8;
using enum R16;

// Encodings checked against the Zilog opcode tables, one row per instruction form.
struct Encoding {
  const char* text;
  std::function<void(CZ80Assembler&)> emit;
  std::vector<uint8_t> bytes;
};

const Encoding ENCODINGS[] = {
    {"LD A,0x3C", [](CZ80Assembler& a) { a.LD(A, 0x3C); }, {0x3E, 0x3C}},
    {"LD (HL),0", [](CZ80Assembler& a) { a.LD(HLI, 0); }, {0x36, 0x00}},
    {"LD E,(HL)", [](CZ80Assembler& a) { a.LD(E, HLI); }, {0x5E}},
    {"LD (HL),C", [](CZ80Assembler& a) { a.LD(HLI, C); }, {0x71}},
    {"LD SP,0xBE00", [](CZ80Assembler& a) { a.LD(SP, 0xBE00); }, {0x31, 0x00, 0xBE}},
    {"LD (0x5B00),A", [](CZ80Assembler& a) { a.LD(Mem(0x5B00), A); }, {0x32, 0x00, 0x5B}},
    {"LD A,(0x5B00)", [](CZ80Assembler& a) { a.LD(A, Mem(0x5B00)); }, {0x3A, 0x00, 0x5B}},
    {"LD HL,(0x1234)", [](CZ80Assembler& a) { a.LD(HL, Mem(0x1234)); }, {0x2A, 0x34, 0x12}},
    {"LD DE,(0x1234)", [](CZ80Assembler& a) { a.LD(DE, Mem(0x1234)); }, {0xED, 0x5B, 0x34, 0x12}},
    {"LD (0x1234),DE", [](CZ80Assembler& a) { a.LD(Mem(0x1234), DE); }, {0xED, 0x53, 0x34, 0x12}},
    {"LD I,A", [](CZ80Assembler& a) { a.LD_I_A(); }, {0xED, 0x47}},
    {"IM 1 / IM 2",
     [](CZ80Assembler& a) {
       a.IM(1);
       a.IM(2);
     },
     {0xED, 0x56, 0xED, 0x5E}},
    {"PUSH AF / POP BC",
     [](CZ80Assembler& a) {
       a.PUSH(AF);
       a.POP(BC);
     },
     {0xF5, 0xC1}},
    {"ADD A,(HL) / ADD A,7",
     [](CZ80Assembler& a) {
       a.ADD(HLI);
       a.ADD(7);
     },
     {0x86, 0xC6, 0x07}},
    {"SBC HL,DE", [](CZ80Assembler& a) { a.SBC_HL(DE); }, {0xED, 0x52}},
    {"INC IX / ADD IX,DE",
     [](CZ80Assembler& a) {
       a.INC_IX();
       a.ADD_IX(DE);
     },
     {0xDD, 0x23, 0xDD, 0x19}},
    {"LD A,(IX+2) / LD (IX+1),H",
     [](CZ80Assembler& a) {
       a.LD_R_IX(A, 2);
       a.LD_IX_R(1, H);
     },
     {0xDD, 0x7E, 0x02, 0xDD, 0x74, 0x01}},
    {"SRL H / RR L / BIT 3,A",
     [](CZ80Assembler& a) {
       a.SRL(H);
       a.RR(L);
       a.BIT(3, A);
     },
     {0xCB, 0x3C, 0xCB, 0x1D, 0xCB, 0x5F}},
    {"OUT (C),E / OUT (0xFE),A",
     [](CZ80Assembler& a) {
       a.OUT_C(E);
       a.OUT_N_A(0xFE);
     },
     {0xED, 0x59, 0xD3, 0xFE}},
    {"RET NC / CALL Z,0x8000",
     [](CZ80Assembler& a) {
       a.RET(IfNC);
       a.CALL(IfZ, 0x8000);
     },
     {0xD0, 0xCC, 0x00, 0x80}},
    {"RETI / RETN",
     [](CZ80Assembler& a) {
       a.RETI();
       a.RETN();
     },
     {0xED, 0x4D, 0xED, 0x45}},
};

}  // namespace

TEST(Z80Assembler, EncodesEachInstructionForm) {
  for (const Encoding& e : ENCODINGS) {
    CZ80Assembler a(0x8000);
    e.emit(a);
    ASSERT_TRUE(a.Finish()) << e.text;
    EXPECT_EQ(a.Bytes(), e.bytes) << e.text;
  }
}

TEST(Z80Assembler, ResolvesLabelsBackwardAndForward) {
  CZ80Assembler a(0x8000);
  a.Label("top");
  a.DJNZ("top");        // 0x8000: 10 FE
  a.JR(IfNZ, "ahead");  // 0x8002: 20 03
  a.JP("ahead");        // 0x8004: C3 07 80
  a.Label("ahead");
  a.LD(HL, Word("data", 1));  // 0x8007: 21 0B 80
  a.Label("data");
  a.ADD(0);
  a.Label("operand", -1);  // the ADD's operand, for code that rewrites it
  ASSERT_TRUE(a.Finish());
  EXPECT_EQ(a.Bytes(), (std::vector<uint8_t>{0x10, 0xFE, 0x20, 0x03, 0xC3, 0x07, 0x80, 0x21, 0x0B,
                                             0x80, 0xC6, 0x00}));
  EXPECT_EQ(a.AddressOf("operand"), 0x800B);
}

TEST(Z80Assembler, ReportsWhatCannotBeAssembled) {
  struct Case {
    const char* what;
    std::function<void(CZ80Assembler&)> emit;
  };
  const Case cases[] = {
      {"unknown label", [](CZ80Assembler& a) { a.JP("nowhere"); }},
      {"relative jump too far",
       [](CZ80Assembler& a) {
         a.Label("far");
         a.DB(std::vector<uint8_t>(200));
         a.JR("far");
       }},
      {"label twice",
       [](CZ80Assembler& a) {
         a.Label("x");
         a.Label("x");
       }},
      {"JR with a sign condition", [](CZ80Assembler& a) { a.JR(IfM, 0x8000); }},
      {"LD (HL),(HL)", [](CZ80Assembler& a) { a.LD(HLI, HLI); }},
      {"LD B,(nn)", [](CZ80Assembler& a) { a.LD(B, Mem(0x5B00)); }},
      {"PUSH SP", [](CZ80Assembler& a) { a.PUSH(SP); }},
  };
  for (const Case& c : cases) {
    CZ80Assembler a(0x8000);
    c.emit(a);
    EXPECT_FALSE(a.Finish()) << c.what;
    EXPECT_FALSE(a.Errors().empty()) << c.what;
  }
}
