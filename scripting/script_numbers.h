// Numbers between scripts and the program. Scripts see single-precision numbers: every number the
// program hands to a script passes through float, so results match the interpreter the scripts
// were written for (4294967295 arrives as 4294967296, integers are exact up to 2^24). Numbers from
// scripts are converted without undefined behaviour, whatever their size.
#pragma once

#include <lua.hpp>

#include <cstdint>

// Truncation toward zero; NaN and anything outside the signed 32-bit range give -2147483648,
// the processor's integer-indefinite value.
int32_t ScriptToInt(lua_Number value);

// The nearest float; values beyond the float range become infinities, NaN stays NaN.
float ScriptToFloat(lua_Number value);

// Pushes `value` rounded to single precision.
void PushScriptNumber(lua_State* L, double value);

// luaL_checkint with the conversion above: a number or numeric string, else Lua's standard
// argument error.
int32_t CheckScriptInt(lua_State* L, int arg);
