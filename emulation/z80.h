// The Z80 processor core: one program-wide interpreter that every emulated machine shares by
// loading its own context block before it runs and saving it afterwards.
//
// Usage, as a machine does it:
//   std::vector<uint8_t> context(Z80ContextSize());      // zero-filled
//   Z80LoadContext(context.data());
//   Z80InitMemoryMaps();
//   Z80MapFetch(0x0000, 0x3FFF, rom); Z80MapRead(0x0000, 0x3FFF, rom);   // ROM: no write map
//   Z80MapFetch(0x4000, 0xFFFF, ram);
//   Z80AddReadRange(0x4000, 0xFFFF, ram); Z80AddWriteRange(0x4000, 0xFFFF, ram);
//   Z80CloseRangeLists();
//   Z80Reset(); Z80SetPortReadHandler(...); Z80SaveContext(context.data());
//   ... each frame: Z80LoadContext, Z80SetFetchCounter(0x7FFFFFFF), Z80Interrupt(0xFF),
//       Z80ClearInterrupt, Z80Execute(budget) ..., Z80SaveContext.
//
// Timing is the documented Zilog T-state count of each instruction, without contention. Memory
// is reached through 256-byte pages: a fetch map (host memory only) and read and write maps whose
// pages may carry a handler. Reads of unmapped memory give 0xFF; writes to it are ignored.
#pragma once

#include <cstdint>

enum {
  REG_AF = 0, REG_BC, REG_DE, REG_HL, REG_IX, REG_IY, REG_PC, REG_SP,
  REG_AF2, REG_BC2, REG_DE2, REG_HL2,
  REG_IFF1, REG_IFF2, REG_IR, REG_IM, REG_BUS, REG_INT, REG_HALT
};

typedef uint8_t (*Z80ReadHandler)(uint16_t address);
typedef void (*Z80WriteHandler)(uint16_t address, uint8_t value);
typedef uint8_t (*Z80PortReadHandler)(uint16_t port);
typedef void (*Z80PortWriteHandler)(uint16_t port, uint8_t value);
typedef void (*Z80RetiHandler)();

// Bytes a caller allocates for one processor context.
uint32_t Z80ContextSize();
// Makes a context current (copies it into the core) / copies the core's state back into it.
void Z80LoadContext(const void* context);
void Z80SaveContext(void* context);

// Power-on registers: everything 0 except IX = IY = 0xFFFF and F = 0x40. Maps are untouched.
void Z80Reset();
uint16_t Z80GetRegister(int index);
void Z80SetRegister(int index, uint16_t value);

// Default handlers everywhere (reads 0xFF, writes ignored, ports 0xFF), empty range lists.
// The fetch map keeps its mappings; pages that were never mapped fetch 0xFF.
void Z80InitMemoryMaps();
// Whole-page mappings: address `first` corresponds to `host`; `first` should start a page.
void Z80MapFetch(uint16_t first, uint16_t last, uint8_t* host);
void Z80MapRead(uint16_t first, uint16_t last, uint8_t* host);
void Z80MapWrite(uint16_t first, uint16_t last, uint8_t* host);

// Byte-precise ranges: memory (address `first` corresponds to `host`) or a handler. Pages only
// partly covered are served by a walker over the range list, first match wins. At most 63
// ranges per list; close the lists once all ranges are added.
void Z80AddReadRange(uint16_t first, uint16_t last, uint8_t* host);
void Z80AddReadRange(uint16_t first, uint16_t last, Z80ReadHandler handler);
void Z80AddWriteRange(uint16_t first, uint16_t last, uint8_t* host);
void Z80AddWriteRange(uint16_t first, uint16_t last, Z80WriteHandler handler);
// Appends the catch-all entries (0xFF on read, ignore on write) that end every list walk.
void Z80CloseRangeLists();

void Z80SetPortReadHandler(Z80PortReadHandler handler);
void Z80SetPortWriteHandler(Z80PortWriteHandler handler);
void Z80SetRetiHandler(Z80RetiHandler handler);

// Runs whole instructions until the budget is used up (or the fetch counter runs out) and
// returns the T-states executed, which may pass the budget by the last instruction's overshoot.
// Without a fetch limit (counter 0x7FFFFFFF) the count also holds the T-states of an interrupt
// accepted since the last run; those are the interrupt's time, not extra budget.
uint32_t Z80Execute(uint32_t tstates);
// T-states executed so far in the current run; for handlers that time-stamp events.
uint32_t Z80ElapsedTStates();

// Opcode fetches left before a run stops; 0x7FFFFFFF means no limit.
int32_t Z80GetFetchCounter();
void Z80SetFetchCounter(int32_t count);

// Raises INT with the given bus byte and accepts it at once if IFF1 is on; the T-states of the
// acceptance are charged to the next run. Machines release the line right after.
void Z80Interrupt(uint8_t bus);
void Z80ClearInterrupt();
void Z80Nmi();
