// The table `gbox`: the nineteen program functions that scripts call to write captions, move the
// camera, set the background colour, read the clock, sleep, draw random numbers, log, read
// result-code texts, choose files from the snapshot archive and end themselves; and the table
// gbox.Error of result codes. Registered in run mode only.
#pragma once

#include <lua.hpp>

#include <cstdint>

// Registers gbox and gbox.Error; the stack is left as it was.
void OpenScriptFunctions(lua_State* L);

// The arithmetic of gbox.Random, from one 32-bit draw of the program's generator.
// The unit value r in [0, 1], single precision (a draw just below 2^32 rounds to 1).
float RandomUnit(uint32_t draw);
// Random(m): 1 to m. Random(m, n): m to n. Products are rounded to single precision as scripts
// expect; the result never leaves the interval, also where that rounding reaches its end.
double RandomUpTo(float r, int32_t m);
double RandomBetween(float r, int32_t m, int32_t n);

// gbox.SetBackgroundColour's stored value: the low bytes of r, g and b as 0x00BBGGRR.
uint32_t BackgroundColourOf(int32_t r, int32_t g, int32_t b);
