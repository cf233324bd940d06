// The demo programs' assembler: encodings from the opcode bit fields, references resolved at the
// end so that code may jump forward.
#include "tools/content/z80_assembler.h"

void CZ80Assembler::Label(const std::string& name, int offset) {
  if (!labels_.emplace(name, static_cast<uint16_t>(Here() + offset)).second)
    Error("label defined twice: " + name);
}

uint16_t CZ80Assembler::AddressOf(const std::string& name) const {
  const auto found = labels_.find(name);
  return found == labels_.end() ? 0 : found->second;
}

bool CZ80Assembler::Finish() {
  for (const Reference& ref : references_) {
    int value = ref.target.value;
    if (!ref.target.label.empty()) {
      const auto found = labels_.find(ref.target.label);
      if (found == labels_.end()) {
        Error("unknown label: " + ref.target.label);
        continue;
      }
      value += found->second;
    }
    if (ref.kind == Fixup::Absolute) {
      bytes_[ref.at] = static_cast<uint8_t>(value);
      bytes_[ref.at + 1] = static_cast<uint8_t>(value >> 8);
    } else {
      // Relative to the address after the one-byte displacement.
      const int distance = value - (origin_ + static_cast<int>(ref.at) + 1);
      if (distance < -128 || distance > 127)
        Error("relative jump out of range to " + ref.target.label);
      bytes_[ref.at] = static_cast<uint8_t>(distance);
    }
  }
  references_.clear();
  if (origin_ + bytes_.size() > 0x10000) Error("program passes 0xFFFF");
  return errors_.empty();
}

void CZ80Assembler::DB(std::initializer_list<int> bytes) {
  for (int b : bytes) Op(b);
}

void CZ80Assembler::DB(const std::vector<uint8_t>& bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

void CZ80Assembler::DB(const std::string& text) {
  bytes_.insert(bytes_.end(), text.begin(), text.end());
}

void CZ80Assembler::DW(Word value) { Address(value); }

void CZ80Assembler::Align(uint16_t alignment, uint8_t fill) {
  while (Here() % alignment != 0) Op(fill);
}

void CZ80Assembler::Address(const Word& nn) {
  references_.push_back({bytes_.size(), Fixup::Absolute, nn});
  Op(0);
  Op(0);
}

void CZ80Assembler::Relative(const Word& to) {
  references_.push_back({bytes_.size(), Fixup::Relative, to});
  Op(0);
}

void CZ80Assembler::LD(R8 to, R8 from) {
  if (to == R8::HLI && from == R8::HLI) return Error("LD (HL),(HL) does not exist");
  Op(0x40 | Reg(to) << 3 | Reg(from));
}

void CZ80Assembler::LD(R8 to, int n) { Op(0x06 | Reg(to) << 3, n); }

void CZ80Assembler::LD(R16 to, Word nn) {
  if (to == R16::AF) return Error("LD AF,nn does not exist");
  Op(0x01 | Pair(to) << 4);
  Address(nn);
}

void CZ80Assembler::LD(R8 a, Mem from) {
  if (a != R8::A) return Error("only A loads from (nn)");
  Op(0x3A);
  Address(from.at);
}

void CZ80Assembler::LD(Mem to, R8 a) {
  if (a != R8::A) return Error("only A stores to (nn)");
  Op(0x32);
  Address(to.at);
}

void CZ80Assembler::LD(R16 to, Mem from) {
  if (to == R16::AF) return Error("LD AF,(nn) does not exist");
  if (to == R16::HL)
    Op(0x2A);
  else
    Op(0xED, 0x4B | Pair(to) << 4);
  Address(from.at);
}

void CZ80Assembler::LD(Mem to, R16 from) {
  if (from == R16::AF) return Error("LD (nn),AF does not exist");
  if (from == R16::HL)
    Op(0x22);
  else
    Op(0xED, 0x43 | Pair(from) << 4);
  Address(to.at);
}

void CZ80Assembler::PUSH(R16 rr) {
  if (rr == R16::SP) return Error("PUSH SP does not exist");
  Op(0xC5 | Pair(rr) << 4);
}

void CZ80Assembler::POP(R16 rr) {
  if (rr == R16::SP) return Error("POP SP does not exist");
  Op(0xC1 | Pair(rr) << 4);
}

void CZ80Assembler::JP(Word to) {
  Op(0xC3);
  Address(to);
}

void CZ80Assembler::JP(Cond cc, Word to) {
  Op(0xC2 | static_cast<uint8_t>(cc) << 3);
  Address(to);
}

void CZ80Assembler::JR(Word to) {
  Op(0x18);
  Relative(to);
}

void CZ80Assembler::JR(Cond cc, Word to) {
  if (static_cast<uint8_t>(cc) > 3) return Error("JR takes only NZ, Z, NC and C");
  Op(0x20 | static_cast<uint8_t>(cc) << 3);
  Relative(to);
}

void CZ80Assembler::DJNZ(Word to) {
  Op(0x10);
  Relative(to);
}

void CZ80Assembler::CALL(Word to) {
  Op(0xCD);
  Address(to);
}

void CZ80Assembler::CALL(Cond cc, Word to) {
  Op(0xC4 | static_cast<uint8_t>(cc) << 3);
  Address(to);
}
