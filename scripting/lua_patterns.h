// Lua's pattern functions with bounds: string.find, match, gmatch (and its old name gfind) and
// gsub, replaced by the same matcher with a limit on its recursion and on its work per call.
// Lua 5.1's own matcher recurses once per quantified item and can backtrack for ever inside one
// C call, where no count hook reaches it: a long pattern overflowed the C stack, and a short one
// with nested repetitions hung the program. Here both raise a Lua error in the script instead.
// Strings index the string table, so s:find() and the rest get the bounded functions too.
// string.rep of an empty string returns at once instead of looping once per repetition.
#pragma once

#include <lua.hpp>

// Deepest nesting of quantified items and captures one match may reach.
inline constexpr int PATTERN_MAX_DEPTH = 200;
// Work one call may do: each attempt at a position, each subject byte tried against an item.
inline constexpr long PATTERN_MAX_STEPS = 20000000;

// Replaces those functions of the global `string` table; leaves the stack as it was.
void OpenBoundedPatterns(lua_State* L);
