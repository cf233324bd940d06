#include "scripting/guarded_loaders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "tests/scripting/script_driver.h"
#include "tests/support/temp_dir.h"

namespace {

int AppendDump(lua_State*, const void* bytes, size_t size, void* out) {
  static_cast<std::string*>(out)->append(static_cast<const char*>(bytes), size);
  return 0;
}

// What `source` compiles to: a precompiled chunk.
std::string Bytecode(const std::string& source) {
  lua_State* L = luaL_newstate();
  std::string bytes;
  if (luaL_loadstring(L, source.c_str()) == 0) lua_dump(L, AppendDump, &bytes);
  lua_close(L);
  return bytes;
}

// Files for the loaders to meet, named by globals of the same names.
struct Files {
  TempDir dir;
  std::string source = dir.file("source.lua"), bytecode = dir.file("bytecode.lua"),
              hashBytecode = dir.file("hash_bytecode.lua"), hashSource = dir.file("hash_source.lua"),
              fifo = dir.file("fifo.lua"), large = dir.file("large.lua");

  Files() {
    WriteWholeFile(source, "return 42");
    WriteWholeFile(bytecode, Bytecode("return 42"));
    WriteWholeFile(hashBytecode, "#!/usr/bin/lua\n" + Bytecode("return 42"));
    WriteWholeFile(hashSource, "#!/usr/bin/lua\nerror('line two', 1)");
    WriteWholeFile(large, "return 1" + std::string(2000, ' '));
    ::mkfifo(fifo.c_str(), 0600);
  }
};

// Runs `code` with the guarded loaders and the files' globals; its result (or error) as text.
std::string RunLua(const Files& files, const char* code) {
  lua_State* L = luaL_newstate();
  lua_pushcfunction(L, luaopen_base);
  lua_call(L, 0, 0);
  for (lua_CFunction open : {luaopen_string, luaopen_table}) {
    lua_pushcfunction(L, open);
    lua_call(L, 0, 0);
  }
  OpenGuardedLoaders(L, 1000);
  for (const auto& [name, value] : {std::pair{"SOURCE", files.source}, {"BYTECODE", files.bytecode},
                                    {"HASH_BYTECODE", files.hashBytecode}, {"HASH_SOURCE", files.hashSource},
                                    {"FIFO", files.fifo}, {"LARGE", files.large}}) {
    lua_pushstring(L, value.c_str());
    lua_setglobal(L, name);
  }
  std::string result;
  if (luaL_loadstring(L, code) != 0 || lua_pcall(L, 0, 1, 0) != 0) result = "error: ";
  result += lua_tostring(L, -1) ? lua_tostring(L, -1) : "nil";
  lua_close(L);
  return result;
}

TEST(GuardedLoaders, LoadSourceAndRefuseBytecodeAndFilesThatAreNoFiles) {
  const Files files;
  const struct {
    const char* code;
    const char* expected;  // contained in the result
  } cases[] = {
      {"return loadstring('return 1 + 1')()", "2"},
      {"return select(2, loadstring(string.dump(function() end)))", "binary chunks are not loaded"},
      {"local parts = {'return ', '7'} return load(function() return table.remove(parts, 1) end)()", "7"},
      {"local parts = {string.dump(function() end)} return select(2, load(function() return table.remove(parts, 1) end))",
       "binary chunks are not loaded"},
      {"return loadfile(SOURCE)()", "42"},
      {"return dofile(SOURCE)", "42"},
      {"return select(2, loadfile(BYTECODE))", "binary chunks are not loaded"},
      {"return dofile(BYTECODE)", "error: cannot load"},
      {"return select(2, loadfile(HASH_BYTECODE))", "binary chunks are not loaded"},
      {"return select(2, pcall(dofile, HASH_SOURCE))", ":2: line two"},
      {"return select(2, loadfile(FIFO))", "not a regular file"},
      {"return dofile(FIFO)", "error: cannot read"},
      {"return select(2, loadfile(LARGE))", "larger than"},
      {"return select(2, loadfile())", "a file name is needed"},
      {"return dofile()", "error: cannot read standard input"},
      {"return select(2, loadfile(SOURCE .. '.missing'))", "cannot open"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    const std::string result = RunLua(files, c.code);
    EXPECT_NE(result.find(c.expected), std::string::npos) << result;
  }
}

TEST(GuardedLoaders, AScriptThatIsBytecodeDoesNotLoad) {
  TempDir dir;
  std::filesystem::create_directories(dir.file("Scripts"));
  WriteWholeFile(dir.file("Scripts/compiled.lua"),
                 Bytecode("Script_Details = {Name = 'Compiled'} function Script_Start() end"));
  ScriptSpec spec;
  spec.frames = 2;
  spec.expect = {"Lua error loading buffer: binary chunks are not loaded"};
  spec.expectAbsent = {"Script loaded OK"};
  const auto lines = RunScript({dir.path().string(), dir.file("Roms"), "compiled.lua", dir.file("log.txt")}, spec);
  const auto problems = CheckLog(spec, lines);
  EXPECT_TRUE(problems.empty()) << problems.front();
}

}  // namespace
