// Number conversions at the border between scripts and the program.
#include "scripting/script_numbers.h"

#include <cmath>
#include <limits>

int32_t ScriptToInt(lua_Number value) {
  // Both bounds are exact doubles; NaN fails both comparisons.
  if (!(value > -2147483649.0 && value < 2147483648.0)) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

float ScriptToFloat(lua_Number value) {
  constexpr double largest = std::numeric_limits<float>::max();
  if (value > largest) return std::numeric_limits<float>::infinity();
  if (value < -largest) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

void PushScriptNumber(lua_State* L, double value) { lua_pushnumber(L, ScriptToFloat(value)); }

int32_t CheckScriptInt(lua_State* L, int arg) { return ScriptToInt(luaL_checknumber(L, arg)); }
