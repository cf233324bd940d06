// A small Z80 assembler for the demo programs: one method per instruction form, labels with
// forward references, and the bytes placed at a fixed origin. It knows only the documented
// instructions the demos use.
//
// Usage:
//   CZ80Assembler a(0x8000);
//   using enum R8; using enum R16;
//   a.Label("loop");
//   a.LD(A, Mem("counter")); a.INC(A); a.LD(Mem("counter"), A);
//   a.JR(IfNZ, "loop");
//   a.Label("counter"); a.DB({0});
//   if (!a.Finish()) ... a.Errors() ...;  a.Bytes() holds the code from a.Origin().
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

// Register fields as the opcodes encode them; HLI is (HL).
enum class R8 : uint8_t { B, C, D, E, H, L, HLI, A };
enum class R16 : uint8_t { BC, DE, HL, SP, AF };
enum class Cond : uint8_t { NZ, Z, NC, C, PO, PE, P, M };
constexpr Cond IfNZ = Cond::NZ, IfZ = Cond::Z, IfNC = Cond::NC, IfC = Cond::C, IfPO = Cond::PO,
               IfPE = Cond::PE, IfP = Cond::P, IfM = Cond::M;

// A 16-bit value: a number, or a label plus an offset, resolved when the program is finished.
struct Word {
  Word(int value) : value(value) {}  // NOLINT: numbers stand for themselves
  Word(const char* label, int offset = 0) : value(offset), label(label) {}  // NOLINT
  int value;
  std::string label;
};

// A memory operand (nn).
struct Mem {
  explicit Mem(Word at) : at(std::move(at)) {}
  Word at;
};

class CZ80Assembler {
 public:
  explicit CZ80Assembler(uint16_t origin) : origin_(origin) {}

  uint16_t Origin() const { return origin_; }
  uint16_t Here() const { return static_cast<uint16_t>(origin_ + bytes_.size()); }
  // Defines a label at the current address (plus `offset`, e.g. -1 for an operand just emitted).
  void Label(const std::string& name, int offset = 0);
  // Resolves every reference; false (with Errors()) on unknown labels or jumps out of range.
  bool Finish();
  const std::vector<std::string>& Errors() const { return errors_; }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  // Address of a label after Finish (0 when unknown).
  uint16_t AddressOf(const std::string& name) const;

  // Data.
  void DB(std::initializer_list<int> bytes);
  void DB(const std::vector<uint8_t>& bytes);
  void DB(const std::string& text);
  void DW(Word value);
  // Pads with `fill` up to the next multiple of `alignment`.
  void Align(uint16_t alignment, uint8_t fill = 0);

  // Loads.
  void LD(R8 to, R8 from);
  void LD(R8 to, int n);
  void LD(R16 to, Word nn);
  void LD(R8 a, Mem from);    // LD A,(nn)
  void LD(Mem to, R8 a);      // LD (nn),A
  void LD(R16 to, Mem from);  // LD HL,(nn) and the ED forms
  void LD(Mem to, R16 from);
  void LD_A_BC() { Op(0x0A); }
  void LD_A_DE() { Op(0x1A); }
  void LD_BC_A() { Op(0x02); }
  void LD_DE_A() { Op(0x12); }
  void LD_I_A() { Op(0xED, 0x47); }
  void LD_SP_HL() { Op(0xF9); }
  void PUSH(R16 rr);
  void POP(R16 rr);
  void EX_DE_HL() { Op(0xEB); }
  void EX_AF_AF() { Op(0x08); }
  void EXX() { Op(0xD9); }

  // IX, for records of several fields: (IX+d) with d from -128 to 127.
  void LD_IX(Word nn) {
    Op(0xDD, 0x21);
    Address(nn);
  }
  void LD_IX(Mem from) {
    Op(0xDD, 0x2A);
    Address(from.at);
  }
  void LD_R_IX(R8 r, int d) { Op(0xDD, 0x46 | Reg(r) << 3, d); }
  void LD_IX_R(int d, R8 r) { Op(0xDD, 0x70 | Reg(r), d); }
  void LD_IX_N(int d, int n) {
    Op(0xDD, 0x36, d);
    Op(n);
  }
  void ADD_IX(R16 rr) { Op(0xDD, 0x09 | Pair(rr) << 4); }
  void INC_IX() { Op(0xDD, 0x23); }
  void PUSH_IX() { Op(0xDD, 0xE5); }
  void POP_IX() { Op(0xDD, 0xE1); }

  // Arithmetic and logic on A.
  void ADD(R8 r) { Op(0x80 | Reg(r)); }
  void ADD(int n) { Op(0xC6, n); }
  void ADC(R8 r) { Op(0x88 | Reg(r)); }
  void ADC(int n) { Op(0xCE, n); }
  void SUB(R8 r) { Op(0x90 | Reg(r)); }
  void SUB(int n) { Op(0xD6, n); }
  void AND(R8 r) { Op(0xA0 | Reg(r)); }
  void AND(int n) { Op(0xE6, n); }
  void XOR(R8 r) { Op(0xA8 | Reg(r)); }
  void XOR(int n) { Op(0xEE, n); }
  void OR(R8 r) { Op(0xB0 | Reg(r)); }
  void OR(int n) { Op(0xF6, n); }
  void CP(R8 r) { Op(0xB8 | Reg(r)); }
  void CP(int n) { Op(0xFE, n); }
  void INC(R8 r) { Op(0x04 | Reg(r) << 3); }
  void DEC(R8 r) { Op(0x05 | Reg(r) << 3); }
  void INC(R16 rr) { Op(0x03 | Pair(rr) << 4); }
  void DEC(R16 rr) { Op(0x0B | Pair(rr) << 4); }
  void ADD_HL(R16 rr) { Op(0x09 | Pair(rr) << 4); }
  void SBC_HL(R16 rr) { Op(0xED, 0x42 | Pair(rr) << 4); }
  void NEG() { Op(0xED, 0x44); }
  void CPL() { Op(0x2F); }
  void SCF() { Op(0x37); }
  void CCF() { Op(0x3F); }

  // Rotates and bits.
  void RLCA() { Op(0x07); }
  void RRCA() { Op(0x0F); }
  void RLA() { Op(0x17); }
  void RRA() { Op(0x1F); }
  void RLC(R8 r) { Op(0xCB, 0x00 | Reg(r)); }
  void RRC(R8 r) { Op(0xCB, 0x08 | Reg(r)); }
  void RL(R8 r) { Op(0xCB, 0x10 | Reg(r)); }
  void RR(R8 r) { Op(0xCB, 0x18 | Reg(r)); }
  void SLA(R8 r) { Op(0xCB, 0x20 | Reg(r)); }
  void SRA(R8 r) { Op(0xCB, 0x28 | Reg(r)); }
  void SRL(R8 r) { Op(0xCB, 0x38 | Reg(r)); }
  void BIT(int bit, R8 r) { Op(0xCB, 0x40 | (bit & 7) << 3 | Reg(r)); }
  void RES(int bit, R8 r) { Op(0xCB, 0x80 | (bit & 7) << 3 | Reg(r)); }
  void SET(int bit, R8 r) { Op(0xCB, 0xC0 | (bit & 7) << 3 | Reg(r)); }

  // Jumps and calls.
  void JP(Word to);
  void JP(Cond cc, Word to);
  void JP_HL() { Op(0xE9); }
  void JR(Word to);
  void JR(Cond cc, Word to);  // NZ, Z, NC, C only
  void DJNZ(Word to);
  void CALL(Word to);
  void CALL(Cond cc, Word to);
  void RET() { Op(0xC9); }
  void RET(Cond cc) { Op(0xC0 | static_cast<uint8_t>(cc) << 3); }
  void RETI() { Op(0xED, 0x4D); }
  void RETN() { Op(0xED, 0x45); }

  // Blocks, ports and control.
  void LDIR() { Op(0xED, 0xB0); }
  void LDDR() { Op(0xED, 0xB8); }
  void LDI() { Op(0xED, 0xA0); }
  void OUT_N_A(int port) { Op(0xD3, port); }
  void IN_A_N(int port) { Op(0xDB, port); }
  void OUT_C(R8 r) { Op(0xED, 0x41 | Reg(r) << 3); }
  void NOP() { Op(0x00); }
  void HALT() { Op(0x76); }
  void DI() { Op(0xF3); }
  void EI() { Op(0xFB); }
  void IM(int mode) { Op(0xED, mode == 0 ? 0x46 : mode == 1 ? 0x56 : 0x5E); }

 private:
  enum class Fixup { Absolute, Relative };
  struct Reference {
    size_t at;  // index of the operand in bytes_
    Fixup kind;
    Word target;
  };

  static uint8_t Reg(R8 r) { return static_cast<uint8_t>(r); }
  // BC DE HL SP for loads and arithmetic; AF takes SP's field in PUSH and POP.
  static uint8_t Pair(R16 rr) { return rr == R16::AF ? 3 : static_cast<uint8_t>(rr); }
  void Op(int b0) { bytes_.push_back(static_cast<uint8_t>(b0)); }
  void Op(int b0, int b1) {
    Op(b0);
    Op(b1);
  }
  void Op(int b0, int b1, int b2) {
    Op(b0, b1);
    Op(b2);
  }
  void Address(const Word& nn);
  void Relative(const Word& to);
  void Error(const std::string& text) { errors_.push_back(text); }

  uint16_t origin_;
  std::vector<uint8_t> bytes_;
  std::map<std::string, uint16_t> labels_;
  std::vector<Reference> references_;
  std::vector<std::string> errors_;
};
