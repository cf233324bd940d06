// The format readers that snapshot loading dispatches to. Each takes the machine and the whole
// file in memory and returns a ResultCode; none reads outside the buffer. A reader checks the
// file before it calls the machine's PrepareForLoad (the reset), so a file it refuses leaves the
// machine as it was, model and all. Recordings (rzx.h) and tapes (tape.h) are read through the
// snapshot loader, which keeps their player and deck.
#pragma once

#include <cstdint>

class CMachineLoader;

// The supported types, in this order; the index is the type number. The archive scan uses the
// same list.
constexpr int SNAPSHOT_TYPE_COUNT = 10;
extern const char* const SNAPSHOT_EXTENSIONS[SNAPSHOT_TYPE_COUNT];  // sna z80 rzx scr szx rom tap tzx pzx csw
enum {
  SNAPSHOT_SNA = 0,
  SNAPSHOT_Z80,
  SNAPSHOT_RZX,
  SNAPSHOT_SCR,
  SNAPSHOT_SZX,
  SNAPSHOT_ROM,
  SNAPSHOT_TAP,
  SNAPSHOT_TZX,
  SNAPSHOT_PZX,
  SNAPSHOT_CSW
};

// The type of an extension (without the dot, any letter case), or -1.
int SnapshotTypeOf(const char* extension);
inline bool IsTapeType(int type) { return type >= SNAPSHOT_TAP && type <= SNAPSHOT_CSW; }

int32_t ReadSNA(CMachineLoader& machine, const uint8_t* data, uint32_t size);
int32_t ReadZ80(CMachineLoader& machine, const uint8_t* data, uint32_t size);
int32_t ReadSZX(CMachineLoader& machine, const uint8_t* data, uint32_t size);
int32_t ReadScreenImage(CMachineLoader& machine, const uint8_t* data, uint32_t size);
int32_t ReadROMImage(CMachineLoader& machine, const uint8_t* data, uint32_t size);
