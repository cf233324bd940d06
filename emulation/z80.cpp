// The Z80 processor core: a threaded interpreter (one table of label addresses per instruction
// page, the budget test, fetch and dispatch repeated at the end of every handler) over one
// program-wide state that machines swap in and out as context blocks.
#include "emulation/z80.h"

#include <cstring>
#include <type_traits>

#include "emulation/z80_tables.h"

using namespace z80tables;

namespace {

constexpr uint32_t kFreeEntry = 0xFFFFFFFF;
constexpr int kRangeEntries = 64;
constexpr uint8_t kIffOn = VF;  // flip-flops are kept as the P/V bit so LD A,I/R copy IFF2 directly

struct ReadPage {
  Z80ReadHandler handler;  // null: plain memory at base + address
  uintptr_t base;
};

struct WritePage {
  Z80WriteHandler handler;
  uintptr_t base;
};

struct Range {
  uint32_t first;  // kFreeEntry: unused
  uint32_t last;
  uint32_t kind;   // 0 memory, 1 handler
  uintptr_t base;  // kind 0: host byte = base + address
  Z80ReadHandler read;
  Z80WriteHandler write;
};

// Everything a machine's context block holds.
struct Context {
  uint16_t af, bc, de, hl, ix, iy, pc, sp;
  uint16_t af2, bc2, de2, hl2;
  uint8_t i, r, r7;  // r: counter, only its low 7 bits count; r7: bit 7 as last written
  uint8_t iff1, iff2;  // 0 or kIffOn
  uint8_t im, bus, intLine, halted;
  uint32_t pendingT;
  uintptr_t fetch[256];  // host byte = fetch[address >> 8] + address
  ReadPage read[256];
  WritePage write[256];
  Z80PortReadHandler portRead;
  Z80PortWriteHandler portWrite;
  Z80RetiHandler reti;
  Range readRanges[kRangeEntries];
  Range writeRanges[kRangeEntries];
};

// State of the current (or last) run.
struct RunState {
  int32_t rem;    // remaining T-states
  uint32_t start;
  int32_t saved;  // while an EI is pending: true remaining = saved + rem
  bool eiPending;
  int32_t fetchCounter;
};

Context g;
RunState run = {0, 0, 0, false, 0x7FFFFFFF};

// What the fetch map points at where nothing was ever mapped: 0xFF, like any unmapped read.
uint8_t unmappedPage[256];

uint8_t DefaultRead(uint16_t) { return 0xFF; }
void DefaultWrite(uint16_t, uint8_t) {}
uint8_t DefaultPortRead(uint16_t) { return 0xFF; }
void DefaultPortWrite(uint16_t, uint8_t) {}
void DefaultReti() {}

uint8_t ReadWalker(uint16_t address) {
  for (const Range& e : g.readRanges) {
    if (e.first == kFreeEntry) break;
    if (e.first <= address && address <= e.last) {
      if (e.kind == 1) return e.read(address);
      return *reinterpret_cast<const uint8_t*>(e.base + address);
    }
  }
  return 0xFF;
}

void WriteWalker(uint16_t address, uint8_t value) {
  for (const Range& e : g.writeRanges) {
    if (e.first == kFreeEntry) break;
    if (e.first <= address && address <= e.last) {
      if (e.kind == 1) {
        e.write(address, value);
      } else {
        *reinterpret_cast<uint8_t*>(e.base + address) = value;
      }
      return;
    }
  }
}

uint8_t ReadByte(uint32_t address) {
  address &= 0xFFFF;
  const ReadPage& p = g.read[address >> 8];
  if (p.handler) return p.handler(static_cast<uint16_t>(address));
  return *reinterpret_cast<const uint8_t*>(p.base + address);
}

void WriteByte(uint32_t address, uint8_t value) {
  address &= 0xFFFF;
  const WritePage& p = g.write[address >> 8];
  if (p.handler) {
    p.handler(static_cast<uint16_t>(address), value);
  } else {
    *reinterpret_cast<uint8_t*>(p.base + address) = value;
  }
}

// Interrupt and NMI acceptance work on the context registers; a run stores its locals first.
void PushPc() {
  g.sp = static_cast<uint16_t>(g.sp - 1);
  WriteByte(g.sp, g.pc >> 8);
  g.sp = static_cast<uint16_t>(g.sp - 1);
  WriteByte(g.sp, g.pc & 0xFF);
}

void LeaveHalt() {
  if (g.halted) {
    g.pc = static_cast<uint16_t>(g.pc + 1);
    g.halted = 0;
  }
}

void AcceptInterrupt() {
  g.iff1 = g.iff2 = 0;
  g.r++;
  LeaveHalt();
  PushPc();
  if (g.im == 0) {
    g.pc = (g.bus - 0xC7) & 0xFF;  // the restart address of an RST on the bus
    g.pendingT += 13;
  } else if (g.im == 1) {
    g.pc = 0x0038;
    g.pendingT += 13;
  } else {
    const uint32_t vector = (g.i << 8) | g.bus;
    const uint32_t low = ReadByte(vector);
    const uint32_t high = ReadByte(vector + 1);
    g.pc = static_cast<uint16_t>(low | (high << 8));
    g.pendingT += 19;
  }
}

template <typename Page, typename Handler>
void AddRange(Range* list, Page* map, uint32_t first, uint32_t last, uint32_t kind,
              uint8_t* host, Handler handler, Handler walker) {
  Range* entry = nullptr;
  for (int n = 0; n < kRangeEntries; ++n) {
    if (list[n].first == kFreeEntry) {
      entry = &list[n];
      break;
    }
  }
  if (!entry) return;  // the list is full; the caller keeps within 63 ranges
  *entry = Range{first, last, kind, reinterpret_cast<uintptr_t>(host) - first, nullptr, nullptr};
  if constexpr (std::is_same_v<Handler, Z80ReadHandler>) {
    entry->read = handler;
  } else {
    entry->write = handler;
  }
  if (first > last) return;
  for (uint32_t page = first >> 8; page <= (last >> 8); ++page) {
    const uint32_t pageStart = page << 8;
    const bool whole = first <= pageStart && last >= pageStart + 0xFF;
    if (!whole) {
      map[page].handler = walker;
    } else if (kind == 1) {
      map[page].handler = handler;
    } else {
      map[page].handler = nullptr;
      map[page].base = entry->base;
    }
  }
}

void ClearRanges(Range* list) {
  for (int n = 0; n < kRangeEntries; ++n) list[n] = Range{kFreeEntry, 0, 0, 0, nullptr, nullptr};
}

template <typename Page>
void MapPages(Page* map, uint32_t first, uint32_t last, uint8_t* host) {
  const uintptr_t base = reinterpret_cast<uintptr_t>(host) - first;
  for (uint32_t page = first >> 8; (page << 8) <= last && page < 256; ++page) {
    map[page].handler = nullptr;
    map[page].base = base;
  }
}

}  // namespace

uint32_t Z80ContextSize() { return sizeof(Context); }

void Z80LoadContext(const void* context) { std::memcpy(&g, context, sizeof(Context)); }

void Z80SaveContext(void* context) { std::memcpy(context, &g, sizeof(Context)); }

void Z80Reset() {
  g.af = 0x0040;
  g.bc = g.de = g.hl = 0;
  g.ix = g.iy = 0xFFFF;
  g.pc = g.sp = 0;
  g.af2 = g.bc2 = g.de2 = g.hl2 = 0;
  g.i = g.r = g.r7 = 0;
  g.iff1 = g.iff2 = 0;
  g.im = g.bus = g.intLine = g.halted = 0;
  g.pendingT = 0;
}

uint16_t Z80GetRegister(int index) {
  switch (index) {
    case REG_AF: return g.af;
    case REG_BC: return g.bc;
    case REG_DE: return g.de;
    case REG_HL: return g.hl;
    case REG_IX: return g.ix;
    case REG_IY: return g.iy;
    case REG_PC: return g.pc;
    case REG_SP: return g.sp;
    case REG_AF2: return g.af2;
    case REG_BC2: return g.bc2;
    case REG_DE2: return g.de2;
    case REG_HL2: return g.hl2;
    case REG_IFF1: return g.iff1 ? 1 : 0;
    case REG_IFF2: return g.iff2 ? 1 : 0;
    case REG_IM: return g.im;
    case REG_BUS: return g.bus;
    case REG_INT: return g.intLine ? 1 : 0;
    case REG_HALT: return g.halted ? 1 : 0;
    default: return static_cast<uint16_t>((g.i << 8) | g.r7 | (g.r & 0x7F));  // REG_IR
  }
}

void Z80SetRegister(int index, uint16_t value) {
  const uint8_t low = value & 0xFF;
  switch (index) {
    case REG_AF: g.af = value; break;
    case REG_BC: g.bc = value; break;
    case REG_DE: g.de = value; break;
    case REG_HL: g.hl = value; break;
    case REG_IX: g.ix = value; break;
    case REG_IY: g.iy = value; break;
    case REG_PC: g.pc = value; break;
    case REG_SP: g.sp = value; break;
    case REG_AF2: g.af2 = value; break;
    case REG_BC2: g.bc2 = value; break;
    case REG_DE2: g.de2 = value; break;
    case REG_HL2: g.hl2 = value; break;
    case REG_IFF1: g.iff1 = value ? kIffOn : 0; break;
    case REG_IFF2: g.iff2 = value ? kIffOn : 0; break;
    case REG_IM: g.im = low; break;
    case REG_BUS: g.bus = low; break;
    case REG_INT: g.intLine = value ? 1 : 0; break;
    case REG_HALT: g.halted = value ? 1 : 0; break;
    default:  // REG_IR
      g.i = value >> 8;
      g.r = low;
      g.r7 = low & 0x80;
      break;
  }
}

void Z80InitMemoryMaps() {
  for (int page = 0; page < 256; ++page) {
    g.read[page] = ReadPage{DefaultRead, 0};
    g.write[page] = WritePage{DefaultWrite, 0};
    // A fresh context has no fetch mapping at all; never let code run off into host address 0.
    if (g.fetch[page] == 0) {
      g.fetch[page] = reinterpret_cast<uintptr_t>(unmappedPage) - (static_cast<uintptr_t>(page) << 8);
    }
  }
  if (unmappedPage[0] != 0xFF) std::memset(unmappedPage, 0xFF, sizeof unmappedPage);
  g.portRead = DefaultPortRead;
  g.portWrite = DefaultPortWrite;
  g.reti = DefaultReti;
  ClearRanges(g.readRanges);
  ClearRanges(g.writeRanges);
}

void Z80MapFetch(uint16_t first, uint16_t last, uint8_t* host) {
  const uintptr_t base = reinterpret_cast<uintptr_t>(host) - first;
  for (uint32_t page = first >> 8; (page << 8) <= last && page < 256; ++page) g.fetch[page] = base;
}

void Z80MapRead(uint16_t first, uint16_t last, uint8_t* host) { MapPages(g.read, first, last, host); }

void Z80MapWrite(uint16_t first, uint16_t last, uint8_t* host) {
  MapPages(g.write, first, last, host);
}

void Z80AddReadRange(uint16_t first, uint16_t last, uint8_t* host) {
  AddRange<ReadPage, Z80ReadHandler>(g.readRanges, g.read, first, last, 0, host, nullptr,
                                     ReadWalker);
}

void Z80AddReadRange(uint16_t first, uint16_t last, Z80ReadHandler handler) {
  if (!handler) handler = DefaultRead;
  AddRange<ReadPage, Z80ReadHandler>(g.readRanges, g.read, first, last, 1, nullptr, handler,
                                     ReadWalker);
}

void Z80AddWriteRange(uint16_t first, uint16_t last, uint8_t* host) {
  AddRange<WritePage, Z80WriteHandler>(g.writeRanges, g.write, first, last, 0, host, nullptr,
                                       WriteWalker);
}

void Z80AddWriteRange(uint16_t first, uint16_t last, Z80WriteHandler handler) {
  if (!handler) handler = DefaultWrite;
  AddRange<WritePage, Z80WriteHandler>(g.writeRanges, g.write, first, last, 1, nullptr, handler,
                                       WriteWalker);
}

void Z80CloseRangeLists() {
  for (Range& e : g.readRanges) {
    if (e.first == kFreeEntry) {
      e = Range{0x0000, 0xFFFF, 1, 0, DefaultRead, nullptr};
      break;
    }
  }
  for (Range& e : g.writeRanges) {
    if (e.first == kFreeEntry) {
      e = Range{0x0000, 0xFFFF, 1, 0, nullptr, DefaultWrite};
      break;
    }
  }
}

void Z80SetPortReadHandler(Z80PortReadHandler handler) {
  g.portRead = handler ? handler : DefaultPortRead;
}

void Z80SetPortWriteHandler(Z80PortWriteHandler handler) {
  g.portWrite = handler ? handler : DefaultPortWrite;
}

void Z80SetRetiHandler(Z80RetiHandler handler) { g.reti = handler ? handler : DefaultReti; }

uint32_t Z80ElapsedTStates() {
  int64_t remaining = run.rem;
  if (run.eiPending) remaining += run.saved;
  return static_cast<uint32_t>(static_cast<int64_t>(run.start) - remaining);
}

int32_t Z80GetFetchCounter() { return run.fetchCounter; }

void Z80SetFetchCounter(int32_t count) { run.fetchCounter = count; }

void Z80Interrupt(uint8_t bus) {
  g.intLine = 1;
  g.bus = bus;
  if (g.iff1) AcceptInterrupt();
}

void Z80ClearInterrupt() { g.intLine = 0; }

void Z80Nmi() {
  g.iff1 = 0;
  g.r++;
  LeaveHalt();
  PushPc();
  g.pc = 0x0066;
  g.pendingT += 11;
}

// ---------------------------------------------------------------------------------------------
// The interpreter.

// Registers held in locals during a run: a, f (bits 5/3 always 0), q (the shadow of bits 5/3),
// bc, de, hl, sp, pc, r. IX, IY and the rest stay in the context.
#define B_ (bc >> 8)
#define C_ (bc & 0xFF)
#define D_ (de >> 8)
#define E_ (de & 0xFF)
#define H_ (hl >> 8)
#define L_ (hl & 0xFF)
#define A_ a
#define SET_B(v) (bc = (bc & 0x00FF) | ((v) << 8))
#define SET_C(v) (bc = (bc & 0xFF00) | (v))
#define SET_D(v) (de = (de & 0x00FF) | ((v) << 8))
#define SET_E(v) (de = (de & 0xFF00) | (v))
#define SET_H(v) (hl = (hl & 0x00FF) | ((v) << 8))
#define SET_L(v) (hl = (hl & 0xFF00) | (v))
#define SET_A(v) (a = (v))
#define SET_M(v) ((void)0)

#define LIKELY(x) __builtin_expect(!!(x), 1)
#define UNLIKELY(x) __builtin_expect(!!(x), 0)

// Handlers may ask for the elapsed T-states, so the run state is current before every call out.
#define SYNC() (run.rem = rem, run.fetchCounter = fc)

#define FETCH8(ad) (*reinterpret_cast<const uint8_t*>(g.fetch[(ad) >> 8] + (ad)))
#define IMM8()                         \
  ({                                   \
    uint32_t iv_ = FETCH8(pc);         \
    pc = (pc + 1) & 0xFFFF;            \
    iv_;                               \
  })
#define IMM16()                                                          \
  ({                                                                     \
    uint32_t iv_;                                                        \
    if (LIKELY((pc & 0xFF) != 0xFF)) {                                   \
      const uint8_t* ip_ = reinterpret_cast<const uint8_t*>(g.fetch[pc >> 8] + pc); \
      iv_ = ip_[0] | (ip_[1] << 8);                                      \
    } else {                                                             \
      iv_ = FETCH8(pc) | (FETCH8((pc + 1) & 0xFFFF) << 8);               \
    }                                                                    \
    pc = (pc + 2) & 0xFFFF;                                              \
    iv_;                                                                 \
  })
#define DISP() (static_cast<uint32_t>(static_cast<int8_t>(IMM8())))

#define RD(ad)                                                               \
  ({                                                                         \
    const uint32_t ra_ = (ad);                                               \
    const ReadPage& rp_ = g.read[ra_ >> 8];                                  \
    uint32_t rv_;                                                            \
    if (UNLIKELY(rp_.handler != nullptr)) {                                  \
      SYNC();                                                                \
      rv_ = rp_.handler(static_cast<uint16_t>(ra_));                         \
    } else {                                                                 \
      rv_ = *reinterpret_cast<const uint8_t*>(rp_.base + ra_);               \
    }                                                                        \
    rv_;                                                                     \
  })
#define WR(ad, v)                                                            \
  do {                                                                       \
    const uint32_t wa_ = (ad);                                               \
    const uint32_t wv_ = (v);                                                \
    const WritePage& wp_ = g.write[wa_ >> 8];                                \
    if (UNLIKELY(wp_.handler != nullptr)) {                                  \
      SYNC();                                                                \
      wp_.handler(static_cast<uint16_t>(wa_), static_cast<uint8_t>(wv_));    \
    } else {                                                                 \
      *reinterpret_cast<uint8_t*>(wp_.base + wa_) = static_cast<uint8_t>(wv_); \
    }                                                                        \
  } while (0)
#define RD16(ad)                              \
  ({                                          \
    const uint32_t r16_ = (ad);               \
    uint32_t lo16_ = RD(r16_);                \
    lo16_ | (RD((r16_ + 1) & 0xFFFF) << 8);   \
  })
#define WR16(ad, v)                           \
  do {                                        \
    const uint32_t w16a_ = (ad);              \
    const uint32_t w16v_ = (v);               \
    WR(w16a_, w16v_ & 0xFF);                  \
    WR((w16a_ + 1) & 0xFFFF, w16v_ >> 8);     \
  } while (0)
#define PUSH16(v)                   \
  do {                              \
    const uint32_t pv_ = (v);       \
    sp = (sp - 1) & 0xFFFF;         \
    WR(sp, pv_ >> 8);               \
    sp = (sp - 1) & 0xFFFF;         \
    WR(sp, pv_ & 0xFF);             \
  } while (0)
#define POP16()                         \
  ({                                    \
    uint32_t plo_ = RD(sp);             \
    sp = (sp + 1) & 0xFFFF;             \
    uint32_t phi_ = RD(sp);             \
    sp = (sp + 1) & 0xFFFF;             \
    plo_ | (phi_ << 8);                 \
  })
#define IN(port)                                            \
  ({                                                        \
    SYNC();                                                 \
    static_cast<uint32_t>(g.portRead(static_cast<uint16_t>(port))); \
  })
#define OUT(port, v)                                                                 \
  do {                                                                               \
    SYNC();                                                                          \
    g.portWrite(static_cast<uint16_t>(port), static_cast<uint8_t>(v));               \
  } while (0)

// The tail every handler ends with: charge, test budget and fetch counter, fetch, dispatch.
#define DISPATCH()                               \
  do {                                           \
    const uint32_t op_ = FETCH8(pc);             \
    pc = (pc + 1) & 0xFFFF;                      \
    goto* mainT[op_];                            \
  } while (0)
#define NEXT(t)                                  \
  do {                                           \
    rem -= (t);                                  \
    if (UNLIKELY(rem <= 0)) goto end_test;       \
    if (UNLIKELY(--fc < 0)) goto out_of_fetches; \
    DISPATCH();                                  \
  } while (0)
// A prefix is an opcode fetch of its own, without the end-of-run tests.
#define PREFIX(table)                            \
  do {                                           \
    fc--;                                        \
    const uint32_t op_ = FETCH8(pc);             \
    pc = (pc + 1) & 0xFFFF;                      \
    goto* table[op_];                            \
  } while (0)
// One more pass of INIR, INDR or OTDR, looping inside one dispatch while budget and fetch
// counter allow.
#define REPEAT(label)                                   \
  do {                                                  \
    rem -= 21;                                          \
    if (UNLIKELY(rem <= 0)) {                           \
      pc = (pc - 2) & 0xFFFF;                           \
      goto end_test;                                    \
    }                                                   \
    if (UNLIKELY(--fc < 0)) {                           \
      pc = (pc - 2) & 0xFFFF;                           \
      goto out_of_fetches;                              \
    }                                                   \
    fc--;                                               \
    goto label;                                         \
  } while (0)

// LDIR, LDDR, CPIR, CPDR and OTIR repeat through the fetch map, as the chip does: a pass
// that overwrites its own opcode, or pages memory under itself, is seen by the next pass.
#define REDISPATCH()                                    \
  do {                                                  \
    pc = (pc - 2) & 0xFFFF;                             \
    NEXT(21);                                           \
  } while (0)

// 8-bit arithmetic and logic on A.
#define ADD8(v)                                                                        \
  do {                                                                                 \
    const uint32_t av_ = (v), ar_ = a + av_;                                           \
    f = kSZ[ar_ & 0xFF] | (ar_ >> 8) | ((a ^ av_ ^ ar_) & HF) |                        \
        ((((a ^ ~av_) & (a ^ ar_)) >> 5) & VF);                                        \
    a = ar_ & 0xFF;                                                                    \
    q = a;                                                                             \
  } while (0)
#define ADC8(v)                                                                        \
  do {                                                                                 \
    const uint32_t av_ = (v), ar_ = a + av_ + (f & CF);                                \
    f = kSZ[ar_ & 0xFF] | (ar_ >> 8) | ((a ^ av_ ^ ar_) & HF) |                        \
        ((((a ^ ~av_) & (a ^ ar_)) >> 5) & VF);                                        \
    a = ar_ & 0xFF;                                                                    \
    q = a;                                                                             \
  } while (0)
#define SUB8(v)                                                                        \
  do {                                                                                 \
    const uint32_t av_ = (v), ar_ = a - av_;                                           \
    f = kSZ[ar_ & 0xFF] | ((ar_ >> 8) & CF) | NF | ((a ^ av_ ^ ar_) & HF) |            \
        ((((a ^ av_) & (a ^ ar_)) >> 5) & VF);                                         \
    a = ar_ & 0xFF;                                                                    \
    q = a;                                                                             \
  } while (0)
#define SBC8(v)                                                                        \
  do {                                                                                 \
    const uint32_t av_ = (v), ar_ = a - av_ - (f & CF);                                \
    f = kSZ[ar_ & 0xFF] | ((ar_ >> 8) & CF) | NF | ((a ^ av_ ^ ar_) & HF) |            \
        ((((a ^ av_) & (a ^ ar_)) >> 5) & VF);                                         \
    a = ar_ & 0xFF;                                                                    \
    q = a;                                                                             \
  } while (0)
#define AND8(v)                \
  do {                         \
    a &= (v);                  \
    f = kSZP[a] | HF;          \
    q = a;                     \
  } while (0)
#define XOR8(v)                \
  do {                         \
    a ^= (v);                  \
    f = kSZP[a];               \
    q = a;                     \
  } while (0)
#define OR8(v)                 \
  do {                         \
    a |= (v);                  \
    f = kSZP[a];               \
    q = a;                     \
  } while (0)
// CP takes bits 5 and 3 from the operand.
#define CP8(v)                                                                         \
  do {                                                                                 \
    const uint32_t av_ = (v), ar_ = a - av_;                                           \
    f = kSZ[ar_ & 0xFF] | ((ar_ >> 8) & CF) | NF | ((a ^ av_ ^ ar_) & HF) |            \
        ((((a ^ av_) & (a ^ ar_)) >> 5) & VF);                                         \
    q = av_;                                                                           \
  } while (0)

#define INC_V(v)                   \
  do {                             \
    f = (f & CF) | kInc[v];        \
    v = (v + 1) & 0xFF;            \
    q = v;                         \
  } while (0)
#define DEC_V(v)                   \
  do {                             \
    f = (f & CF) | kDec[v];        \
    v = (v - 1) & 0xFF;            \
    q = v;                         \
  } while (0)

// 16-bit arithmetic; bits 5 and 3 from the high byte of the result.
#define ADD16(x, y)                                                                      \
  ({                                                                                     \
    const uint32_t ax_ = (x), ay_ = (y), ar_ = ax_ + ay_;                                \
    f = (f & (SF | ZF | VF)) | (ar_ >> 16) | (((ax_ ^ ay_ ^ ar_) >> 8) & HF);           \
    q = ar_ >> 8;                                                                        \
    ar_ & 0xFFFF;                                                                        \
  })
#define ADC16(x, y)                                                                      \
  ({                                                                                     \
    const uint32_t ax_ = (x), ay_ = (y), ar_ = ax_ + ay_ + (f & CF);                     \
    f = ((ar_ >> 8) & SF) | ((ar_ & 0xFFFF) ? 0 : ZF) | (((ax_ ^ ay_ ^ ar_) >> 8) & HF) | \
        ((((ax_ ^ ~ay_) & (ax_ ^ ar_)) >> 13) & VF) | (ar_ >> 16);                      \
    q = ar_ >> 8;                                                                        \
    ar_ & 0xFFFF;                                                                        \
  })
#define SBC16(x, y)                                                                      \
  ({                                                                                     \
    const uint32_t ax_ = (x), ay_ = (y), ar_ = ax_ - ay_ - (f & CF);                     \
    f = ((ar_ >> 8) & SF) | ((ar_ & 0xFFFF) ? 0 : ZF) | (((ax_ ^ ay_ ^ ar_) >> 8) & HF) | \
        ((((ax_ ^ ay_) & (ax_ ^ ar_)) >> 13) & VF) | ((ar_ >> 16) & CF) | NF;           \
    q = ar_ >> 8;                                                                        \
    ar_ & 0xFFFF;                                                                        \
  })

// CB-page rotates and shifts on v.
#define ROT_RLC(v) { const uint32_t c_ = v >> 7; v = ((v << 1) | c_) & 0xFF; f = kSZP[v] | c_; q = v; }
#define ROT_RRC(v) { const uint32_t c_ = v & 1; v = (v >> 1) | (c_ << 7); f = kSZP[v] | c_; q = v; }
#define ROT_RL(v) { const uint32_t c_ = v >> 7; v = ((v << 1) | (f & CF)) & 0xFF; f = kSZP[v] | c_; q = v; }
#define ROT_RR(v) { const uint32_t c_ = v & 1; v = (v >> 1) | ((f & CF) << 7); f = kSZP[v] | c_; q = v; }
#define ROT_SLA(v) { const uint32_t c_ = v >> 7; v = (v << 1) & 0xFF; f = kSZP[v] | c_; q = v; }
#define ROT_SRA(v) { const uint32_t c_ = v & 1; v = (v >> 1) | (v & 0x80); f = kSZP[v] | c_; q = v; }
#define ROT_SLL(v) { const uint32_t c_ = v >> 7; v = ((v << 1) | 1) & 0xFF; f = kSZP[v] | c_; q = v; }
#define ROT_SRL(v) { const uint32_t c_ = v & 1; v >>= 1; f = kSZP[v] | c_; q = v; }
#define BIT_FLAGS(n, v) \
  (f = (f & CF) | HF | (((v) & (1u << (n))) ? ((n) == 7 ? SF : 0) : (ZF | VF)))

// Block input/output flags after a pass (k: the byte plus C + 1 or C - 1, b: B after the step).
#define BLOCK_IO_FLAGS(v, k, b)                                                   \
  do {                                                                            \
    f = kSZP[b] | (((v) >> 6) & NF) | (((v) + (k)) > 0xFF ? (HF | CF) : 0);       \
    q = (b);                                                                      \
  } while (0)
// LDI/LDD and CPI/CPD: bit 3 of n gives bit 3, bit 1 of n gives bit 5.
#define BLOCK_SHADOW(n) (q = ((n) & XF) | (((n) & 0x02) << 4))

uint32_t Z80Execute(uint32_t tstates) {
  static bool tablesReady = false;
  static const void* mainT[256];
  static const void* cbT[256];
  static const void* edT[256];
  static const void* ddT[256];
  static const void* fdT[256];
  static const void* xcbT[256];

  if (UNLIKELY(!tablesReady)) {
#define T16(T, p, h)                                                                          \
  T[0x##h##0] = &&p##h##0, T[0x##h##1] = &&p##h##1, T[0x##h##2] = &&p##h##2,                   \
  T[0x##h##3] = &&p##h##3, T[0x##h##4] = &&p##h##4, T[0x##h##5] = &&p##h##5,                   \
  T[0x##h##6] = &&p##h##6, T[0x##h##7] = &&p##h##7, T[0x##h##8] = &&p##h##8,                   \
  T[0x##h##9] = &&p##h##9, T[0x##h##A] = &&p##h##A, T[0x##h##B] = &&p##h##B,                   \
  T[0x##h##C] = &&p##h##C, T[0x##h##D] = &&p##h##D, T[0x##h##E] = &&p##h##E,                   \
  T[0x##h##F] = &&p##h##F;
    T16(mainT, m_, 0) T16(mainT, m_, 1) T16(mainT, m_, 2) T16(mainT, m_, 3)
    T16(mainT, m_, 4) T16(mainT, m_, 5) T16(mainT, m_, 6) T16(mainT, m_, 7)
    T16(mainT, m_, 8) T16(mainT, m_, 9) T16(mainT, m_, A) T16(mainT, m_, B)
    T16(mainT, m_, C) T16(mainT, m_, D) T16(mainT, m_, E) T16(mainT, m_, F)
#undef T16

#define CB8(T, base, pre, OP)                                                           \
  T[base + 0] = &&pre##OP##_B, T[base + 1] = &&pre##OP##_C, T[base + 2] = &&pre##OP##_D, \
  T[base + 3] = &&pre##OP##_E, T[base + 4] = &&pre##OP##_H, T[base + 5] = &&pre##OP##_L, \
  T[base + 6] = &&pre##OP##_M, T[base + 7] = &&pre##OP##_A;
    CB8(cbT, 0x00, cb_, RLC) CB8(cbT, 0x08, cb_, RRC) CB8(cbT, 0x10, cb_, RL)
    CB8(cbT, 0x18, cb_, RR) CB8(cbT, 0x20, cb_, SLA) CB8(cbT, 0x28, cb_, SRA)
    CB8(cbT, 0x30, cb_, SLL) CB8(cbT, 0x38, cb_, SRL)
    CB8(cbT, 0x40, cb_, BIT0) CB8(cbT, 0x48, cb_, BIT1) CB8(cbT, 0x50, cb_, BIT2)
    CB8(cbT, 0x58, cb_, BIT3) CB8(cbT, 0x60, cb_, BIT4) CB8(cbT, 0x68, cb_, BIT5)
    CB8(cbT, 0x70, cb_, BIT6) CB8(cbT, 0x78, cb_, BIT7)
    CB8(cbT, 0x80, cb_, RES0) CB8(cbT, 0x88, cb_, RES1) CB8(cbT, 0x90, cb_, RES2)
    CB8(cbT, 0x98, cb_, RES3) CB8(cbT, 0xA0, cb_, RES4) CB8(cbT, 0xA8, cb_, RES5)
    CB8(cbT, 0xB0, cb_, RES6) CB8(cbT, 0xB8, cb_, RES7)
    CB8(cbT, 0xC0, cb_, SET0) CB8(cbT, 0xC8, cb_, SET1) CB8(cbT, 0xD0, cb_, SET2)
    CB8(cbT, 0xD8, cb_, SET3) CB8(cbT, 0xE0, cb_, SET4) CB8(cbT, 0xE8, cb_, SET5)
    CB8(cbT, 0xF0, cb_, SET6) CB8(cbT, 0xF8, cb_, SET7)

    CB8(xcbT, 0x00, xcb_, RLC) CB8(xcbT, 0x08, xcb_, RRC) CB8(xcbT, 0x10, xcb_, RL)
    CB8(xcbT, 0x18, xcb_, RR) CB8(xcbT, 0x20, xcb_, SLA) CB8(xcbT, 0x28, xcb_, SRA)
    CB8(xcbT, 0x30, xcb_, SLL) CB8(xcbT, 0x38, xcb_, SRL)
    CB8(xcbT, 0x80, xcb_, RES0) CB8(xcbT, 0x88, xcb_, RES1) CB8(xcbT, 0x90, xcb_, RES2)
    CB8(xcbT, 0x98, xcb_, RES3) CB8(xcbT, 0xA0, xcb_, RES4) CB8(xcbT, 0xA8, xcb_, RES5)
    CB8(xcbT, 0xB0, xcb_, RES6) CB8(xcbT, 0xB8, xcb_, RES7)
    CB8(xcbT, 0xC0, xcb_, SET0) CB8(xcbT, 0xC8, xcb_, SET1) CB8(xcbT, 0xD0, xcb_, SET2)
    CB8(xcbT, 0xD8, xcb_, SET3) CB8(xcbT, 0xE0, xcb_, SET4) CB8(xcbT, 0xE8, xcb_, SET5)
    CB8(xcbT, 0xF0, xcb_, SET6) CB8(xcbT, 0xF8, xcb_, SET7)
#undef CB8
    // BIT n,(IX+d) ignores the register field.
    {
      const void* const bits[8] = {&&xcb_BIT0, &&xcb_BIT1, &&xcb_BIT2, &&xcb_BIT3,
                                   &&xcb_BIT4, &&xcb_BIT5, &&xcb_BIT6, &&xcb_BIT7};
      for (int op = 0x40; op < 0x80; ++op) xcbT[op] = bits[(op >> 3) & 7];
    }

    for (int op = 0; op < 256; ++op) {
      edT[op] = &&ed_hole;
      ddT[op] = &&dd_ignore;
      fdT[op] = &&fd_ignore;
    }
#define ED_OPS(X)                                                                           \
  X(40) X(41) X(42) X(43) X(44) X(45) X(46) X(47) X(48) X(49) X(4A) X(4B) X(4C) X(4D) X(4E) \
  X(4F) X(50) X(51) X(52) X(53) X(54) X(55) X(56) X(57) X(58) X(59) X(5A) X(5B) X(5C) X(5D) \
  X(5E) X(5F) X(60) X(61) X(62) X(63) X(64) X(65) X(66) X(67) X(68) X(69) X(6A) X(6B) X(6C) \
  X(6D) X(6E) X(6F) X(70) X(71) X(72) X(73) X(74) X(75) X(76) X(78) X(79) X(7A) X(7B) \
  X(7C) X(7D) X(7E) X(A0) X(A1) X(A2) X(A3) X(A8) X(A9) X(AA) X(AB) X(B0) X(B1) X(B2) X(B3) \
  X(B8) X(B9) X(BA) X(BB)
#define SET_ED(h) edT[0x##h] = &&ed_##h;
    ED_OPS(SET_ED)
#undef SET_ED
#define INDEX_OPS(X)                                                                        \
  X(09) X(19) X(21) X(22) X(23) X(24) X(25) X(26) X(29) X(2A) X(2B) X(2C) X(2D) X(2E) X(34) \
  X(35) X(36) X(39) X(44) X(45) X(46) X(4C) X(4D) X(4E) X(54) X(55) X(56) X(5C) X(5D) X(5E) \
  X(60) X(61) X(62) X(63) X(65) X(66) X(67) X(68) X(69) X(6A) X(6B) X(6C) X(6E) X(6F) X(70) \
  X(71) X(72) X(73) X(74) X(75) X(77) X(7C) X(7D) X(7E) X(84) X(85) X(86) X(8C) X(8D) X(8E) \
  X(94) X(95) X(96) X(9C) X(9D) X(9E) X(A4) X(A5) X(A6) X(AC) X(AD) X(AE) X(B4) X(B5) X(B6) \
  X(BC) X(BD) X(BE) X(CB) X(E1) X(E3) X(E5) X(E9) X(F9)
#define SET_DD(h) ddT[0x##h] = &&dd_##h;
#define SET_FD(h) fdT[0x##h] = &&fd_##h;
    INDEX_OPS(SET_DD)
    INDEX_OPS(SET_FD)
#undef SET_DD
#undef SET_FD
    tablesReady = true;
  }

  // Step 1: a run without a fetch limit reports the T-states of an interrupt accepted since
  // the last run as executed; they are the interrupt's time, not extra time for instructions.
  const uint32_t interruptT = run.fetchCounter == 0x7FFFFFFF ? g.pendingT : 0;
  g.pendingT = 0;
  run.eiPending = false;
  // The remaining count is a signed 32-bit value.
  const uint32_t budget = tstates > 0x7FFF0000u ? 0x7FFF0000u : tstates;
  run.start = budget + interruptT;
  int32_t rem = static_cast<int32_t>(budget);
  int32_t fc = run.fetchCounter;

  uint32_t a = g.af >> 8;
  uint32_t f = g.af & 0xD7;
  uint32_t q = g.af & 0xFF;
  uint32_t bc = g.bc, de = g.de, hl = g.hl, sp = g.sp, pc = g.pc;
  // R grows with every opcode fetch, as the fetch counter falls: R = rbase - fc.
  uint32_t rbase = g.r + static_cast<uint32_t>(fc);
  uint32_t ea = 0;  // (IX+d) / (IY+d) of the DDCB page

#define STORE_REGS()                                        \
  do {                                                      \
    g.af = static_cast<uint16_t>((a << 8) | f | (q & (YF | XF))); \
    g.bc = bc; g.de = de; g.hl = hl; g.sp = sp; g.pc = pc;  \
    g.r = static_cast<uint8_t>(rbase - fc);                 \
  } while (0)
#define LOAD_REGS()                                         \
  do {                                                      \
    a = g.af >> 8; f = g.af & 0xD7; q = g.af & 0xFF;        \
    bc = g.bc; de = g.de; hl = g.hl; sp = g.sp; pc = g.pc;  \
    rbase = g.r + static_cast<uint32_t>(fc);                                   \
  } while (0)

  // Step 2.
  if (--fc < 0) goto out_of_fetches;
  DISPATCH();

// ---- main page -------------------------------------------------------------------------------
#define LDRR(op, D, S) m_##op: SET_##D(S##_); NEXT(4);
#define LDRM(op, D) m_##op: { const uint32_t v = RD(hl); SET_##D(v); } NEXT(7);
#define LD_ROW(h0, h1, h2, h3, h4, h5, h6, h7, DST)                                     \
  LDRR(h0, DST, B) LDRR(h1, DST, C) LDRR(h2, DST, D) LDRR(h3, DST, E) LDRR(h4, DST, H)      \
  LDRR(h5, DST, L) LDRM(h6, DST) LDRR(h7, DST, A)
  LD_ROW(40, 41, 42, 43, 44, 45, 46, 47, B)
  LD_ROW(48, 49, 4A, 4B, 4C, 4D, 4E, 4F, C)
  LD_ROW(50, 51, 52, 53, 54, 55, 56, 57, D)
  LD_ROW(58, 59, 5A, 5B, 5C, 5D, 5E, 5F, E)
  LD_ROW(60, 61, 62, 63, 64, 65, 66, 67, H)
  LD_ROW(68, 69, 6A, 6B, 6C, 6D, 6E, 6F, L)
  LD_ROW(78, 79, 7A, 7B, 7C, 7D, 7E, 7F, A)
m_70: WR(hl, B_); NEXT(7);
m_71: WR(hl, C_); NEXT(7);
m_72: WR(hl, D_); NEXT(7);
m_73: WR(hl, E_); NEXT(7);
m_74: WR(hl, H_); NEXT(7);
m_75: WR(hl, L_); NEXT(7);
m_77: WR(hl, a); NEXT(7);
m_76:  // HALT: re-executed every 4 T-states until an interrupt; repetitions are counted at once
  {
    g.halted = 1;
    pc = (pc - 1) & 0xFFFF;
    // Executions until the budget test fails (at least this one) or the fetch counter does.
    const int32_t byBudget = rem > 4 ? (rem + 3) / 4 : 1;
    const int32_t byFetch = fc + 1;
    if (byBudget <= byFetch) {
      rem -= 4 * byBudget;
      fc -= byBudget - 1;
      goto end_test;
    }
    rem -= 4 * byFetch;
    fc = -1;
    goto out_of_fetches;
  }

#define ALUR(op, OPN, S) m_##op: OPN(S##_); NEXT(4);
#define ALU_ROW(h0, h1, h2, h3, h4, h5, h6, h7, OPN)                                     \
  ALUR(h0, OPN, B) ALUR(h1, OPN, C) ALUR(h2, OPN, D) ALUR(h3, OPN, E) ALUR(h4, OPN, H)    \
  ALUR(h5, OPN, L) m_##h6: { const uint32_t v = RD(hl); OPN(v); } NEXT(7);                 \
  ALUR(h7, OPN, A)
  ALU_ROW(80, 81, 82, 83, 84, 85, 86, 87, ADD8)
  ALU_ROW(88, 89, 8A, 8B, 8C, 8D, 8E, 8F, ADC8)
  ALU_ROW(90, 91, 92, 93, 94, 95, 96, 97, SUB8)
  ALU_ROW(98, 99, 9A, 9B, 9C, 9D, 9E, 9F, SBC8)
  ALU_ROW(A0, A1, A2, A3, A4, A5, A6, A7, AND8)
  ALU_ROW(A8, A9, AA, AB, AC, AD, AE, AF, XOR8)
  ALU_ROW(B0, B1, B2, B3, B4, B5, B6, B7, OR8)
  ALU_ROW(B8, B9, BA, BB, BC, BD, BE, BF, CP8)

#define INCR(op, R) m_##op: { uint32_t v = R##_; INC_V(v); SET_##R(v); } NEXT(4);
#define DECR(op, R) m_##op: { uint32_t v = R##_; DEC_V(v); SET_##R(v); } NEXT(4);
#define LDRN(op, R) m_##op: { const uint32_t v = IMM8(); SET_##R(v); } NEXT(7);
  INCR(04, B) DECR(05, B) LDRN(06, B)
  INCR(0C, C) DECR(0D, C) LDRN(0E, C)
  INCR(14, D) DECR(15, D) LDRN(16, D)
  INCR(1C, E) DECR(1D, E) LDRN(1E, E)
  INCR(24, H) DECR(25, H) LDRN(26, H)
  INCR(2C, L) DECR(2D, L) LDRN(2E, L)
  INCR(3C, A) DECR(3D, A) LDRN(3E, A)

m_00: NEXT(4);
m_01: bc = IMM16(); NEXT(10);
m_11: de = IMM16(); NEXT(10);
m_21: hl = IMM16(); NEXT(10);
m_31: sp = IMM16(); NEXT(10);
m_02: WR(bc, a); NEXT(7);
m_12: WR(de, a); NEXT(7);
m_0A: a = RD(bc); NEXT(7);
m_1A: a = RD(de); NEXT(7);
m_03: bc = (bc + 1) & 0xFFFF; NEXT(6);
m_13: de = (de + 1) & 0xFFFF; NEXT(6);
m_23: hl = (hl + 1) & 0xFFFF; NEXT(6);
m_33: sp = (sp + 1) & 0xFFFF; NEXT(6);
m_0B: bc = (bc - 1) & 0xFFFF; NEXT(6);
m_1B: de = (de - 1) & 0xFFFF; NEXT(6);
m_2B: hl = (hl - 1) & 0xFFFF; NEXT(6);
m_3B: sp = (sp - 1) & 0xFFFF; NEXT(6);
m_09: hl = ADD16(hl, bc); NEXT(11);
m_19: hl = ADD16(hl, de); NEXT(11);
m_29: hl = ADD16(hl, hl); NEXT(11);
m_39: hl = ADD16(hl, sp); NEXT(11);
m_07:  // RLCA
  a = ((a << 1) | (a >> 7)) & 0xFF;
  f = (f & (SF | ZF | VF)) | (a & CF);
  q = a;
  NEXT(4);
m_0F:  // RRCA
  f = (f & (SF | ZF | VF)) | (a & CF);
  a = ((a >> 1) | (a << 7)) & 0xFF;
  q = a;
  NEXT(4);
m_17:  // RLA
  {
    const uint32_t c = a >> 7;
    a = ((a << 1) | (f & CF)) & 0xFF;
    f = (f & (SF | ZF | VF)) | c;
    q = a;
  }
  NEXT(4);
m_1F:  // RRA
  {
    const uint32_t c = a & CF;
    a = (a >> 1) | ((f & CF) << 7);
    f = (f & (SF | ZF | VF)) | c;
    q = a;
  }
  NEXT(4);
m_08:  // EX AF,AF'
  {
    const uint32_t other = g.af2;
    g.af2 = static_cast<uint16_t>((a << 8) | f | (q & (YF | XF)));
    a = other >> 8;
    f = other & 0xD7;
    q = other & 0xFF;
  }
  NEXT(4);
m_10:  // DJNZ
  {
    const uint32_t d = DISP();
    bc = (bc - 0x100) & 0xFFFF;
    if (bc >> 8) {
      pc = (pc + d) & 0xFFFF;
      NEXT(13);
    }
  }
  NEXT(8);
m_18:
  {
    const uint32_t d = DISP();
    pc = (pc + d) & 0xFFFF;
  }
  NEXT(12);
#define JRCC(op, cond)                 \
  m_##op: {                            \
    const uint32_t d = DISP();         \
    if (cond) {                        \
      pc = (pc + d) & 0xFFFF;          \
      NEXT(12);                        \
    }                                  \
  }                                    \
  NEXT(7);
  JRCC(20, !(f & ZF)) JRCC(28, f & ZF) JRCC(30, !(f & CF)) JRCC(38, f & CF)
m_22: { const uint32_t ad = IMM16(); WR16(ad, hl); } NEXT(16);
m_2A: { const uint32_t ad = IMM16(); hl = RD16(ad); } NEXT(16);
m_32: { const uint32_t ad = IMM16(); WR(ad, a); } NEXT(13);
m_3A: { const uint32_t ad = IMM16(); a = RD(ad); } NEXT(13);
m_27:  // DAA
  {
    const uint32_t e = kDaa[((f & HF) << 6) | ((f & (NF | CF)) << 8) | a];
    a = e >> 8;
    f = e & 0xFF;
    q = a;
  }
  NEXT(4);
m_2F:  // CPL
  a ^= 0xFF;
  f = (f & (SF | ZF | VF | CF)) | HF | NF;
  q = a;
  NEXT(4);
m_34: { uint32_t v = RD(hl); INC_V(v); WR(hl, v); } NEXT(11);
m_35: { uint32_t v = RD(hl); DEC_V(v); WR(hl, v); } NEXT(11);
m_36: { const uint32_t v = IMM8(); WR(hl, v); } NEXT(10);
m_37:  // SCF: bits 5 and 3 from A
  f = (f & (SF | ZF | VF)) | CF;
  q = a;
  NEXT(4);
m_3F:  // CCF: H takes the old carry
  f = ((f & (SF | ZF | VF | CF)) | ((f & CF) << 4)) ^ CF;
  q = a;
  NEXT(4);

#define CC_NZ (!(f & ZF))
#define CC_Z (f & ZF)
#define CC_NC (!(f & CF))
#define CC_C (f & CF)
#define CC_PO (!(f & VF))
#define CC_PE (f & VF)
#define CC_P (!(f & SF))
#define CC_M (f & SF)
#define RETCC(op, cond) m_##op: if (cond) { pc = POP16(); NEXT(11); } NEXT(5);
#define JPCC(op, cond) m_##op: { const uint32_t ad = IMM16(); if (cond) pc = ad; } NEXT(10);
#define CALLCC(op, cond)                 \
  m_##op: {                              \
    const uint32_t ad = IMM16();         \
    if (cond) {                          \
      PUSH16(pc);                        \
      pc = ad;                           \
      NEXT(17);                          \
    }                                    \
  }                                      \
  NEXT(10);
#define RST(op, target) m_##op: PUSH16(pc); pc = target; NEXT(11);
  RETCC(C0, CC_NZ) RETCC(C8, CC_Z) RETCC(D0, CC_NC) RETCC(D8, CC_C)
  RETCC(E0, CC_PO) RETCC(E8, CC_PE) RETCC(F0, CC_P) RETCC(F8, CC_M)
  JPCC(C2, CC_NZ) JPCC(CA, CC_Z) JPCC(D2, CC_NC) JPCC(DA, CC_C)
  JPCC(E2, CC_PO) JPCC(EA, CC_PE) JPCC(F2, CC_P) JPCC(FA, CC_M)
  CALLCC(C4, CC_NZ) CALLCC(CC, CC_Z) CALLCC(D4, CC_NC) CALLCC(DC, CC_C)
  CALLCC(E4, CC_PO) CALLCC(EC, CC_PE) CALLCC(F4, CC_P) CALLCC(FC, CC_M)
  RST(C7, 0x00) RST(CF, 0x08) RST(D7, 0x10) RST(DF, 0x18)
  RST(E7, 0x20) RST(EF, 0x28) RST(F7, 0x30) RST(FF, 0x38)
m_C3: pc = IMM16(); NEXT(10);
m_C9: pc = POP16(); NEXT(10);
m_CD: { const uint32_t ad = IMM16(); PUSH16(pc); pc = ad; } NEXT(17);
m_C1: bc = POP16(); NEXT(10);
m_D1: de = POP16(); NEXT(10);
m_E1: hl = POP16(); NEXT(10);
m_F1: { const uint32_t v = POP16(); a = v >> 8; f = v & 0xD7; q = v & 0xFF; } NEXT(10);
m_C5: PUSH16(bc); NEXT(11);
m_D5: PUSH16(de); NEXT(11);
m_E5: PUSH16(hl); NEXT(11);
m_F5: PUSH16((a << 8) | f | (q & (YF | XF))); NEXT(11);
m_C6: { const uint32_t v = IMM8(); ADD8(v); } NEXT(7);
m_CE: { const uint32_t v = IMM8(); ADC8(v); } NEXT(7);
m_D6: { const uint32_t v = IMM8(); SUB8(v); } NEXT(7);
m_DE: { const uint32_t v = IMM8(); SBC8(v); } NEXT(7);
m_E6: { const uint32_t v = IMM8(); AND8(v); } NEXT(7);
m_EE: { const uint32_t v = IMM8(); XOR8(v); } NEXT(7);
m_F6: { const uint32_t v = IMM8(); OR8(v); } NEXT(7);
m_FE: { const uint32_t v = IMM8(); CP8(v); } NEXT(7);
m_D3: { const uint32_t n = IMM8(); OUT((a << 8) | n, a); } NEXT(11);
m_DB: { const uint32_t n = IMM8(); a = IN((a << 8) | n); } NEXT(11);
m_D9:  // EXX
  {
    uint32_t t = g.bc2; g.bc2 = static_cast<uint16_t>(bc); bc = t;
    t = g.de2; g.de2 = static_cast<uint16_t>(de); de = t;
    t = g.hl2; g.hl2 = static_cast<uint16_t>(hl); hl = t;
  }
  NEXT(4);
m_E3:  // EX (SP),HL
  {
    const uint32_t lo = RD(sp), hi = RD((sp + 1) & 0xFFFF);
    WR((sp + 1) & 0xFFFF, H_);
    WR(sp, L_);
    hl = lo | (hi << 8);
  }
  NEXT(19);
m_E9: pc = hl; NEXT(4);
m_EB: { const uint32_t t = de; de = hl; hl = t; } NEXT(4);
m_F9: sp = hl; NEXT(6);
m_F3: g.iff1 = g.iff2 = 0; NEXT(4);
m_FB:  // EI: the run's end test fires after the next instruction, which examines the INT line
  if (UNLIKELY(run.eiPending)) {
    // EI in the shadow of an EI: charge the earlier one now; interrupts stay blocked.
    rem = run.saved + 1 - 4;
    run.eiPending = false;
    if (rem <= 0) {
      rem -= 4;
      goto finish;
    }
  }
  g.iff1 = g.iff2 = kIffOn;
  run.eiPending = true;
  run.saved = rem - 1;
  rem = 1;
  if (UNLIKELY(--fc < 0)) goto out_of_fetches;
  DISPATCH();
m_CB: PREFIX(cbT);
m_ED: PREFIX(edT);
m_DD: PREFIX(ddT);
m_FD: PREFIX(fdT);

// ---- CB page ---------------------------------------------------------------------------------
#define CB_REG(OP, R, BODY) cb_##OP##_##R: { uint32_t v = R##_; BODY(v) SET_##R(v); } NEXT(8);
#define CB_ROW(OP, BODY)                                                                   \
  CB_REG(OP, B, BODY) CB_REG(OP, C, BODY) CB_REG(OP, D, BODY) CB_REG(OP, E, BODY)          \
  CB_REG(OP, H, BODY) CB_REG(OP, L, BODY) CB_REG(OP, A, BODY)                              \
  cb_##OP##_M: { uint32_t v = RD(hl); BODY(v) WR(hl, v); } NEXT(15);
#define BODY_RES0(v) v &= ~0x01u;
#define BODY_RES1(v) v &= ~0x02u;
#define BODY_RES2(v) v &= ~0x04u;
#define BODY_RES3(v) v &= ~0x08u;
#define BODY_RES4(v) v &= ~0x10u;
#define BODY_RES5(v) v &= ~0x20u;
#define BODY_RES6(v) v &= ~0x40u;
#define BODY_RES7(v) v &= ~0x80u;
#define BODY_SET0(v) v |= 0x01u;
#define BODY_SET1(v) v |= 0x02u;
#define BODY_SET2(v) v |= 0x04u;
#define BODY_SET3(v) v |= 0x08u;
#define BODY_SET4(v) v |= 0x10u;
#define BODY_SET5(v) v |= 0x20u;
#define BODY_SET6(v) v |= 0x40u;
#define BODY_SET7(v) v |= 0x80u;
  CB_ROW(RLC, ROT_RLC) CB_ROW(RRC, ROT_RRC) CB_ROW(RL, ROT_RL) CB_ROW(RR, ROT_RR)
  CB_ROW(SLA, ROT_SLA) CB_ROW(SRA, ROT_SRA) CB_ROW(SLL, ROT_SLL) CB_ROW(SRL, ROT_SRL)
  CB_ROW(RES0, BODY_RES0) CB_ROW(RES1, BODY_RES1) CB_ROW(RES2, BODY_RES2)
  CB_ROW(RES3, BODY_RES3) CB_ROW(RES4, BODY_RES4) CB_ROW(RES5, BODY_RES5)
  CB_ROW(RES6, BODY_RES6) CB_ROW(RES7, BODY_RES7)
  CB_ROW(SET0, BODY_SET0) CB_ROW(SET1, BODY_SET1) CB_ROW(SET2, BODY_SET2)
  CB_ROW(SET3, BODY_SET3) CB_ROW(SET4, BODY_SET4) CB_ROW(SET5, BODY_SET5)
  CB_ROW(SET6, BODY_SET6) CB_ROW(SET7, BODY_SET7)
// BIT n,r takes bits 5 and 3 from the register; BIT n,(HL) leaves the shadow as it was.
#define CB_BIT_REG(n, R) cb_BIT##n##_##R: { const uint32_t v = R##_; BIT_FLAGS(n, v); q = v; } NEXT(8);
#define CB_BIT_ROW(n)                                                                       \
  CB_BIT_REG(n, B) CB_BIT_REG(n, C) CB_BIT_REG(n, D) CB_BIT_REG(n, E) CB_BIT_REG(n, H)      \
  CB_BIT_REG(n, L) CB_BIT_REG(n, A)                                                         \
  cb_BIT##n##_M: { const uint32_t v = RD(hl); BIT_FLAGS(n, v); } NEXT(12);
  CB_BIT_ROW(0) CB_BIT_ROW(1) CB_BIT_ROW(2) CB_BIT_ROW(3)
  CB_BIT_ROW(4) CB_BIT_ROW(5) CB_BIT_ROW(6) CB_BIT_ROW(7)

// ---- DDCB / FDCB page: ea holds IX+d or IY+d -------------------------------------------------
// The undocumented forms copy the result into a register as well (M: no copy).
#define XCB_ONE(OP, R, BODY) xcb_##OP##_##R: { uint32_t v = RD(ea); BODY(v) WR(ea, v); SET_##R(v); } NEXT(23);
#define XCB_ROW(OP, BODY)                                                                    \
  XCB_ONE(OP, B, BODY) XCB_ONE(OP, C, BODY) XCB_ONE(OP, D, BODY) XCB_ONE(OP, E, BODY)       \
  XCB_ONE(OP, H, BODY) XCB_ONE(OP, L, BODY) XCB_ONE(OP, M, BODY) XCB_ONE(OP, A, BODY)
  XCB_ROW(RLC, ROT_RLC) XCB_ROW(RRC, ROT_RRC) XCB_ROW(RL, ROT_RL) XCB_ROW(RR, ROT_RR)
  XCB_ROW(SLA, ROT_SLA) XCB_ROW(SRA, ROT_SRA) XCB_ROW(SLL, ROT_SLL) XCB_ROW(SRL, ROT_SRL)
  XCB_ROW(RES0, BODY_RES0) XCB_ROW(RES1, BODY_RES1) XCB_ROW(RES2, BODY_RES2)
  XCB_ROW(RES3, BODY_RES3) XCB_ROW(RES4, BODY_RES4) XCB_ROW(RES5, BODY_RES5)
  XCB_ROW(RES6, BODY_RES6) XCB_ROW(RES7, BODY_RES7)
  XCB_ROW(SET0, BODY_SET0) XCB_ROW(SET1, BODY_SET1) XCB_ROW(SET2, BODY_SET2)
  XCB_ROW(SET3, BODY_SET3) XCB_ROW(SET4, BODY_SET4) XCB_ROW(SET5, BODY_SET5)
  XCB_ROW(SET6, BODY_SET6) XCB_ROW(SET7, BODY_SET7)
// BIT n,(IX+d): bits 5 and 3 from the high byte of the address.
#define XCB_BIT(n) xcb_BIT##n: { const uint32_t v = RD(ea); BIT_FLAGS(n, v); q = ea >> 8; } NEXT(20);
  XCB_BIT(0) XCB_BIT(1) XCB_BIT(2) XCB_BIT(3) XCB_BIT(4) XCB_BIT(5) XCB_BIT(6) XCB_BIT(7)

// ---- ED page ---------------------------------------------------------------------------------
ed_hole: NEXT(8);
#define ED_IN(op, R) ed_##op: { const uint32_t v = IN(bc); f = (f & CF) | kSZP[v]; q = v; SET_##R(v); } NEXT(12);
#define ED_OUT(op, R) ed_##op: OUT(bc, R##_); NEXT(12);
  ED_IN(40, B) ED_IN(48, C) ED_IN(50, D) ED_IN(58, E) ED_IN(60, H) ED_IN(68, L) ED_IN(78, A)
  ED_IN(70, M)  // IN F,(C): flags only
  ED_OUT(41, B) ED_OUT(49, C) ED_OUT(51, D) ED_OUT(59, E) ED_OUT(61, H) ED_OUT(69, L)
  ED_OUT(79, A)
ed_71: OUT(bc, 0); NEXT(12);
ed_42: hl = SBC16(hl, bc); NEXT(15);
ed_52: hl = SBC16(hl, de); NEXT(15);
ed_62: hl = SBC16(hl, hl); NEXT(15);
ed_72: hl = SBC16(hl, sp); NEXT(15);
ed_4A: hl = ADC16(hl, bc); NEXT(15);
ed_5A: hl = ADC16(hl, de); NEXT(15);
ed_6A: hl = ADC16(hl, hl); NEXT(15);
ed_7A: hl = ADC16(hl, sp); NEXT(15);
ed_43: { const uint32_t ad = IMM16(); WR16(ad, bc); } NEXT(20);
ed_53: { const uint32_t ad = IMM16(); WR16(ad, de); } NEXT(20);
ed_63: { const uint32_t ad = IMM16(); WR16(ad, hl); } NEXT(20);
ed_73: { const uint32_t ad = IMM16(); WR16(ad, sp); } NEXT(20);
ed_4B: { const uint32_t ad = IMM16(); bc = RD16(ad); } NEXT(20);
ed_5B: { const uint32_t ad = IMM16(); de = RD16(ad); } NEXT(20);
ed_6B: { const uint32_t ad = IMM16(); hl = RD16(ad); } NEXT(20);
ed_7B: { const uint32_t ad = IMM16(); sp = RD16(ad); } NEXT(20);
ed_44: ed_4C: ed_54: ed_5C: ed_64: ed_6C: ed_74: ed_7C:  // NEG
  {
    const uint32_t v = a;
    a = 0;
    SUB8(v);
  }
  NEXT(8);
ed_45: ed_55: ed_5D: ed_65: ed_6D: ed_75: ed_7D:  // RETN
  g.iff1 = g.iff2;
  pc = POP16();
  NEXT(14);
ed_4D:  // RETI
  g.iff1 = g.iff2;
  pc = POP16();
  SYNC();
  g.reti();
  NEXT(14);
ed_46: ed_4E: ed_66: ed_6E: g.im = 0; NEXT(8);
ed_56: ed_76: g.im = 1; NEXT(8);
ed_5E: ed_7E: g.im = 2; NEXT(8);
ed_47: g.i = static_cast<uint8_t>(a); NEXT(9);
ed_4F: rbase = a + fc; g.r7 = a & 0x80; NEXT(9);
ed_57: a = g.i; f = (f & CF) | kSZ[a] | g.iff2; q = a; NEXT(9);
ed_5F: a = ((rbase - fc) & 0x7F) | g.r7; f = (f & CF) | kSZ[a] | g.iff2; q = a; NEXT(9);
ed_67:  // RRD
  {
    const uint32_t v = RD(hl);
    WR(hl, ((a << 4) | (v >> 4)) & 0xFF);
    a = (a & 0xF0) | (v & 0x0F);
    f = (f & CF) | kSZP[a];
    q = a;
  }
  NEXT(18);
ed_6F:  // RLD
  {
    const uint32_t v = RD(hl);
    WR(hl, ((v << 4) | (a & 0x0F)) & 0xFF);
    a = (a & 0xF0) | (v >> 4);
    f = (f & CF) | kSZP[a];
    q = a;
  }
  NEXT(18);

#define LD_PASS(step)                                        \
  const uint32_t v = RD(hl);                                 \
  WR(de, v);                                                 \
  hl = (hl + (step)) & 0xFFFF;                               \
  de = (de + (step)) & 0xFFFF;                               \
  bc = (bc - 1) & 0xFFFF;                                    \
  f = (f & (SF | ZF | CF)) | (bc ? VF : 0);                  \
  BLOCK_SHADOW(a + v);
ed_A0: { LD_PASS(1) } NEXT(16);
ed_A8: { LD_PASS(0xFFFF) } NEXT(16);
ed_B0: { LD_PASS(1) if (bc) REDISPATCH(); } NEXT(16);
ed_B8: { LD_PASS(0xFFFF) if (bc) REDISPATCH(); } NEXT(16);

#define CP_PASS(step)                                                  \
  const uint32_t v = RD(hl);                                           \
  const uint32_t res = (a - v) & 0xFF;                                 \
  const uint32_t half = (a ^ v ^ res) & HF;                            \
  hl = (hl + (step)) & 0xFFFF;                                         \
  bc = (bc - 1) & 0xFFFF;                                              \
  f = (f & CF) | NF | kSZ[res] | half | (bc ? VF : 0);                 \
  BLOCK_SHADOW(res - (half >> 4));
ed_A1: { CP_PASS(1) } NEXT(16);
ed_A9: { CP_PASS(0xFFFF) } NEXT(16);
ed_B1: { CP_PASS(1) if (bc && res) REDISPATCH(); } NEXT(16);
ed_B9: { CP_PASS(0xFFFF) if (bc && res) REDISPATCH(); } NEXT(16);

// INI/IND read port BC before B is decremented.
#define IN_PASS(step, kstep)                                  \
  const uint32_t v = IN(bc);                                  \
  WR(hl, v);                                                  \
  hl = (hl + (step)) & 0xFFFF;                                \
  const uint32_t b = (B_ - 1) & 0xFF;                         \
  SET_B(b);                                                   \
  BLOCK_IO_FLAGS(v, (C_ + (kstep)) & 0xFF, b);
ed_A2: { IN_PASS(1, 1) } NEXT(16);
ed_AA: { IN_PASS(0xFFFF, 0xFF) } NEXT(16);
ed_B2: inir_pass: { IN_PASS(1, 1) if (b) REPEAT(inir_pass); } NEXT(16);
ed_BA: indr_pass: { IN_PASS(0xFFFF, 0xFF) if (b) REPEAT(indr_pass); } NEXT(16);

// OUTI/OUTD write to port BC after B is decremented.
#define OUT_PASS(step)                                        \
  const uint32_t v = RD(hl);                                  \
  const uint32_t b = (B_ - 1) & 0xFF;                         \
  SET_B(b);                                                   \
  OUT(bc, v);                                                 \
  hl = (hl + (step)) & 0xFFFF;                                \
  BLOCK_IO_FLAGS(v, (C_ + 1) & 0xFF, b);
ed_A3: { OUT_PASS(1) } NEXT(16);
ed_AB: { OUT_PASS(0xFFFF) } NEXT(16);
ed_B3: { OUT_PASS(1) if (b) REDISPATCH(); } NEXT(16);
ed_BB: otdr_pass: { OUT_PASS(0xFFFF) if (b) REPEAT(otdr_pass); } NEXT(16);

// ---- DD and FD pages -------------------------------------------------------------------------
#define XY g.ix
#define IDX(h) dd_##h
#include "emulation/z80_index_page.inc"
#undef XY
#undef IDX
#define XY g.iy
#define IDX(h) fd_##h
#include "emulation/z80_index_page.inc"
#undef XY
#undef IDX

// ---- end of run ------------------------------------------------------------------------------
end_test:
  if (UNLIKELY(run.eiPending)) {
    // The instruction after EI is done: the INT line is examined, then EI itself is charged.
    run.eiPending = false;
    rem = run.saved + rem;
    if (g.intLine && g.iff1) {
      STORE_REGS();
      SYNC();
      AcceptInterrupt();
      LOAD_REGS();
    }
    rem -= 4;
    if (rem > 0) {
      if (--fc < 0) goto out_of_fetches;
      DISPATCH();
    }
  }
  goto finish;
out_of_fetches:  // the counter fell without an opcode fetch, so R did not grow
  rbase--;
finish:
  if (run.eiPending) {  // the fetch counter ran out right after EI
    rem = run.saved + rem - 4;
    run.eiPending = false;
  }
  STORE_REGS();
  run.rem = rem;
  run.fetchCounter = fc;
  return static_cast<uint32_t>(static_cast<int64_t>(run.start) - rem);
}
