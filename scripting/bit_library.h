// The table `bit`: nine bitwise operations for scripts, which have no bitwise operators, for
// example to test attribute bits read with Peek. Opened in details mode and in run mode alike.
//
// Every argument is a 32-bit integer (CheckScriptInt); bit numbers and shift counts use their
// low five bits. Results are the 32-bit value read as unsigned, handed over as a script number.
#pragma once

#include <lua.hpp>

// Registers the functions under the global name "bit" and leaves that table on the stack.
void OpenBitLibrary(lua_State* L);
