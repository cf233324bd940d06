// The script host. Lua reports errors by longjmp: no C++ object with a destructor may be alive
// across a call that can raise one (the hook and the error raisers build their texts in an inner
// scope first).
#include "scripting/script_host.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>

#include "base/log.h"
#include "platform/folders.h"
#include "presentation/television.h"
#include "presentation/text_list.h"
#include "scripting/bit_library.h"
#include "scripting/guarded_loaders.h"
#include "scripting/lua_patterns.h"
#include "scripting/machine_bindings.h"
#include "scripting/script_catalogue.h"
#include "scripting/script_functions.h"

namespace {

// Its address keys the host in the Lua registry.
const char HOST_KEY = 0;

// The text of the error value on top of `L`; a value with no text gives "".
std::string ErrorMessage(lua_State* L) {
  const char* message = lua_tostring(L, -1);
  return message ? message : "";
}

void OpenLibrary(lua_State* L, lua_CFunction open, const char* name) {
  lua_pushcfunction(L, open);
  lua_pushstring(L, name);
  lua_call(L, 1, 0);
}

// Globals the host reads and writes are accessed raw, so a script's metatable on _G cannot raise
// an error outside a protected call.
void GetGlobal(lua_State* L, const char* name) {
  lua_pushstring(L, name);
  lua_rawget(L, LUA_GLOBALSINDEX);
}

void ClearGlobal(lua_State* L, const char* name) {
  lua_pushstring(L, name);
  lua_pushnil(L);
  lua_rawset(L, LUA_GLOBALSINDEX);
}

bool EqualNoCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
      return false;
  return *a == *b;
}

std::optional<std::string>* DetailSlot(ScriptRecord& record, const char* key) {
  if (EqualNoCase(key, "name")) return &record.name;
  if (EqualNoCase(key, "author")) return &record.author;
  if (EqualNoCase(key, "version")) return &record.version;
  if (EqualNoCase(key, "description")) return &record.description;
  if (EqualNoCase(key, "webpage")) return &record.webpage;
  if (EqualNoCase(key, "email")) return &record.email;
  return nullptr;
}

void ReportLoadError(const char* what, const std::string& message) {
  const std::string line = std::string("Lua error ") + what + " buffer: " + message;
  // The line ends with its own newline, which leaves an empty line after it in the log.
  DebugOutput(line + "\n");
  WriteLog(line + "\n");
}

}  // namespace

CScriptHost::~CScriptHost() { ShutDownLua(); }

SnapshotLookup CScriptHost::Lookup() {
  return {world_->settings.scriptsFolder, scriptIsZipped_ ? &zip_ : nullptr};
}

CScriptHost* CScriptHost::Of(lua_State* L) {
  lua_pushlightuserdata(L, const_cast<char*>(&HOST_KEY));
  lua_rawget(L, LUA_REGISTRYINDEX);
  auto* host = static_cast<CScriptHost*>(lua_touserdata(L, -1));
  lua_pop(L, 1);
  return host;
}

void CScriptHost::FireUpLua(bool detailsMode) {
  if (main_) return;
  sleeping_ = false;
  text_.clear();
  memoryUsed_ = 0;
  memoryExceeded_ = memoryReported_ = false;
  phase_ = Phase::Idle;
  WriteLog("Firing up Lua 5.1.5");
  main_ = lua_newstate(Allocate, this);
  if (!main_) {
    WriteLog("Couldn't create a Lua state: out of memory");
    return;
  }
  lua_State* L = main_;
  lua_atpanic(L, Panic);
  lua_pushlightuserdata(L, const_cast<char*>(&HOST_KEY));
  lua_pushlightuserdata(L, this);
  lua_rawset(L, LUA_REGISTRYINDEX);

  const int top = lua_gettop(L);
  OpenLibrary(L, luaopen_math, LUA_MATHLIBNAME);
  // The base library registers the coroutine functions as "coroutine" itself.
  OpenLibrary(L, luaopen_base, "");
  // A proxy's __gc runs with hooks off, so a loop in it would hang the saver past the watchdog.
  lua_pushnil(L);
  lua_setglobal(L, "newproxy");
  OpenGuardedLoaders(L, MAX_SCRIPT_SIZE);
  // Every coroutine the script makes is watched with its script thread.
  lua_getglobal(L, "coroutine");
  for (const luaL_Reg& function : {luaL_Reg{"create", CreateCoroutine}, luaL_Reg{"wrap", WrapCoroutine}}) {
    lua_getfield(L, -1, function.name);
    lua_pushcclosure(L, function.func, 1);
    lua_setfield(L, -2, function.name);
  }
  lua_settop(L, top);
  OpenLibrary(L, luaopen_string, LUA_STRLIBNAME);
  OpenBoundedPatterns(L);
  OpenLibrary(L, luaopen_table, LUA_TABLIBNAME);
  OpenBitLibrary(L);
  lua_settop(L, top);

  if (!detailsMode) {
    OpenLibrary(L, tolua_speccy_open, "speccy");
    LockMachineClasses(L);
    OpenScriptFunctions(L);
    thread_ = lua_newthread(L);
    threadRef_ = luaL_ref(L, LUA_REGISTRYINDEX);
  }
  WriteLog("Lua fired up and functions registered");
}

void CScriptHost::ShutDownLua() {
  if (!main_) return;
  WriteLog("Shutting down Lua");
  sleeping_ = false;
  phase_ = Phase::Idle;
  lua_close(main_);
  main_ = nullptr;
  thread_ = nullptr;
  threadRef_ = LUA_NOREF;
  phase_ = Phase::Idle;
  WriteLog("Lua shut down OK");
}

void CScriptHost::CloseCurrentScript() {
  WriteLog("Closing current script");
  if (world_->televisions) world_->televisions->DeleteAll();
  zip_.Close();
  scriptIsZipped_ = false;
  std::vector<char>().swap(text_);
  ShutDownLua();
  WriteLog("Script closed");
}

bool CScriptHost::ReadScriptText(const std::string& path) {
  text_.clear();
  scriptIsZipped_ = HasExtension(path.c_str(), "zip");
  // Only a regular file (or a link to one): a folder has no text, and opening a named pipe or a
  // device blocks or never ends.
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (error || !std::filesystem::is_regular_file(status)) return false;
  const auto tooLarge = [&](uint64_t size) {
    if (size <= MAX_SCRIPT_SIZE) return false;
    WriteLog("Script \"" + path + "\" is larger than " + std::to_string(MAX_SCRIPT_SIZE >> 20) + " MB; not loaded");
    return true;
  };

  if (scriptIsZipped_) {
    std::vector<uint8_t> bytes;
    // The member's size is what its header claims: refused before anything is allocated for it.
    if (zip_.Open(path.c_str()) != UNZ_OK || zip_.FindScriptMember() != UNZ_OK ||
        tooLarge(zip_.Info().uncompressed_size) || zip_.ReadCurrentMember(bytes) != UNZ_OK)
      return false;
    try {
      text_.assign(bytes.begin(), bytes.end());
      text_.push_back('\0');
    } catch (const std::exception&) {
      text_.clear();
      return false;
    }
    return true;
  }

  const uint64_t size = std::filesystem::file_size(path, error);
  if (error || tooLarge(size)) return false;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  bool ok = false;
  try {
    text_.assign(static_cast<size_t>(size) + 1, '\0');
    // A short read (a file that shrank) leaves no text rather than garbage.
    ok = std::fread(text_.data(), 1, static_cast<size_t>(size), file) == static_cast<size_t>(size);
  } catch (const std::exception&) {
    ok = false;
  }
  std::fclose(file);
  if (!ok) text_.clear();
  return ok;
}

bool CScriptHost::RunChunk(lua_State* L) {
  ClearGlobal(L, "Script_Details");
  ClearGlobal(L, "Script_Start");
  // Crafted bytecode can crash Lua: a script is source text.
  if (IsBinaryChunk(text_.data(), text_.size() - 1)) {
    ReportLoadError("loading", BINARY_CHUNK_REFUSED);
    return false;
  }
  // The chunk is named by its own text, so Lua cites it by the script's first line.
  if (luaL_loadbuffer(L, text_.data(), text_.size() - 1, text_.data()) != 0) {
    ReportLoadError("loading", ErrorMessage(L));
    lua_pop(L, 1);
    return false;
  }
  StartPhase(Phase::Chunk, CHUNK_INSTRUCTIONS, CHUNK_SECONDS);
  lua_sethook(L, WatchdogHook, LUA_MASKCOUNT, WATCHDOG_STEP);
  const int status = lua_pcall(L, 0, 0, 0);
  lua_sethook(L, nullptr, 0, 0);
  EndPhase();
  if (status != 0) {
    ReportLoadError("executing", ErrorMessage(L));
    lua_pop(L, 1);
    return false;
  }
  return true;
}

bool CScriptHost::ReadDetails(lua_State* L, ScriptRecord* details) {
  GetGlobal(L, "Script_Start");
  const bool hasStart = lua_isfunction(L, -1);
  lua_pop(L, 1);
  if (!hasStart) return false;
  GetGlobal(L, "Script_Details");
  if (!lua_istable(L, -1)) {
    lua_pop(L, 1);
    return false;
  }
  lua_pushnil(L);
  while (lua_next(L, -2)) {
    // The value may be converted to text in place; the key must stay as it is for lua_next.
    if (details && lua_type(L, -2) == LUA_TSTRING && lua_isstring(L, -1)) {
      if (auto* slot = DetailSlot(*details, lua_tostring(L, -2))) *slot = std::string(lua_tostring(L, -1));
    }
    lua_pop(L, 1);
  }
  lua_pop(L, 1);
  return true;
}

int CScriptHost::Resume() {
  StartPhase(Phase::Resuming, WATCHDOG_INSTRUCTIONS, WATCHDOG_SECONDS);
  const int status = lua_resume(thread_, 0);
  EndPhase();
  return status;
}

void CScriptHost::StartPhase(Phase phase, int instructions, double seconds) {
  phase_ = phase;
  instructions_ = 0;
  instructionLimit_ = instructions;
  deadline_ = std::chrono::steady_clock::now() +
              std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
}

void CScriptHost::EndPhase() {
  phase_ = Phase::Idle;
  ReportMemoryOverrun();
}

void CScriptHost::ReportMemoryOverrun() {
  if (!memoryExceeded_ || memoryReported_) return;
  memoryReported_ = true;
  WriteLog("Script " + loadingName_ + " used more than " + std::to_string(MEMORY_LIMIT >> 20) +
           " MB of memory. Stopping it");
}

void CScriptHost::ArmWatchdog() {
  watchdogFired_ = false;
  lua_sethook(thread_, WatchdogHook, LUA_MASKCOUNT, WATCHDOG_STEP);
}

bool CScriptHost::LoadScript(const std::string& name, bool detailsMode, ScriptRecord* details) {
  WriteLog("Loading script " + name);
  // Each script starts in a fresh state: what one script did to its globals cannot reach the next.
  if (detailsMode) {
    ShutDownLua();
  } else {
    CloseCurrentScript();
    // A caption that never ends would outlive the script that put it up.
    if (world_->captions) world_->captions->ClearUnending();
  }
  FireUpLua(detailsMode);
  loadingName_ = name;
  watchdogFired_ = false;

  const std::string path =
      name.find('/') != std::string::npos ? name : JoinPath(world_->settings.scriptsFolder, name);
  const bool haveText = ReadScriptText(path);
  if (world_->background) *world_->background = 0;

  bool loaded = haveText && main_ && RunChunk(main_);
  if (loaded && detailsMode) {
    loaded = ReadDetails(main_, details);
  } else if (loaded) {
    WriteLog("Resuming thread at Script_Start()");
    ArmWatchdog();
    GetGlobal(thread_, "Script_Start");
    if (!lua_isfunction(thread_, -1)) {
      lua_pop(thread_, 1);
      loaded = false;
    } else {
      const int status = Resume();
      if (status != 0 && status != LUA_YIELD) {
        WriteLog("Lua error starting script: " + ErrorMessage(thread_) + "\n");
        lua_pop(thread_, 1);
        loaded = false;
      }
      // Out of memory inside a pcall the script went on from, or stopped by the watchdog.
      if (memoryExceeded_ || watchdogFired_) loaded = false;
    }
  }
  if (loaded)
    WriteLog("Script loaded OK: ");
  else
    WriteLog("Script failed to load: " + name);
  return loaded;
}

void CScriptHost::ResumeStep(float now) {
  appTime_ = now;
  if (HandsOn() || !sleeping_) return;
  if (!(now >= wakeTime_)) return;
  sleeping_ = false;
  // Only a thread suspended by Sleep is resumed; one that yielded inside a protected call and
  // then returned is finished.
  if (!thread_ || lua_status(thread_) != LUA_YIELD) return;
  ArmWatchdog();
  const int status = Resume();
  if (status == 0 || status == LUA_YIELD) {
    if (memoryExceeded_) {
      sleeping_ = false;
      EndCurrentScript(true);
    }
    return;
  }
  WriteLog("Lua error while running script: " + ErrorMessage(thread_) + "\n");
  lua_pop(thread_, 1);
  EndCurrentScript(true);
}

int CScriptHost::Sleep(lua_State* L, float seconds) {
  // The chunk's top-level code runs outside the script thread: Lua refuses that yield.
  if (L != main_) {
    sleeping_ = true;
    wakeTime_ = appTime_ + seconds;
  }
  return lua_yield(L, 0);
}

int CScriptHost::ScriptError(lua_State* L, const char* message) {
  {
    const std::string text = "Error in " + CurrentScriptName() + " : " + message;
    EndCurrentScript(true);
    lua_pushstring(L, text.c_str());
  }
  // As luaL_error: the calling line's position in front of the message.
  luaL_where(L, 1);
  lua_insert(L, -2);
  lua_concat(L, 2);
  return lua_error(L);
}

void CScriptHost::EndCurrentScript(bool failed) {
  if (playlist_) playlist_->EndCurrentScript(failed);
}

std::string CScriptHost::CurrentScriptName() const {
  return playlist_ ? playlist_->CurrentScriptName() : std::string();
}

const char* CScriptHost::Overrun() {
  if (memoryExceeded_) return nullptr;  // its own line, logged once
  if (instructions_ > instructionLimit_ || std::chrono::steady_clock::now() > deadline_)
    return "Script not responding. Closing it: ";
  return nullptr;
}

void CScriptHost::WatchdogHook(lua_State* L, lua_Debug*) {
  CScriptHost* host = Of(L);
  if (!host) return;
  if (host->phase_ == Phase::Idle) {
    lua_sethook(L, nullptr, 0, 0);
    return;
  }
  if (!host->watchdogFired_) {
    host->instructions_ += lua_gethookcount(L);
    const char* overrun = host->Overrun();
    if (!overrun && !host->memoryExceeded_) return;
    host->watchdogFired_ = true;
    host->ReportMemoryOverrun();
    // At load the error the chunk ends with says it.
    if (overrun && host->phase_ == Phase::Resuming) WriteLog(overrun + host->loadingName_);
    if (host->phase_ == Phase::Resuming) host->EndCurrentScript(true);
  }
  // From now on the watchdog looks at every instruction of the threads it stops, so that a
  // pcall in the script cannot swallow the stop for good: inside a pcall or a metamethod the
  // yield is refused with an error, and the script is stopped at the first place it can yield.
  lua_sethook(L, WatchdogHook, LUA_MASKCOUNT, 1);
  if (host->phase_ == Phase::Chunk) {
    if (L != host->main_) lua_sethook(host->main_, WatchdogHook, LUA_MASKCOUNT, 1);
    luaL_error(L, host->memoryExceeded_ ? "not enough memory" : "Script not responding");
    return;
  }
  if (host->thread_ && L != host->thread_) lua_sethook(host->thread_, WatchdogHook, LUA_MASKCOUNT, 1);
  lua_yield(L, 0);
}

void CScriptHost::WatchNewThread(lua_State* thread) {
  if (phase_ == Phase::Idle) return;
  // A new thread's count starts afresh: charged in full, churning short coroutines still costs.
  instructions_ += WATCHDOG_STEP;
  lua_sethook(thread, WatchdogHook, LUA_MASKCOUNT, watchdogFired_ ? 1 : WATCHDOG_STEP);
}

int CScriptHost::CreateCoroutine(lua_State* L) {
  lua_pushvalue(L, lua_upvalueindex(1));
  lua_insert(L, 1);
  lua_call(L, lua_gettop(L) - 1, 1);
  if (lua_type(L, -1) == LUA_TTHREAD)
    if (CScriptHost* host = Of(L)) host->WatchNewThread(lua_tothread(L, -1));
  return 1;
}

int CScriptHost::WrapCoroutine(lua_State* L) {
  lua_pushvalue(L, lua_upvalueindex(1));
  lua_insert(L, 1);
  lua_call(L, lua_gettop(L) - 1, 1);
  // The wrapping function keeps its thread as its one upvalue.
  if (lua_type(L, -1) == LUA_TFUNCTION && lua_getupvalue(L, -1, 1)) {
    if (lua_type(L, -1) == LUA_TTHREAD)
      if (CScriptHost* host = Of(L)) host->WatchNewThread(lua_tothread(L, -1));
    lua_pop(L, 1);
  }
  return 1;
}

void* CScriptHost::Allocate(void* ud, void* block, size_t oldSize, size_t newSize) {
  auto* host = static_cast<CScriptHost*>(ud);
  if (newSize == 0) {
    std::free(block);
    host->memoryUsed_ -= oldSize;
    return nullptr;
  }
  if (newSize > oldSize) {
    const size_t limit = host->phase_ == Phase::Idle ? MEMORY_LIMIT + HOST_HEADROOM : MEMORY_LIMIT;
    if (host->memoryUsed_ - oldSize + newSize > limit) {
      host->memoryExceeded_ = true;
      return nullptr;  // Lua raises its memory error
    }
  }
  void* moved = std::realloc(block, newSize);
  if (!moved) {
    if (newSize > oldSize) return nullptr;
    moved = block;  // a shrink that could not move keeps the larger block
  }
  host->memoryUsed_ = host->memoryUsed_ - oldSize + newSize;
  return moved;
}

int CScriptHost::Panic(lua_State* L) {
  const char* message = lua_tostring(L, -1);
  WriteLog(std::string("Lua panic: ") + (message ? message : "unknown error"));
  return 0;  // Lua then ends the program
}

// ---- The application's hooks ----

namespace {

struct Scripting {
  Scripting() { host.SetPlaylist(&catalogue); }
  CScriptHost host;
  CScriptCatalogue catalogue{host};
};

// Made once and never destroyed: the host may still be needed while other program-wide objects
// are torn down at exit.
Scripting& Program() {
  static Scripting* scripting = new Scripting;
  return *scripting;
}

}  // namespace

CScriptHost& ScriptHost() { return Program().host; }
CScriptCatalogue& ScriptCatalogue() { return Program().catalogue; }

void BuildScriptCatalogue() {
  CScriptCatalogue& catalogue = ScriptCatalogue();
  if (ScriptHost().IsLuaUp()) ScriptHost().CloseCurrentScript();
  catalogue.BuildScriptList();
  catalogue.LoadSelection();
  catalogue.BuildPlaylist();
}

void PlayOnlyScript(const std::string& fileOrName) { ScriptCatalogue().PlayOnly(fileOrName); }

void ScriptSchedulingStep(float now) { ScriptCatalogue().SchedulingStep(now); }

void ScriptResumeStep(float now) { ScriptHost().ResumeStep(now); }

void StopScript() { ScriptHost().CloseCurrentScript(); }

void ClearScriptCatalogue() {
  StopScript();
  ScriptCatalogue().Clear();
}

void SetNoScriptsHandler(std::function<void(const std::string&)> handler) {
  ScriptCatalogue().SetNoScriptsHandler(std::move(handler));
}
