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

// The run's registers live in locals; these move them to and from the context (R is kept as a
// base that the falling fetch counter is subtracted from).
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

uint32_t Z80Execute(uint32_t tstates) {
  static bool tablesReady = false;
  static const void* mainT[256];
  static const void* cbT[256];
  static const void* edT[256];
  static const void* ddT[256];
  static const void* fdT[256];
  static const void* xcbT[256];

  if (UNLIKELY(!tablesReady)) {
#include "emulation/z80_dispatch_tables.inc"
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

  // Step 2.
  if (--fc < 0) goto out_of_fetches;
  DISPATCH();

#include "emulation/z80_main_page.inc"
#include "emulation/z80_cb_page.inc"
#include "emulation/z80_ed_page.inc"

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
