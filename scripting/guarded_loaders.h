// The base library's code loaders (loadstring, load, loadfile, dofile) as scripts get them. Lua
// 5.1 runs precompiled chunks without checking them, so crafted bytecode can crash the program:
// only source text is loaded. Files are read only when they are regular files no larger than a
// script may be; a named pipe, a device or standard input (loadfile without a name) would block
// the saver for ever.
#pragma once

#include <lua.hpp>

#include <cstddef>
#include <cstdint>

// The message a refused binary chunk gives.
inline constexpr const char* BINARY_CHUNK_REFUSED = "binary chunks are not loaded";

// Whether `text` is a precompiled chunk (it starts with the escape byte that marks bytecode).
bool IsBinaryChunk(const char* text, size_t size);

// Replaces the four loaders in the globals of `L` (the base library must be open); files larger
// than `maxFileSize` bytes are refused.
void OpenGuardedLoaders(lua_State* L, uint64_t maxFileSize);
