// The guarded loaders. They raise Lua errors (longjmp), so nothing with a destructor lives here
// across a Lua call, and a file is open only while no Lua call is made.
#include "scripting/guarded_loaders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <initializer_list>

namespace {

// As the base library's loaders answer: the chunk, or nil and the message.
int LoadResult(lua_State* L, int status) {
  if (status == 0) return 1;
  lua_pushnil(L);
  lua_insert(L, -2);
  return 2;
}

int LoadString(lua_State* L) {
  size_t size = 0;
  const char* text = luaL_checklstring(L, 1, &size);
  const char* chunkName = luaL_optstring(L, 2, text);
  if (IsBinaryChunk(text, size)) {
    lua_pushstring(L, BINARY_CHUNK_REFUSED);
    return LoadResult(L, LUA_ERRSYNTAX);
  }
  return LoadResult(L, luaL_loadbuffer(L, text, size, chunkName));
}

// The reader of `load`: the pieces the script's function returns, the first looked at for the
// bytecode mark. Runs inside lua_load's protected call, where an error becomes load's result.
const char* ReadPieces(lua_State* L, void* data, size_t* size) {
  bool& first = *static_cast<bool*>(data);
  luaL_checkstack(L, 2, "too many nested functions");
  lua_pushvalue(L, 1);
  lua_call(L, 0, 1);
  if (lua_isnil(L, -1)) {
    *size = 0;
    return nullptr;
  }
  if (!lua_isstring(L, -1)) luaL_error(L, "reader function must return a string");
  lua_replace(L, 3);  // kept in the reserved slot while Lua reads it
  const char* piece = lua_tolstring(L, 3, size);
  if (first && *size > 0) {
    first = false;
    if (IsBinaryChunk(piece, *size)) luaL_error(L, "%s", BINARY_CHUNK_REFUSED);
  }
  return piece;
}

int Load(lua_State* L) {
  const char* chunkName = luaL_optstring(L, 2, "=(load)");
  luaL_checktype(L, 1, LUA_TFUNCTION);
  lua_settop(L, 3);  // the function, the name and a slot for the piece being read
  bool first = true;
  return LoadResult(L, lua_load(L, ReadPieces, &first, chunkName));
}

// Reads the file `name` and compiles it as luaL_loadfile does (a first line starting with '#'
// is skipped), pushing the chunk or the message. Returns the status.
int LoadFileChunk(lua_State* L, const char* name, uint64_t maxFileSize) {
  if (!name) {
    lua_pushstring(L, "cannot read standard input: a file name is needed");
    return LUA_ERRFILE;
  }
  // The type and size first, so that the buffer is made before the file is opened.
  struct stat status {};
  if (::stat(name, &status) != 0) {
    lua_pushfstring(L, "cannot open %s: %s", name, std::strerror(errno));
    return LUA_ERRFILE;
  }
  if (!S_ISREG(status.st_mode)) {
    lua_pushfstring(L, "cannot read %s: not a regular file", name);
    return LUA_ERRFILE;
  }
  if (static_cast<uint64_t>(status.st_size) > maxFileSize) {
    lua_pushfstring(L, "cannot read %s: larger than %d MB", name, static_cast<int>(maxFileSize >> 20));
    return LUA_ERRFILE;
  }
  const size_t size = static_cast<size_t>(status.st_size);
  auto* text = static_cast<char*>(lua_newuserdata(L, size > 0 ? size : 1));

  // Without waiting: the name may have become a pipe since it was looked at.
  const int file = ::open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (file < 0) {
    const int error = errno;
    lua_pop(L, 1);
    lua_pushfstring(L, "cannot open %s: %s", name, std::strerror(error));
    return LUA_ERRFILE;
  }
  struct stat opened {};
  bool ok = ::fstat(file, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_size == status.st_size;
  size_t done = 0;
  while (ok && done < size) {
    const ssize_t got = ::read(file, text + done, size - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) ok = false;
    if (got > 0) done += static_cast<size_t>(got);
  }
  ::close(file);
  if (!ok) {
    lua_pop(L, 1);
    lua_pushfstring(L, "cannot read %s: it changed or could not be read", name);
    return LUA_ERRFILE;
  }

  // A first line starting with '#' (#!/usr/bin/lua) is left out; its line end stays, so that
  // line numbers hold.
  size_t start = 0;
  if (size > 0 && text[0] == '#') {
    while (start < size && text[start] != '\n') ++start;
  }
  lua_pushfstring(L, "@%s", name);
  // Lua itself would take bytecode after that first line too.
  const bool binary = IsBinaryChunk(text + start, size - start) ||
                      (start < size && IsBinaryChunk(text + start + 1, size - start - 1));
  if (binary) {
    lua_pop(L, 2);
    lua_pushfstring(L, "cannot load %s: %s", name, BINARY_CHUNK_REFUSED);
    return LUA_ERRSYNTAX;
  }
  const int result = luaL_loadbuffer(L, text + start, size - start, lua_tostring(L, -1));
  lua_replace(L, -3);  // the chunk or the message in the buffer's place
  lua_pop(L, 1);
  return result;
}

uint64_t MaxFileSize(lua_State* L) { return static_cast<uint64_t>(lua_tonumber(L, lua_upvalueindex(1))); }

int LoadFile(lua_State* L) {
  const char* name = luaL_optstring(L, 1, nullptr);
  return LoadResult(L, LoadFileChunk(L, name, MaxFileSize(L)));
}

int DoFile(lua_State* L) {
  const char* name = luaL_optstring(L, 1, nullptr);
  const int top = lua_gettop(L);
  if (LoadFileChunk(L, name, MaxFileSize(L)) != 0) return lua_error(L);
  lua_call(L, 0, LUA_MULTRET);
  return lua_gettop(L) - top;
}

}  // namespace

bool IsBinaryChunk(const char* text, size_t size) { return size > 0 && text[0] == LUA_SIGNATURE[0]; }

void OpenGuardedLoaders(lua_State* L, uint64_t maxFileSize) {
  lua_pushcfunction(L, LoadString);
  lua_setglobal(L, "loadstring");
  lua_pushcfunction(L, Load);
  lua_setglobal(L, "load");
  for (const luaL_Reg& loader : {luaL_Reg{"loadfile", LoadFile}, luaL_Reg{"dofile", DoFile}}) {
    lua_pushnumber(L, static_cast<lua_Number>(maxFileSize));
    lua_pushcclosure(L, loader.func, 1);
    lua_setglobal(L, loader.name);
  }
}
