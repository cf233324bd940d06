// The format readers that snapshot loading dispatches to. Each takes the machine, reset and
// ready, and the whole file in memory, and returns a ResultCode; none reads outside the buffer.
// Recordings (rzx.h) are read through the snapshot loader, which keeps their player.
#pragma once

#include <cstdint>

class CMachineLoader;

// The six supported types, in this order; the index is the type number. The archive scan
// uses the same list.
constexpr int SNAPSHOT_TYPE_COUNT = 6;
extern const char* const SNAPSHOT_EXTENSIONS[SNAPSHOT_TYPE_COUNT];  // sna z80 rzx scr szx rom
enum { SNAPSHOT_SNA = 0, SNAPSHOT_Z80, SNAPSHOT_RZX, SNAPSHOT_SCR, SNAPSHOT_SZX, SNAPSHOT_ROM };

// The type of an extension (without the dot, any letter case), or -1.
int SnapshotTypeOf(const char* extension);

int32_t ReadSNA(CMachineLoader& machine, const uint8_t* data, uint32_t size);
int32_t ReadZ80(CMachineLoader& machine, const uint8_t* data, uint32_t size);
int32_t ReadSZX(CMachineLoader& machine, const uint8_t* data, uint32_t size);
int32_t ReadScreenImage(CMachineLoader& machine, const uint8_t* data, uint32_t size);
int32_t ReadROMImage(CMachineLoader& machine, const uint8_t* data, uint32_t size);
